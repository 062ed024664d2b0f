#include "FakeDesktopServices.h"
#include "TestSupport.h"

#include "app/AppModel.h"
#include "app/PracticeDomain.h"
#include "app/ui/MainWindow.h"
#include "assistant/APIKeyStore.h"
#include "profiles/ProfileStore.h"

#include <QAction>
#include <QDir>
#include <QLockFile>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

// The practice domain inside one process: seeding, its own settings and key store, the
// folders it leaves and removes, and how the window says "Practice".
class TestPracticeDomain : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void start_seedsDistrictsWithSettingsOfTheirOwn();
    void start_removesOnlyFoldersOfClosedWindows();
    void keyStore_keepsTheKeyInMemoryOnly();
    void window_saysPracticeInTitleAndSwitcher();
    void helpMenu_explainsThenAsksForAPracticeWindow();
    void launchWindow_runsTheProgramWithThePracticeOption();

private:
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_cache;
    FakeDesktopServices m_desktop;
};

void TestPracticeDomain::initTestCase() {
    if (PracticeDomain::gamPath().isEmpty())
        QSKIP("the practice gam is not part of this build");
    // Nothing here may reach a keyring: any attempt would fail on this address.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tarnwick-test-bus");
}

void TestPracticeDomain::init() {
    m_settings = std::make_unique<IsolatedSettings>();
    m_cache = std::make_unique<QTemporaryDir>();
}

void TestPracticeDomain::cleanup() {
    m_cache.reset();
    m_settings.reset();
}

void TestPracticeDomain::start_seedsDistrictsWithSettingsOfTheirOwn() {
    QSettings().setValue(u"gamPath"_s, u"/usr/local/bin/gam"_s);
    std::unique_ptr<PracticeDomain> practice = PracticeDomain::start(m_cache->path());
    const QString folder = practice->folder();
    QVERIFY(folder.startsWith(m_cache->path() + u"/practice-"_s));
    QVERIFY(QFile::exists(folder + u"/district-a/gam.cfg"_s));
    QVERIFY(QFile::exists(folder + u"/shared-gam/gam.cfg"_s));
    QVERIFY(QFile::exists(folder + u"/shared-gam/district-b/practice-domain.json"_s));
    // Settings now live in the practice folder: the earlier ones are out of sight.
    QVERIFY(QSettings().fileName().startsWith(folder + u'/'));
    QVERIFY(!QSettings().contains(u"gamPath"_s));
    QVERIFY(qEnvironmentVariable("PATH").startsWith(QFileInfo(PracticeDomain::gamPath()).absolutePath() + u':'));

    ProfileStore store;
    practice->addDistricts(store);
    QCOMPARE(store.profiles().size(), 2);
    const DomainProfile a = store.activeProfile();
    const DomainProfile b = store.profiles().at(1);
    QCOMPARE(a.displayName(), u"District A (example.org)"_s);
    QCOMPARE(a.configDir, folder + u"/district-a"_s);
    QCOMPARE(b.displayName(), u"District B (district-b.example.net)"_s);
    QCOMPARE(b.configDir, folder + u"/shared-gam"_s);
    QCOMPARE(b.section, u"district-b"_s);
    // Evidence and the audit log stay in the practice folder too.
    QVERIFY(a.exportDir.startsWith(folder + u'/'));
    QVERIFY(b.auditLog.startsWith(folder + u'/'));
    QCOMPARE(QSettings().value(u"gamPath"_s).toString(), PracticeDomain::gamPath());
    QCOMPARE(ProfileStore::currentActiveProfile().id, a.id);

    practice.reset();
    QVERIFY(!QFileInfo::exists(folder));
}

void TestPracticeDomain::start_removesOnlyFoldersOfClosedWindows() {
    const QDir cache(m_cache->path());
    QVERIFY(cache.mkpath(u"practice-closed/district-a"_s));
    QVERIFY(cache.mkpath(u"practice-open"_s));
    QLockFile openWindow(cache.filePath(u"practice-open/.practice.lock"_s));
    QVERIFY(openWindow.tryLock(0));
    QVERIFY(cache.mkpath(u"unrelated"_s));

    std::unique_ptr<PracticeDomain> practice = PracticeDomain::start(m_cache->path());
    QVERIFY(!cache.exists(u"practice-closed"_s));
    QVERIFY(cache.exists(u"practice-open"_s));
    QVERIFY(cache.exists(u"unrelated"_s));

    // A second practice window leaves the first one's districts alone.
    std::unique_ptr<PracticeDomain> second = PracticeDomain::start(m_cache->path());
    QVERIFY(QFileInfo::exists(practice->folder() + u"/district-a/gam.cfg"_s));
    QVERIFY(second->folder() != practice->folder());
}

