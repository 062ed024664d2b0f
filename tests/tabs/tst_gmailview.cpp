#include "FakeGam.h"
#include "TestSupport.h"

#include "app/ui/AlertPresenter.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "tabs/GmailModel.h"
#include "tabs/ui/ActionBar.h"
#include "tabs/ui/GmailView.h"
#include "tabs/ui/LinesEditor.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

// The Gmail tab driven through its widgets, as the user would.
class GmailViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void deleteBySender_throughTheForm();
    void actionBars_disabledWhileAnyTaskRuns();
    void queryPreview_isExactlyTheQuerySent();
    void targetSection_switchingKeepsTypedText();
    void layout_noClippedCaptionsInAnyMode();

private:
    QPushButton *button(const QString &text) const;
    QWidget *currentPage() const;
    bool waitIdle() const;

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<FakeGam> m_gam;
    std::unique_ptr<ProfileStore> m_profiles;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<GmailModel> m_model;
    std::unique_ptr<GmailView> m_view;
};

void GmailViewTest::init() {
    m_settings = std::make_unique<IsolatedSettings>();
    m_gam = std::make_unique<FakeGam>();
    m_gam->install();
    m_profiles = std::make_unique<ProfileStore>();
    DomainProfile profile = m_profiles->add(u"Lakeside"_s);
    profile.domain = u"lakeside.example.org"_s;
    m_profiles->update(profile);
    m_profiles->activate(profile.id);
    m_console = std::make_unique<Console>(nullptr);
    m_model = std::make_unique<GmailModel>(m_console.get());
    m_view = std::make_unique<GmailView>(m_model.get(), m_console.get());
    m_view->resize(860, 560);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void GmailViewTest::cleanup() {
    m_view.reset();
    m_model.reset();
    m_console.reset();
    m_profiles.reset();
    m_gam.reset();
    m_settings.reset();
}

QWidget *GmailViewTest::currentPage() const {
    return m_view->findChild<QStackedWidget *>()->currentWidget();
}

// The visible button with this text on the mode picker or the current page.
QPushButton *GmailViewTest::button(const QString &text) const {
    const auto buttons = m_view->findChildren<QPushButton *>();
    for (QPushButton *candidate : buttons)
        if (candidate->text() == text && candidate->isVisible())
            return candidate;
    return nullptr;
}

bool GmailViewTest::waitIdle() const {
    return QTest::qWaitFor([this] { return !m_console->isBusy(); }, 30000);
}

void GmailViewTest::deleteBySender_throughTheForm() {
    QTest::mouseClick(button(u"Delete by Sender"_s), Qt::LeftButton);
    QCOMPARE(m_model->mode(), GmailMode::sender);
    QWidget *page = currentPage();
    auto *email = page->findChild<QLineEdit *>(u"mailboxOwnerEmail"_s);
    QVERIFY(email->isVisible());
    QTest::keyClicks(email, u"owner@lakeside.example.org"_s);
    auto *editor = page->findChild<LinesEditor *>(u"valuesEditor"_s);
    editor->setFocus();
    QTest::keyClicks(editor, u"bad@evil.example"_s);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, u"worse@evil.example"_s);
    QCOMPARE(m_model->senderForm()->values(), (QStringList{u"bad@evil.example"_s, u"worse@evil.example"_s}));

    QTest::mouseClick(button(u"Delete Messages"_s), Qt::LeftButton);
    QVERIFY(m_console->alert().has_value());
    const AlertItem alert = *m_console->alert();
    QCOMPARE(alert.title, u"Confirm Delete"_s);
    QVERIFY(alert.message.endsWith(u"Domain: Lakeside (lakeside.example.org)"_s));
    QCOMPARE(m_console->entryCount(), 0);
    m_console->setAlert(std::nullopt);
    alert.onConfirm();
    QVERIFY(waitIdle());

    QCOMPARE(m_gam->runs(), 2);
    QCOMPARE(m_gam->arguments(2),
             (QStringList{u"user"_s, u"owner@lakeside.example.org"_s, u"delete"_s, u"messages"_s, u"query"_s,
                          u"from:worse@evil.example"_s, u"max_to_delete"_s, u"0"_s, u"doit"_s}));
    QStringList log;
    for (qsizetype i = 0; i < m_console->entryCount(); ++i)
        log.append(m_console->entryAt(i).text);
    QVERIFY(log.contains(u"[DELETE] 2 item(s) — target: owner@lakeside.example.org"_s));
    QVERIFY(log.contains(u">> gam user owner@lakeside.example.org delete messages query from:bad@evil.example "
                         u"max_to_delete 0 doit"_s));
    QVERIFY(log.contains(u"  Finished: bad@evil.example"_s));
    QVERIFY(log.contains(u"  Finished: worse@evil.example"_s));
    QCOMPARE(log.constLast(), u"Done — 2 completed, 0 failed."_s);
}

