#include "FakeDesktopServices.h"
#include "FakeGam.h"
#include "TestSupport.h"

#include "core/GAM.h"
#include "profiles/GAMConfigFile.h"
#include "profiles/NewDomainSetup.h"
#include "profiles/ProfileStore.h"

#include <QDir>
#include <QSignalSpy>

#include <functional>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString sharedConfig =
    u"[DEFAULT]\r\nconfig_dir = main\r\n\r\n[district-a]\nconfig_dir = a\ndomain = a.example.org\n"_s;

using Setup = std::function<void(NewDomainSetup &, const QTemporaryDir &, ProfileStore &)>;

} // namespace

Q_DECLARE_METATYPE(Setup)

// The wizard's rules: validation, what Start prepares, and what the connection
// test adds. The terminal is a fake that only records the script it was given.
class TestNewDomainSetup : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeDesktopServices> m_desktop;
    std::unique_ptr<ProfileStore> m_store;
    std::unique_ptr<FakeGam> m_gam;
    std::unique_ptr<NewDomainSetup> m_setup;

    QString path(const QString &name) const { return m_dir->filePath(name); }

    // A valid section-layout form over a gam.cfg shared with another district.
    void fillSectionForm() {
        writeBytes(path(u"shared/gam.cfg"_s), sharedConfig.toUtf8());
        m_setup->setLayout(NewDomainSetup::Layout::section);
        m_setup->setName(u"District B"_s);
        m_setup->setAdmin(u"  Admin@District-B.example.org "_s);
        m_setup->setCfgFolder(path(u"shared"_s));
        QCOMPARE(m_setup->validationMessage(), std::nullopt);
    }

