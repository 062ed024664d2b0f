#include "FakeDesktopServices.h"
#include "FakeGam.h"
#include "TestSupport.h"

#include "core/Console.h"
#include "core/GAM.h"
#include "profiles/DomainSettings.h"
#include "profiles/ProfileEditor.h"
#include "profiles/ProfileStore.h"

#include <QCoroSignal>
#include <QDir>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace {

// Restores an environment variable when the test ends.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char *name, const QByteArray &value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnvironment() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace

// The profile editor and the Domains pane's list rules, against a fake gam.
class TestProfileEditor : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_dir;
    FakeDesktopServices m_desktop;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<ProfileStore> m_store;
    std::unique_ptr<FakeGam> m_gam;

    DomainProfile storedProfile(const QUuid &id) const {
        for (const DomainProfile &profile : m_store->profiles()) {
            if (profile.id == id)
                return profile;
        }
        return {};
    }

    // Starts a console task that runs until stopped.
    void startCommand() {
        m_console->run(u"Long Run"_s, [](CancelToken cancel) -> QCoro::Task<> {
            co_await qCoro(cancel.state(), &CancelState::requested);
        });
        QVERIFY(m_console->isBusy());
    }

    void stopCommand() {
        m_console->stop();
        QTRY_VERIFY(!m_console->isBusy());
    }

