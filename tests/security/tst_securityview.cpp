#include "FakeDesktopServices.h"
#include "FakeGam.h"
#include "TestSupport.h"

#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "security/SecurityModel.h"
#include "security/ui/CheckList.h"
#include "security/ui/PasswordSheet.h"
#include "security/ui/SecurityView.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString user = u"pat.lee@lakeside.example.org"_s;

} // namespace

// The Security tab driven through its widgets: the target bar, the check list,
// the detail pane with its result, and the password sheet.
class SecurityViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void checkList_sectionsRowsAndDoneMarks();
    void targetBar_fieldButtonStatusAndDomainHint();
    void detail_headingBadgeAndTargetPrompt();
    void detail_actionTitlesFollowTheCatalogue();
    void result_flagsTablesEvidenceAndPlan();
    void result_sensitiveTextStaysHiddenUntilShown();
    void passwordSheet_copyCancelApply();
    void passwordSheet_batchPasswordsNeedDone();

private:
    QWidget *detail() const { return m_view->findChild<QWidget *>(u"checkDetail"_s); }
    template <typename T> T *inDetail(const QString &name) const {
        QWidget *pane = detail();
        return pane ? pane->findChild<T *>(name) : nullptr;
    }
    PasswordSheet *sheet() const;
    void setTarget();
    bool waitIdle() const {
        return QTest::qWaitFor([this] { return !m_console->isBusy(); }, 30000);
    }

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<FakeGam> m_gam;
    std::unique_ptr<ProfileStore> m_profiles;
    FakeDesktopServices m_desktop;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<SecurityModel> m_model;
    std::unique_ptr<SecurityView> m_view;
    QTemporaryDir m_files;
};

void SecurityViewTest::init() {
    m_settings = std::make_unique<IsolatedSettings>();
    m_gam = std::make_unique<FakeGam>();
    m_gam->install();
    m_profiles = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_profiles, QString(), u"lakeside.example.org"_s);
    keepSecurityRecordsIn(*m_profiles, m_files.path());
    m_desktop = FakeDesktopServices();
    m_console = std::make_unique<Console>(&m_desktop);
    m_model = std::make_unique<SecurityModel>(m_console.get());
    m_view = std::make_unique<SecurityView>(m_model.get(), m_profiles.get(), &m_desktop);
    m_view->resize(900, 700);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void SecurityViewTest::cleanup() {
    m_view.reset();
    m_model.reset();
    m_console.reset();
    m_profiles.reset();
    m_gam.reset();
    m_settings.reset();
}

PasswordSheet *SecurityViewTest::sheet() const {
    const auto sheets = m_view->findChildren<PasswordSheet *>();
    for (PasswordSheet *candidate : sheets)
        if (candidate->isVisible())
            return candidate;
    return nullptr;
}

void SecurityViewTest::setTarget() {
    auto *field = m_view->findChild<QLineEdit *>(u"targetUserField"_s);
    field->clear();
    QTest::keyClicks(field, u"pat.lee"_s);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(m_model->targetUser(), user);
}

void SecurityViewTest::checkList_sectionsRowsAndDoneMarks() {
    CheckList *list = m_view->checkList();
    QCOMPARE(list->topLevelItemCount(), 2);
    QVERIFY(list->topLevelItem(0)
                ->data(0, Qt::AccessibleTextRole)
                .toString()
                .startsWith(u"Immediate Response, Do these first"_s));
    QVERIFY(
        list->topLevelItem(1)->data(0, Qt::AccessibleTextRole).toString().startsWith(u"Investigation, Run after"_s));
    QCOMPARE(list->topLevelItem(0)->childCount(), 7);
    QCOMPARE(list->topLevelItem(1)->childCount(), 12);
    QCOMPARE(list->topLevelItem(0)->child(0)->text(0), u"B. Batch Remediate"_s);
    QCOMPARE(list->topLevelItem(1)->child(11)->text(0), u"18. Google Sites"_s);
    QVERIFY(!list->topLevelItem(0)->flags().testFlag(Qt::ItemIsSelectable));

    // The model's selection shows in the list, and a click on a row selects its check.
    QCOMPARE(list->currentItem(), list->item(SecurityCheck::signOut));
    const QRect row = list->visualItemRect(list->item(SecurityCheck::delegates));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(m_model->selection(), SecurityCheck::delegates);
    QCOMPARE(inDetail<QLabel>(u"checkTitle"_s)->text(), u"6. Delegates"_s);
    // Keyboard too.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QVERIFY(m_model->selection() == SecurityCheck::logins);
    QTest::keyClick(list, Qt::Key_Up);
    QVERIFY(m_model->selection() == SecurityCheck::delegates);
    QTest::keyClick(list, Qt::Key_Home);
    QVERIFY(m_model->selection() == SecurityCheck::batch);
    QTest::keyClick(list, Qt::Key_Up);
    QVERIFY(m_model->selection() == SecurityCheck::batch);

    setTarget();
    QTreeWidgetItem *filters = list->item(SecurityCheck::filters);
    QCOMPARE(filters->data(1, Qt::AccessibleTextRole).toString(), QString());
    m_gam->answer(1, u"User,id\n"_s);
    m_model->run(SecurityCheck::filters);
    QVERIFY(waitIdle());
    QCOMPARE(filters->data(1, Qt::AccessibleTextRole).toString(), u"Done"_s);
    // A new target takes the marks away.
    m_model->clearTarget();
    QCOMPARE(filters->data(1, Qt::AccessibleTextRole).toString(), QString());
}

