#include "FakeDesktopServices.h"
#include "TestSupport.h"

#include "app/AppModel.h"
#include "app/ui/MainWindow.h"
#include "command/CustomCommandModel.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "security/SecurityModel.h"
#include "security/ui/CheckList.h"
#include "security/ui/PasswordSheet.h"
#include "security/ui/SecurityView.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString victim = u"morgan.ellis@example.org"_s;

} // namespace

// The Security tab inside the real main window, against the practice domain:
// confirmations are the window's own message boxes, passwords its sheet.
class SecurityWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void incidentResponseFromTheWindow();
    void quitWithAPasswordOnScreen_asksWithBothParagraphs();
    void domainSwitch_resetsTheTab();

private:
    SecurityView *view() const { return m_window->findChild<SecurityView *>(); }
    QWidget *detail() const { return view()->findChild<QWidget *>(u"checkDetail"_s); }
    void select(SecurityCheck check);
    void clickAction();
    // Waits for the window's alert and presses its confirmation button.
    void confirmAlert(const QString &title);
    QStringList visibleFlags() const;
    PasswordSheet *visibleSheet() const;
    bool waitIdle() const;

    QTemporaryDir m_district;
    QTemporaryDir m_files;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<ProfileStore> m_store;
    FakeDesktopServices m_desktop;
    std::unique_ptr<AppModel> m_model;
    std::unique_ptr<MainWindow> m_window;
};

void SecurityWindowTest::initTestCase() {
    if (!QFile::exists(QStringLiteral(PRACTICE_GAM_PATH)))
        QSKIP("the practice gam is not part of this build");
    QVERIFY(seedPracticeDomain(m_district.path(), u"example.org"_s, 30));
    m_settings = std::make_unique<IsolatedSettings>();
    QSettings().setValue(u"gamPath"_s, QStringLiteral(PRACTICE_GAM_PATH));
    m_store = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_store, m_district.path(), u"example.org"_s);
    keepSecurityRecordsIn(*m_store, m_files.path());
    m_model = std::make_unique<AppModel>(m_store.get(), &m_desktop);
    m_window = std::make_unique<MainWindow>(m_model.get(), &m_desktop);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->tabs()->setCurrentIndex(int(MainWindow::Tab::security));
    QVERIFY(view()->isVisible());
}

void SecurityWindowTest::cleanupTestCase() {
    m_window.reset();
    m_model.reset();
    m_store.reset();
    m_settings.reset();
}

bool SecurityWindowTest::waitIdle() const {
    Console *console = m_model->console();
    return QTest::qWaitFor([console] { return !console->isBusy(); }, 120000);
}

void SecurityWindowTest::select(SecurityCheck check) {
    CheckList *list = view()->checkList();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(check)).center());
    QCOMPARE(m_model->security()->selection(), check);
}

void SecurityWindowTest::clickAction() {
    auto *action = detail()->findChild<QPushButton *>(u"actionButton"_s);
    QVERIFY(action && action->isVisible() && action->isEnabled());
    QTest::mouseClick(action, Qt::LeftButton);
}

void SecurityWindowTest::confirmAlert(const QString &title) {
    QMessageBox *box = nullptr;
    QVERIFY(QTest::qWaitFor([&] {
        box = m_window->findChild<QMessageBox *>(u"alert"_s);
        return box && box->isVisible();
    }));
    QCOMPARE(box->text(), title);
    QVERIFY(box->informativeText().endsWith(u"Domain: Practice (example.org)"_s));
    QTest::mouseClick(box->findChild<QPushButton *>(u"confirmButton"_s), Qt::LeftButton);
}

QStringList SecurityWindowTest::visibleFlags() const {
    QStringList texts;
    for (QLabel *label : detail()->findChildren<QLabel *>(u"flagText"_s))
        if (label->isVisible())
            texts.append(label->text());
    return texts;
}

PasswordSheet *SecurityWindowTest::visibleSheet() const {
    for (PasswordSheet *sheet : m_window->findChildren<PasswordSheet *>())
        if (sheet->isVisible())
            return sheet;
    return nullptr;
}

