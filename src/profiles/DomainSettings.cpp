#include "profiles/DomainSettings.h"

#include "profiles/ProfileStore.h"

using namespace Qt::StringLiterals;

DomainSettings::DomainSettings(ProfileStore *store, Console *console, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_console(console) {
    connect(m_console, &Console::busyChanged, this, &DomainSettings::canRemoveChanged);
    connect(m_store, &ProfileStore::activeIDChanged, this, &DomainSettings::canRemoveChanged);
    connect(m_store, &ProfileStore::profilesChanged, this, [this] {
        // A profile removed elsewhere takes its selection with it.
        if (m_selection && !std::any_of(m_store->profiles().cbegin(), m_store->profiles().cend(),
                                        [this](const DomainProfile &p) { return p.id == *m_selection; }))
            select(std::nullopt);
        Q_EMIT canRemoveChanged();
    });
}

void DomainSettings::select(const std::optional<QUuid> &id) {
    std::optional<QUuid> chosen;
    if (id && std::any_of(m_store->profiles().cbegin(), m_store->profiles().cend(),
                          [&id](const DomainProfile &p) { return p.id == *id; }))
        chosen = id;
    if (chosen == m_selection)
        return;
    m_selection = chosen;
    Q_EMIT selectionChanged();
    Q_EMIT canRemoveChanged();
}

void DomainSettings::selectActiveIfNone() {
    if (!m_selection)
        select(m_store->activeID());
}

void DomainSettings::addExisting() {
    select(m_store->add(u"New Domain"_s).id);
}

void DomainSettings::added(const DomainProfile &profile) {
    select(profile.id);
}

bool DomainSettings::canRemove() const {
    if (!m_selection || m_store->profiles().size() <= 1)
        return false;
    return !(*m_selection == m_store->activeID() && m_console->isBusy());
}

void DomainSettings::requestRemoval() {
    if (!canRemove())
        return;
    const QUuid id = *m_selection;
    QString name;
    for (const DomainProfile &profile : m_store->profiles()) {
        if (profile.id == id)
            name = profile.displayName();
    }
    AlertItem question;
    question.title = u"Remove "_s + name + u"?"_s;
    question.message = u"Tarnwick forgets this domain's settings. Its GAM config folder, gam.cfg and evidence "
                       u"files stay as they are, so you can add it again with Add Existing Domain."_s;
    question.confirmTitle = u"Remove"_s;
    question.isDestructive = true;
    question.onConfirm = [this, id] { remove(id); };
    m_removalQuestion = question;
    Q_EMIT removalQuestionChanged();
}

void DomainSettings::answerRemoval(bool confirmed) {
    if (!m_removalQuestion)
        return;
    const std::function<void()> onConfirm = m_removalQuestion->onConfirm;
    m_removalQuestion.reset();
    Q_EMIT removalQuestionChanged();
    if (confirmed)
        onConfirm();
}

void DomainSettings::remove(const QUuid &id) {
    // A command may have started on this profile while the question was open.
    if (id == m_store->activeID() && m_console->isBusy())
        return;
    m_store->remove(id);
    select(m_store->activeID());
}