void SecurityViewTest::targetBar_fieldButtonStatusAndDomainHint() {
    auto *field = m_view->findChild<QLineEdit *>(u"targetUserField"_s);
    auto *button = m_view->findChild<QPushButton *>(u"targetButton"_s);
    auto *status = m_view->findChild<QLabel *>(u"targetStatus"_s);
    auto *hint = m_view->findChild<QLabel *>(u"domainHint"_s);
    QCOMPARE(field->placeholderText(), u"username or email"_s);
    QCOMPARE(button->text(), u"Set"_s);
    QCOMPARE(status->text(), u"No user selected"_s);
    QCOMPARE(hint->text(), u"Usernames typed without @ get the active domain profile's primary domain added."_s);

    QTest::keyClicks(field, u" Pat.Lee "_s);
    QCOMPARE(m_model->userInput(), u" Pat.Lee "_s);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(field->text(), user);
    QCOMPARE(status->text(), user);
    QCOMPARE(button->text(), u"Switch User"_s);

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(m_model->targetUser(), std::nullopt);
    QVERIFY(field->text().isEmpty());
    QCOMPARE(button->text(), u"Set"_s);

    DomainProfile profile = m_profiles->activeProfile();
    profile.domain.clear();
    m_profiles->update(profile);
    QCOMPARE(hint->text(), u"Set a primary domain in Settings → Domains"_s);

    // No new target while a check runs.
    m_gam->hang(1);
    profile.domain = u"lakeside.example.org"_s;
    m_profiles->update(profile);
    setTarget();
    m_model->run(SecurityCheck::filters);
    QTRY_VERIFY(m_console->isBusy());
    QVERIFY(!button->isEnabled());
    m_console->stop();
    QVERIFY(waitIdle());
    QVERIFY(button->isEnabled());
}

void SecurityViewTest::detail_headingBadgeAndTargetPrompt() {
    QCOMPARE(inDetail<QLabel>(u"checkTitle"_s)->text(), u"1. Sign Out"_s);
    QCOMPARE(inDetail<QLabel>(u"badge"_s)->text(), u"Changes accounts"_s);
    QCOMPARE(inDetail<QLabel>(u"checkDescription"_s)->text(), u"Force sign-out of all sessions (web, mobile, apps)."_s);
    QVERIFY(inDetail<QLabel>(u"needsTarget"_s)->isVisible());
    QCOMPARE(inDetail<QLabel>(u"needsTarget"_s)->text(), u"Set a target user above to run this check."_s);
    QVERIFY(!inDetail<QPushButton>(u"actionButton"_s)->isVisible());
    setTarget();
    QVERIFY(!inDetail<QLabel>(u"needsTarget"_s)->isVisible());
    QVERIFY(inDetail<QPushButton>(u"actionButton"_s)->isVisible());

    m_model->setSelection(SecurityCheck::calendar);
    QVERIFY(!inDetail<QLabel>(u"badge"_s));
    // Checks without a target are never held back.
    m_model->clearTarget();
    m_model->setSelection(SecurityCheck::iocSearch);
    QVERIFY(!inDetail<QLabel>(u"needsTarget"_s));
    QVERIFY(inDetail<QPushButton>(u"actionButton"_s)->isVisible());

    m_model->setSelection(std::nullopt);
    QVERIFY(!inDetail<QLabel>(u"checkTitle"_s));
    QStringList texts;
    for (QLabel *label : detail()->findChildren<QLabel *>())
        texts.append(label->text());
    QVERIFY(texts.contains(u"Select a Check"_s));
    QVERIFY(texts.contains(u"Choose a check from the list."_s));
}

