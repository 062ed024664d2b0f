#pragma once

#include <QCoroTask>
#include <QList>
#include <QObject>

class DesktopServices;

// The two Security tab settings shared by every domain: the known-indicator list
// file ("security.iocFile", empty for ~/known_iocs.txt) and what batch remediation
// does with new passwords ("security.passwordLogMode": "none", "local" or "drive").
class SecuritySettings : public QObject {
    Q_OBJECT
public:
    struct PasswordLogChoice {
        QString value;
        QString label;
    };

    explicit SecuritySettings(DesktopServices *desktop, QObject *parent = nullptr);

    static QString defaultIOCFile();
    // The indicator list in use: the stored path, or the default file.
    static QString iocFilePath();
    static QString passwordLogMode();
    static QList<PasswordLogChoice> passwordLogChoices();

    QString storedIOCFile() const;
    bool usesDefaultIOCFile() const { return storedIOCFile().isEmpty(); }
    void setIOCFile(const QString &path);
    void useDefaultIOCFile();
    QCoro::Task<> chooseIOCFile();
    void setPasswordLogMode(const QString &mode);

    static QString fileLocationMessage();

Q_SIGNALS:
    void changed();

private:
    DesktopServices *m_desktop;
};
