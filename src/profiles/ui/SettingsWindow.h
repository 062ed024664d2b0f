#pragma once

#include <QWidget>

class AssistantKeySettings;
class Console;
class DomainSettings;
class DomainSettingsPane;
class ProfileStore;
class QTabWidget;

// The tabs of the Settings window, in their order.
enum class SettingsTab { gam, domains, security, assistant };

// Settings (Ctrl+,): the gam executable, the domain profiles, the Security tab's
// shared settings and the assistant's API key. Everything is saved as it is
// edited; there is nothing to apply.
class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    SettingsWindow(ProfileStore *profiles, Console *console, QWidget *parent = nullptr);

    void showTab(SettingsTab tab);
    SettingsTab currentTab() const;

    QTabWidget *tabs() const { return m_tabs; }
    DomainSettings *domains() const { return m_domains; }
    DomainSettingsPane *domainsPane() const { return m_domainsPane; }
    AssistantKeySettings *assistantKey() const { return m_assistantKey; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fitToTab();

    QTabWidget *m_tabs;
    DomainSettings *m_domains;
    DomainSettingsPane *m_domainsPane;
    AssistantKeySettings *m_assistantKey;
};