void GmailViewTest::actionBars_disabledWhileAnyTaskRuns() {
    // A second tab sharing the console, like the Drive tab would.
    GmailModel otherModel(m_console.get());
    GmailView otherView(&otherModel, m_console.get());
    const auto bars = m_view->findChildren<ActionBar *>() + otherView.findChildren<ActionBar *>();
    QCOMPARE(bars.size(), 6);
    for (ActionBar *bar : bars)
        QVERIFY(bar->isEnabled());

    GmailListForm *form = m_model->messageIDForm();
    form->targetFields()->setTarget(MailTarget::all);
    form->setText(u"<a1@mail.example>"_s);
    m_gam->hang(1);
    QTest::mouseClick(button(u"Preview"_s), Qt::LeftButton);
    QVERIFY(m_console->isBusy());
    for (ActionBar *bar : bars) {
        QVERIFY(!bar->isEnabled());
        QVERIFY(!bar->findChild<QPushButton *>(u"clearFieldsButton"_s)->isEnabled());
    }
    QVERIFY(QTest::qWaitFor([this] { return m_gam->runs() == 1; }, 20000));
    m_console->stop();
    QVERIFY(waitIdle());
    for (ActionBar *bar : bars)
        QVERIFY(bar->isEnabled());
}

void GmailViewTest::queryPreview_isExactlyTheQuerySent() {
    QTest::mouseClick(button(u"Delete by Properties"_s), Qt::LeftButton);
    QWidget *page = currentPage();
    auto *query = page->findChild<QLabel *>(u"gmailQuery"_s);
    QCOMPARE(query->text(), u"—"_s);

    // A value set without typing (input method, assistive technology) reaches the model too.
    page->findChild<QLineEdit *>(u"mailboxOwnerEmail"_s)->setText(u"x"_s);
    QCOMPARE(m_model->propertiesForm()->targetFields()->email(), u"x"_s);
    QTest::keyClicks(page->findChild<QLineEdit *>(u"mailboxOwnerEmail"_s), u"@lakeside.example.org"_s);
    QCOMPARE(m_model->propertiesForm()->targetFields()->email(), u"x@lakeside.example.org"_s);
    QTest::keyClicks(page->findChild<QLineEdit *>(u"fromField"_s), u" From: boss@evil.example"_s);
    QTest::keyClicks(page->findChild<QLineEdit *>(u"keywordsField"_s), u"subject: Q3_report.PDF"_s);
    auto *after = page->findChild<QDateEdit *>(u"afterDate"_s);
    QVERIFY(!after->isEnabled());
    QTest::mouseClick(page->findChild<QCheckBox *>(u"useAfter"_s), Qt::LeftButton);
    QVERIFY(after->isEnabled());
    after->setDate(QDate(2025, 3, 7));
    const QString expected = u"from:boss@evil.example \"Q3 report\" after:2025/03/07"_s;
    QCOMPARE(query->text(), expected);

    QTest::mouseClick(button(u"Preview"_s), Qt::LeftButton);
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->arguments(1).value(5), expected);

    QTest::mouseClick(button(u"Clear Fields"_s), Qt::LeftButton);
    QCOMPARE(query->text(), u"—"_s);
    QVERIFY(page->findChild<QLineEdit *>(u"fromField"_s)->text().isEmpty());
    QVERIFY(!page->findChild<QCheckBox *>(u"useAfter"_s)->isChecked());
    QCOMPARE(after->date(), QDate(2025, 3, 7));
}

