#pragma once

#include "profiles/ui/SettingsWindow.h"

#include <QMainWindow>
#include <QPointer>

class AppModel;
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
    // Opens the Settings window on tab (raising it when it is already open).
    void showSettings(SettingsTab tab);
    // The Settings window, when it is open.
    SettingsWindow *settingsWindow() const { return m_settingsWindow; }
    // Explains the practice domain and offers to start it in a window of its own.
    void explainPractice();

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
    QPointer<SettingsWindow> m_settingsWindow;
    bool m_quitConfirmed = false;
};