void SecurityViewTest::detail_actionTitlesFollowTheCatalogue() {
    setTarget();
    // Titles come from the catalogue; two checks that share "Run Check" are told apart by what they run.
    m_model->setSelection(SecurityCheck::sites);
    QCOMPARE(inDetail<QPushButton>(u"actionButton"_s)->text(), u"Run Check"_s);
    m_model->setSelection(SecurityCheck::batch);
    QCOMPARE(inDetail<QPushButton>(u"actionButton"_s)->text(), u"Remediate Accounts…"_s);
    // The button, or Ctrl+Return, runs the check.
    m_model->setSelection(SecurityCheck::revokeApps);
    m_gam->answer(1, u"user,clientId\n"_s);
    QVERIFY(inDetail<QPushButton>(u"actionButton"_s)->toolTip().endsWith(u"(Ctrl+Return)"_s));
    m_view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
    QTest::keyClick(m_view->checkList(), Qt::Key_Return, Qt::ControlModifier);
    QTRY_COMPARE(m_gam->runs(), 1); // a shortcut animates the click first
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->arguments(1), (QStringList{u"user"_s, user, u"print"_s, u"tokens"_s}));
}

void SecurityViewTest::result_flagsTablesEvidenceAndPlan() {
    setTarget();
    m_model->setSelection(SecurityCheck::filters);
    m_gam->answer(1, u"User,id,forward\n"_s + user + u",F1,forward x@example.net\n"_s);
    QTest::mouseClick(inDetail<QPushButton>(u"actionButton"_s), Qt::LeftButton);
    QVERIFY(waitIdle());
    QTRY_VERIFY(inDetail<QWidget>(u"resultView"_s));

    const auto flags = detail()->findChildren<QLabel *>(u"flagText"_s);
    QCOMPARE(flags.size(), 1);
    QCOMPARE(flags[0]->text(), u"1 filter(s). Look for filters that archive, delete, or forward replies."_s);
    QStringList headings;
    for (QLabel *label : detail()->findChildren<QLabel *>())
        headings.append(label->text());
    QVERIFY(headings.contains(u"Gmail filters (1)"_s));
    auto *table = inDetail<QTableView>(u"dataTable"_s);
    QCOMPARE(table->model()->columnCount(), 3);
    QCOMPARE(table->model()->index(0, 2).data().toString(), u"forward x@example.net"_s);

    auto *reveal = inDetail<QPushButton>(u"revealButton"_s);
    QCOMPARE(reveal->text(), u"Show in File Manager"_s);
    QTest::mouseClick(reveal, Qt::LeftButton);
    QCOMPARE(m_desktop.revealedPaths, QStringList{*m_model->result(SecurityCheck::filters)->evidence[0].localURL});

    auto *plan = inDetail<QPushButton>(u"planButton"_s);
    QCOMPARE(plan->text(), u"Delete All 1 Filter(s)…"_s);
    QTest::mouseClick(plan, Qt::LeftButton);
    QVERIFY(m_console->alert());
    QCOMPARE(m_console->alert()->title, u"Confirm"_s);
    m_console->setAlert(std::nullopt);

    // An empty listing: the count in parentheses and "No rows."; no plan.
    m_gam->answer(2, u"User,id\n"_s);
    QTest::mouseClick(inDetail<QPushButton>(u"actionButton"_s), Qt::LeftButton);
    QVERIFY(waitIdle());
    QTRY_VERIFY(!inDetail<QPushButton>(u"planButton"_s));
    const auto visibleTexts = [this] {
        QStringList texts;
        for (QLabel *label : detail()->findChildren<QLabel *>())
            if (label->isVisible())
                texts.append(label->text());
        return texts;
    };
    QTRY_VERIFY(visibleTexts().contains(u"Gmail filters (0)"_s));
    QVERIFY(visibleTexts().contains(u"No rows."_s));

    // Evidence that went to the Shared Drive has nothing to show locally.
    CheckResult uploaded;
    uploaded.evidence.append(EvidenceItem{QUuid::createUuid(), u"Shared Drive: 2024-05-01/x/1000_apps.csv"_s, {}});
    m_model->runCheck(SecurityCheck::batchTriage,
                      [uploaded](CheckContext, QString) -> QCoro::Task<CheckResult> { co_return uploaded; });
    QVERIFY(waitIdle());
    m_model->setSelection(SecurityCheck::batchTriage);
    QCOMPARE(inDetail<QLabel>(u"evidenceLabel"_s)->text(), u"Shared Drive: 2024-05-01/x/1000_apps.csv"_s);
    QVERIFY(!inDetail<QPushButton>(u"revealButton"_s));
}

