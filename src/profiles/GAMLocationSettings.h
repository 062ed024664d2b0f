#pragma once

#include <QCoroTask>
#include <QObject>
#include <optional>

class DesktopServices;

// The "gamPath" setting: the gam executable the user chose, or empty to auto-detect.
class GAMLocationSettings : public QObject {
    Q_OBJECT
public:
    explicit GAMLocationSettings(DesktopServices *desktop, QObject *parent = nullptr);

    QString path() const;
    bool isAutodetect() const { return path().isEmpty(); }
    // The stored path, or "Auto-detect".
    QString locationText() const;
    // The gam runs will use, or none ("gam not found").
    std::optional<QString> located() const;

    void setPath(const QString &path);
    void useAutodetect();
    QCoro::Task<> choose();

Q_SIGNALS:
    void changed();

private:
    DesktopServices *m_desktop;
};