void TestPracticeDomain::keyStore_keepsTheKeyInMemoryOnly() {
    APIKeyStore::keepInMemoryOnly();
    QCOMPARE(awaitTask(APIKeyStore::loadKey()), std::nullopt);
    awaitTask(APIKeyStore::saveKey(u"sk-ant-practice"_s));
    QCOMPARE(awaitTask(APIKeyStore::loadKey()), std::optional<QString>(u"sk-ant-practice"_s));
    awaitTask(APIKeyStore::deleteKey());
    QCOMPARE(awaitTask(APIKeyStore::loadKey()), std::nullopt);
}

void TestPracticeDomain::window_saysPracticeInTitleAndSwitcher() {
    std::unique_ptr<PracticeDomain> practice = PracticeDomain::start(m_cache->path());
    ProfileStore store;
    practice->addDistricts(store);
    AppModel model(&store, &m_desktop);
    model.setPractice(true);
    MainWindow window(&model, &m_desktop);
    QCOMPARE(window.windowTitle(), u"Tarnwick Practice — District A (example.org)"_s);
    auto *switcher = window.findChild<QToolButton *>(u"domainSwitcher"_s);
    QCOMPARE(switcher->text(), u"Practice: District A (example.org)"_s);
    QCOMPARE(switcher->accessibleName(), u"Domain: Practice: District A (example.org)"_s);

    // Renamed districts still say Practice.
    DomainProfile renamed = store.activeProfile();
    renamed.name = u"Lincoln USD"_s;
    store.update(renamed);
    QTRY_COMPARE(window.windowTitle(), u"Tarnwick Practice — Lincoln USD (example.org)"_s);
    QTRY_COMPARE(switcher->text(), u"Practice: Lincoln USD (example.org)"_s);

    auto *practiceAction = window.findChild<QAction *>(u"practiceAction"_s);
    QVERIFY(!practiceAction->isEnabled());
    QCOMPARE(practiceAction->toolTip(), u"This window is the practice domain."_s);
}

void TestPracticeDomain::helpMenu_explainsThenAsksForAPracticeWindow() {
    ProfileStore store;
    AppModel model(&store, &m_desktop);
    MainWindow window(&model, &m_desktop);
    window.show();
    QVERIFY(!window.windowTitle().contains(u"Practice"_s));
    auto *practiceAction = window.findChild<QAction *>(u"practiceAction"_s);
    QVERIFY(practiceAction->isEnabled());
    QCOMPARE(practiceAction->text(), u"Practice Domain…"_s);
    QSignalSpy requested(&window, &MainWindow::practiceRequested);

    practiceAction->trigger();
    auto *box = window.findChild<QMessageBox *>(u"practiceExplanation"_s);
    QVERIFY(box);
    QTRY_VERIFY(box->isVisible());
    QVERIFY(box->informativeText().contains(u"never reads your settings, keyring or ~/.gam"_s));
    QTest::mouseClick(box->button(QMessageBox::Cancel), Qt::LeftButton);
    QTRY_VERIFY(!window.findChild<QMessageBox *>(u"practiceExplanation"_s));
    QCOMPARE(requested.count(), 0);

    practiceAction->trigger();
    box = window.findChild<QMessageBox *>(u"practiceExplanation"_s);
    QCOMPARE(box->defaultButton()->text(), u"Start Practice Domain"_s);
    QTest::mouseClick(box->defaultButton(), Qt::LeftButton);
    QCOMPARE(requested.count(), 1);
}

void TestPracticeDomain::launchWindow_runsTheProgramWithThePracticeOption() {
    const QString record = m_cache->filePath(u"arguments"_s);
    const QString program =
        writeScript(m_cache->path(), u"tarnwick"_s, u"printf '%s\\n' \"$@\" > '"_s + record + u"'\n"_s);
    QVERIFY(PracticeDomain::launchWindow(program));
    QTRY_VERIFY(QFile::exists(record) && QFileInfo(record).size() > 0);
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("--practice\n"));
    QVERIFY(!PracticeDomain::launchWindow(m_cache->filePath(u"missing"_s)));
}

QTEST_MAIN(TestPracticeDomain)
#include "tst_practice_domain.moc"
