#include "profiles/ProfileEditor.h"

#include "core/Console.h"
#include "core/DesktopServices.h"
#include "core/Error.h"
#include "core/GAM.h"
#include "profiles/DomainCheck.h"
#include "profiles/GAMConfigFile.h"
#include "profiles/ProfileStore.h"
#include "profiles/SecuritySettings.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

ProfileEditor::ProfileEditor(ProfileStore *store, Console *console, const DomainProfile &profile, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_console(console)
    , m_profile(profile) {
    connect(m_console, &Console::busyChanged, this, &ProfileEditor::lockChanged);
    connect(m_store, &ProfileStore::activeIDChanged, this, &ProfileEditor::lockChanged);
    connect(m_store, &ProfileStore::profilesChanged, this, &ProfileEditor::followStore);
    reloadSections();
}

ProfileEditor::~ProfileEditor() {
    m_runs.kill();
}

bool ProfileEditor::isActive() const {
    return m_store->activeID() == m_profile.id;
}

bool ProfileEditor::isLocked() const {
    return isActive() && m_console->isBusy();
}

void ProfileEditor::edit(QString DomainProfile::*field, const QString &value) {
    // The running command reads the active profile; it must not change under it.
    if (isLocked() || m_profile.*field == value)
        return;
    m_profile.*field = value;
    m_store->update(m_profile);
    Q_EMIT profileChanged();
    if (field == &DomainProfile::configDir)
        reloadSections();
}

void ProfileEditor::setName(const QString &name) {
    edit(&DomainProfile::name, name);
}

void ProfileEditor::setDomain(const QString &domain) {
    edit(&DomainProfile::domain, domain.toLower());
}

void ProfileEditor::setConfigDir(const QString &configDir) {
    edit(&DomainProfile::configDir, configDir);
}

void ProfileEditor::setSection(const QString &section) {
    edit(&DomainProfile::section, section);
}

void ProfileEditor::setExportDir(const QString &exportDir) {
    edit(&DomainProfile::exportDir, exportDir);
}

void ProfileEditor::setAuditLog(const QString &auditLog) {
    edit(&DomainProfile::auditLog, auditLog);
}

void ProfileEditor::setDriveUploadUser(const QString &user) {
    edit(&DomainProfile::driveUploadUser, user);
}

void ProfileEditor::setDriveFolderID(const QString &folderID) {
    edit(&DomainProfile::driveFolderID, folderID);
}

void ProfileEditor::followStore() {
    for (const DomainProfile &stored : m_store->profiles()) {
        if (stored.id != m_profile.id || stored == m_profile)
            continue;
        const bool folderChanged = stored.configDir != m_profile.configDir;
        m_profile = stored;
        Q_EMIT profileChanged();
        if (folderChanged)
            reloadSections();
        return;
    }
}

void ProfileEditor::reloadSections() {
    QStringList sections = GAMConfigFile::sectionNames(m_profile.effectiveConfigDir());
    // GAM itself refuses a gam.cfg with a repeated section; one entry is enough to pick it.
    sections.removeDuplicates();
    if (sections == m_sections)
        return;
    m_sections = sections;
    Q_EMIT sectionsChanged();
}

QList<ProfileEditor::SectionOption> ProfileEditor::sectionOptions() const {
    QList<SectionOption> options{{QString(), u"Default"_s}};
    for (const QString &name : m_sections)
        options.append({name, name});
    if (!m_profile.section.isEmpty() && !m_sections.contains(m_profile.section))
        options.append({m_profile.section, m_profile.section + u" (not found in gam.cfg)"_s});
    return options;
}

ProfileEditor::FolderStatus ProfileEditor::folderStatus(const QString &folder) {
    const QFileInfo info(folder);
    if (!info.isDir())
        return {folder + u" — folder doesn't exist"_s, FolderStatus::Level::missing};
    if (QFileInfo::exists(GAMConfigFile::filePath(folder)))
        return {folder + u" — contains gam.cfg"_s, FolderStatus::Level::ready};
    return {folder + u" — no gam.cfg yet"_s, FolderStatus::Level::noConfigFile};
}

QCoro::Task<> ProfileEditor::testConnection() {
    if (m_testing)
        co_return;
    QPointer<ProfileEditor> self(this);
    m_testing = true;
    m_testResult.reset();
    Q_EMIT testChanged();

    TestResult result;
    std::optional<QString> detected;
    try {
        const CommandResult run = co_await GAM::runGAM(DomainCheck::arguments(), DomainCheck::timeoutSeconds,
                                                       GAM::ProfileChoice::specific(m_profile), m_runs);
        if (run.exitCode == 0) {
            detected = DomainCheck::primaryDomain(run);
            result = {true, detected ? u"Connected to "_s + *detected : u"Connected (exit 0)"_s};
        } else {
            result = {false,
                      u"Failed (exit "_s + QString::number(run.exitCode) + u"): "_s + DomainCheck::failureDetail(run)};
        }
    } catch (const Cancelled &) {
        co_return; // the editor is being destroyed
    } catch (const std::exception &error) {
        result = {false, errorDescription(error)};
    }
    // The Settings window may have closed, or another profile been selected, meanwhile.
    if (!self)
        co_return;
    self->m_testing = false;
    self->m_testResult = result;
    Q_EMIT self->testChanged();
    if (detected && self->m_profile.domain.isEmpty())
        self->setDomain(*detected);
}

QCoro::Task<> ProfileEditor::detectFromShell() {
    if (m_detecting)
        co_return;
    QPointer<ProfileEditor> self(this);
    m_detecting = true;
    m_detectMessage.reset();
    Q_EMIT detectChanged();

    std::optional<QString> found;
    QString message;
    try {
        found = co_await GAM::detectShellConfigDir(m_runs);
        message = found ? u"Found GAMCFGDIR in your shell profile."_s
                        : u"GAMCFGDIR isn't set in your shell profile, so GAM uses the default ~/.gam."_s;
    } catch (const Cancelled &) {
        co_return; // the editor is being destroyed
    } catch (const std::exception &error) {
        message = u"Couldn't read your shell profile: "_s + errorDescription(error);
    }
    if (!self)
        co_return;
    if (found)
        self->setConfigDir(*found);
    self->m_detecting = false;
    self->m_detectMessage = message;
    Q_EMIT self->detectChanged();
}

QCoro::Task<> ProfileEditor::chooseConfigDir() {
    QPointer<ProfileEditor> self(this);
    const std::optional<QString> chosen =
        co_await m_console->desktop()->chooseFolder(u"Config Folder"_s, m_profile.effectiveConfigDir());
    if (self && chosen)
        self->setConfigDir(*chosen);
}

QCoro::Task<> ProfileEditor::chooseExportDir() {
    QPointer<ProfileEditor> self(this);
    const std::optional<QString> chosen =
        co_await m_console->desktop()->chooseFolder(u"Evidence Folder"_s, expandTilde(m_profile.exportDir));
    if (self && chosen)
        self->setExportDir(*chosen);
}

QCoro::Task<> ProfileEditor::chooseAuditLog() {
    QPointer<ProfileEditor> self(this);
    const std::optional<QString> chosen = co_await m_console->desktop()->chooseFileLocation(
        SecuritySettings::fileLocationMessage(), expandTilde(m_profile.auditLog));
    if (self && chosen)
        self->setAuditLog(*chosen);
}
