#include "FakeDesktopServices.h"
#include "app/GAMSetup.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QString versionScript(const QString &firstLine) {
    return u"if [ \"$1\" = version ]; then printf '%s\\n' '"_s + firstLine + u"' 'GAM Team'; exit 0; fi\nexit 1\n"_s;
}

} // namespace

class TestGAMSetup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void classifyVersion_data();
    void classifyVersion();

    void check_gam7WithConfig_logsVersionAndFolder();
    void check_gam7WithoutConfig_warnsTwiceNamingDefaultFolder();
    void check_olderGenerations_raiseProblemWithUpgradeGuide();
    void check_outdatedChosenGAM_pointsToAutodetectedOne();
    void check_missingOrUnrunnableGAM();
    void check_unrecognisedOutput_logsFirstLineAndStderr();
    void hiddenBanner_staysHiddenAfterLaterProblems();
    void destroyedMidCheck_endsTheCheckAndItsGam();

    void installer_commandAndScript();
    void offerInstall_confirmationOpensScriptInTerminal();
    void launchInstaller_terminalFailure_alertsWithCommand();
    void writeCommandScript_isPrivateExecutableAndReplaced();

private:
    void useGAM(const QString &firstLine);
    void setConfigDir(const QString &dir, const QString &section = {});

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProfileStore> m_store;
    std::unique_ptr<FakeDesktopServices> m_desktop;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<GAMSetup> m_setup;
    QTemporaryDir m_home;
    QTemporaryDir m_temp;
    QString m_gamPath;
};

void TestGAMSetup::initTestCase() {
    // Auto-detection and the script folder must never see the real home or the shared /tmp.
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("TMPDIR", m_temp.path().toUtf8());
    qunsetenv("GAMCFGDIR");
    qunsetenv("GAMCFGSECTION");
}

void TestGAMSetup::init() {
    m_settings = std::make_unique<IsolatedSettings>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<ProfileStore>();
    m_desktop = std::make_unique<FakeDesktopServices>();
    m_console = std::make_unique<Console>(m_desktop.get());
    m_setup = std::make_unique<GAMSetup>(m_console.get());
}

void TestGAMSetup::cleanup() {
    m_setup.reset();
    m_console.reset();
    m_desktop.reset();
    m_store.reset();
    m_dir.reset();
    m_settings.reset();
    QDir(m_home.path() + u"/bin"_s).removeRecursively();
    QDir(m_home.path() + u"/.gam"_s).removeRecursively();
}

void TestGAMSetup::useGAM(const QString &firstLine) {
    m_gamPath = writeScript(m_dir->path(), u"gam"_s, versionScript(firstLine));
    QSettings().setValue(u"gamPath"_s, m_gamPath);
}

void TestGAMSetup::setConfigDir(const QString &dir, const QString &section) {
    DomainProfile profile = m_store->activeProfile();
    profile.configDir = dir;
    profile.section = section;
    m_store->update(profile);
}

void TestGAMSetup::classifyVersion_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    using K = GAMSetup::VersionKind;
    QTest::newRow("gam7") << u"GAM 7.02.03 - https://github.com/GAM-team/GAM - pyinstaller\nGAM Team\n"_s
                          << u"7.02.03"_s << int(K::gam7);
    QTest::newRow("gamadv by name") << u"GAMADV-XTD3 6.80.12 - https://github.com/taers232c/GAMADV-XTD3"_s
                                    << u"6.80.12"_s << int(K::gamadvXTD3);
    QTest::newRow("gamadv 7.x by publisher")
        << u"GAM 7.06.00 - https://github.com/TAERS232C/GAMADV-XTD3"_s << u"7.06.00"_s << int(K::gamadvXTD3);
    QTest::newRow("legacy") << u"GAM 6.58 - https://github.com/GAM-team/GAM"_s << u"6.58"_s << int(K::legacyGAM);
    QTest::newRow("major is the whole word") << u"GAM 7"_s << u"7"_s << int(K::gam7);
    QTest::newRow("lower-case name") << u"gam 7.10.01 - x"_s << u"7.10.01"_s << int(K::gam7);
    QTest::newRow("major not a number") << u"GAM beta build"_s << u"GAM beta build"_s << int(K::unrecognised);
    QTest::newRow("signed major") << u"GAM +7.1"_s << u"GAM +7.1"_s << int(K::unrecognised);
    QTest::newRow("blank lines and spaces first")
        << u"\n \t\r\n\u2028\u00A0 GAM  7.01.00 - x \t\n"_s << u"7.01.00"_s << int(K::gam7);
    QTest::newRow("one word") << u"GAM\n"_s << u"GAM"_s << int(K::unrecognised);
    QTest::newRow("empty") << QString() << QString() << int(K::unrecognised);
    QTest::newRow("other program") << u"Python 3.11.2"_s << u"Python 3.11.2"_s << int(K::unrecognised);
}