private Q_SLOTS:
    void init() {
        m_settings = std::make_unique<IsolatedSettings>();
        m_dir = std::make_unique<QTemporaryDir>();
        m_desktop = std::make_unique<FakeDesktopServices>();
        m_store = std::make_unique<ProfileStore>();
        m_gam = std::make_unique<FakeGam>();
        m_gam->install();
        m_setup = std::make_unique<NewDomainSetup>(m_store.get(), m_desktop.get());
    }

    void cleanup() {
        m_setup.reset();
        m_gam.reset();
        m_store.reset();
        m_desktop.reset();
        m_dir.reset();
        m_settings.reset();
    }

    void validation_firstProblemWins_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("message");
        const auto named = [](NewDomainSetup &s, const QTemporaryDir &dir) {
            s.setName(u"District B"_s);
            s.setAdmin(u"admin@district-b.example.org"_s);
            s.setConfigDir(dir.filePath(u"b"_s));
        };
        QTest::newRow("nothing") << Setup([](NewDomainSetup &, const QTemporaryDir &, ProfileStore &) {})
                                 << u"Enter a name for the domain."_s;
        QTest::newRow("blank name, bad admin") << Setup([](NewDomainSetup &s, const QTemporaryDir &, ProfileStore &) {
            s.setName(u" \t "_s);
            s.setAdmin(u"admin"_s);
        }) << u"Enter a name for the domain."_s;
        QTest::newRow("admin without @") << Setup([](NewDomainSetup &s, const QTemporaryDir &, ProfileStore &) {
            s.setName(u"B"_s);
            s.setAdmin(u"admin"_s);
        }) << u"Enter the admin's full email address."_s;
        QTest::newRow("admin in three pieces") << Setup([](NewDomainSetup &s, const QTemporaryDir &, ProfileStore &) {
            s.setName(u"B"_s);
            s.setAdmin(u"a@b@c.example.org"_s);
            s.setCheckUser(u"student"_s);
        }) << u"Enter the admin's full email address."_s;
        QTest::newRow("test user without @") << Setup([](NewDomainSetup &s, const QTemporaryDir &, ProfileStore &) {
            s.setName(u"B"_s);
            s.setAdmin(u"a@@b.example.org"_s); // a doubled @ between two parts is two pieces
            s.setCheckUser(u"student"_s);
            s.setConfigDir(QString());
        }) << u"Enter the test user's full email address."_s;
        QTest::newRow("no config folder") << Setup([](NewDomainSetup &s, const QTemporaryDir &, ProfileStore &) {
            s.setName(u"B"_s);
            s.setAdmin(u"admin@b.example.org"_s);
            s.setConfigDir(u"  "_s);
        }) << u"Choose a config folder."_s;
        QTest::newRow("relative folder") << Setup([](NewDomainSetup &s, const QTemporaryDir &, ProfileStore &) {
            s.setName(u"B"_s);
            s.setAdmin(u"admin@b.example.org"_s);
            s.setConfigDir(u"GAMConfig/b"_s);
        }) << u"Enter the folder's full path, starting with / or ~."_s;
        QTest::newRow("folder of another profile, written with ~")
            << Setup([](NewDomainSetup &s, const QTemporaryDir &, ProfileStore &store) {
                   DomainProfile other = store.add(u"Other"_s);
                   other.configDir = u"~/GAMConfig/shared/"_s;
                   store.update(other);
                   s.setName(u"B"_s);
                   s.setAdmin(u"admin@b.example.org"_s);
                   s.setConfigDir(QDir::homePath() + u"/GAMConfig/shared"_s);
               })
            << u"Another domain already uses this config folder."_s;
        QTest::newRow("folder is a file")
            << Setup([named](NewDomainSetup &s, const QTemporaryDir &dir, ProfileStore &) {
                   named(s, dir);
                   writeBytes(dir.filePath(u"b"_s), "not a folder");
               })
            << u"%1/b is a file, not a folder."_s;
        QTest::newRow("folder holds oauth2.txt")
            << Setup([named](NewDomainSetup &s, const QTemporaryDir &dir, ProfileStore &) {
                   named(s, dir);
                   writeBytes(dir.filePath(u"b/oauth2.txt"_s), "{}");
               })
            << u"%1/b already has GAM credentials (oauth2.txt). Choose another name or folder, or add the domain "
               u"with Add Existing Domain."_s;
        QTest::newRow("folder holds every credential")
            << Setup([named](NewDomainSetup &s, const QTemporaryDir &dir, ProfileStore &) {
                   named(s, dir);
                   for (const QString &file : {u"oauth2.txt"_s, u"client_secrets.json"_s, u"oauth2service.json"_s})
                       writeBytes(dir.filePath(u"b/"_s + file), "{}");
               })
            << u"%1/b already has GAM credentials (oauth2service.json, client_secrets.json, oauth2.txt). Choose "
               u"another name or folder, or add the domain with Add Existing Domain."_s;
        QTest::newRow("empty folder is fine")
            << Setup([named](NewDomainSetup &s, const QTemporaryDir &dir, ProfileStore &) {
                   named(s, dir);
                   QDir().mkpath(dir.filePath(u"b"_s));
               })
            << QString();

        const auto section = [](NewDomainSetup &s) {
            s.setLayout(NewDomainSetup::Layout::section);
            s.setName(u"District B"_s);
            s.setAdmin(u"admin@b.example.org"_s);
        };
        QTest::newRow("no gam.cfg folder")
            << Setup([section](NewDomainSetup &s, const QTemporaryDir &, ProfileStore &) { section(s); })
            << u"Choose the folder that contains gam.cfg."_s;
        QTest::newRow("folder without gam.cfg")
            << Setup([section](NewDomainSetup &s, const QTemporaryDir &dir, ProfileStore &) {
                   section(s);
                   s.setCfgFolder(dir.path());
               })
            << u"That folder has no gam.cfg."_s;
        QTest::newRow("gam.cfg not UTF-8, before the section name")
            << Setup([section](NewDomainSetup &s, const QTemporaryDir &dir, ProfileStore &) {
                   section(s);
                   writeBytes(dir.filePath(u"gam.cfg"_s), "[district-b]\ndomain = caf\xe9.example.org\n");
                   s.setCfgFolder(dir.path());
               })
            << u"That folder's gam.cfg isn't UTF-8 text, so Tarnwick won't edit it. Save it as UTF-8, or choose "
               u"another folder."_s;
        QTest::newRow("section default") << Setup([section](NewDomainSetup &s, const QTemporaryDir &dir,
                                                            ProfileStore &) {
            section(s);
            writeBytes(dir.filePath(u"gam.cfg"_s), sharedConfig.toUtf8());
            s.setCfgFolder(dir.path());
            s.setSectionName(u"default"_s);
        }) << u"DEFAULT is reserved by GAM."_s;
        QTest::newRow("section taken in another case")
            << Setup([section](NewDomainSetup &s, const QTemporaryDir &dir, ProfileStore &) {
                   section(s);
                   writeBytes(dir.filePath(u"gam.cfg"_s), sharedConfig.toUtf8());
                   s.setCfgFolder(dir.path());
                   s.setSectionName(u"District-A"_s);
               })
            << u"gam.cfg already has a section named District-A."_s;
        QTest::newRow("credentials under the DEFAULT config_dir")
            << Setup([section](NewDomainSetup &s, const QTemporaryDir &dir, ProfileStore &) {
                   section(s);
                   writeBytes(dir.filePath(u"gam.cfg"_s), sharedConfig.toUtf8());
                   writeBytes(dir.filePath(u"main/district-b/client_secrets.json"_s), "{}");
                   s.setCfgFolder(dir.path());
               })
            << u"%1/main/district-b already has GAM credentials (client_secrets.json). Choose another name or "
               u"folder, or add the domain with Add Existing Domain."_s;
    }

    void validation_firstProblemWins() {
        QFETCH(Setup, setup);
        QFETCH(QString, message);
        setup(*m_setup, *m_dir, *m_store);
        const std::optional<QString> expected =
            message.isEmpty() ? std::nullopt : std::optional(message.arg(m_dir->path()));
        QCOMPARE(m_setup->validationMessage(), expected);
    }

    void derivedValues() {
        m_setup->setAdmin(u"  Admin@District-B.Example.ORG\t"_s);
        QCOMPARE(m_setup->adminDomain(), u"district-b.example.org"_s);
        QCOMPARE(m_setup->effectiveCheckUser(), u"admin@district-b.example.org"_s);
        m_setup->setCheckUser(u" Student@District-B.example.org "_s);
        QCOMPARE(m_setup->effectiveCheckUser(), u"student@district-b.example.org"_s);
        m_setup->setAdmin(u"@district-b.example.org"_s);
        QCOMPARE(m_setup->adminDomain(), QString());

        // A name that slugs to nothing still gives a usable folder and section.
        m_setup->setName(u"***"_s);
        QCOMPARE(m_setup->sectionName(), u"domain"_s);
        QCOMPARE(m_setup->configDir(), QDir::homePath() + u"/GAMConfig/domain"_s);
    }

    void name_fillsFolderAndSection_untilTheUserChoosesThem() {
        m_setup->setName(u"District B"_s);
        QCOMPARE(m_setup->configDir(), QDir::homePath() + u"/GAMConfig/district-b"_s);
        QCOMPARE(m_setup->sectionName(), u"district-b"_s);

        // Typing the automatic section name keeps it automatic; anything else keeps it.
        m_setup->setSectionName(u"district-b"_s);
        m_setup->setName(u"District C"_s);
        QCOMPARE(m_setup->sectionName(), u"district-c"_s);
        m_setup->setSectionName(u"dc"_s);
        m_setup->setName(u"District D"_s);
        QCOMPARE(m_setup->sectionName(), u"dc"_s);
        QCOMPARE(m_setup->configDir(), QDir::homePath() + u"/GAMConfig/district-d"_s);

        // A folder typed by hand is kept as well as a chosen one.
        m_setup->setConfigDir(path(u"typed"_s));
        m_setup->setName(u"District E"_s);
        QCOMPARE(m_setup->configDir(), path(u"typed"_s));

        NewDomainSetup chooser(m_store.get(), m_desktop.get());
        m_desktop->nextFolder = path(u"chosen"_s);
        awaitTask(chooser.chooseConfigDir());
        QCOMPARE(m_desktop->folderPrompts.last(), u"Config Folder|"_s + QDir::homePath() + u"/GAMConfig/new"_s);
        chooser.setName(u"District F"_s);
        QCOMPARE(chooser.configDir(), path(u"chosen"_s));
    }

    void helpAndCredentialsText_followTheSection() {
        fillSectionForm();
        QCOMPARE(m_setup->credentialsFolderText(), path(u"shared/main/district-b"_s));
        QVERIFY(m_setup->helpText().startsWith(u"Adds a [district-b] section to gam.cfg"_s));
        QVERIFY(m_setup->helpText().contains(u" Existing sections: district-a. Commands run with GAMCFGSECTION"_s));
        m_setup->setSectionName(QString());
        QCOMPARE(m_setup->credentialsFolderText(), u"—"_s);
        QVERIFY(m_setup->helpText().startsWith(u"Adds a [section] section"_s));
    }

    void sectionLayout_start_backsUpAndAppendsOnlyTheNewSection() {
        fillSectionForm();
        const QByteArray before = readBytes(path(u"shared/gam.cfg"_s));
        m_setup->start();

        QCOMPARE(m_setup->errorMessage(), std::nullopt);
        QCOMPARE(m_setup->stage(), NewDomainSetup::Stage::waiting);
        QCOMPARE(m_setup->addedSection(), u"district-b"_s);
        const QByteArray after = readBytes(path(u"shared/gam.cfg"_s));
        QVERIFY(after.startsWith(before));
        const QString credentials = path(u"shared/main/district-b"_s);
        QCOMPARE(after.mid(before.size()), ("\n[district-b]\nconfig_dir = " + credentials.toUtf8() +
                                            "\ncustomer_id = my_customer\ndomain = district-b.example.org\n"));
        QCOMPARE(QFileInfo(credentials).permissions() & 0x0777, QFileDevice::Permissions(0x0700));

        const QString note = m_setup->note().value_or(QString());
        QVERIFY2(note.startsWith(u"Added [district-b] to gam.cfg. Backup: "_s), qPrintable(note));
        const QString backup = note.section(u"Backup: "_s, 1);
        QCOMPARE(readBytes(backup), before);

        // The script was opened, with the section's settings.
        QCOMPARE(m_desktop->openedScripts.size(), 1);
        QVERIFY(m_desktop->openedScripts.first().endsWith(u"/Set-Up-district-b.command"_s));
        const QString script = QString::fromUtf8(readBytes(m_desktop->openedScripts.first()));
        QVERIFY(
            script.contains(u"\nexport GAMCFGDIR="_s + path(u"shared"_s) + u"\nexport GAMCFGSECTION=district-b\n"_s));
        QVERIFY(script.contains(u" user admin@district-b.example.org check serviceaccount\n"_s));
        const DomainProfile pending = m_setup->pendingProfile();
        QCOMPARE(pending.configDir, path(u"shared"_s));
        QCOMPARE(pending.section, u"district-b"_s);
        QCOMPARE(pending.domain, u"district-b.example.org"_s);

        // Nothing can be changed once gam.cfg has been edited.
        QVERIFY(!m_setup->isFormEditable());
        m_setup->setSectionName(u"other"_s);
        QCOMPARE(m_setup->sectionName(), u"district-b"_s);

        // Removing it restores gam.cfg exactly and closes the wizard.
        QSignalSpy finished(m_setup.get(), &NewDomainSetup::finished);
        m_setup->removeSection();
        QCOMPARE(readBytes(path(u"shared/gam.cfg"_s)), before);
        QCOMPARE(m_setup->addedSection(), std::nullopt);
        QVERIFY(m_setup->note()->startsWith(u"Removed [district-b] from gam.cfg. Backup: "_s));
        QCOMPARE(finished.count(), 1);
    }

    // Someone saved gam.cfg in another encoding while setup ran: it is left as it is, and the wizard says why.
    void removeSection_ofAFileNoLongerUTF8_leavesItAndSaysWhy() {
        fillSectionForm();
        m_setup->start();
        QCOMPARE(m_setup->addedSection(), u"district-b"_s);
        const QByteArray latin1 = readBytes(path(u"shared/gam.cfg"_s)).replace("district-a", "caf\xe9");
        writeBytes(path(u"shared/gam.cfg"_s), latin1);

        QSignalSpy finished(m_setup.get(), &NewDomainSetup::finished);
        m_setup->removeSection();
        QCOMPARE(m_setup->errorMessage(), u"Couldn't remove the section: The gam.cfg at "_s +
                                              path(u"shared/gam.cfg"_s) +
                                              u" isn't UTF-8 text, so Tarnwick left it unchanged."_s);
        QCOMPARE(readBytes(path(u"shared/gam.cfg"_s)), latin1);
        QCOMPARE(m_setup->addedSection(), u"district-b"_s);
        QCOMPARE(finished.count(), 0);
    }

    void folderLayout_start_makesAnOwnerOnlyFolder() {
        m_setup->setName(u"District B"_s);
        m_setup->setAdmin(u"admin@district-b.example.org"_s);
        m_setup->setConfigDir(path(u"new/parents/district-b"_s));
        m_setup->start();
        QCOMPARE(m_setup->stage(), NewDomainSetup::Stage::waiting);
        QCOMPARE(QFileInfo(path(u"new/parents/district-b"_s)).permissions() & 0x0777, QFileDevice::Permissions(0x0700));
        QCOMPARE(m_setup->note(), std::nullopt);
        const QString script = QString::fromUtf8(readBytes(m_desktop->openedScripts.first()));
        QVERIFY(script.contains(u"\nexport GAMCFGDIR="_s + path(u"new/parents/district-b"_s) +
                                u"\nunset GAMCFGSECTION\n"_s));
    }

    void start_failures_stayInTheForm() {
        // No terminal: the section stays added, and starting again only retries the terminal.
        fillSectionForm();
        m_desktop->terminalWorks = false;
        m_setup->start();
        QCOMPARE(m_setup->stage(), NewDomainSetup::Stage::form);
        QVERIFY(
            m_setup->errorMessage()->startsWith(u"Couldn't open Terminal: No terminal emulator could be started"_s));
        QCOMPARE(m_setup->addedSection(), u"district-b"_s);
        m_desktop->terminalWorks = true;
        m_setup->start();
        QCOMPARE(m_setup->errorMessage(), std::nullopt);
        QCOMPARE(m_setup->stage(), NewDomainSetup::Stage::waiting);
        QCOMPARE(GAMConfigFile::sectionNames(path(u"shared"_s)), (QStringList{u"district-a"_s, u"district-b"_s}));

        // No gam: its own message.
        QSettings().setValue(u"gamPath"_s, path(u"missing/gam"_s));
        m_setup->openTerminal();
        QCOMPARE(m_setup->errorMessage(), GAMError::notFound().description());
        QCOMPARE(m_setup->stage(), NewDomainSetup::Stage::waiting);
    }

    void start_unwritableConfig_changesNothing() {
        if (::geteuid() == 0)
            QSKIP("root may write read-only files");
        fillSectionForm();
        const QByteArray before = readBytes(path(u"shared/gam.cfg"_s));
        QFile::setPermissions(path(u"shared/gam.cfg"_s), QFileDevice::ReadOwner);
        m_setup->start();
        QVERIFY(m_setup->errorMessage()->startsWith(u"Couldn't prepare setup: "_s));
        QCOMPARE(m_setup->stage(), NewDomainSetup::Stage::form);
        QCOMPARE(m_setup->addedSection(), std::nullopt);
        QCOMPARE(readBytes(path(u"shared/gam.cfg"_s)), before);
    }

    void cancel_asksOnlyWhenASectionWasAdded() {
        QSignalSpy finished(m_setup.get(), &NewDomainSetup::finished);
        m_setup->cancel();
        QCOMPARE(finished.count(), 1);

        NewDomainSetup setup(m_store.get(), m_desktop.get());
        m_setup.reset();
        writeBytes(path(u"shared/gam.cfg"_s), sharedConfig.toUtf8());
        setup.setLayout(NewDomainSetup::Layout::section);
        setup.setName(u"District B"_s);
        setup.setAdmin(u"admin@district-b.example.org"_s);
        setup.setCfgFolder(path(u"shared"_s));
        setup.start();
        QSignalSpy closed(&setup, &NewDomainSetup::finished);
        setup.cancel();
        QVERIFY(setup.isConfirmingCancel());
        QCOMPARE(closed.count(), 0);
        setup.stayInSetup();
        QVERIFY(!setup.isConfirmingCancel());
        setup.cancel();
        setup.keepSection();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(GAMConfigFile::sectionNames(path(u"shared"_s)), (QStringList{u"district-a"_s, u"district-b"_s}));
    }

    void testAndAdd_failure_thenAddAnyway() {
        fillSectionForm();
        m_setup->start();
        m_gam->answer(1, u"Getting domain\n\nStill working\n"_s,
                      u"\nERROR: Client OAuth2 File: x, Does not exist\nmore\n"_s, 16);
        awaitTask(m_setup->testAndAdd());
        QCOMPARE(m_gam->arguments(1), (QStringList{u"info"_s, u"domain"_s}));
        QCOMPARE(m_setup->stage(), NewDomainSetup::Stage::failed);
        QCOMPARE(m_setup->statusLine()->text,
                 u"Test failed (exit 16): ERROR: Client OAuth2 File: x, Does not exist\nFinish setup in Terminal and "
                 u"test again, or add it anyway and fix it later."_s);

        m_gam->answer(2, u"Getting domain\n\nlast line\n\n"_s, QString(), 3);
        awaitTask(m_setup->testAndAdd());
        QVERIFY(m_setup->statusLine()->text.startsWith(u"Test failed (exit 3): last line\n"_s));

        QSignalSpy added(m_setup.get(), &NewDomainSetup::added);
        const qsizetype before = m_store->profiles().size();
        m_setup->addAnyway();
        QCOMPARE(added.count(), 1);
        QCOMPARE(m_store->profiles().size(), before + 1);
        const DomainProfile profile = m_store->profiles().last();
        QCOMPARE(profile.name, u"District B"_s);
        QCOMPARE(profile.configDir, path(u"shared"_s));
        QCOMPARE(profile.section, u"district-b"_s);
        QCOMPARE(profile.domain, u"district-b.example.org"_s);
        QCOMPARE(profile.exportDir, QDir::homePath() + u"/security_exports/district-b"_s);
        QVERIFY(m_store->activeID() != profile.id);
    }

    void testAndAdd_success_storesTheDomainGamReports_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("domain");
        QTest::newRow("mixed case") << u"Customer ID: C01\nPrimary Domain: District-B.Example.NET\n"_s
                                    << u"district-b.example.net"_s;
        QTest::newRow("no primary domain line") << u"Customer ID: C01\n"_s << u"district-b.example.org"_s;
    }

    void testAndAdd_success_storesTheDomainGamReports() {
        QFETCH(QString, output);
        QFETCH(QString, domain);
        m_setup->setName(u"District B"_s);
        m_setup->setAdmin(u"admin@district-b.example.org"_s);
        m_setup->setConfigDir(path(u"b"_s));
        m_setup->start();
        m_gam->answer(1, output);
        QSignalSpy finished(m_setup.get(), &NewDomainSetup::finished);
        awaitTask(m_setup->testAndAdd());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(m_store->profiles().last().domain, domain);
        QCOMPARE(m_store->profiles().last().configDir, path(u"b"_s));
        QCOMPARE(m_store->profiles().last().section, QString());
    }

    void testAndAdd_gamGone_saysWhy() {
        m_setup->setName(u"District B"_s);
        m_setup->setAdmin(u"admin@district-b.example.org"_s);
        m_setup->setConfigDir(path(u"b"_s));
        m_setup->start();
        QSettings().setValue(u"gamPath"_s, path(u"missing/gam"_s));
        awaitTask(m_setup->testAndAdd());
        QCOMPARE(m_setup->statusLine()->text, u"Test failed: "_s + GAMError::notFound().description());
    }

    // A test still running when the wizard is cancelled, or its window goes, adds nothing.
    void testAndAdd_endingAfterCancelOrClose_addsNothing() {
        QSettings().setValue(u"gamPath"_s, writeScript(m_dir->path(), u"slow-gam"_s,
                                                       u"sleep 1\necho 'Primary Domain: district-b.example.org'\n"_s));
        m_setup->setName(u"District B"_s);
        m_setup->setAdmin(u"admin@district-b.example.org"_s);
        m_setup->setConfigDir(path(u"b"_s));
        m_setup->start();
        const qsizetype before = m_store->profiles().size();

        QCoro::Task<> cancelled = m_setup->testAndAdd();
        QCOMPARE(m_setup->stage(), NewDomainSetup::Stage::testing);
        m_setup->cancel();
        awaitTask(std::move(cancelled));
        QCOMPARE(m_store->profiles().size(), before);

        // The window goes while gam runs: the test ends with it, gam too.
        const QString pidFile = m_dir->filePath(u"pid"_s);
        QSettings().setValue(u"gamPath"_s,
                             writeScript(m_dir->path(), u"slower-gam"_s,
                                         u"echo $$ > '"_s + pidFile +
                                             u"'\nsleep 30\necho 'Primary Domain: district-c.example.org'\n"_s));
        auto closing = std::make_unique<NewDomainSetup>(m_store.get(), m_desktop.get());
        closing->setName(u"District C"_s);
        closing->setAdmin(u"admin@district-c.example.org"_s);
        closing->setConfigDir(path(u"c"_s));
        closing->start();
        QCoro::Task<> orphaned = closing->testAndAdd();
        QTRY_VERIFY(pidFromFile(pidFile) > 0);
        closing.reset();
        QVERIFY(orphaned.isReady());
        QVERIFY(!processIsRunning(pidFromFile(pidFile)));
        QCoreApplication::processEvents();
        QCOMPARE(m_store->profiles().size(), before);
    }
};

QTEST_GUILESS_MAIN(TestNewDomainSetup)
#include "tst_new_domain_setup.moc"