void SecurityViewTest::result_sensitiveTextStaysHiddenUntilShown() {
    CheckResult result;
    result.text = u"2-step enrolled: False"_s;
    result.sensitiveText = u"1: 12345678\n2: 23456789"_s;
    m_model->runCheck(SecurityCheck::iocSearch,
                      [result](CheckContext, QString) -> QCoro::Task<CheckResult> { co_return result; });
    QVERIFY(waitIdle());
    m_model->setSelection(SecurityCheck::iocSearch);
    QCOMPARE(inDetail<QPlainTextEdit>(u"resultText"_s)->toPlainText(), u"2-step enrolled: False"_s);
    auto *codes = inDetail<QPlainTextEdit>(u"sensitiveText"_s);
    auto *toggle = inDetail<QPushButton>(u"showSensitiveButton"_s);
    QVERIFY(!codes->isVisible());
    QCOMPARE(toggle->text(), u"Show"_s);
    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(codes->isVisible());
    QCOMPARE(codes->toPlainText(), u"1: 12345678\n2: 23456789"_s);
    QCOMPARE(toggle->text(), u"Hide"_s);
    // A rebuilt pane starts hidden again.
    m_model->setSelection(SecurityCheck::signOut);
    m_model->setSelection(SecurityCheck::iocSearch);
    QVERIFY(!inDetail<QPlainTextEdit>(u"sensitiveText"_s)->isVisible());
}

void SecurityViewTest::passwordSheet_copyCancelApply() {
    setTarget();
    m_model->setSelection(SecurityCheck::resetPassword);
    QTest::mouseClick(inDetail<QPushButton>(u"actionButton"_s), Qt::LeftButton);
    QTRY_VERIFY(sheet());
    PasswordSheet *shown = sheet();
    const QString password = m_model->passwordReveal()->entries[0].password;
    QCOMPARE(shown->findChild<QLabel *>(u"sheetTitle"_s)->text(), u"New Password for "_s + user);
    QCOMPARE(shown->findChild<QLineEdit *>(u"passwordField"_s)->text(), password);
    QCOMPARE(shown->width(), 520);
    QVERIFY(shown->findChild<QLabel *>(u"sheetWarning"_s)->text().startsWith(u"Record this before applying"_s));

    QTest::mouseClick(shown->findChild<QPushButton *>(u"copyButton"_s), Qt::LeftButton);
    QCOMPARE(m_desktop.clipboard, password);
    QTest::keyClick(shown, Qt::Key_Escape);
    QVERIFY(!m_model->passwordReveal());
    QTRY_VERIFY(!sheet());
    QCOMPARE(m_gam->runs(), 0);

    QTest::mouseClick(inDetail<QPushButton>(u"actionButton"_s), Qt::LeftButton);
    QTRY_VERIFY(sheet());
    QTest::mouseClick(sheet()->findChild<QPushButton *>(u"cancelButton"_s), Qt::LeftButton);
    QTRY_VERIFY(!sheet());

    QTest::mouseClick(inDetail<QPushButton>(u"actionButton"_s), Qt::LeftButton);
    QTRY_VERIFY(sheet());
    const QString applied = m_model->passwordReveal()->entries[0].password;
    m_gam->answer(1, u"User: "_s + user + u", Updated\n"_s);
    QTest::mouseClick(sheet()->findChild<QPushButton *>(u"applyButton"_s), Qt::LeftButton);
    QTRY_VERIFY(!sheet());
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->arguments(1).at(4), applied);
    QTRY_VERIFY(inDetail<QWidget>(u"resultView"_s));
    QCOMPARE(detail()->findChildren<QLabel *>(u"flagText"_s).constFirst()->text(),
             u"Password reset. "_s + user + u" must change it at next sign-in."_s);
}

void SecurityViewTest::passwordSheet_batchPasswordsNeedDone() {
    // Batch remediation is built on this model; its reveal is shown the same way.
    PasswordReveal reveal;
    reveal.purpose = PasswordReveal::Purpose::batchResult;
    reveal.entries = {{u"a@lakeside.example.org"_s, u"Pw1!aaaaaaaaaaaa"_s},
                      {u"b@lakeside.example.org"_s, u"Pw2@bbbbbbbbbbbb"_s}};
    PasswordSheet batch(m_model.get(), &m_desktop, reveal, m_view.get());
    QCOMPARE(batch.findChild<QLabel *>(u"sheetTitle"_s)->text(), u"New Temporary Passwords"_s);
    QTest::mouseClick(batch.findChild<QPushButton *>(u"copyAllButton"_s), Qt::LeftButton);
    QCOMPARE(m_desktop.clipboard,
             u"a@lakeside.example.org\tPw1!aaaaaaaaaaaa\nb@lakeside.example.org\tPw2@bbbbbbbbbbbb"_s);
    QVERIFY(batch.findChild<QPushButton *>(u"doneButton"_s)->isDefault());

    m_model->preparePasswordReset(); // no target: alert, nothing shown
    QVERIFY(!m_model->passwordReveal());
    m_console->setAlert(std::nullopt);
    setTarget();
    m_model->preparePasswordReset();
    batch.reject(); // Escape on a batch sheet changes nothing
    QVERIFY(m_model->passwordReveal());
    QTest::mouseClick(batch.findChild<QPushButton *>(u"doneButton"_s), Qt::LeftButton);
    QVERIFY(!m_model->passwordReveal());
}

QTEST_MAIN(SecurityViewTest)
#include "tst_securityview.moc"
