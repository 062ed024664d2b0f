#pragma once

#include <QMainWindow>

class AppModel;
class AssistantPanel;
class DesktopServices;
class QAction;
class QSplitter;
class QTabWidget;

// The one main window: the setup banner and the five tabs above a movable
// split, the output log below, the domain switcher in the toolbar.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    enum class Tab { gmail, drive, classroom, security, custom };

    MainWindow(AppModel *model, DesktopServices *desktop, QWidget *parent = nullptr);

    void showStartupNotice();
    void showAbout();
    // Explains the practice domain and offers to start it in a window of its own.
    void explainPractice();
    // Settings… and Manage Domains… stay disabled until a Settings window is there to open.
    void setSettingsAvailable(bool available);

    QTabWidget *tabs() const { return m_tabs; }
    QSplitter *splitter() const { return m_splitter; }

Q_SIGNALS:
    void settingsRequested();
    void manageDomainsRequested();
    void practiceRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void refreshTitle();
    void confirmQuit();

    AppModel *m_model;
    DesktopServices *m_desktop;
    QTabWidget *m_tabs;
    QSplitter *m_splitter;
    QAction *m_settings;
    QAction *m_manageDomains;
    AssistantPanel *m_assistantPanel;
    bool m_quitConfirmed = false;
};
