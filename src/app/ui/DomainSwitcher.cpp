#include "app/ui/DomainSwitcher.h"

#include "app/AppModel.h"
#include "app/ui/Icons.h"
#include "app/ui/MenuText.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"

#include <QActionGroup>
#include <QMenu>

using namespace Qt::StringLiterals;

DomainSwitcher::DomainSwitcher(AppModel *model, QWidget *parent)
    : QToolButton(parent)
    , m_model(model)
    , m_menu(new QMenu(this))
    , m_manage(new QAction(u"Manage Domains…"_s, this)) {
    setObjectName(u"domainSwitcher"_s);
    setIcon(Icons::icon(Icons::Symbol::building));
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setPopupMode(QToolButton::InstantPopup);
    setMenu(m_menu);
    m_menu->setToolTipsVisible(true);
    m_manage->setObjectName(u"manageDomainsAction"_s);

    ProfileStore *store = m_model->profiles();
    // Queued: a choice from the menu changes the store while its action is still emitting.
    connect(store, &ProfileStore::profilesChanged, this, &DomainSwitcher::rebuildMenu, Qt::QueuedConnection);
    connect(store, &ProfileStore::activeIDChanged, this, &DomainSwitcher::rebuildMenu, Qt::QueuedConnection);
    connect(m_model->console(), &Console::busyChanged, this, &DomainSwitcher::refreshTooltip);
    rebuildMenu();
    refreshTooltip();
}

void DomainSwitcher::rebuildMenu() {
    m_menu->clear();
    m_menu->addSection(u"Domain"_s);
    auto *group = new QActionGroup(m_menu);
    const QUuid activeID = m_model->profiles()->activeID();
    for (const DomainProfile &profile : m_model->profiles()->profiles()) {
        QAction *action = m_menu->addAction(escapeMnemonics(profile.displayName()));
        action->setCheckable(true);
        action->setChecked(profile.id == activeID);
        group->addAction(action);
        const QUuid id = profile.id;
        connect(action, &QAction::triggered, this, [this, id] {
            m_model->chooseDomain(id);
            // An ignored choice must not leave the wrong profile checked.
            QMetaObject::invokeMethod(this, &DomainSwitcher::rebuildMenu, Qt::QueuedConnection);
        });
    }
    m_menu->addSeparator();
    m_menu->addAction(m_manage);
    refreshLabel();
}

void DomainSwitcher::refreshLabel() {
    QString name = m_model->profiles()->activeProfile().displayName();
    if (m_model->isPractice())
        name = u"Practice: "_s + name;
    setText(escapeMnemonics(name));
    setAccessibleName(u"Domain: "_s + name);
}

void DomainSwitcher::refreshTooltip() {
    setToolTip(m_model->console()->isBusy() ? u"Wait for the running command to finish before switching domains."_s
                                            : u"The Google Workspace domain every command runs against"_s);
}
