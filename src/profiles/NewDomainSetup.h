#pragma once

#include "core/CancelToken.h"
#include "profiles/DomainProfile.h"

#include <QCoroTask>
#include <QObject>
#include <QStringList>
#include <optional>

class DesktopServices;
class ProfileStore;
struct SetupScriptValues;

// The new-domain wizard: checks the answers, prepares a config folder of its own
// or a new section of an existing gam.cfg, opens GAM's setup steps as a script in
// the user's terminal, then tests the connection and adds the domain's profile.
class NewDomainSetup : public QObject {
    Q_OBJECT
public:
    enum class Layout { folder, section };
    enum class Stage { form, waiting, testing, failed };

    struct StatusLine {
        enum class Kind { invalid, waiting, testing, failed };
        Kind kind = Kind::invalid;
        QString text;
    };

    NewDomainSetup(ProfileStore *store, DesktopServices *desktop, QObject *parent = nullptr);
    ~NewDomainSetup() override;

    static QString layoutValue(Layout layout);
    static QString layoutLabel(Layout layout);
    // ~/GAMConfig/<slug of name>
    static QString defaultConfigFolder(const QString &name);

    Layout layout() const { return m_layout; }
    QString name() const { return m_name; }
    QString admin() const { return m_admin; }
    QString checkUser() const { return m_checkUser; }
    QString configDir() const { return m_configDir; }
    QString cfgFolder() const { return m_cfgFolder; }
    QString sectionName() const { return m_sectionName; }
    Stage stage() const { return m_stage; }
    std::optional<QString> errorMessage() const { return m_errorMessage; }
    std::optional<QString> note() const { return m_note; }
    std::optional<QString> addedSection() const { return m_addedSection; }
    bool isConfirmingCancel() const { return m_confirmCancel; }

    // The answers can change only until setup has prepared anything.
    bool isFormEditable() const;
    void setLayout(Layout layout);
    void setName(const QString &name);
    void setAdmin(const QString &admin);
    void setCheckUser(const QString &checkUser);
    void setConfigDir(const QString &configDir);
    void setCfgFolder(const QString &cfgFolder);
    void setSectionName(const QString &sectionName);
    QCoro::Task<> chooseConfigDir();
    QCoro::Task<> chooseCfgFolder();

    QString adminDomain() const;
    QString effectiveCheckUser() const;
    QString targetConfigFolder() const;
    QStringList existingSections() const;
    DomainProfile pendingProfile() const;
    // The first problem with the answers, or none when setup can start.
    std::optional<QString> validationMessage() const;
    std::optional<StatusLine> statusLine() const;
    QString helpText() const;
    // The credentials folder shown in the section layout, or "—".
    QString credentialsFolderText() const;
    SetupScriptValues scriptValues(const QString &gam) const;

    void start();
    void openTerminal();
    QCoro::Task<> testAndAdd();
    void addAnyway();
    void removeSection();
    void cancel();
    // Answers to the cancel question besides Remove Section.
    void keepSection();
    void stayInSetup();

Q_SIGNALS:
    void changed();
    void added(const DomainProfile &profile);
    // The wizard is done (added, cancelled or its section removed) and should close.
    void finished();

private:
    QString trimmedCfgFolder() const;
    void setStage(Stage stage, const QString &failure = {});
    void setError(const std::optional<QString> &message);
    void addDomain(const std::optional<QString> &detectedDomain);
    void finish();

    ProfileStore *m_store;
    DesktopServices *m_desktop;
    Layout m_layout = Layout::folder;
    QString m_name;
    QString m_admin;
    QString m_checkUser;
    QString m_configDir;
    bool m_configDirEdited = false;
    QString m_cfgFolder;
    QString m_sectionName;
    bool m_sectionNameEdited = false;
    Stage m_stage = Stage::form;
    QString m_failure;
    std::optional<QString> m_errorMessage;
    std::optional<QString> m_note;
    std::optional<QString> m_addedSection;
    bool m_confirmCancel = false;
    bool m_finished = false;
    // Fired only by the destructor: the wizard may close while its test runs.
    CancelToken m_testRuns;
};
