#include "app/ui/MainWindow.h"

#include "app/AppModel.h"
#include "app/GAMSetup.h"
#include "app/PracticeDomain.h"
#include "app/ui/AboutDialog.h"
#include "app/ui/AlertPresenter.h"
#include "app/ui/DestructiveStyle.h"
#include "app/ui/DomainSwitcher.h"
#include "app/ui/FormAccessibility.h"
#include "app/ui/Icons.h"
#include "app/ui/LogPanel.h"
#include "app/ui/ResultsSheet.h"
#include "app/ui/SetupBanner.h"
#include "app/ui/StartupNotice.h"
#include "assistant/ui/AssistantPanel.h"
#include "command/CustomCommandModel.h"
#include "command/ui/CustomCommandView.h"
#include "core/Console.h"
#include "core/DesktopServices.h"
#include "core/PlatformTexts.h"
#include "profiles/ProfileStore.h"
#include "security/ui/SecurityView.h"
#include "tabs/ui/ClassroomView.h"
#include "tabs/ui/DriveView.h"
#include "tabs/ui/GmailView.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr QSize defaultSize(920, 860);
constexpr QSize minimumWindowSize(780, 720);
constexpr int minimumWorkAreaHeight = 460;
constexpr int minimumLogHeight = 160;

} // namespace

MainWindow::MainWindow(AppModel *model, DesktopServices *desktop, QWidget *parent)
    : QMainWindow(parent)
    , m_model(model)
    , m_desktop(desktop)
    , m_tabs(new QTabWidget)
    , m_splitter(new QSplitter(Qt::Vertical))
    , m_settings(new QAction(u"Settings…"_s, this))
    , m_manageDomains(nullptr) {
    setObjectName(u"mainWindow"_s);
    setWindowIcon(Icons::appIcon());
    setMinimumSize(minimumWindowSize);
    QSize size = defaultSize;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize());
    resize(size.expandedTo(minimumWindowSize));

    auto *workArea = new QWidget;
    workArea->setMinimumHeight(minimumWorkAreaHeight);
    auto *workLayout = new QVBoxLayout(workArea);
    workLayout->setContentsMargins(8, 8, 8, 0);
    workLayout->setSpacing(8);
    workLayout->addWidget(new SetupBanner(model->setup(), desktop, workArea));
    workLayout->addWidget(m_tabs, 1);

    // Tabs appear in this order; those whose forms are not built yet stay empty.
    m_tabs->setObjectName(u"tabs"_s);
    m_tabs->addTab(new GmailView(model->gmail(), model->console()), Icons::icon(Icons::Symbol::envelope), u"Gmail"_s);
    m_tabs->addTab(new DriveView(model->drive(), model->console()), Icons::icon(Icons::Symbol::externalDrive),
                   u"Google Drive"_s);
    m_tabs->addTab(new ClassroomView(model->classroom(), model->console()), Icons::icon(Icons::Symbol::graduationCap),
                   u"Google Classroom"_s);
    m_tabs->addTab(new SecurityView(model->security(), model->profiles(), desktop),
                   Icons::icon(Icons::Symbol::lockShield), u"Security"_s);
    auto *customView = new CustomCommandView(model->custom(), model->console());
    // Insert only fills the command field; running stays with the Run button.
    auto *assistantPanel =
        new AssistantPanel(model->assistant(), desktop,
                           [custom = model->custom()](const QString &command) { custom->setCommand(command); });
    connect(assistantPanel, &AssistantPanel::settingsRequested, this, [this] { showSettings(SettingsTab::assistant); });
    customView->panelArea()->addWidget(assistantPanel);
    m_tabs->addTab(customView, Icons::icon(Icons::Symbol::terminal), u"Custom Command"_s);
    m_tabs->setCurrentIndex(int(Tab::gmail));

    m_splitter->setObjectName(u"mainSplitter"_s);
    m_splitter->setChildrenCollapsible(false);
    auto *logPanel = new LogPanel(model->console());
    logPanel->setMinimumHeight(minimumLogHeight);
    m_splitter->addWidget(workArea);
    m_splitter->addWidget(logPanel);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setSizes({height() - 260, 260});
    setCentralWidget(m_splitter);

    new AlertPresenter(model->console(), this);
    new ResultsSheet(model->console(), this);

    auto *toolbar = addToolBar(u"Domain"_s);
    toolbar->setObjectName(u"domainToolBar"_s);
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setEnabled(false);
    auto *switcher = new DomainSwitcher(model, toolbar);
    toolbar->addWidget(switcher);
    m_manageDomains = switcher->manageDomainsAction();
    connect(m_manageDomains, &QAction::triggered, this, &MainWindow::manageDomainsRequested);

    buildMenus();
    connect(this, &MainWindow::settingsRequested, this, [this] {
        // Settings… brings back an open window as it was; a new one starts on GAM.
        showSettings(m_settingsWindow ? m_settingsWindow->currentTab() : SettingsTab::gam);
    });
    connect(this, &MainWindow::manageDomainsRequested, this, [this] { showSettings(SettingsTab::domains); });

    for (int i = 0; i < m_tabs->count(); ++i)
        FormAccessibility::keepPrepared(m_tabs->widget(i));
    FormAccessibility::keepPrepared(logPanel);
    FormAccessibility::keepDialogsPrepared(this);

    connect(model->profiles(), &ProfileStore::activeIDChanged, this, &MainWindow::refreshTitle);
    connect(model->profiles(), &ProfileStore::profilesChanged, this, &MainWindow::refreshTitle);
    refreshTitle();
}

