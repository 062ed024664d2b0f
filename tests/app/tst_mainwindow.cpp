#include "FakeDesktopServices.h"
#include "app/AppModel.h"
#include "app/GAMSetup.h"
#include "app/ui/MainWindow.h"
#include "app/ui/ResultsSheet.h"
#include "app/ui/StartupNotice.h"
#include "command/CustomCommandModel.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"

#include "TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>

using namespace Qt::StringLiterals;

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void layout_titleTabsAndSizes();
    void quit_withNothingRunning_closesWithoutQuestion();
    void quit_whileRunning_asksWithOneParagraph();
    void customCommand_busyAlertAndStopInTheWindow();
    void domainSwitch_ignoredWhileBusy_thenSwitches();
    void domainSwitch_closesResultsAndNamesSection();
    void domainSwitcher_showsAmpersandsAsWritten();
    void removingTheActiveProfile_switchesToTheNewActiveOne();
    void settingsShortcut_andManageDomains_openOneSettingsWindow();
    void banner_showsProblemUntilHidden();
    void startupNotice_continueCloses();

private:
    void startLongRun();
    QAction *domainAction(const QString &name) const;

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProfileStore> m_store;
    FakeDesktopServices m_desktop;
    std::unique_ptr<AppModel> m_model;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindow::init() {
    m_settings = std::make_unique<IsolatedSettings>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<ProfileStore>();
    m_model = std::make_unique<AppModel>(m_store.get(), &m_desktop);
    m_window = std::make_unique<MainWindow>(m_model.get(), &m_desktop);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestMainWindow::cleanup() {
    if (m_model->console()->isBusy()) {
        m_model->console()->stop();
        QTRY_VERIFY(!m_model->console()->isBusy());
    }
    m_window.reset();
    m_model.reset();
    m_store.reset();
    m_dir.reset();
    m_settings.reset();
}

void TestMainWindow::startLongRun() {
    QSettings().setValue(u"gamPath"_s, writeScript(m_dir->path(), u"gam"_s, u"echo started\nexec sleep 60\n"_s));
    m_window->tabs()->setCurrentIndex(int(MainWindow::Tab::custom));
    m_model->custom()->setCommand(u"gam print users"_s);
    m_model->custom()->run();
    QTRY_VERIFY(logLines(*m_model->console()).contains(u"  started"_s));
}

QAction *TestMainWindow::domainAction(const QString &name) const {
    auto *switcher = m_window->findChild<QToolButton *>(u"domainSwitcher"_s);
    // The text as shown: a lone "&" would vanish into a shortcut mark.
    for (QAction *action : switcher->menu()->actions())
        if (action->iconText() == name)
            return action;
    return nullptr;
}

void TestMainWindow::layout_titleTabsAndSizes() {
    QCOMPARE(m_window->windowTitle(), u"Tarnwick — "_s + m_store->activeProfile().displayName());
    QTabWidget *tabs = m_window->tabs();
    QStringList labels;
    for (int i = 0; i < tabs->count(); ++i) {
        labels.append(tabs->tabText(i));
        QVERIFY2(!tabs->tabIcon(i).isNull(), qPrintable(tabs->tabText(i)));
    }
    QCOMPARE(labels,
             QStringList({u"Gmail"_s, u"Google Drive"_s, u"Google Classroom"_s, u"Security"_s, u"Custom Command"_s}));
    QCOMPARE(tabs->currentIndex(), int(MainWindow::Tab::gmail));
    QVERIFY(m_window->minimumSize().width() >= 780 && m_window->minimumSize().height() >= 720);
    QCOMPARE(m_window->splitter()->orientation(), Qt::Vertical);
    QVERIFY(m_window->splitter()->widget(0)->minimumHeight() >= 460);

    auto *switcher = m_window->findChild<QToolButton *>(u"domainSwitcher"_s);
    QCOMPARE(switcher->text(), m_store->activeProfile().displayName());
    QCOMPARE(switcher->accessibleName(), u"Domain: "_s + m_store->activeProfile().displayName());
    QCOMPARE(switcher->toolTip(), u"The Google Workspace domain every command runs against"_s);
}

void TestMainWindow::quit_withNothingRunning_closesWithoutQuestion() {
    QVERIFY(!m_model->needsQuitConfirmation());
    QVERIFY(m_window->close());
    QVERIFY(!m_window->isVisible());
    QVERIFY(!m_window->findChild<QMessageBox *>(u"quitConfirmation"_s));
}

void TestMainWindow::quit_whileRunning_asksWithOneParagraph() {
    startLongRun();
    QVERIFY(!m_window->close());
    auto *box = m_window->findChild<QMessageBox *>(u"quitConfirmation"_s);
    QVERIFY(box);
    QTRY_VERIFY(box->isVisible());
    QCOMPARE(box->text(), u"Quit Tarnwick?"_s);
    QCOMPARE(box->informativeText(),
             u"\u201CCustom Command\u201D is still running. Quitting stops it partway through."_s);
    QCOMPARE(box->defaultButton(), box->button(QMessageBox::Cancel));

    // Cancel keeps the window and the command.
    QTest::mouseClick(box->button(QMessageBox::Cancel), Qt::LeftButton);
    QTRY_VERIFY(!m_window->findChild<QMessageBox *>(u"quitConfirmation"_s));
    QVERIFY(m_window->isVisible());
    QVERIFY(m_model->console()->isBusy());

    // Ctrl+Q goes through the same question; "Quit Anyway" closes.
    m_window->findChild<QAction *>(u"quitAction"_s)->trigger();
    box = m_window->findChild<QMessageBox *>(u"quitConfirmation"_s);
    QVERIFY(box);
    // Drawn like the window's other destructive buttons.
    auto *quit = box->findChild<QPushButton *>(u"quitAnywayButton"_s);
    QPushButton *deleteMessages = nullptr;
    for (QPushButton *button : m_window->findChildren<QPushButton *>())
        if (button->text() == u"Delete Messages"_s)
            deleteMessages = button;
    QVERIFY(deleteMessages);
    const auto text = [](QAbstractButton *button) {
        return button->palette().color(QPalette::Active, QPalette::ButtonText);
    };
    QCOMPARE(text(quit), text(deleteMessages));
    QVERIFY(text(quit) != text(box->button(QMessageBox::Cancel)));
    QTest::mouseClick(quit, Qt::LeftButton);
    QTRY_VERIFY(!m_window->isVisible());
}

void TestMainWindow::customCommand_busyAlertAndStopInTheWindow() {
    startLongRun();
    auto *field = m_window->findChild<QLineEdit *>(u"commandField"_s);
    QTest::keyClick(field, Qt::Key_Return);
    auto *alert = m_window->findChild<QMessageBox *>(u"alert"_s);
    QVERIFY(alert);
    QTRY_VERIFY(alert->isVisible());
    QCOMPARE(alert->text(), u"Busy"_s);
    QCOMPARE(alert->informativeText(), u"\"Custom Command\" is still running. Wait for it to finish or press Stop."_s);
    QTest::mouseClick(alert->findChild<QPushButton *>(u"okButton"_s), Qt::LeftButton);
    QTRY_VERIFY(!m_model->console()->alert());

    auto *stop = m_window->findChild<QPushButton *>(u"stopButton"_s);
    QVERIFY(stop && stop->isVisible());
    QTest::mouseClick(stop, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!m_model->console()->isBusy(), 10000);
    const QStringList lines = logLines(*m_model->console());
    QCOMPARE(lines.last(), u"  Stopped by user."_s);
    QVERIFY(!lines.join(u'\n').contains(u"Command exited with code"_s));
}

void TestMainWindow::domainSwitch_ignoredWhileBusy_thenSwitches() {
    const DomainProfile first = m_store->activeProfile();
    DomainProfile second = m_store->add(u"Lakeside"_s);
    second.configDir = m_dir->path();
    m_store->update(second);
    second = m_store->profiles().last();
    QTRY_VERIFY(domainAction(second.displayName()));

    startLongRun();
    auto *switcher = m_window->findChild<QToolButton *>(u"domainSwitcher"_s);
    QCOMPARE(switcher->toolTip(), u"Wait for the running command to finish before switching domains."_s);
    const qsizetype before = m_model->console()->entryCount();
    domainAction(second.displayName())->trigger();
    QCOMPARE(m_store->activeID(), first.id);
    QCOMPARE(m_model->console()->entryCount(), before);
    QTRY_VERIFY(domainAction(first.displayName())->isChecked());
    QVERIFY(!domainAction(second.displayName())->isChecked());

    m_model->console()->stop();
    QTRY_VERIFY(!m_model->console()->isBusy());
    // Picking the active domain does nothing at all.
    const qsizetype idle = m_model->console()->entryCount();
    domainAction(first.displayName())->trigger();
    QCOMPARE(m_model->console()->entryCount(), idle);

    domainAction(second.displayName())->trigger();
    QCOMPARE(m_store->activeID(), second.id);
    QVERIFY(logLines(*m_model->console())
                .contains(u"[DOMAIN] Switched to "_s + second.displayName() + u" — config folder "_s + m_dir->path()));
    QTRY_COMPARE(m_window->windowTitle(), u"Tarnwick — "_s + second.displayName());
    QTRY_COMPARE(switcher->text(), second.displayName());
}

void TestMainWindow::domainSwitcher_showsAmpersandsAsWritten() {
    DomainProfile district = m_store->add(u"Smith & Jones USD"_s);
    district.configDir = m_dir->path();
    m_store->update(district);
    QTRY_VERIFY(domainAction(u"Smith & Jones USD"_s));
    domainAction(u"Smith & Jones USD"_s)->trigger();
    auto *switcher = m_window->findChild<QToolButton *>(u"domainSwitcher"_s);
    QTRY_COMPARE(switcher->text(), u"Smith && Jones USD"_s);
    QCOMPARE(switcher->accessibleName(), u"Domain: Smith & Jones USD"_s);
}

void TestMainWindow::removingTheActiveProfile_switchesToTheNewActiveOne() {
    DomainProfile second = m_store->add(u"District B"_s);
    second.configDir = m_dir->path();
    m_store->update(second);
    m_model->chooseDomain(second.id);
    const qsizetype before = m_model->console()->entryCount();
    ResultsTable table;
    table.title = u"Courses"_s;
    m_model->console()->setResults(table);

    // What Settings ▸ Domains does when the active profile is removed.
    m_store->remove(second.id);
    const DomainProfile first = m_store->activeProfile();
    QVERIFY(logLines(*m_model->console())
                .mid(before)
                .contains(u"[DOMAIN] Switched to "_s + first.displayName() + u" — config folder "_s +
                          first.effectiveConfigDir()));
    QVERIFY(!m_model->console()->results());
    QTRY_COMPARE(m_window->windowTitle(), u"Tarnwick — "_s + first.displayName());

    // Activating an existing profile stays the caller's switch: logged once, not twice.
    const qsizetype afterRemoval = m_model->console()->entryCount();
    DomainProfile third = m_store->add(u"District C"_s);
    m_model->chooseDomain(third.id);
    QCOMPARE(logLines(*m_model->console()).mid(afterRemoval).filter(u"[DOMAIN]"_s).size(), 1);
}

void TestMainWindow::domainSwitch_closesResultsAndNamesSection() {
    ResultsTable table;
    table.title = u"Courses"_s;
    table.columns = QStringList{u"name"_s};
    m_model->console()->setResults(table);
    QSignalSpy resultsSpy(m_model->console(), &Console::resultsChanged);
    auto *sheet = m_window->findChild<ResultsSheet *>();
    QVERIFY(sheet);
    QTRY_VERIFY(sheet->isVisible());

    DomainProfile profile = m_store->activeProfile();
    profile.configDir = m_dir->path();
    profile.section = u"district"_s;
    m_model->switchDomain(profile);
    QVERIFY(!m_model->console()->results());
    QVERIFY(resultsSpy.count() >= 1);
    QTRY_VERIFY(!sheet->isVisible());
    QVERIFY(logLines(*m_model->console())
                .contains(u"[DOMAIN] Switched to "_s + profile.displayName() + u" — config folder "_s + m_dir->path() +
                          u", section district"_s));
    const qsizetype domainLine = logLines(*m_model->console())
                                     .indexOf(u"[DOMAIN] Switched to "_s + profile.displayName() +
                                              u" — config folder "_s + m_dir->path() + u", section district"_s);
    QCOMPARE(m_model->console()->entryAt(domainLine).kind, LogKind::info);
    // The GAM check follows the switch.
    QTRY_VERIFY(logLines(*m_model->console()).mid(domainLine + 1).join(u'\n').contains(u"Domain: "_s));

    profile.section = u"default"_s;
    m_model->switchDomain(profile);
    QVERIFY(logLines(*m_model->console())
                .contains(u"[DOMAIN] Switched to "_s + profile.displayName() + u" — config folder "_s + m_dir->path()));
}

void TestMainWindow::settingsShortcut_andManageDomains_openOneSettingsWindow() {
    auto *settings = m_window->findChild<QAction *>(u"settingsAction"_s);
    QVERIFY(settings);
    QCOMPARE(settings->shortcut(), QKeySequence(u"Ctrl+,"_s));
    QVERIFY(settings->isEnabled());
    QVERIFY(settings->toolTip().contains(u"Ctrl+,"_s));
    QVERIFY(domainAction(u"Manage Domains…"_s)->isEnabled());
    QVERIFY(!m_window->settingsWindow());

    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keySequence(m_window.get(), QKeySequence(u"Ctrl+,"_s));
    QPointer<SettingsWindow> window = m_window->settingsWindow();
    QVERIFY(window);
    QTRY_VERIFY(window->isVisible());
    QCOMPARE(window->currentTab(), SettingsTab::gam);

    domainAction(u"Manage Domains…"_s)->trigger();
    QCOMPARE(m_window->settingsWindow(), window.data());
    QCOMPARE(window->currentTab(), SettingsTab::domains);
    QCOMPARE(m_window->findChildren<SettingsWindow *>().size(), 1);

    // Ctrl+, again keeps the tab the user was on; a closed window is gone and opens afresh.
    settings->trigger();
    QCOMPARE(window->currentTab(), SettingsTab::domains);
    window->close();
    QTRY_VERIFY(!window);
    m_window->showSettings(SettingsTab::assistant);
    QCOMPARE(m_window->settingsWindow()->currentTab(), SettingsTab::assistant);
}

void TestMainWindow::banner_showsProblemUntilHidden() {
    auto *banner = m_window->findChild<QWidget *>(u"setupBanner"_s);
    QVERIFY(banner);
    QVERIFY(!banner->isVisible());

    QSettings().setValue(u"gamPath"_s, writeScript(m_dir->path(), u"gam"_s, u"echo 'GAM 6.58 - x'\n"_s));
    awaitTask(m_model->setup()->check());
    QVERIFY(banner->isVisible());
    const QString path = m_dir->path() + u"/gam"_s;
    QCOMPARE(banner->findChild<QLabel *>(u"bannerTitle"_s)->text(), u"GAM 6.58 found — this app requires GAM7"_s);
    QVERIFY(banner->findChild<QLabel *>(u"bannerBody"_s)->text().startsWith(path + u" is too old"_s));
    QTest::mouseClick(banner->findChild<QPushButton *>(u"upgradeGuideButton"_s), Qt::LeftButton);
    QCOMPARE(m_desktop.openedUrls, QList<QUrl>{GAMSetup::upgradeGuideURL(GAMSetup::Problem::Kind::legacyGAM)});

    QTest::mouseClick(banner->findChild<QPushButton *>(u"installButton"_s), Qt::LeftButton);
    QVERIFY(m_model->console()->alert());
    QCOMPARE(m_model->console()->alert()->title, u"Install GAM7?"_s);
    m_model->console()->setAlert(std::nullopt);

    QSettings().setValue(u"gamPath"_s, QString(m_dir->path() + u"/missing"_s));
    awaitTask(m_model->setup()->check());
    QCOMPARE(banner->findChild<QLabel *>(u"bannerTitle"_s)->text(), u"GAM7 isn't installed"_s);
    QVERIFY(!banner->findChild<QPushButton *>(u"upgradeGuideButton"_s)->isVisible());

    QTest::mouseClick(banner->findChild<QToolButton *>(u"hideBannerButton"_s), Qt::LeftButton);
    QVERIFY(!banner->isVisible());
    awaitTask(m_model->setup()->check());
    QVERIFY(!banner->isVisible());
}

void TestMainWindow::startupNotice_continueCloses() {
    m_window->showStartupNotice();
    auto *notice = m_window->findChild<StartupNotice *>();
    QVERIFY(notice);
    QTRY_VERIFY(notice->isVisible());
    QTest::mouseClick(notice->findChild<QPushButton *>(u"noticeContinueButton"_s), Qt::LeftButton);
    QTRY_VERIFY(!m_window->findChild<StartupNotice *>());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
