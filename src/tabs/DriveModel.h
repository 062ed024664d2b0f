#pragma once

#include "tabs/DriveRequest.h"
#include "tabs/DriveScope.h"
#include "tabs/OUList.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <optional>

class CancelToken;
class Console;

// The Google Drive tab: finds files by ID or name for one user, an OU or the
// domain, trashes or purges them for one user or an OU, and fetches the OUs the
// picker offers. Every failure ends up in the log or an alert.
class DriveModel : public QObject {
    Q_OBJECT
public:
    explicit DriveModel(Console *console, QObject *parent = nullptr);

    Console *console() const { return m_console; }

    DriveScope scope() const { return m_scope; }
    QString email() const { return m_email; }
    QString ouPath() const { return m_ouPath; }
    DriveKind driveKind() const { return m_driveKind; }
    QString sharedDriveID() const { return m_sharedDriveID; }
    DriveFindMethod method() const { return m_method; }
    QString fileIDsText() const { return m_fileIDsText; }
    QString name() const { return m_name; }
    bool purge() const { return m_purge; }
    void setScope(DriveScope scope);
    void setEmail(const QString &email);
    void setOUPath(const QString &path);
    void setDriveKind(DriveKind kind);
    void setSharedDriveID(const QString &id);
    void setMethod(DriveFindMethod method);
    void setFileIDsText(const QString &text);
    void setName(const QString &name);
    void setPurge(bool purge);

    // The fetched OUs; the picker is shown exactly while this holds a value.
    const std::optional<OUList> &ouList() const { return m_ouList; }
    void setOUList(std::optional<OUList> list);

    // Derived values.
    QStringList fileIDs() const;
    QStringList sharedDriveArguments() const;
    QString escapedName() const;
    QString driveQuery() const;
    QString actionWord() const;
    QString actionPhrase() const;
    QString driveLabel() const;

    void findFiles();
    void deleteFiles();
    void clearFields();
    void browseOUs();
    // The picker's choice, written exactly as listed.
    void chooseOU(const QString &path);

    static QString sampleUser();

Q_SIGNALS:
    void changed();
    void ouListChanged();

private:
    enum class Action { find, remove };

    bool validate(Action action);
    DriveRequest request() const;
    QString deleteConfirmation(const DriveRequest &request) const;
    template <typename T> void assign(T &field, const T &value);

    static QCoro::Task<> runBrowse(QPointer<DriveModel> self, QPointer<Console> console, CancelToken cancel);

    QPointer<Console> m_console;
    DriveScope m_scope = DriveScope::user;
    QString m_email;
    QString m_ouPath;
    DriveKind m_driveKind = DriveKind::myDrive;
    QString m_sharedDriveID;
    DriveFindMethod m_method = DriveFindMethod::fileID;
    QString m_fileIDsText;
    QString m_name;
    bool m_purge = false;
    std::optional<OUList> m_ouList;
};
