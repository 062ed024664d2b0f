#include "FakeDesktopServices.h"
#include "ScriptedTerminal.h"
#include "TestSupport.h"

#include "app/AppModel.h"
#include "app/ui/MainWindow.h"
#include "command/CustomCommandModel.h"
#include "core/Console.h"
#include "profiles/DomainSettings.h"
#include "profiles/GAMConfigFile.h"
#include "profiles/NewDomainSetup.h"
#include "profiles/ProfileStore.h"
#include "profiles/ui/DomainSettingsPane.h"
#include "profiles/ui/DomainSetupSheet.h"
#include "profiles/ui/SettingsWindow.h"
#include "profiles/ui/StatusLabel.h"

#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>

using namespace Qt::StringLiterals;

// A new practice district set up from the real window: the wizard's script runs
// for real in bash against the practice gam's setup commands (the first
// delegation check fails, as it does for real), the domain is tested and added,
// and commands then run on it.
class TestNewDomainWizard : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedTerminal> m_terminal;
    FakeDesktopServices m_desktop;
    std::unique_ptr<ProfileStore> m_store;
    std::unique_ptr<AppModel> m_model;
    std::unique_ptr<MainWindow> m_window;

    // Opens Settings ▸ Domains from the domain switcher and starts the wizard from the add menu.
    DomainSetupSheet *openWizard() {
        auto *switcher = m_window->findChild<QToolButton *>(u"domainSwitcher"_s);
        QAction *manage = nullptr;
        for (QAction *action : switcher->menu()->actions()) {
            if (action->text() == u"Manage Domains…"_s)
                manage = action;
        }
        if (!manage || !manage->isEnabled())
            return nullptr;
        manage->trigger();
        SettingsWindow *settings = m_window->settingsWindow();
        if (!settings || settings->currentTab() != SettingsTab::domains)
            return nullptr;
        auto *add = settings->findChild<QToolButton *>(u"addDomainButton"_s);
        add->menu()->findChild<QAction *>(u"setUpNewAction"_s)->trigger();
        return settings->findChild<DomainSetupSheet *>();
    }

    static void type(DomainSetupSheet *sheet, const QString &field, const QString &text) {
        auto *edit = sheet->findChild<QLineEdit *>(field);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    static QPushButton *button(DomainSetupSheet *sheet, const QString &name) {
        return sheet->findChild<QPushButton *>(name);
    }

    QString runInCustomCommand(const QString &command) {
        Console *console = m_model->console();
        const qsizetype before = console->entryCount();
        m_model->custom()->setCommand(command);
        m_model->custom()->run();
        if (!QTest::qWaitFor([console] { return !console->isBusy(); }, 60000))
            return {};
        QStringList lines;
        for (qsizetype i = before; i < console->entryCount(); ++i)
            lines.append(console->entryAt(i).text);
        return lines.join(u'\n');
    }

    const DomainProfile *profileNamed(const QString &name) const {
        for (const DomainProfile &profile : m_store->profiles()) {
            if (profile.name == name)
                return &profile;
        }
        return nullptr;
    }

private Q_SLOTS:
    void initTestCase() {
        if (!QFile::exists(QStringLiteral(PRACTICE_GAM_PATH)))
            QSKIP("the practice gam is not part of this build");
    }

    void init() {
        m_settings = std::make_unique<IsolatedSettings>();
        QSettings().setValue(u"gamPath"_s, QStringLiteral(PRACTICE_GAM_PATH));
        m_dir = std::make_unique<QTemporaryDir>();
        // Return to every prompt: the first delegation check fails and is checked again.
        m_terminal = std::make_unique<ScriptedTerminal>("\n\n\n\n");
        m_desktop.terminal = [this](const QString &script) { return m_terminal->open(script); };
        m_store = std::make_unique<ProfileStore>();
        m_model = std::make_unique<AppModel>(m_store.get(), &m_desktop);
        m_window = std::make_unique<MainWindow>(m_model.get(), &m_desktop);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup() {
        m_window.reset();
        m_model.reset();
        m_store.reset();
        m_desktop.terminal = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(m_terminal->finished(), 60000);
        m_terminal.reset();
        m_dir.reset();
        m_settings.reset();
    }

    void folderLayout_endToEnd() {
        QPointer<DomainSetupSheet> sheet = openWizard();
        QVERIFY(sheet);
        QTRY_VERIFY(sheet->isVisible());
        const QString folder = m_dir->filePath(u"GAMConfig/district-c"_s);
        type(sheet, u"nameField"_s, u"District C"_s);
        type(sheet, u"adminField"_s, u"Admin@District-C.example.org"_s);
        QCOMPARE(sheet->findChild<QLineEdit *>(u"configDirField"_s)->text(),
                 QDir::homePath() + u"/GAMConfig/district-c"_s);
        type(sheet, u"configDirField"_s, folder);
        QPushButton *start = button(sheet, u"startButton"_s);
        QCOMPARE(start->text(), u"Open Terminal and Start Setup"_s);
        QVERIFY(start->isEnabled());
        QTest::mouseClick(start, Qt::LeftButton);

        QCOMPARE(m_terminal->started(), 1);
        QCOMPARE(sheet->setup()->stage(), NewDomainSetup::Stage::waiting);
        QCOMPARE(sheet->findChild<StatusLabel *>(u"statusLine"_s)->text(),
                 u"Finish the steps in Terminal, then click Test & Add Domain."_s);
        QVERIFY(!sheet->findChild<QLineEdit *>(u"nameField"_s)->isEnabled());
        QVERIFY(!button(sheet, u"removeSectionButton"_s)->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(m_terminal->finished(), 60000);
        const QString output = m_terminal->output();
        QVERIFY2(m_terminal->exitCode() == 0, qPrintable(output));
        QVERIFY(output.contains(u"  Credentials:    "_s + folder + u'\n'));
        QVERIFY(output.contains(u"  Admin:          admin@district-c.example.org\n"_s));
        QVERIFY(output.contains(u"Some scopes FAILED!"_s));
        QVERIFY(output.contains(u"All scopes PASSED!"_s));
        QVERIFY(output.contains(u"Setup finished. Return to Tarnwick and click Test & Add Domain."_s));
        QVERIFY(QFileInfo::exists(folder + u"/oauth2.txt"_s));

        QTest::mouseClick(button(sheet, u"testAndAddButton"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!sheet, 60000);
        const DomainProfile *added = profileNamed(u"District C"_s);
        QVERIFY(added);
        QCOMPARE(added->configDir, folder);
        QCOMPARE(added->section, QString());
        QCOMPARE(added->domain, u"district-c.example.org"_s);
        QCOMPARE(m_window->settingsWindow()->domains()->selection(), added->id);

        // The new district is one domain switch away from running commands.
        m_model->chooseDomain(added->id);
        const QString log = runInCustomCommand(u"gam info domain"_s);
        QVERIFY2(log.contains(u"Primary Domain: district-c.example.org"_s), qPrintable(log));
        QVERIFY(runInCustomCommand(u"gam print users"_s).contains(u"admin@district-c.example.org"_s));
    }

    void sectionLayout_endToEnd_leavesOtherSectionsAlone() {
        const QString shared = m_dir->filePath(u"shared"_s);
        QVERIFY(seedPracticeDomain(shared, u"example.org"_s, 20));
        const QByteArray before = readBytes(shared + u"/gam.cfg"_s);

        QPointer<DomainSetupSheet> sheet = openWizard();
        QVERIFY(sheet);
        QTest::mouseClick(sheet->findChild<QPushButton *>(u"sectionLayoutButton"_s), Qt::LeftButton);
        type(sheet, u"nameField"_s, u"District D"_s);
        type(sheet, u"adminField"_s, u"admin@district-d.example.org"_s);
        type(sheet, u"checkUserField"_s, u"admin@district-d.example.org"_s);
        type(sheet, u"cfgFolderField"_s, shared);
        QCOMPARE(sheet->findChild<QLineEdit *>(u"sectionNameField"_s)->text(), u"district-d"_s);
        QPushButton *start = button(sheet, u"startButton"_s);
        QCOMPARE(start->text(), u"Add Section and Open Terminal"_s);
        QTest::mouseClick(start, Qt::LeftButton);

        // Appended after a byte-for-byte copy of what was there, which the backup holds.
        const QByteArray appended = readBytes(shared + u"/gam.cfg"_s);
        QVERIFY(appended.startsWith(before));
        QVERIFY(appended.mid(before.size()).startsWith("\n[district-d]\nconfig_dir = "));
        const QString backup = sheet->setup()->note()->section(u"Backup: "_s, 1);
        QCOMPARE(readBytes(backup), before);
        QVERIFY(button(sheet, u"removeSectionButton"_s)->isVisible());

        QTRY_VERIFY_WITH_TIMEOUT(m_terminal->finished(), 60000);
        QVERIFY2(m_terminal->exitCode() == 0, qPrintable(m_terminal->output()));
        QVERIFY(m_terminal->output().contains(u"  Section:       district-d\n"_s));
        QTest::mouseClick(button(sheet, u"testAndAddButton"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!sheet, 60000);
        const DomainProfile *added = profileNamed(u"District D"_s);
        QVERIFY(added);
        QCOMPARE(added->configDir, shared);
        QCOMPARE(added->section, u"district-d"_s);
        QCOMPARE(added->domain, u"district-d.example.org"_s);
        QCOMPARE(GAMConfigFile::sectionNames(shared), QStringList{u"district-d"_s});

        m_model->chooseDomain(added->id);
        QVERIFY(runInCustomCommand(u"gam info domain"_s).contains(u"Primary Domain: district-d.example.org"_s));
        // The district that was there still answers without a section.
        DomainProfile first = m_store->profiles().first();
        first.configDir = shared;
        m_store->update(first);
        m_model->chooseDomain(first.id);
        QVERIFY(runInCustomCommand(u"gam info domain"_s).contains(u"Primary Domain: example.org"_s));
    }

    // The admin gives up in the terminal; the wizard's section comes out again.
    void failedSetup_removeSection_restoresGamCfg() {
        const QString shared = m_dir->filePath(u"shared"_s);
        QVERIFY(seedPracticeDomain(shared, u"example.org"_s, 20));
        const QByteArray before = readBytes(shared + u"/gam.cfg"_s);
        m_terminal = std::make_unique<ScriptedTerminal>("q\n");

        QPointer<DomainSetupSheet> sheet = openWizard();
        QVERIFY(sheet);
        QTest::mouseClick(sheet->findChild<QPushButton *>(u"sectionLayoutButton"_s), Qt::LeftButton);
        type(sheet, u"nameField"_s, u"District E"_s);
        // Not a documentation domain: the practice gam refuses to set it up.
        type(sheet, u"adminField"_s, u"admin@district-e.invalid"_s);
        type(sheet, u"cfgFolderField"_s, shared);
        QTest::mouseClick(button(sheet, u"startButton"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_terminal->finished(), 60000);
        QCOMPARE(m_terminal->exitCode(), 1);

        QTest::mouseClick(button(sheet, u"testAndAddButton"_s), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(sheet->setup()->stage(), NewDomainSetup::Stage::failed, 60000);
        QVERIFY(sheet->findChild<StatusLabel *>(u"statusLine"_s)->text().startsWith(u"Test failed (exit "_s));
        QVERIFY(button(sheet, u"addAnywayButton"_s)->isVisible());

        // Cancel asks; Remove Section there takes the section out again.
        QTest::mouseClick(button(sheet, u"cancelButton"_s), Qt::LeftButton);
        auto *question = sheet->findChild<QMessageBox *>(u"cancelQuestion"_s);
        QVERIFY(question);
        QCOMPARE(question->text(), u"Keep the district-e section in gam.cfg?"_s);
        QTest::mouseClick(question->findChild<QPushButton *>(u"removeSectionAnswer"_s), Qt::LeftButton);
        QTRY_VERIFY(!sheet);
        QCOMPARE(readBytes(shared + u"/gam.cfg"_s), before);
        QVERIFY(!profileNamed(u"District E"_s));
    }
};

QTEST_MAIN(TestNewDomainWizard)
#include "tst_new_domain_wizard.moc"
