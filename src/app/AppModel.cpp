#include "app/AppModel.h"

#include "app/GAMSetup.h"
#include "assistant/APIKeyStore.h"
#include "assistant/AssistantModel.h"
#include "command/CustomCommandModel.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "security/SecurityModel.h"
#include "tabs/ClassroomModel.h"
#include "tabs/DriveModel.h"
#include "tabs/GmailModel.h"

using namespace Qt::StringLiterals;

AppModel::AppModel(ProfileStore *profiles, DesktopServices *desktop, QObject *parent)
    : QObject(parent)
    , m_profiles(profiles)
    , m_console(new Console(desktop, this))
    , m_assistant(new AssistantModel(&APIKeyStore::loadKey, this))
    , m_gmail(new GmailModel(m_console, this))
    , m_drive(new DriveModel(m_console, this))
    , m_classroom(new ClassroomModel(m_console, this))
    , m_custom(new CustomCommandModel(m_console, this))
    , m_security(new SecurityModel(m_console, this))
    , m_setup(new GAMSetup(m_console, this))
    , m_activeID(profiles->activeID()) {
    connect(m_profiles, &ProfileStore::activeIDChanged, this, &AppModel::followActiveProfile);
}

AppModel::~AppModel() = default;

void AppModel::startCheck() {
    m_setup->check();
}

void AppModel::chooseDomain(const QUuid &id) {
    if (id == m_profiles->activeID() || m_console->isBusy())
        return;
    m_profiles->activate(id);
    const QList<DomainProfile> &all = m_profiles->profiles();
    if (all.isEmpty())
        return;
    const auto chosen = std::find_if(all.begin(), all.end(), [&id](const DomainProfile &p) { return p.id == id; });
    switchDomain(chosen != all.end() ? *chosen : all.first());
}

void AppModel::switchDomain(const DomainProfile &profile) {
    // What belongs to the previous domain goes: the Security state, the listed
    // courses, Drive's OU list and the open results sheet.
    m_security->reset();
    m_classroom->reset();
    m_drive->setOUList(std::nullopt);
    m_console->setResults(std::nullopt);

    QString line =
        u"[DOMAIN] Switched to "_s + profile.displayName() + u" — config folder "_s + profile.effectiveConfigDir();
    if (const auto section = profile.effectiveSection())
        line += u", section "_s + *section;
    m_console->log(line, LogKind::info);
    startCheck();
}

void AppModel::followActiveProfile() {
    const QUuid previous = std::exchange(m_activeID, m_profiles->activeID());
    const QList<DomainProfile> &all = m_profiles->profiles();
    // Removing the active profile in Settings makes another one active: that is a domain
    // switch like any other, or the previous domain's state would carry over.
    const bool removed =
        std::none_of(all.begin(), all.end(), [&previous](const DomainProfile &p) { return p.id == previous; });
    if (removed)
        switchDomain(m_profiles->activeProfile());
}

bool AppModel::needsQuitConfirmation() const {
    return !quitWarnings().isEmpty();
}

QStringList AppModel::quitWarnings() const {
    QStringList warnings;
    if (m_console->isBusy())
        warnings.append(u"\u201C"_s + m_console->busyLabel() +
                        u"\u201D is still running. Quitting stops it partway through."_s);
    if (m_security->passwordReveal())
        warnings.append(u"New passwords are still on screen. If they've been applied and you haven't recorded them, "
                        u"those users won't be able to sign in."_s);
    return warnings;
}
