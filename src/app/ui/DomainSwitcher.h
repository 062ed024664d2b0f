#pragma once

#include <QToolButton>

class AppModel;
class QMenu;

// The toolbar's domain picker: shows the active profile, lists every profile and
// leads to the Domains settings. Choices made while a command runs are ignored.
class DomainSwitcher : public QToolButton {
    Q_OBJECT
public:
    explicit DomainSwitcher(AppModel *model, QWidget *parent = nullptr);

    // "Manage Domains…": opens Settings on its Domains tab.
    QAction *manageDomainsAction() const { return m_manage; }

private:
    void rebuildMenu();
    void refreshLabel();
    void refreshTooltip();

    AppModel *m_model;
    QMenu *m_menu;
    QAction *m_manage;
};