void GmailViewTest::targetSection_switchingKeepsTypedText() {
    QWidget *page = currentPage();
    auto *email = page->findChild<QLineEdit *>(u"mailboxOwnerEmail"_s);
    auto *domain = page->findChild<QLineEdit *>(u"targetDomainName"_s);
    QTest::keyClicks(email, u"a@lakeside.example.org"_s);
    QVERIFY(!domain->isVisible());
    QTest::mouseClick(page->findChild<QAbstractButton *>(u"targetDomain"_s), Qt::LeftButton);
    QCOMPARE(m_model->messageIDForm()->targetFields()->target(), MailTarget::domain);
    QVERIFY(domain->isVisible() && !email->isVisible());
    QTest::keyClicks(domain, u"lakeside.example.org"_s);
    QTest::mouseClick(page->findChild<QAbstractButton *>(u"targetAll"_s), Qt::LeftButton);
    QVERIFY(!domain->isVisible() && !email->isVisible());
    QTest::mouseClick(page->findChild<QAbstractButton *>(u"targetSpecific"_s), Qt::LeftButton);
    QCOMPARE(email->text(), u"a@lakeside.example.org"_s);
    QCOMPARE(m_model->messageIDForm()->targetFields()->domain(), u"lakeside.example.org"_s);
    // The sender form keeps its own target.
    QCOMPARE(m_model->senderForm()->targetFields()->email(), QString());
}

void GmailViewTest::layout_noClippedCaptionsInAnyMode() {
    const QString shots = qEnvironmentVariable("TARNWICK_SCREENSHOT_DIR");
    const QList<std::pair<QString, MailTarget>> views{{u"Delete by Message-ID"_s, MailTarget::specific},
                                                      {u"Delete by Sender"_s, MailTarget::domain},
                                                      {u"Delete by Properties"_s, MailTarget::all}};
    for (const auto &[mode, target] : views) {
        QTest::mouseClick(button(mode), Qt::LeftButton);
        m_model->listForm(GmailMode::sender)->targetFields()->setTarget(target);
        m_model->propertiesForm()->targetFields()->setTarget(target);
        QApplication::processEvents();
        QWidget *page = currentPage();
        const auto labels = page->findChildren<QLabel *>();
        for (QLabel *label : labels) {
            if (!label->isVisible() || label->wordWrap())
                continue;
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        }
        const auto buttons = m_view->findChildren<QAbstractButton *>();
        for (QAbstractButton *each : buttons) {
            if (each->isVisible())
                QVERIFY2(each->width() >= each->sizeHint().width(), qPrintable(each->text()));
        }
        const QPixmap image = m_view->grab();
        QVERIFY(!image.isNull());
        if (!shots.isEmpty())
            image.save(shots + u"/gmail-"_s + QString::number(int(m_model->mode())) + u".png"_s);
    }

    // The confirmation as the window presents it.
    AlertPresenter presenter(m_console.get(), m_view.get());
    m_model->propertiesForm()->setFrom(u"bad@evil.example"_s);
    m_model->deleteProperties();
    QVERIFY(QTest::qWaitFor([&presenter] { return presenter.messageBox() && presenter.messageBox()->isVisible(); }));
    QMessageBox *box = presenter.messageBox();
    QCOMPARE(box->text(), u"Confirm Delete"_s);
    QVERIFY(box->informativeText().contains(u"Target: all active (non-suspended) mailboxes"_s));
    if (!shots.isEmpty())
        box->grab().save(shots + u"/gmail-confirm.png"_s);
    const auto buttons = box->buttons();
    const auto cancel =
        std::find_if(buttons.begin(), buttons.end(), [](QAbstractButton *b) { return b->text() == u"Cancel"_s; });
    QVERIFY(cancel != buttons.end());
    (*cancel)->click();
    QVERIFY(QTest::qWaitFor([this] { return !m_console->alert().has_value(); }));
    QCOMPARE(m_gam->runs(), 0);
}

QTEST_MAIN(GmailViewTest)
#include "tst_gmailview.moc"