void TestGAMSetup::classifyVersion() {
    QFETCH(QString, output);
    QFETCH(QString, text);
    QFETCH(int, kind);
    const GAMSetup::Version version = GAMSetup::classifyVersion(output);
    QCOMPARE(version.text, text);
    QCOMPARE(int(version.kind), kind);
}

void TestGAMSetup::check_gam7WithConfig_logsVersionAndFolder() {
    useGAM(u"GAM 7.02.03 - https://github.com/GAM-team/GAM - pyinstaller"_s);
    QFile(m_dir->path() + u"/gam.cfg"_s).open(QIODevice::WriteOnly);
    setConfigDir(m_dir->path(), u"school"_s);

    QSignalSpy problemSpy(m_setup.get(), &GAMSetup::problemChanged);
    awaitTask(m_setup->check());

    const QStringList lines = logLines(*m_console);
    const QString name = m_store->activeProfile().displayName();
    QCOMPARE(lines, QStringList({u"Domain: "_s + name + u" — section school"_s, u"Using GAM 7.02.03 at "_s + m_gamPath,
                                 u"  Config folder: "_s + m_dir->path() + u" (from domain profile)"_s}));
    QVERIFY(!m_setup->problem());
    QCOMPARE(problemSpy.count(), 0);
    QVERIFY(!m_setup->isChecking());
}

void TestGAMSetup::check_gam7WithoutConfig_warnsTwiceNamingDefaultFolder() {
    useGAM(u"GAM 7.02.03 - https://github.com/GAM-team/GAM - pyinstaller"_s);
    awaitTask(m_setup->check());

    const QStringList lines = logLines(*m_console);
    const QString folder = m_home.path() + u"/.gam"_s;
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(2), u"WARNING: No gam.cfg in the config folder "_s + folder + u" (default)."_s);
    QCOMPARE(lines.at(3), u"  If you set GAMCFGDIR in your shell profile, open Settings (Ctrl+,) → Domains and use "
                          u"Detect from Shell or choose that folder for this domain."_s);
    QCOMPARE(m_console->entryAt(3).kind, LogKind::warning);
    QVERIFY(!m_setup->problem());
}

void TestGAMSetup::check_olderGenerations_raiseProblemWithUpgradeGuide() {
    useGAM(u"GAM 6.58 - https://github.com/GAM-team/GAM - pythonsource"_s);
    awaitTask(m_setup->check());
    QCOMPARE(m_setup->problem(), (GAMSetup::Problem{GAMSetup::Problem::Kind::legacyGAM, u"6.58"_s, m_gamPath}));
    QStringList lines = logLines(*m_console);
    QCOMPARE(lines.mid(1), QStringList({u"WARNING: "_s + m_gamPath +
                                            u" is GAM 6.58. This app requires GAM7; OU and domain-wide Drive scans "
                                            u"will not work."_s,
                                        u"  Upgrade guide: https://github.com/GAM-team/GAM/wiki/"
                                        u"How-to-Upgrade-Legacy-GAM-to-GAM7"_s}));

    m_console->clear();
    QSignalSpy problemSpy(m_setup.get(), &GAMSetup::problemChanged);
    useGAM(u"GAMADV-XTD3 6.80.12 - https://github.com/taers232c/GAMADV-XTD3 - pythonsource"_s);
    awaitTask(m_setup->check());
    QCOMPARE(m_setup->problem(), (GAMSetup::Problem{GAMSetup::Problem::Kind::gamadvXTD3, u"6.80.12"_s, m_gamPath}));
    QCOMPARE(problemSpy.count(), 1);
    lines = logLines(*m_console);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(1), u"WARNING: "_s + m_gamPath + u" is GAMADV-XTD3 6.80.12, which has been replaced by GAM7."_s);
    QCOMPARE(lines.at(3),
             u"  Upgrade guide: https://github.com/GAM-team/GAM/wiki/How-to-Upgrade-GAMADV-XTD3-to-GAM7"_s);

    // The same finding again changes nothing observable.
    awaitTask(m_setup->check());
    QCOMPARE(problemSpy.count(), 1);
}

void TestGAMSetup::check_outdatedChosenGAM_pointsToAutodetectedOne() {
    useGAM(u"GAMADV-XTD3 6.80.12 - https://github.com/taers232c/GAMADV-XTD3"_s);
    QDir().mkpath(m_home.path() + u"/bin/gam7"_s);
    const QString gam7 = writeScript(m_home.path() + u"/bin/gam7"_s, u"gam"_s, versionScript(u"GAM 7.02.03 - x"_s));
    awaitTask(m_setup->check());
    QCOMPARE(logLines(*m_console).last(), u"  Settings is set to use "_s + m_gamPath +
                                              u". Choose Auto-detect in Settings (Ctrl+,) to use "_s + gam7 +
                                              u" instead."_s);
}

