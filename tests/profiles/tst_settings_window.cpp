#include "FakeDesktopServices.h"
#include "TestSupport.h"

#include "core/Console.h"
#include "profiles/AssistantKeySettings.h"
#include "profiles/DomainSettings.h"
#include "profiles/NewDomainSetup.h"
#include "profiles/ProfileEditor.h"
#include "profiles/ProfileStore.h"
#include "profiles/ui/DomainSettingsPane.h"
#include "profiles/ui/DomainSetupSheet.h"
#include "profiles/ui/ElidedLabel.h"
#include "profiles/ui/ProfileEditorForm.h"
#include "profiles/ui/SettingsWindow.h"
#include "profiles/ui/StatusLabel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoroSignal>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

using namespace Qt::StringLiterals;

// The Settings window as the user meets it, offscreen: each pane's controls,
// what they store, and that every one is reachable from the keyboard. No
// Secret Service answers here, as on a desktop without a keyring.
class TestSettingsWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeDesktopServices> m_desktop;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<ProfileStore> m_store;
    QPointer<SettingsWindow> m_window;

    template <typename T> T *child(const QString &name) const {
        T *found = m_window->findChild<T *>(name);
        if (!found)
            qFatal("no child %s", qPrintable(name));
        return found;
    }

    void openOn(SettingsTab tab) {
        m_window = new SettingsWindow(m_store.get(), m_console.get());
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->showTab(tab);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.data()));
    }

    void startCommand() {
        m_console->run(u"Long Run"_s, [](CancelToken cancel) -> QCoro::Task<> {
            co_await qCoro(cancel.state(), &CancelState::requested);
        });
    }

    // Tabs from the first control of the current pane and returns every widget that took focus.
    QSet<QWidget *> tabThrough(QWidget *start) {
        m_window->activateWindow();
        if (!QTest::qWaitForWindowActive(m_window.data()))
            qFatal("the Settings window did not become active");
        start->setFocus(Qt::TabFocusReason);
        QSet<QWidget *> reached;
        for (int i = 0; i < 80; ++i) {
            reached.insert(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        return reached;
    }

private Q_SLOTS:
    void initTestCase() {
        // No keyring on this bus: the Assistant pane must stay usable.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tarnwick-test-bus");
    }

    void init() {
        m_settings = std::make_unique<IsolatedSettings>();
        m_dir = std::make_unique<QTemporaryDir>();
        m_desktop = std::make_unique<FakeDesktopServices>();
        m_console = std::make_unique<Console>(m_desktop.get());
        m_store = std::make_unique<ProfileStore>();
    }

    void cleanup() {
        delete m_window;
        if (m_console->isBusy()) {
            m_console->stop();
            QTRY_VERIFY(!m_console->isBusy());
        }
        m_store.reset();
        m_console.reset();
        m_desktop.reset();
        m_dir.reset();
        m_settings.reset();
    }

    void window_hasFourTabsInOrder() {
        openOn(SettingsTab::gam);
        QTabWidget *tabs = m_window->tabs();
        QCOMPARE(tabs->count(), 4);
        const QStringList labels{u"GAM"_s, u"Domains"_s, u"Security Tool"_s, u"Assistant"_s};
        for (int i = 0; i < tabs->count(); ++i) {
            QCOMPARE(tabs->tabText(i), labels.at(i));
            QVERIFY(!tabs->tabIcon(i).isNull());
        }
        QCOMPARE(m_window->width(), 720);
        m_window->showTab(SettingsTab::security);
        QCOMPARE(tabs->currentIndex(), 2);
        QCOMPARE(m_window->currentTab(), SettingsTab::security);
        QTest::mouseClick(child<QPushButton>(u"closeSettingsButton"_s), Qt::LeftButton);
        QTRY_VERIFY(!m_window);
    }

    // Each pane gets the window height it needs, whichever pane was shown before it.
    void windowHeight_followsThePaneShown() {
        openOn(SettingsTab::gam);
        const auto fits = [this] {
            const QWidget *page = m_window->tabs()->currentWidget();
            return page->height() >= page->heightForWidth(page->width());
        };
        const int gamHeight = m_window->height();
        QVERIFY(fits());
        m_window->showTab(SettingsTab::domains);
        const int domainsHeight = m_window->height();
        m_window->showTab(SettingsTab::security);
        QVERIFY(fits());
        const int securityHeight = m_window->height();
        QVERIFY(securityHeight < domainsHeight);
        QVERIFY2(gamHeight < securityHeight, "the GAM pane is the shortest");
        m_window->showTab(SettingsTab::assistant);
        QVERIFY(fits());
        m_window->showTab(SettingsTab::gam);
        QCOMPARE(m_window->height(), gamHeight);
    }

    void gamPane_chooseAndAutodetect() {
        const QString fakeBin = m_dir->filePath(u"path-bin"_s);
        QDir().mkpath(fakeBin);
        const QString autodetected = writeScript(fakeBin, u"gam"_s, QString());
        qputenv("PATH", (fakeBin + u":/usr/bin:/bin"_s).toUtf8());
        openOn(SettingsTab::gam);
        auto *location = child<ElidedLabel>(u"gamLocation"_s);
        auto *status = child<StatusLabel>(u"gamStatus"_s);
        auto *autodetect = child<QPushButton>(u"autodetectButton"_s);
        QCOMPARE(location->fullText(), u"Auto-detect"_s);
        QVERIFY(!autodetect->isEnabled());
        QCOMPARE(status->text(), autodetected);
        QCOMPARE(status->tone(), StatusLabel::Tone::success);

        // A chosen file that cannot run is kept, and said to be missing.
        const QString chosen = m_dir->filePath(u"not-executable"_s);
        QFile(chosen).open(QIODevice::WriteOnly);
        m_desktop->nextOpenPath = chosen;
        QTest::mouseClick(child<QPushButton>(u"chooseGAMButton"_s), Qt::LeftButton);
        QTRY_COMPARE(QSettings().value(u"gamPath"_s).toString(), chosen);
        QCOMPARE(m_desktop->openPrompts.last(), u"Select the gam executable||"_s + QDir::homePath() + u"/bin"_s);
        QCOMPARE(location->fullText(), chosen);
        QCOMPARE(status->text(), u"gam not found"_s);
        QCOMPARE(status->tone(), StatusLabel::Tone::failure);
        QVERIFY(autodetect->isEnabled());

        QTest::mouseClick(autodetect, Qt::LeftButton);
        QCOMPARE(QSettings().value(u"gamPath"_s).toString(), QString());
        QCOMPARE(status->text(), autodetected);
        QVERIFY(!autodetect->isEnabled());
    }

    void securityPane_storesBothSettings() {
        openOn(SettingsTab::security);
        auto *file = child<ElidedLabel>(u"iocFile"_s);
        auto *defaultButton = child<QPushButton>(u"defaultIOCFileButton"_s);
        auto *none = child<QRadioButton>(u"passwordLogMode-none"_s);
        QCOMPARE(file->fullText(), QDir::homePath() + u"/known_iocs.txt"_s);
        QVERIFY(!defaultButton->isEnabled());
        QVERIFY(none->isChecked());
        QCOMPARE(none->text(), u"Screen only (recommended)"_s);
        QCOMPARE(child<QRadioButton>(u"passwordLogMode-local"_s)->text(), u"Also save locally (owner-only file)"_s);

        m_desktop->nextFileLocation = m_dir->filePath(u"shared/iocs.txt"_s);
        QTest::mouseClick(child<QPushButton>(u"chooseIOCFileButton"_s), Qt::LeftButton);
        QTRY_COMPARE(QSettings().value(u"security.iocFile"_s).toString(), m_dir->filePath(u"shared/iocs.txt"_s));
        QCOMPARE(m_desktop->locationPrompts.last(),
                 u"Choose where this file is (or will be) kept. Existing files are appended to, never replaced.|"_s +
                     QDir::homePath() + u"/known_iocs.txt"_s);
        QCOMPARE(file->fullText(), m_dir->filePath(u"shared/iocs.txt"_s));
        QVERIFY(defaultButton->isEnabled());

        auto *drive = child<QRadioButton>(u"passwordLogMode-drive"_s);
        QTest::mouseClick(drive, Qt::LeftButton, {}, QPoint(8, drive->height() / 2));
        QCOMPARE(QSettings().value(u"security.passwordLogMode"_s).toString(), u"drive"_s);
        QTest::mouseClick(defaultButton, Qt::LeftButton);
        QCOMPARE(QSettings().value(u"security.iocFile"_s).toString(), QString());

        // A new window shows what was stored.
        delete m_window;
        openOn(SettingsTab::security);
        QVERIFY(child<QRadioButton>(u"passwordLogMode-drive"_s)->isChecked());
        QVERIFY(!child<QRadioButton>(u"passwordLogMode-none"_s)->isChecked());

        // A mode this version does not know reads as the Security tab reads it: screen only.
        delete m_window;
        QSettings().setValue(u"security.passwordLogMode"_s, u"email"_s);
        openOn(SettingsTab::security);
        QVERIFY(child<QRadioButton>(u"passwordLogMode-none"_s)->isChecked());
        QCOMPARE(QSettings().value(u"security.passwordLogMode"_s).toString(), u"email"_s);
    }

    void assistantPane_withoutAKeyring_saysWhyAndStaysUsable() {
        openOn(SettingsTab::assistant);
        AssistantKeySettings *key = m_window->assistantKey();
        QTRY_COMPARE(key->hasKey(), std::optional(false));
        auto *status = child<StatusLabel>(u"keyStatus"_s);
        auto *field = child<QLineEdit>(u"apiKeyField"_s);
        auto *save = child<QPushButton>(u"saveKeyButton"_s);
        auto *remove = child<QPushButton>(u"removeKeyButton"_s);
        QCOMPARE(status->text(), u"No key — the assistant is off"_s);
        QCOMPARE(field->echoMode(), QLineEdit::Password);
        QCOMPARE(field->placeholderText(), u"sk-ant-…"_s);
        QVERIFY(!save->isEnabled());
        QVERIFY(!remove->isEnabled());

        QTest::keyClicks(field, u"  \t "_s);
        QVERIFY(!save->isEnabled()); // blanks only
        field->clear();
        QTest::keyClicks(field, u" sk-ant-secret "_s);
        QVERIFY(save->isEnabled());
        QTest::keyClick(field, Qt::Key_Return);
        auto *message = child<StatusLabel>(u"keyMessage"_s);
        QTRY_VERIFY(message->isVisible());
        QVERIFY2(message->text().startsWith(u"Couldn't save the key: Couldn't reach your system keyring: "_s),
                 qPrintable(message->text()));
        QVERIFY(!message->text().contains(u"sk-ant-secret"_s));
        QCOMPARE(message->tone(), StatusLabel::Tone::failure);
        QCOMPARE(field->text(), u" sk-ant-secret "_s);
        QVERIFY(field->isEnabled());
        QVERIFY(save->isEnabled());
    }

    void domainsPane_listsEveryProfile_andEditsTheSelectedOne() {
        DomainProfile first = m_store->activeProfile();
        first.name = u"District A"_s;
        first.domain = u"example.org"_s;
        m_store->update(first);
        DomainProfile second = m_store->add(u"Smith & Jones Academy"_s);
        second.domain = u"sja.example.net"_s;
        m_store->update(second);
        openOn(SettingsTab::domains);

        auto *list = child<QListWidget>(u"domainList"_s);
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->data(Qt::AccessibleTextRole).toString(), u"District A, Active, example.org"_s);
        QCOMPARE(list->item(1)->text(), u"Smith & Jones Academy"_s);
        // Shown with nothing selected, the pane selects the active profile.
        QCOMPARE(m_window->domains()->selection(), first.id);
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(child<QLineEdit>(u"nameField"_s)->text(), u"District A"_s);

        list->setCurrentRow(1);
        QCOMPARE(m_window->domains()->selection(), second.id);
        auto *name = child<QLineEdit>(u"nameField"_s);
        QCOMPARE(name->text(), u"Smith & Jones Academy"_s);
        name->selectAll();
        QTest::keyClicks(name, u"District B"_s);
        QCOMPARE(m_store->profiles().at(1).name, u"District B"_s);
        QCOMPARE(list->item(1)->text(), u"District B"_s);
        auto *domain = child<QLineEdit>(u"domainField"_s);
        domain->clear();
        QTest::keyClicks(domain, u"District-B.EXAMPLE.net"_s);
        QCOMPARE(m_store->profiles().at(1).domain, u"district-b.example.net"_s);
        QCOMPARE(domain->text(), u"district-b.example.net"_s);

        // The section picker stores what is picked; Default stores nothing.
        QFile cfg(m_dir->filePath(u"gam.cfg"_s));
        QVERIFY(cfg.open(QIODevice::WriteOnly));
        cfg.write("[district-b]\n");
        cfg.close();
        auto *folder = child<QLineEdit>(u"configDirField"_s);
        QTest::keyClicks(folder, m_dir->path());
        auto *sections = child<QComboBox>(u"sectionPicker"_s);
        QCOMPARE(sections->count(), 2);
        sections->setCurrentIndex(1);
        QCOMPARE(m_store->profiles().at(1).section, u"district-b"_s);
        sections->setCurrentIndex(0);
        QCOMPARE(m_store->profiles().at(1).section, QString());
        QCOMPARE(child<StatusLabel>(u"folderStatus"_s)->text(), m_dir->path() + u" — contains gam.cfg"_s);
    }

    void domainsPane_locksTheActiveProfileWhileACommandRuns() {
        const DomainProfile active = m_store->activeProfile();
        const DomainProfile other = m_store->add(u"Other"_s);
        openOn(SettingsTab::domains);
        auto *remove = child<QToolButton>(u"removeDomainButton"_s);
        QVERIFY(remove->isEnabled());

        startCommand();
        QPointer<ProfileEditorForm> form = m_window->domainsPane()->editorForm();
        QVERIFY(child<StatusLabel>(u"lockLine"_s)->isVisible());
        QVERIFY(!child<QLineEdit>(u"nameField"_s)->isEnabled());
        QVERIFY(!child<QPushButton>(u"testButton"_s)->isEnabled());
        QVERIFY(!remove->isEnabled());

        // Another profile stays editable and removable.
        child<QListWidget>(u"domainList"_s)->setCurrentRow(1);
        QVERIFY(!form); // a fresh form for each profile
        QVERIFY(!child<StatusLabel>(u"lockLine"_s)->isVisible());
        QVERIFY(child<QLineEdit>(u"nameField"_s)->isEnabled());
        QVERIFY(remove->isEnabled());
        QTest::mouseClick(remove, Qt::LeftButton);
        auto *question = m_window->findChild<QMessageBox *>(u"removeDomainQuestion"_s);
        QVERIFY(question);
        QCOMPARE(question->text(), u"Remove Other?"_s);
        QTest::mouseClick(question->findChild<QPushButton *>(u"confirmButton"_s), Qt::LeftButton);
        QCOMPARE(m_store->profiles().size(), 1);
        QCOMPARE(m_store->profiles().first().id, active.id);
        QVERIFY(other.id != active.id);

        m_console->stop();
        QTRY_VERIFY(!m_console->isBusy());
        QVERIFY(!child<StatusLabel>(u"lockLine"_s)->isVisible());
        QVERIFY(child<QLineEdit>(u"nameField"_s)->isEnabled());
    }

    void domainsPane_addMenu() {
        openOn(SettingsTab::domains);
        auto *add = child<QToolButton>(u"addDomainButton"_s);
        QCOMPARE(add->accessibleName(), u"Add domain"_s);
        QCOMPARE(child<QToolButton>(u"removeDomainButton"_s)->accessibleName(), u"Remove domain"_s);
        add->menu()->findChild<QAction *>(u"addExistingAction"_s)->trigger();
        QCOMPARE(m_store->profiles().size(), 2);
        QCOMPARE(m_window->domains()->selection(), m_store->profiles().last().id);
        QCOMPARE(child<QLineEdit>(u"nameField"_s)->text(), u"New Domain"_s);

        add->menu()->findChild<QAction *>(u"setUpNewAction"_s)->trigger();
        QPointer<DomainSetupSheet> sheet = m_window->findChild<DomainSetupSheet *>();
        QVERIFY(sheet);
        QTRY_VERIFY(sheet->isVisible());
        // Nothing prepared yet: Escape closes it without a question.
        QTest::keyClick(sheet.data(), Qt::Key_Escape);
        QTRY_VERIFY(!sheet);
        QCOMPARE(m_store->profiles().size(), 2);
    }

    // A gam.cfg in another encoding is refused before anything is prepared.
    void setupSheet_refusesAGamCfgThatIsNotUTF8() {
        const QByteArray latin1 = "[DEFAULT]\nconfig_dir = caf\xe9\n\n[district-a]\ndomain = a.example.org\n";
        writeBytes(m_dir->filePath(u"gam.cfg"_s), latin1);
        openOn(SettingsTab::domains);
        m_window->domainsPane()->showSetup();
        QPointer<DomainSetupSheet> sheet = m_window->findChild<DomainSetupSheet *>();
        QVERIFY(sheet);
        QTRY_VERIFY(sheet->isVisible());
        QTest::mouseClick(sheet->findChild<QPushButton *>(u"sectionLayoutButton"_s), Qt::LeftButton);
        QTest::keyClicks(sheet->findChild<QLineEdit *>(u"nameField"_s), u"District B"_s);
        QTest::keyClicks(sheet->findChild<QLineEdit *>(u"adminField"_s), u"admin@district-b.example.org"_s);
        QTest::keyClicks(sheet->findChild<QLineEdit *>(u"cfgFolderField"_s), m_dir->path());

        auto *status = sheet->findChild<StatusLabel *>(u"statusLine"_s);
        QVERIFY(status->isVisible());
        QCOMPARE(status->text(), u"That folder's gam.cfg isn't UTF-8 text, so Tarnwick won't edit it. Save it as "
                                 u"UTF-8, or choose another folder."_s);
        auto *start = sheet->findChild<QPushButton *>(u"startButton"_s);
        QVERIFY(!start->isEnabled());
        QTest::keyClick(sheet->findChild<QLineEdit *>(u"cfgFolderField"_s), Qt::Key_Return);
        QCOMPARE(sheet->setup()->stage(), NewDomainSetup::Stage::form);
        QCOMPARE(readBytes(m_dir->filePath(u"gam.cfg"_s)), latin1);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{u"gam.cfg"_s});
        QVERIFY(m_desktop->openedScripts.isEmpty());
    }

    // The window may close while its checks run; they end quietly.
    void closingTheWindow_duringATest_isSafe() {
        QSettings().setValue(u"gamPath"_s, writeScript(m_dir->path(), u"slow-gam"_s,
                                                       u"sleep 1\necho 'Primary Domain: late.example.org'\n"_s));
        openOn(SettingsTab::domains);
        QTest::mouseClick(child<QPushButton>(u"testButton"_s), Qt::LeftButton);
        QVERIFY(m_window->domainsPane()->editorForm()->editor()->isTesting());
        m_window->close();
        QTRY_VERIFY(!m_window);
        QTest::qWait(1500);
        QCOMPARE(m_store->activeProfile().domain, QString());
    }

    void everyControl_isReachableByTab_data() {
        QTest::addColumn<SettingsTab>("tab");
        QTest::addColumn<QStringList>("controls");
        QTest::newRow("GAM") << SettingsTab::gam << QStringList{u"chooseGAMButton"_s};
        QTest::newRow("Domains") << SettingsTab::domains << QStringList{u"domainList"_s,
                                                                        u"addDomainButton"_s,
                                                                        u"removeDomainButton"_s,
                                                                        u"nameField"_s,
                                                                        u"domainField"_s,
                                                                        u"configDirField"_s,
                                                                        u"chooseConfigDirButton"_s,
                                                                        u"sectionPicker"_s,
                                                                        u"detectButton"_s,
                                                                        u"testButton"_s,
                                                                        u"exportDirField"_s,
                                                                        u"chooseExportDirButton"_s,
                                                                        u"auditLogField"_s,
                                                                        u"chooseAuditLogButton"_s,
                                                                        u"uploadUserField"_s,
                                                                        u"folderIDField"_s};
        QTest::newRow("Security Tool") << SettingsTab::security
                                       << QStringList{u"chooseIOCFileButton"_s, u"passwordLogMode-none"_s};
        QTest::newRow("Assistant") << SettingsTab::assistant << QStringList{u"apiKeyField"_s, u"closeSettingsButton"_s};
    }

    void everyControl_isReachableByTab() {
        QFETCH(SettingsTab, tab);
        QFETCH(QStringList, controls);
        m_store->add(u"Second"_s); // so Remove is enabled
        openOn(tab);
        const QSet<QWidget *> reached = tabThrough(m_window->tabs()->tabBar());
        for (const QString &name : std::as_const(controls)) {
            auto *control = child<QWidget>(name);
            QVERIFY2(reached.contains(control), qPrintable(name));
            if (!control->accessibleName().isEmpty() || qobject_cast<QAbstractButton *>(control))
                continue;
            QFAIL(qPrintable(name + u" has no accessible name"_s));
        }
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_settings_window.moc"