void MainWindow::buildMenus() {
    QMenu *file = menuBar()->addMenu(u"&File"_s);
    file->setToolTipsVisible(true);
    m_settings->setObjectName(u"settingsAction"_s);
    m_settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_settings->setShortcutContext(Qt::ApplicationShortcut);
    m_settings->setToolTip(u"Settings ("_s + PlatformTexts::settingsShortcut() + u")"_s);
    connect(m_settings, &QAction::triggered, this, &MainWindow::settingsRequested);
    file->addAction(m_settings);
    file->addSeparator();
    QAction *quit = file->addAction(u"&Quit"_s, this, &MainWindow::close);
    quit->setObjectName(u"quitAction"_s);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::ApplicationShortcut);

    QMenu *help = menuBar()->addMenu(u"&Help"_s);
    help->setToolTipsVisible(true);
    help->addAction(u"GAM Wiki"_s, this, [this] { m_desktop->openUrl(GAMSetup::wikiURL()); });
    QAction *practice = help->addAction(u"Practice Domain…"_s, this, &MainWindow::explainPractice);
    practice->setObjectName(u"practiceAction"_s);
    if (m_model->isPractice()) {
        practice->setEnabled(false);
        practice->setToolTip(u"This window is the practice domain."_s);
    } else if (PracticeDomain::gamPath().isEmpty()) {
        practice->setEnabled(false);
        practice->setToolTip(u"The practice gam is not installed with this copy of Tarnwick."_s);
    }
    help->addSeparator();
    help->addAction(u"About Tarnwick"_s, this, &MainWindow::showAbout);
}

void MainWindow::showSettings(SettingsTab tab) {
    if (!m_settingsWindow) {
        m_settingsWindow = new SettingsWindow(m_model->profiles(), m_model->console(), this);
        m_settingsWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_settingsWindow->showTab(tab);
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
}

void MainWindow::refreshTitle() {
    const QString application = m_model->isPractice() ? u"Tarnwick Practice"_s : u"Tarnwick"_s;
    setWindowTitle(application + u" — "_s + m_model->profiles()->activeProfile().displayName());
}

void MainWindow::showStartupNotice() {
    auto *notice = new StartupNotice(m_desktop, this);
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->open();
}

void MainWindow::explainPractice() {
    if (findChild<QMessageBox *>(u"practiceExplanation"_s))
        return;
    auto *box = new QMessageBox(QMessageBox::Information, u"Practice Domain"_s, u"Practice Domain"_s,
                                QMessageBox::NoButton, this);
    box->setObjectName(u"practiceExplanation"_s);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setInformativeText(
        u"Opens a second Tarnwick window on two simulated school districts, example.org and "
        "district-b.example.net, answered by a practice gam: thousands of users, a phishing campaign, "
        "shared files, courses in every state and one compromised account. Rehearse deletions and "
        "incident response there; nothing you do reaches Google.\n\n"
        "The practice window keeps its own settings and never reads your settings, keyring or ~/.gam. "
        "Each start seeds fresh districts, and they are removed when the window closes."_s);
    box->setStyleSheet(u"QLabel#qt_msgbox_informativelabel { min-width: 340px; }"_s);
    QPushButton *start = box->addButton(u"Start Practice Domain"_s, QMessageBox::AcceptRole);
    start->setObjectName(u"startPracticeButton"_s);
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(start);
    connect(box, &QMessageBox::finished, this, [this, box, start] {
        if (box->clickedButton() == start)
            Q_EMIT practiceRequested();
    });
    box->open();
}

void MainWindow::showAbout() {
    // One About window at a time, raised when asked again.
    if (auto *about = findChild<AboutDialog *>()) {
        about->raise();
        about->activateWindow();
        return;
    }
    auto *about = new AboutDialog(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->show();
}

void MainWindow::closeEvent(QCloseEvent *event) {
    if (m_quitConfirmed || !m_model->needsQuitConfirmation()) {
        event->accept();
        return;
    }
    event->ignore();
    confirmQuit();
}

void MainWindow::confirmQuit() {
    if (findChild<QMessageBox *>(u"quitConfirmation"_s))
        return;
    auto *box =
        new QMessageBox(QMessageBox::Warning, u"Quit Tarnwick?"_s, u"Quit Tarnwick?"_s, QMessageBox::NoButton, this);
    box->setObjectName(u"quitConfirmation"_s);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setInformativeText(m_model->quitWarnings().join(u"\n\n"_s));
    // Wide enough that a paragraph reads as one, like the other alerts.
    box->setStyleSheet(u"QLabel#qt_msgbox_informativelabel { min-width: 340px; }"_s);
    QPushButton *cancel = box->addButton(QMessageBox::Cancel);
    QPushButton *quit = box->addButton(u"Quit Anyway"_s, QMessageBox::DestructiveRole);
    quit->setObjectName(u"quitAnywayButton"_s);
    drawAsDestructive(quit);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::finished, this, [this, box, quit] {
        if (box->clickedButton() != quit)
            return;
        m_quitConfirmed = true;
        close();
    });
    box->open();
}