private Q_SLOTS:
    void init() {
        m_settings = std::make_unique<IsolatedSettings>();
        m_dir = std::make_unique<QTemporaryDir>();
        m_console = std::make_unique<Console>(&m_desktop);
        m_store = std::make_unique<ProfileStore>();
        m_gam = std::make_unique<FakeGam>();
        m_gam->install();
    }

    void cleanup() {
        if (m_console->isBusy())
            stopCommand();
        m_gam.reset();
        m_store.reset();
        m_console.reset();
        m_dir.reset();
        m_settings.reset();
    }

    void edits_areSavedAtOnce_andThePrimaryDomainIsLowerCase() {
        const DomainProfile added = m_store->add(u"New Domain"_s);
        ProfileEditor editor(m_store.get(), m_console.get(), added);
        editor.setName(u"District A"_s);
        editor.setDomain(u"District-A.Example.ORG"_s);
        editor.setExportDir(u"~/evidence"_s);
        editor.setDriveFolderID(u"0AbC"_s);
        const DomainProfile stored = storedProfile(added.id);
        QCOMPARE(stored.name, u"District A"_s);
        QCOMPARE(stored.domain, u"district-a.example.org"_s);
        QCOMPARE(stored.exportDir, u"~/evidence"_s);
        QCOMPARE(stored.driveFolderID, u"0AbC"_s);
        // Saved to the settings store, not only kept in memory.
        ProfileStore reloaded;
        QCOMPARE(reloaded.profiles().last().name, u"District A"_s);
    }

    void activeProfile_isLockedWhileACommandRuns() {
        const DomainProfile active = m_store->activeProfile();
        const DomainProfile other = m_store->add(u"Other"_s);
        ProfileEditor activeEditor(m_store.get(), m_console.get(), active);
        ProfileEditor otherEditor(m_store.get(), m_console.get(), other);
        QSignalSpy lockChanged(&activeEditor, &ProfileEditor::lockChanged);

        startCommand();
        QVERIFY(activeEditor.isLocked());
        QVERIFY(!otherEditor.isLocked());
        QVERIFY(lockChanged.count() >= 1);
        activeEditor.setName(u"Changed while running"_s);
        activeEditor.setConfigDir(m_dir->path());
        QCOMPARE(storedProfile(active.id), active);
        QCOMPARE(activeEditor.profile(), active);
        otherEditor.setName(u"Other, renamed"_s);
        QCOMPARE(storedProfile(other.id).name, u"Other, renamed"_s);

        stopCommand();
        QVERIFY(!activeEditor.isLocked());
        activeEditor.setName(u"Changed afterwards"_s);
        QCOMPARE(storedProfile(active.id).name, u"Changed afterwards"_s);
    }

    void sections_comeFromGamCfg_andAStoredOneNeverDisappears() {
        writeBytes(m_dir->filePath(u"gam.cfg"_s), "[DEFAULT]\n[ a ]\n[B]\n[a]\n");
        DomainProfile profile = m_store->add(u"Shared"_s);
        profile.configDir = m_dir->path();
        profile.section = u"gone"_s;
        m_store->update(profile);
        ProfileEditor editor(m_store.get(), m_console.get(), profile);
        QCOMPARE(editor.sections(), (QStringList{u"a"_s, u"B"_s}));
        QCOMPARE(editor.sectionOptions(),
                 (QList<ProfileEditor::SectionOption>{{QString(), u"Default"_s},
                                                      {u"a"_s, u"a"_s},
                                                      {u"B"_s, u"B"_s},
                                                      {u"gone"_s, u"gone (not found in gam.cfg)"_s}}));
        editor.setSection(QString());
        QCOMPARE(storedProfile(profile.id).section, QString());
        QCOMPARE(editor.sectionOptions().size(), 3);

        // Another folder, other sections.
        QSignalSpy sectionsChanged(&editor, &ProfileEditor::sectionsChanged);
        writeBytes(m_dir->filePath(u"other/gam.cfg"_s), "[c]\n");
        editor.setConfigDir(m_dir->filePath(u"other"_s));
        QCOMPARE(sectionsChanged.count(), 1);
        QCOMPARE(editor.sections(), QStringList{u"c"_s});
    }

    void folderStatus_namesTheFolderGamWillUse() {
        writeBytes(m_dir->filePath(u"ready/gam.cfg"_s), "");
        QDir().mkpath(m_dir->filePath(u"empty"_s));
        writeBytes(m_dir->filePath(u"file"_s), "");
        using Level = ProfileEditor::FolderStatus::Level;
        QCOMPARE(ProfileEditor::folderStatus(m_dir->filePath(u"ready"_s)),
                 (ProfileEditor::FolderStatus{m_dir->filePath(u"ready"_s) + u" — contains gam.cfg"_s, Level::ready}));
        QCOMPARE(
            ProfileEditor::folderStatus(m_dir->filePath(u"empty"_s)),
            (ProfileEditor::FolderStatus{m_dir->filePath(u"empty"_s) + u" — no gam.cfg yet"_s, Level::noConfigFile}));
        QCOMPARE(ProfileEditor::folderStatus(m_dir->filePath(u"file"_s)).level, Level::missing);
        QCOMPARE(ProfileEditor::folderStatus(m_dir->filePath(u"missing"_s)).text,
                 m_dir->filePath(u"missing"_s) + u" — folder doesn't exist"_s);

        const ScopedEnvironment inherited("GAMCFGDIR", m_dir->filePath(u"ready"_s).toUtf8());
        ProfileEditor editor(m_store.get(), m_console.get(), m_store->add(u"Default folder"_s));
        QCOMPARE(editor.folderStatus().level, Level::ready);
        QVERIFY(editor.folderStatus().text.startsWith(m_dir->filePath(u"ready"_s)));
    }

    void testConnection_fillsAnEmptyDomainOnly() {
        ProfileEditor editor(m_store.get(), m_console.get(), m_store->add(u"District A"_s));
        m_gam->answer(1, u"Customer ID: C01\nPrimary Domain: District-A.Example.ORG\n"_s);
        awaitTask(editor.testConnection());
        QCOMPARE(m_gam->arguments(1), (QStringList{u"info"_s, u"domain"_s}));
        QCOMPARE(editor.testResult(), (ProfileEditor::TestResult{true, u"Connected to District-A.Example.ORG"_s}));
        QCOMPARE(storedProfile(editor.profile().id).domain, u"district-a.example.org"_s);
        QVERIFY(!editor.isTesting());

        editor.setDomain(u"kept.example.org"_s);
        m_gam->answer(2, u"Primary Domain: other.example.org\n"_s);
        awaitTask(editor.testConnection());
        QCOMPARE(storedProfile(editor.profile().id).domain, u"kept.example.org"_s);

        m_gam->answer(3, u"ok\n"_s);
        awaitTask(editor.testConnection());
        QCOMPARE(editor.testResult(), (ProfileEditor::TestResult{true, u"Connected (exit 0)"_s}));

        m_gam->answer(4, u"out\n"_s, u"\n  ERROR: Config File: x, Section: s, Not Found\n"_s, 13);
        awaitTask(editor.testConnection());
        QCOMPARE(editor.testResult(), (ProfileEditor::TestResult{
                                          false, u"Failed (exit 13): ERROR: Config File: x, Section: s, Not Found"_s}));
        // Nothing reaches the output log.
        QCOMPARE(m_console->entryCount(), 0);

        QSettings().setValue(u"gamPath"_s, m_dir->filePath(u"missing"_s));
        awaitTask(editor.testConnection());
        QCOMPARE(editor.testResult(), (ProfileEditor::TestResult{false, GAMError::notFound().description()}));
    }

    // The editor goes when another profile is chosen: what it started goes with it, at once.
    void testAndShellProbe_endWithTheirEditor() {
        const QString pidFile = m_dir->filePath(u"pid"_s);
        QSettings().setValue(u"gamPath"_s, writeScript(m_dir->path(), u"slow-gam"_s,
                                                       u"echo $$ > '"_s + pidFile +
                                                           u"'\nsleep 30\necho 'Primary Domain: x.example.org'\n"_s));
        auto editor = std::make_unique<ProfileEditor>(m_store.get(), m_console.get(), m_store->add(u"Gone"_s));
        const QUuid id = editor->profile().id;
        QCoro::Task<> test = editor->testConnection();
        QVERIFY(editor->isTesting());
        QTRY_VERIFY(pidFromFile(pidFile) > 0);
        const qint64 gam = pidFromFile(pidFile);
        editor.reset();
        QVERIFY(test.isReady());
        QVERIFY(!processIsRunning(gam));
        QCoreApplication::processEvents();
        QCOMPARE(storedProfile(id).domain, QString());

        QFile::remove(pidFile);
        const ScopedEnvironment useShell(
            "SHELL",
            writeScript(m_dir->path(), u"slow-shell"_s, u"echo $$ > '"_s + pidFile + u"'\nsleep 30\n"_s).toUtf8());
        editor = std::make_unique<ProfileEditor>(m_store.get(), m_console.get(), m_store->add(u"Gone too"_s));
        QCoro::Task<> probe = editor->detectFromShell();
        QTRY_VERIFY(pidFromFile(pidFile) > 0);
        const qint64 shell = pidFromFile(pidFile);
        editor.reset();
        QVERIFY(probe.isReady());
        QVERIFY(!processIsRunning(shell));
    }

    void detectFromShell_takesGAMCFGDIRFromTheLoginShell() {
        const QString shell =
            writeScript(m_dir->path(), u"login-shell"_s,
                        u"echo 'Welcome!'\nGAMCFGDIR=~/from-profile; export GAMCFGDIR\neval \"$2\"\n"_s);
        const ScopedEnvironment useShell("SHELL", shell.toUtf8());
        ProfileEditor editor(m_store.get(), m_console.get(), m_store->add(u"Shell"_s));
        awaitTask(editor.detectFromShell());
        QCOMPARE(editor.detectMessage(), u"Found GAMCFGDIR in your shell profile."_s);
        QCOMPARE(storedProfile(editor.profile().id).configDir, QDir::homePath() + u"/from-profile"_s);
        // A folder that does not exist is taken as found; the status line says so.
        QCOMPARE(editor.folderStatus().level, ProfileEditor::FolderStatus::Level::missing);

        writeScript(m_dir->path(), u"login-shell"_s, u"unset GAMCFGDIR\neval \"$2\"\n"_s);
        awaitTask(editor.detectFromShell());
        QCOMPARE(editor.detectMessage(),
                 u"GAMCFGDIR isn't set in your shell profile, so GAM uses the default ~/.gam."_s);
        QCOMPARE(storedProfile(editor.profile().id).configDir, QDir::homePath() + u"/from-profile"_s);

        QFile::setPermissions(shell, QFileDevice::ReadOwner);
        awaitTask(editor.detectFromShell());
        QVERIFY2(editor.detectMessage()->startsWith(u"Couldn't read your shell profile: "_s),
                 qPrintable(*editor.detectMessage()));
        QVERIFY(!editor.isDetecting());
    }

    void domainList_addSelectAndRemoveRules() {
        DomainSettings domains(m_store.get(), m_console.get());
        const QUuid first = m_store->activeID();
        QCOMPARE(domains.selection(), std::nullopt);
        domains.selectActiveIfNone();
        QCOMPARE(domains.selection(), first);
        QVERIFY(!domains.canRemove()); // the last profile stays

        domains.addExisting();
        const DomainProfile added = m_store->profiles().last();
        QCOMPARE(added.name, u"New Domain"_s);
        QCOMPARE(domains.selection(), added.id);
        QCOMPARE(m_store->activeID(), first);
        QVERIFY(domains.canRemove());

        // While a command runs: the other profile may go, the active one may not.
        startCommand();
        QVERIFY(domains.canRemove());
        domains.select(first);
        QVERIFY(!domains.canRemove());
        domains.requestRemoval();
        QCOMPARE(domains.removalQuestion(), std::nullopt);
        stopCommand();

        domains.requestRemoval();
        QVERIFY(domains.removalQuestion());
        QVERIFY(domains.removalQuestion()->isDestructive);
        QCOMPARE(domains.removalQuestion()->title, u"Remove Default?"_s);
        domains.answerRemoval(false);
        QCOMPARE(m_store->profiles().size(), 2);

        // The command starting while the question is open wins.
        domains.requestRemoval();
        startCommand();
        domains.answerRemoval(true);
        QCOMPARE(m_store->profiles().size(), 2);
        stopCommand();

        domains.requestRemoval();
        domains.answerRemoval(true);
        QCOMPARE(m_store->profiles().size(), 1);
        QCOMPARE(m_store->activeID(), added.id);
        QCOMPARE(domains.selection(), added.id);
    }
};

QTEST_GUILESS_MAIN(TestProfileEditor)
#include "tst_profile_editor.moc"