void SecurityWindowTest::incidentResponseFromTheWindow() {
    auto *field = view()->findChild<QLineEdit *>(u"targetUserField"_s);
    QTest::keyClicks(field, u"Morgan.Ellis"_s);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(field->text(), victim);

    select(SecurityCheck::signOut);
    clickAction();
    confirmAlert(u"Force Sign-Out?"_s);
    QVERIFY(waitIdle());
    QTRY_COMPARE(visibleFlags(), QStringList{victim + u" was signed out of all sessions."_s});

    select(SecurityCheck::resetPassword);
    clickAction();
    QTRY_VERIFY(visibleSheet());
    const QString password = visibleSheet()->findChild<QLineEdit *>(u"passwordField"_s)->text();
    QTest::mouseClick(visibleSheet()->findChild<QPushButton *>(u"copyButton"_s), Qt::LeftButton);
    QCOMPARE(m_desktop.clipboard, password);
    QTest::mouseClick(visibleSheet()->findChild<QPushButton *>(u"applyButton"_s), Qt::LeftButton);
    QTRY_VERIFY(!visibleSheet());
    QVERIFY(waitIdle());
    QTRY_COMPARE(visibleFlags(), QStringList{u"Password reset. "_s + victim + u" must change it at next sign-in."_s});

    select(SecurityCheck::forwarding);
    clickAction();
    QVERIFY(waitIdle());
    QTRY_VERIFY(detail()->findChild<QPushButton *>(u"planButton"_s));
    auto *plan = detail()->findChild<QPushButton *>(u"planButton"_s);
    QCOMPARE(plan->text(), u"Disable Forwarding and Remove 1 Address(es)…"_s);
    QTest::mouseClick(plan, Qt::LeftButton);
    confirmAlert(u"Confirm"_s);
    QVERIFY(waitIdle());
    QTRY_VERIFY(!visibleFlags().isEmpty() &&
                visibleFlags().constFirst() == u"Done: removed forwarding and disabled."_s);
    QVERIFY(!detail()->findChild<QPushButton *>(u"planButton"_s) ||
            !detail()->findChild<QPushButton *>(u"planButton"_s)->isVisible());
    // The list marks what has run.
    QCOMPARE(view()->checkList()->item(SecurityCheck::forwarding)->data(1, Qt::AccessibleTextRole).toString(),
             u"Done"_s);
    QVERIFY(!m_model->console()->plainText().contains(password));
}

void SecurityWindowTest::quitWithAPasswordOnScreen_asksWithBothParagraphs() {
    qputenv("PRACTICE_GAM_FAULT", "hang@print users");
    m_model->custom()->setCommand(u"gam print users"_s);
    m_model->custom()->run();
    QTRY_VERIFY(m_model->console()->isBusy());
    m_model->security()->setUserInput(victim);
    m_model->security()->setTarget();
    m_model->security()->preparePasswordReset();
    QTRY_VERIFY(visibleSheet());

    QVERIFY(!m_window->close());
    QMessageBox *box = nullptr;
    QVERIFY(QTest::qWaitFor([&] {
        box = m_window->findChild<QMessageBox *>(u"quitConfirmation"_s);
        return box && box->isVisible();
    }));
    QCOMPARE(box->informativeText(),
             u"\u201CCustom Command\u201D is still running. Quitting stops it partway through.\n\nNew passwords are "
             u"still on screen. If they've been applied and you haven't recorded them, those users won't be able "
             u"to sign in."_s);
    QTest::mouseClick(box->button(QMessageBox::Cancel), Qt::LeftButton);
    QTRY_VERIFY(!m_window->findChild<QMessageBox *>(u"quitConfirmation"_s));
    QVERIFY(m_window->isVisible());
    m_model->console()->stop();
    QVERIFY(waitIdle());
    qunsetenv("PRACTICE_GAM_FAULT");

    QCOMPARE(m_model->quitWarnings(),
             QStringList{u"New passwords are still on screen. If they've been applied and "
                         u"you haven't recorded them, those users won't be able to sign in."_s});
    QTest::mouseClick(visibleSheet()->findChild<QPushButton *>(u"cancelButton"_s), Qt::LeftButton);
    QTRY_VERIFY(!visibleSheet());
    QVERIFY(!m_model->needsQuitConfirmation());
}

void SecurityWindowTest::domainSwitch_resetsTheTab() {
    SecurityModel *security = m_model->security();
    security->setUserInput(victim);
    security->setTarget();
    select(SecurityCheck::delegates);
    clickAction();
    QVERIFY(waitIdle());
    QTRY_VERIFY(detail()->findChild<QWidget *>(u"resultView"_s));
    security->preparePasswordReset();
    QTRY_VERIFY(visibleSheet());

    const DomainProfile other = m_store->add(u"District B"_s);
    m_model->chooseDomain(other.id);
    QCOMPARE(security->targetUser(), std::nullopt);
    QVERIFY(security->results().isEmpty());
    QVERIFY(view()->findChild<QLineEdit *>(u"targetUserField"_s)->text().isEmpty());
    QTRY_VERIFY(!visibleSheet());
    QTRY_VERIFY(!detail()->findChild<QWidget *>(u"resultView"_s) ||
                !detail()->findChild<QWidget *>(u"resultView"_s)->isVisible());
    QCOMPARE(view()->findChild<QLabel *>(u"targetStatus"_s)->text(), u"No user selected"_s);
    QCOMPARE(view()->checkList()->item(SecurityCheck::forwarding)->data(1, Qt::AccessibleTextRole).toString(),
             QString());
    // The selected check stays selected.
    QCOMPARE(security->selection(), SecurityCheck::delegates);
}

QTEST_MAIN(SecurityWindowTest)
#include "tst_securitywindow.moc"
