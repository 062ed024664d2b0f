#pragma once

#include "core/CancelToken.h"
#include "profiles/DomainProfile.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <optional>

class Console;
class ProfileStore;

// Edits one domain profile: every change is saved to the store at once, except
// while this is the active profile and a command runs (then the editor is locked
// and refuses changes). Also reads the profile's gam.cfg sections, takes GAMCFGDIR
// from the login shell and tests the connection with `gam info domain`.
class ProfileEditor : public QObject {
    Q_OBJECT
public:
    struct SectionOption {
        QString value;
        QString label;
        bool operator==(const SectionOption &) const = default;
    };
    struct FolderStatus {
        enum class Level { ready, noConfigFile, missing };
        QString text;
        Level level = Level::missing;
        bool operator==(const FolderStatus &) const = default;
    };
    struct TestResult {
        bool success = false;
        QString text;
        bool operator==(const TestResult &) const = default;
    };

    ProfileEditor(ProfileStore *store, Console *console, const DomainProfile &profile, QObject *parent = nullptr);
    // Kills a test or shell probe still running: the editor goes when another profile is chosen.
    ~ProfileEditor() override;

    const DomainProfile &profile() const { return m_profile; }
    bool isActive() const;
    bool isLocked() const;

    void setName(const QString &name);
    void setDomain(const QString &domain);
    void setConfigDir(const QString &configDir);
    void setSection(const QString &section);
    void setExportDir(const QString &exportDir);
    void setAuditLog(const QString &auditLog);
    void setDriveUploadUser(const QString &user);
    void setDriveFolderID(const QString &folderID);

    QStringList sections() const { return m_sections; }
    // "Default", every section of gam.cfg, and the stored section when gam.cfg lacks it.
    QList<SectionOption> sectionOptions() const;
    static FolderStatus folderStatus(const QString &folder);
    FolderStatus folderStatus() const { return folderStatus(m_profile.effectiveConfigDir()); }

    bool isTesting() const { return m_testing; }
    std::optional<TestResult> testResult() const { return m_testResult; }
    bool isDetecting() const { return m_detecting; }
    std::optional<QString> detectMessage() const { return m_detectMessage; }

    QCoro::Task<> testConnection();
    QCoro::Task<> detectFromShell();
    QCoro::Task<> chooseConfigDir();
    QCoro::Task<> chooseExportDir();
    QCoro::Task<> chooseAuditLog();

Q_SIGNALS:
    void profileChanged();
    void lockChanged();
    void sectionsChanged();
    void testChanged();
    void detectChanged();

private:
    void edit(QString DomainProfile::*field, const QString &value);
    void reloadSections();
    void followStore();

    ProfileStore *m_store;
    Console *m_console;
    DomainProfile m_profile;
    QStringList m_sections;
    bool m_testing = false;
    std::optional<TestResult> m_testResult;
    bool m_detecting = false;
    std::optional<QString> m_detectMessage;
    // Fired only by the destructor.
    CancelToken m_runs;
};
