#include "profiles/NewDomainSetup.h"

#include "app/GAMSetup.h"
#include "core/DesktopServices.h"
#include "core/Error.h"
#include "core/GAM.h"
#include "core/SpaceTrim.h"
#include "profiles/DomainCheck.h"
#include "profiles/GAMConfigFile.h"
#include "profiles/ProfileStore.h"
#include "profiles/SetupScript.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

QString expandedTrimmed(const QString &path) {
    return expandTilde(trimSpacesAndTabs(path));
}

// The folder that will hold credentials: owner-only, whether new or already there.
void makeOwnerOnlyFolder(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists() && (!QDir().mkpath(info.absolutePath()) || !QDir().mkdir(path, ownerOnly)))
        throw Error(u"The folder "_s + path + u" couldn't be created."_s);
    if (!QFile::setPermissions(path, ownerOnly))
        throw Error(u"The folder "_s + path + u" couldn't be made private to you."_s);
}

QStringList presentCredentials(const QString &folder) {
    QStringList present;
    for (const QString &file : {u"oauth2service.json"_s, u"client_secrets.json"_s, u"oauth2.txt"_s}) {
        if (QFileInfo::exists(QDir(folder).filePath(file)))
            present.append(file);
    }
    return present;
}

} // namespace

NewDomainSetup::NewDomainSetup(ProfileStore *store, DesktopServices *desktop, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_desktop(desktop) {}

NewDomainSetup::~NewDomainSetup() {
    m_testRuns.kill();
}

QString NewDomainSetup::layoutValue(Layout layout) {
    return layout == Layout::folder ? u"folder"_s : u"section"_s;
}

QString NewDomainSetup::layoutLabel(Layout layout) {
    return layout == Layout::folder ? u"New config folder"_s : u"New section in existing gam.cfg"_s;
}

QString NewDomainSetup::defaultConfigFolder(const QString &name) {
    return QDir(homeDirectory()).filePath(u"GAMConfig/"_s + folderSlug(name));
}

// ---- Answers ----

bool NewDomainSetup::isFormEditable() const {
    return m_stage == Stage::form && !m_addedSection;
}

void NewDomainSetup::setLayout(Layout layout) {
    if (!isFormEditable() || layout == m_layout)
        return;
    m_layout = layout;
    Q_EMIT changed();
}

void NewDomainSetup::setName(const QString &name) {
    if (!isFormEditable() || name == m_name)
        return;
    m_name = name;
    if (!m_configDirEdited)
        m_configDir = defaultConfigFolder(name);
    if (!m_sectionNameEdited)
        m_sectionName = folderSlug(name);
    Q_EMIT changed();
}

void NewDomainSetup::setAdmin(const QString &admin) {
    if (!isFormEditable() || admin == m_admin)
        return;
    m_admin = admin;
    Q_EMIT changed();
}

void NewDomainSetup::setCheckUser(const QString &checkUser) {
    if (!isFormEditable() || checkUser == m_checkUser)
        return;
    m_checkUser = checkUser;
    Q_EMIT changed();
}

void NewDomainSetup::setConfigDir(const QString &configDir) {
    if (!isFormEditable() || configDir == m_configDir)
        return;
    m_configDir = configDir;
    // A folder typed by hand is kept when the name changes, like a chosen one.
    if (configDir != defaultConfigFolder(m_name))
        m_configDirEdited = true;
    Q_EMIT changed();
}

void NewDomainSetup::setCfgFolder(const QString &cfgFolder) {
    if (!isFormEditable() || cfgFolder == m_cfgFolder)
        return;
    m_cfgFolder = cfgFolder;
    Q_EMIT changed();
}

void NewDomainSetup::setSectionName(const QString &sectionName) {
    if (!isFormEditable() || sectionName == m_sectionName)
        return;
    m_sectionName = sectionName;
    if (sectionName != folderSlug(m_name))
        m_sectionNameEdited = true;
    Q_EMIT changed();
}

QCoro::Task<> NewDomainSetup::chooseConfigDir() {
    QPointer<NewDomainSetup> self(this);
    const QString start = m_configDir.isEmpty() ? defaultConfigFolder(u"new"_s) : expandedTrimmed(m_configDir);
    const std::optional<QString> chosen = co_await m_desktop->chooseFolder(u"Config Folder"_s, start);
    if (!self || !chosen || !self->isFormEditable())
        co_return;
    self->m_configDir = *chosen;
    self->m_configDirEdited = true;
    Q_EMIT self->changed();
}

QCoro::Task<> NewDomainSetup::chooseCfgFolder() {
    QPointer<NewDomainSetup> self(this);
    const QString start = m_cfgFolder.isEmpty() ? homeDirectory() + u"/.gam"_s : expandedTrimmed(m_cfgFolder);
    const std::optional<QString> chosen = co_await m_desktop->chooseFolder(u"gam.cfg Folder"_s, start);
    if (self && chosen)
        self->setCfgFolder(*chosen);
}

// ---- Derived values ----

QString NewDomainSetup::adminDomain() const {
    const QStringList pieces = trimSpacesAndTabs(m_admin).toLower().split(u'@', Qt::SkipEmptyParts);
    return pieces.size() == 2 ? pieces.at(1) : QString();
}

QString NewDomainSetup::effectiveCheckUser() const {
    const QString checkUser = trimSpacesAndTabs(m_checkUser).toLower();
    return checkUser.isEmpty() ? trimSpacesAndTabs(m_admin).toLower() : checkUser;
}

QString NewDomainSetup::trimmedCfgFolder() const {
    return expandedTrimmed(m_cfgFolder);
}

QString NewDomainSetup::targetConfigFolder() const {
    if (m_layout == Layout::folder)
        return expandedTrimmed(m_configDir);
    return QDir(GAMConfigFile::credentialsBase(trimmedCfgFolder())).filePath(trimSpacesAndTabs(m_sectionName));
}

QStringList NewDomainSetup::existingSections() const {
    const QString folder = trimmedCfgFolder();
    return folder.isEmpty() ? QStringList() : GAMConfigFile::sectionNames(folder);
}

DomainProfile NewDomainSetup::pendingProfile() const {
    DomainProfile profile;
    profile.id = QUuid::createUuid();
    profile.name = trimSpacesAndTabs(m_name);
    profile.exportDir = homeDirectory() + u"/security_exports/"_s + folderSlug(profile.name);
    profile.auditLog = profile.exportDir + u"/incident_audit_log.txt"_s;
    if (m_layout == Layout::section) {
        profile.configDir = trimmedCfgFolder();
        profile.section = m_addedSection.value_or(trimSpacesAndTabs(m_sectionName));
    } else {
        profile.configDir = expandedTrimmed(m_configDir);
    }
    profile.domain = adminDomain();
    return profile;
}

std::optional<QString> NewDomainSetup::validationMessage() const {
    if (trimSpacesAndTabs(m_name).isEmpty())
        return u"Enter a name for the domain."_s;
    if (adminDomain().isEmpty())
        return u"Enter the admin's full email address."_s;
    if (!trimSpacesAndTabs(m_checkUser).isEmpty() && !effectiveCheckUser().contains(u'@'))
        return u"Enter the test user's full email address."_s;

    const QString fullPathMessage = u"Enter the folder's full path, starting with / or ~."_s;
    if (m_layout == Layout::section) {
        const QString folder = trimmedCfgFolder();
        if (folder.isEmpty())
            return u"Choose the folder that contains gam.cfg."_s;
        if (QDir::isRelativePath(folder))
            return fullPathMessage;
        if (!QFileInfo(GAMConfigFile::filePath(folder)).isFile())
            return u"That folder has no gam.cfg."_s;
        // Said before Start, so nothing is prepared for a file that will not be edited.
        if (const std::optional<EditError> refusal = GAMConfigFile::editRefusal(folder)) {
            return refusal->kind() == EditError::Kind::notUTF8
                       ? u"That folder's gam.cfg isn't UTF-8 text, so Tarnwick won't edit it. Save it as UTF-8, or "
                         u"choose another folder."_s
                       : u"That folder's gam.cfg can't be read."_s;
        }
        if (!m_addedSection) {
            if (auto message = GAMConfigFile::validateSectionName(trimSpacesAndTabs(m_sectionName), existingSections()))
                return message;
        }
    } else {
        const QString folder = expandedTrimmed(m_configDir);
        if (folder.isEmpty())
            return u"Choose a config folder."_s;
        if (QDir::isRelativePath(folder))
            return fullPathMessage;
        const QString cleaned = QDir::cleanPath(folder);
        for (const DomainProfile &profile : m_store->profiles()) {
            if (!profile.configDir.isEmpty() && QDir::cleanPath(expandTilde(profile.configDir)) == cleaned)
                return u"Another domain already uses this config folder."_s;
        }
    }

    const QString target = targetConfigFolder();
    const QFileInfo info(target);
    if (!info.exists())
        return std::nullopt;
    if (!info.isDir())
        return target + u" is a file, not a folder."_s;
    const QStringList credentials = presentCredentials(target);
    if (!credentials.isEmpty())
        return target + u" already has GAM credentials ("_s + credentials.join(u", "_s) +
               u"). Choose another name or folder, or add the domain with Add Existing Domain."_s;
    return std::nullopt;
}

std::optional<NewDomainSetup::StatusLine> NewDomainSetup::statusLine() const {
    switch (m_stage) {
    case Stage::form:
        if (trimSpacesAndTabs(m_name).isEmpty() && trimSpacesAndTabs(m_admin).isEmpty())
            return std::nullopt;
        if (const auto message = validationMessage())
            return StatusLine{StatusLine::Kind::invalid, *message};
        return std::nullopt;
    case Stage::waiting:
        return StatusLine{StatusLine::Kind::waiting, u"Finish the steps in Terminal, then click Test & Add Domain."_s};
    case Stage::testing:
        return StatusLine{StatusLine::Kind::testing, u"Testing the connection…"_s};
    case Stage::failed:
        return StatusLine{StatusLine::Kind::failed, m_failure};
    }
    return std::nullopt;
}

QString NewDomainSetup::helpText() const {
    if (m_layout == Layout::folder)
        return u"Creates a separate config folder for this domain. Test User is the account used to check "
               u"domain-wide delegation (GAM's installer suggests a regular, non-admin user); if blank, the admin "
               u"is used."_s;
    const QString section = trimSpacesAndTabs(m_sectionName);
    QString text = u"Adds a ["_s + (section.isEmpty() ? u"section"_s : section) +
                   u"] section to gam.cfg with its own credentials folder, as the gam.cfg wiki describes for multiple "
                   u"domains. A backup of gam.cfg is saved first and existing sections aren't changed."_s;
    const QStringList existing = existingSections();
    if (!existing.isEmpty())
        text += u" Existing sections: "_s + existing.join(u", "_s) + u"."_s;
    return text + u" Commands run with GAMCFGSECTION, so your Terminal's default section isn't changed."_s;
}

QString NewDomainSetup::credentialsFolderText() const {
    return trimSpacesAndTabs(m_sectionName).isEmpty() ? u"—"_s : targetConfigFolder();
}

SetupScriptValues NewDomainSetup::scriptValues(const QString &gam) const {
    const DomainProfile pending = pendingProfile();
    SetupScriptValues values;
    values.cfgDir = pending.configDir.isEmpty() ? homeDirectory() + u"/.gam"_s : expandTilde(pending.configDir);
    values.section = pending.effectiveSection();
    values.gam = gam;
    values.target = targetConfigFolder();
    values.admin = trimSpacesAndTabs(m_admin).toLower();
    values.domain = adminDomain();
    values.checkUser = effectiveCheckUser();
    return values;
}

// ---- Actions ----

void NewDomainSetup::setStage(Stage stage, const QString &failure) {
    m_stage = stage;
    m_failure = failure;
    Q_EMIT changed();
}

void NewDomainSetup::setError(const std::optional<QString> &message) {
    m_errorMessage = message;
    Q_EMIT changed();
}

void NewDomainSetup::start() {
    if (m_stage != Stage::form || validationMessage())
        return;
    setError(std::nullopt);
    try {
        const QString target = targetConfigFolder();
        makeOwnerOnlyFolder(target);
        // Once added, the section stays; starting again only reopens the terminal.
        if (m_layout == Layout::section && !m_addedSection) {
            const QString section = trimSpacesAndTabs(m_sectionName);
            const QString backup = GAMConfigFile::appendSection(trimmedCfgFolder(), section, target, adminDomain());
            m_addedSection = section;
            m_note = u"Added ["_s + section + u"] to gam.cfg. Backup: "_s + backup;
            Q_EMIT changed();
        }
    } catch (const Error &error) {
        setError(u"Couldn't prepare setup: "_s + error.description());
        return;
    }
    openTerminal();
}

void NewDomainSetup::openTerminal() {
    setError(std::nullopt);
    const std::optional<QString> gam = GAM::locateGAM();
    if (!gam) {
        setError(GAMError::notFound().description());
        return;
    }
    try {
        const QString title = u"Set Up "_s + folderSlug(trimSpacesAndTabs(m_name));
        GAMSetup::openInTerminal(m_desktop, GAMSetup::writeCommandScript(setupScript(scriptValues(*gam)), title));
    } catch (const Error &error) {
        setError(u"Couldn't open Terminal: "_s + error.description());
        return;
    }
    if (m_stage == Stage::form)
        setStage(Stage::waiting);
}

QCoro::Task<> NewDomainSetup::testAndAdd() {
    if (m_stage != Stage::waiting && m_stage != Stage::failed)
        co_return;
    QPointer<NewDomainSetup> self(this);
    setStage(Stage::testing);
    const DomainProfile pending = pendingProfile();

    std::optional<CommandResult> run;
    QString failure;
    try {
        run = co_await GAM::runGAM(DomainCheck::arguments(), DomainCheck::timeoutSeconds,
                                   GAM::ProfileChoice::specific(pending), m_testRuns);
    } catch (const Cancelled &) {
        co_return; // the wizard is being destroyed
    } catch (const std::exception &error) {
        failure = u"Test failed: "_s + errorDescription(error);
    }
    // Closed or cancelled meanwhile: nothing may be added any more.
    if (!self || self->m_finished)
        co_return;
    if (!run) {
        self->setStage(Stage::failed, failure);
    } else if (run->exitCode != 0) {
        self->setStage(Stage::failed, u"Test failed (exit "_s + QString::number(run->exitCode) + u"): "_s +
                                          DomainCheck::failureDetail(*run) +
                                          u"\nFinish setup in Terminal and test again, or add it anyway and fix it "
                                          u"later."_s);
    } else {
        const std::optional<QString> detected = DomainCheck::primaryDomain(*run);
        self->addDomain(detected ? std::optional(detected->toLower()) : std::nullopt);
    }
}

void NewDomainSetup::addAnyway() {
    if (m_stage == Stage::failed)
        addDomain(std::nullopt);
}

void NewDomainSetup::addDomain(const std::optional<QString> &detectedDomain) {
    const DomainProfile pending = pendingProfile();
    DomainProfile profile = m_store->add(pending.name);
    profile.configDir = pending.configDir;
    profile.section = pending.section;
    profile.domain = detectedDomain.value_or(adminDomain());
    m_store->update(profile);
    Q_EMIT added(profile);
    finish();
}

void NewDomainSetup::removeSection() {
    m_confirmCancel = false;
    if (m_addedSection) {
        const QString section = *m_addedSection;
        try {
            const QString backup = GAMConfigFile::removeSection(section, trimmedCfgFolder());
            m_addedSection.reset();
            m_note = u"Removed ["_s + section + u"] from gam.cfg. Backup: "_s + backup;
        } catch (const Error &error) {
            setError(u"Couldn't remove the section: "_s + error.description());
            return;
        }
    }
    Q_EMIT changed();
    finish();
}

void NewDomainSetup::cancel() {
    if (!m_addedSection) {
        finish();
        return;
    }
    m_confirmCancel = true;
    Q_EMIT changed();
}

void NewDomainSetup::keepSection() {
    m_confirmCancel = false;
    Q_EMIT changed();
    finish();
}

void NewDomainSetup::stayInSetup() {
    m_confirmCancel = false;
    Q_EMIT changed();
}

void NewDomainSetup::finish() {
    m_finished = true;
    Q_EMIT finished();
}