void TestGAMSetup::check_missingOrUnrunnableGAM() {
    QSettings().setValue(u"gamPath"_s, QString(m_dir->path() + u"/nowhere/gam"_s));
    awaitTask(m_setup->check());
    QCOMPARE(m_setup->problem(), GAMSetup::Problem::notFound());
    QCOMPARE(logLines(*m_console).mid(1),
             QStringList({u"WARNING: 'gam' not found. Install GAM7, or choose its location in Settings (Ctrl+,)."_s,
                          u"  Install guide: https://github.com/GAM-team/GAM/wiki"_s}));

    // A gam that cannot be started: a warning and the failure line, and no banner.
    m_console->clear();
    m_gamPath = m_dir->path() + u"/gam"_s;
    QFile file(m_gamPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/nonexistent/interpreter\n");
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QSettings().setValue(u"gamPath"_s, m_gamPath);
    awaitTask(m_setup->check());
    QVERIFY(!m_setup->problem());
    const QStringList lines = logLines(*m_console);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(1), u"WARNING: Running 'gam version' at "_s + m_gamPath + u" failed."_s);
    QVERIFY(lines.at(2).startsWith(u"ERROR: "_s));
    QCOMPARE(m_console->entryAt(2).kind, LogKind::error);
}

void TestGAMSetup::check_unrecognisedOutput_logsFirstLineAndStderr() {
    m_gamPath = writeScript(m_dir->path(), u"gam"_s, u"echo; echo 'GAM beta build'; echo oops >&2; echo again >&2\n"_s);
    QSettings().setValue(u"gamPath"_s, m_gamPath);
    awaitTask(m_setup->check());
    QCOMPARE(logLines(*m_console).mid(1),
             QStringList({u"WARNING: Couldn't identify the GAM version at "_s + m_gamPath + u"."_s,
                          u"  'gam version' said: GAM beta build"_s, u"  oops"_s, u"  again"_s}));
    QVERIFY(!m_setup->problem());

    // Empty output: no "said" line.
    m_console->clear();
    writeScript(m_dir->path(), u"gam"_s, u"exit 0\n"_s);
    awaitTask(m_setup->check());
    QCOMPARE(m_console->entryCount(), 2);
}

void TestGAMSetup::hiddenBanner_staysHiddenAfterLaterProblems() {
    useGAM(u"GAM 6.58 - x"_s);
    awaitTask(m_setup->check());
    QSignalSpy dismissed(m_setup.get(), &GAMSetup::bannerDismissedChanged);
    m_setup->dismissBanner();
    m_setup->dismissBanner();
    QCOMPARE(dismissed.count(), 1);

    QSettings().setValue(u"gamPath"_s, QString(m_dir->path() + u"/missing"_s));
    awaitTask(m_setup->check());
    QCOMPARE(m_setup->problem(), GAMSetup::Problem::notFound());
    QVERIFY(m_setup->isBannerDismissed());
}

void TestGAMSetup::destroyedMidCheck_endsTheCheckAndItsGam() {
    const QString pidFile = m_dir->filePath(u"pid"_s);
    QSettings().setValue(u"gamPath"_s,
                         writeScript(m_dir->path(), u"gam"_s, u"echo $$ > '"_s + pidFile + u"'\nexec sleep 60\n"_s));
    bool ended = false;
    m_setup->check().then([&] { ended = true; });
    QTRY_VERIFY(pidFromFile(pidFile) > 0);
    const qsizetype logged = m_console->entryCount();

    m_setup.reset();
    QVERIFY(ended); // nothing of the check is left to resume later
    QCOMPARE(m_console->entryCount(), logged);
    QTRY_VERIFY(!processIsRunning(pidFromFile(pidFile)));
}

void TestGAMSetup::installer_commandAndScript() {
    QCOMPARE(GAMSetup::installerCommand(GAMInstaller::Mode::fullInstall),
             u"bash <(curl -s -S -L https://git.io/gam-install)"_s);
    QCOMPARE(GAMSetup::installerCommand(GAMInstaller::Mode::upgradeOnly),
             u"bash <(curl -s -S -L https://git.io/gam-install) -l"_s);
    QCOMPARE(GAMSetup::installerScript(GAMInstaller::Mode::upgradeOnly),
             u"#!/bin/bash\n"
             u"clear\n"
             u"echo \"Running the official GAM7 installer from GAM-team:\"\n"
             u"echo \"  bash <(curl -s -S -L https://git.io/gam-install) -l\"\n"
             u"echo\n"
             u"bash <(curl -s -S -L https://git.io/gam-install) -l\n"
             u"echo\n"
             u"echo \"When the installer has finished, return to Tarnwick and click Re-check.\"\n"_s);
}

void TestGAMSetup::offerInstall_confirmationOpensScriptInTerminal() {
    m_setup->offerInstall();
    QVERIFY(!m_console->alert()); // nothing wrong, nothing offered

    QSettings().setValue(u"gamPath"_s, QString(m_dir->path() + u"/missing"_s));
    awaitTask(m_setup->check());
    m_setup->offerInstall();
    QVERIFY(m_console->alert());
    QCOMPARE(m_console->alert()->title, u"Install GAM7?"_s);
    QCOMPARE(m_console->alert()->confirmTitle, u"Open Terminal"_s);
    QVERIFY(!m_console->alert()->isDestructive);
    QVERIFY(m_console->alert()->message.startsWith(
        u"This opens Terminal and runs the official installer from GAM-team:\n\n"
        u"bash <(curl -s -S -L https://git.io/gam-install)\n\nIt will download GAM7 to ~/bin/gam7, then ask"_s));
    QVERIFY(m_console->alert()->message.endsWith(u"\n\nWhen it finishes, come back and click Re-check."_s));

    m_console->clear();
    m_console->alert()->onConfirm();
    QTRY_COMPARE(m_desktop->openedScripts.size(), 1);
    const QString script = m_desktop->openedScripts.first();
    QCOMPARE(script, m_temp.path() + u"/Tarnwick-Installer/Install-GAM7.command"_s);
    QFile file(script);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), GAMSetup::installerScript(GAMInstaller::Mode::fullInstall));
    QCOMPARE(logLines(*m_console),
             QStringList(u"Opened the GAM7 installer in Terminal. Click Re-check when it has finished."_s));

    // Legacy GAM upgrades in place: the command ends in " -l".
    useGAM(u"GAM 6.58 - x"_s);
    awaitTask(m_setup->check());
    m_setup->offerInstall();
    QVERIFY(m_console->alert()->message.contains(u"https://git.io/gam-install) -l\n\n"_s));
    QVERIFY(m_console->alert()->message.contains(u"follow the Legacy upgrade guide"_s));
}

void TestGAMSetup::launchInstaller_terminalFailure_alertsWithCommand() {
    m_desktop->terminalWorks = false;
    awaitTask(m_setup->launchInstaller(GAMInstaller::Mode::upgradeOnly));
    QVERIFY(m_console->alert());
    QCOMPARE(m_console->alert()->title, u"Couldn't Open Terminal"_s);
    QVERIFY(m_console->alert()->message.endsWith(
        u"\n\nYou can run the installer yourself in Terminal:\n\nbash <(curl -s -S -L https://git.io/gam-install) -l"_s));
    QCOMPARE(m_console->entryCount(), 0);

    // A script folder planted by someone else (here: a link) is refused rather than used.
    m_desktop->terminalWorks = true;
    m_desktop->openedScripts.clear();
    m_console->setAlert(std::nullopt);
    QDir(m_temp.path() + u"/Tarnwick-Installer"_s).removeRecursively();
    QVERIFY(QFile::link(m_dir->path(), m_temp.path() + u"/Tarnwick-Installer"_s));
    awaitTask(m_setup->launchInstaller(GAMInstaller::Mode::fullInstall));
    QVERIFY(m_console->alert());
    QCOMPARE(m_console->alert()->title, u"Couldn't Open Terminal"_s);
    QVERIFY(m_desktop->openedScripts.isEmpty());
    QFile::remove(m_temp.path() + u"/Tarnwick-Installer"_s);
}

void TestGAMSetup::writeCommandScript_isPrivateExecutableAndReplaced() {
    const QString path = GAMSetup::writeCommandScript(u"#!/bin/sh\necho one\n"_s, u"Set Up school.org"_s);
    QCOMPARE(path, m_temp.path() + u"/Tarnwick-Installer/Set-Up-school.org.command"_s);
    // One shell word whatever the title holds; letters of any script stay.
    QCOMPARE(QFileInfo(GAMSetup::writeCommandScript(u"x"_s, u"Set Up O'Brien \"École\" $HOME;1"_s)).fileName(),
             u"Set-Up-O-Brien--École---HOME-1.command"_s);
    // Owner, group and other bits only (the "User" bits restate the owner's for us).
    const auto modeOf = [](const QString &file) {
        return QFileInfo(file).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    };
    const auto ownerAll = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QCOMPARE(modeOf(path), ownerAll);
    QCOMPARE(modeOf(QFileInfo(path).path()), ownerAll);

    GAMSetup::writeCommandScript(u"#!/bin/sh\necho two\n"_s, u"Set Up school.org"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("#!/bin/sh\necho two\n"));
}

QTEST_GUILESS_MAIN(TestGAMSetup)
#include "tst_gamsetup.moc"
