#include "FakeDesktopServices.h"
#include "FakeGam.h"
#include "TestSupport.h"

#include "app/AppModel.h"
#include "app/GAMSetup.h"
#include "app/ui/MainWindow.h"
#include "command/CustomCommandModel.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "tabs/GmailModel.h"
#include "tabs/GmailPropertiesForm.h"
#include "tabs/MailTarget.h"
#include "tabs/ui/GmailView.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QAccessibleInterface *accessible(QWidget *widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

// What assistive technology does: replace a field's whole text, or run a control's action.
void setTextAccessibly(QWidget *field, const QString &text) {
    QAccessibleInterface *face = accessible(field);
    face->editableTextInterface()->replaceText(0, face->textInterface()->characterCount(), text);
}

void actAccessibly(QWidget *control) {
    QAccessibleActionInterface *actions = accessible(control)->actionInterface();
    QVERIFY(!actions->actionNames().isEmpty());
    actions->doAction(actions->actionNames().constFirst());
}

} // namespace

// The real main window as a screen reader and a keyboard user meet it.
class TestWindowAccessibility : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void everyControl_isNamedAfterItsLabel();
    void valuesSetAccessibly_reachTheModelsAndTheNextRun();
    void editing_keepsTheCursorWhereTheUserTypes();
    void tabOrder_followsTheForms();
    void shortcuts_runFindPreviewStopAndExport();

private:
    void showTab(MainWindow::Tab tab);
    template <typename T> T *visible(const QString &name) const {
        const auto candidates = m_window->findChildren<T *>(name);
        for (T *candidate : candidates)
            if (candidate->isVisible())
                return candidate;
        return nullptr;
    }
    QAbstractButton *button(const QString &text) const;

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<FakeGam> m_gam;
    std::unique_ptr<ProfileStore> m_store;
    FakeDesktopServices m_desktop;
    std::unique_ptr<AppModel> m_model;
    std::unique_ptr<MainWindow> m_window;
};

void TestWindowAccessibility::init() {
    m_settings = std::make_unique<IsolatedSettings>();
    m_gam = std::make_unique<FakeGam>();
    m_gam->install();
    m_store = std::make_unique<ProfileStore>();
    m_model = std::make_unique<AppModel>(m_store.get(), &m_desktop);
    m_window = std::make_unique<MainWindow>(m_model.get(), &m_desktop);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestWindowAccessibility::cleanup() {
    if (m_model->console()->isBusy()) {
        m_model->console()->stop();
        QTRY_VERIFY(!m_model->console()->isBusy());
    }
    m_window.reset();
    m_model.reset();
    m_store.reset();
    m_gam.reset();
    m_settings.reset();
}

void TestWindowAccessibility::showTab(MainWindow::Tab tab) {
    m_window->tabs()->setCurrentIndex(int(tab));
}

QAbstractButton *TestWindowAccessibility::button(const QString &text) const {
    for (QAbstractButton *candidate : m_window->findChildren<QAbstractButton *>())
        if (candidate->isVisible() && candidate->text() == text)
            return candidate;
    return nullptr;
}

void TestWindowAccessibility::everyControl_isNamedAfterItsLabel() {
    QStringList problems;
    int controls = 0;
    for (QWidget *widget : m_window->findChildren<QWidget *>()) {
        // Dialogs and menus are windows of their own; a focus proxy's owner is never focused itself.
        if (widget->window() != m_window.get() || !(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy())
            continue;
        QAccessibleInterface *face = accessible(widget);
        if (!face || face->parent() == nullptr)
            continue; // Qt's own inner parts (a spin box's line edit) are not in the accessibility tree
        ++controls;
        const QString name = face->text(QAccessible::Name);
        const QString where = QString::fromLatin1(widget->metaObject()->className()) + u' ' + widget->objectName();
        if (name.trimmed().isEmpty())
            problems.append(where + u" has no name"_s);
        else if (name.trimmed().endsWith(u':'))
            problems.append(where + u" is named \""_s + name + u'"');
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    QVERIFY(controls > 40); // every tab's forms, hidden modes included, plus the window around them

    // Fields whose label sits beside them carry the label's text; captions describe them.
    auto *keywords = m_window->findChild<QLineEdit *>(u"keywordsField"_s);
    QCOMPARE(accessible(keywords)->text(QAccessible::Name), u"Keywords"_s);
    QCOMPARE(accessible(keywords)->text(QAccessible::Description),
             u"Searches subject and body — paste filename or phrase as seen in the email"_s);
    QCOMPARE(accessible(m_window->findChild<QWidget *>(u"afterDate"_s))->text(QAccessible::Name), u"After"_s);
    const auto owners = m_window->findChildren<QLineEdit *>(u"mailboxOwnerEmail"_s);
    for (QLineEdit *owner : owners)
        QCOMPARE(accessible(owner)->text(QAccessible::Name), u"Mailbox Owner Email"_s);
    QCOMPARE(accessible(m_window->findChild<QWidget *>(u"logList"_s))->text(QAccessible::Name), u"Output Log"_s);
}

void TestWindowAccessibility::valuesSetAccessibly_reachTheModelsAndTheNextRun() {
    GmailModel *gmail = m_model->gmail();
    actAccessibly(m_window->findChild<QAbstractButton *>(u"mode1"_s)); // Delete by Sender
    QCOMPARE(gmail->mode(), GmailMode::sender);
    setTextAccessibly(visible<QLineEdit>(u"mailboxOwnerEmail"_s), u"pat@example.org"_s);
    setTextAccessibly(visible<QPlainTextEdit>(u"valuesEditor"_s), u"spam@example.net"_s);
    QCOMPARE(gmail->listForm(GmailMode::sender)->targetFields()->email(), u"pat@example.org"_s);
    QTest::mouseClick(button(u"Preview"_s), Qt::LeftButton);
    QTRY_COMPARE(m_gam->runs(), 1);
    QCOMPARE(m_gam->arguments(1).mid(0, 6), QStringList({u"user"_s, u"pat@example.org"_s, u"delete"_s, u"messages"_s,
                                                         u"query"_s, u"from:spam@example.net"_s}));
    QTRY_VERIFY(!m_model->console()->isBusy());

    // The target choice, the properties fields and a toggle.
    actAccessibly(m_window->findChild<QAbstractButton *>(u"mode2"_s));
    QCOMPARE(gmail->mode(), GmailMode::properties);
    GmailPropertiesForm *form = gmail->propertiesForm();
    actAccessibly(visible<QAbstractButton>(u"targetDomain"_s));
    QCOMPARE(form->targetFields()->target(), MailTarget::domain);
    setTextAccessibly(visible<QLineEdit>(u"targetDomainName"_s), u"example.org"_s);
    setTextAccessibly(visible<QLineEdit>(u"fromField"_s), u"billing@example.net"_s);
    setTextAccessibly(visible<QLineEdit>(u"keywordsField"_s), u"invoice"_s);
    actAccessibly(visible<QAbstractButton>(u"useAfter"_s));
    QVERIFY(form->useAfter());
    QVERIFY(form->query().startsWith(u"from:billing@example.net \"invoice\" after:"_s));
    QTest::mouseClick(button(u"Preview"_s), Qt::LeftButton);
    QTRY_COMPARE(m_gam->runs(), 2);
    QCOMPARE(m_gam->arguments(2).mid(0, 6),
             QStringList({u"domains_ns"_s, u"example.org"_s, u"delete"_s, u"messages"_s, u"query"_s, form->query()}));
    QTRY_VERIFY(!m_model->console()->isBusy());

    showTab(MainWindow::Tab::custom);
    setTextAccessibly(m_window->findChild<QLineEdit *>(u"commandField"_s), u"gam info domain"_s);
    QCOMPARE(m_model->custom()->command(), u"gam info domain"_s);
    actAccessibly(m_window->findChild<QAbstractButton *>(u"runButton"_s));
    QTRY_COMPARE(m_gam->runs(), 3);
    QCOMPARE(m_gam->arguments(3), QStringList({u"info"_s, u"domain"_s}));
}

void TestWindowAccessibility::editing_keepsTheCursorWhereTheUserTypes() {
    showTab(MainWindow::Tab::custom);
    auto *field = m_window->findChild<QLineEdit *>(u"commandField"_s);
    field->setFocus();
    field->setCursorPosition(4); // after "gam "
    QTest::keyClicks(field, u"print "_s);
    QCOMPARE(m_model->custom()->command(), u"gam print "_s);
    field->setCursorPosition(4);
    QTest::keyClicks(field, u"x"_s);
    QCOMPARE(field->text(), u"gam xprint "_s);
    QCOMPARE(field->cursorPosition(), 5);
    QCOMPARE(m_model->custom()->command(), u"gam xprint "_s);

    // The model's own change (Clear) still reaches the field.
    QTest::mouseClick(m_window->findChild<QPushButton *>(u"clearButton"_s), Qt::LeftButton);
    QCOMPARE(field->text(), CustomCommandModel::initialCommand());

    showTab(MainWindow::Tab::gmail);
    auto *owner = visible<QLineEdit>(u"mailboxOwnerEmail"_s);
    owner->setFocus();
    QTest::keyClicks(owner, u"pat@example.org"_s);
    owner->setCursorPosition(3);
    QTest::keyClicks(owner, u"-1"_s);
    QCOMPARE(owner->text(), u"pat-1@example.org"_s);
    QCOMPARE(owner->cursorPosition(), 5);
}

void TestWindowAccessibility::tabOrder_followsTheForms() {
    const auto order = [](QWidget *first, QWidget *scope, int count) {
        QStringList names;
        QWidget *widget = first;
        while (names.size() < count) {
            if ((widget->focusPolicy() & Qt::TabFocus) && scope->isAncestorOf(widget) && widget->isVisible())
                names.append(accessible(widget)->text(QAccessible::Name));
            widget = widget->nextInFocusChain();
            if (widget == first)
                break;
        }
        return names;
    };
    auto *gmail = m_window->findChild<GmailView *>();
    QCOMPARE(order(m_window->findChild<QWidget *>(u"mode0"_s), gmail, 11),
             QStringList({u"Delete by Message-ID"_s, u"Delete by Sender"_s, u"Delete by Properties"_s,
                          u"Specific User"_s, u"Domain"_s, u"All Users"_s, u"Mailbox Owner Email"_s, u"Message-ID(s)"_s,
                          u"Clear Fields"_s, u"Preview"_s, u"Delete Messages"_s}));

    showTab(MainWindow::Tab::custom);
    auto *field = m_window->findChild<QWidget *>(u"commandField"_s);
    QCOMPARE(order(field, field->parentWidget(), 4),
             QStringList({u"GAM Command"_s, u"Recent"_s, u"Clear"_s, u"Run Command"_s}));

    // The window reads top to bottom: domain, setup banner, tabs and the page, then the log.
    showTab(MainWindow::Tab::gmail);
    QSettings().setValue(u"gamPath"_s, u"/nonexistent/gam"_s);
    awaitTask(m_model->setup()->check());
    auto *switcher = m_window->findChild<QWidget *>(u"domainSwitcher"_s);
    const QStringList window = order(switcher, m_window.get(), 100);
    const QStringList landmarks{switcher->accessibleName(), u"Re-check"_s,        u"Hide"_s,        u"Gmail"_s,
                                u"Delete by Message-ID"_s,  u"Delete Messages"_s, u"Export .csv"_s, u"Output Log"_s};
    qsizetype previous = -1;
    for (const QString &landmark : landmarks) {
        const qsizetype at = window.indexOf(landmark);
        QVERIFY2(at > previous, qPrintable(landmark + u" in "_s + window.join(u" | "_s)));
        previous = at;
    }
}

void TestWindowAccessibility::shortcuts_runFindPreviewStopAndExport() {
    Console *console = m_model->console();
    const auto keys = [this](const QKeySequence &sequence) { QTest::keySequence(m_window.get(), sequence); };
    // The alert's box took the focus; the window answers keys again once it is active.
    const auto dismissAlert = [this, console] {
        console->setAlert(std::nullopt);
        m_window->activateWindow();
        return QTest::qWaitForWindowActive(m_window.get());
    };

    showTab(MainWindow::Tab::custom);
    auto *run = m_window->findChild<QAbstractButton *>(u"runButton"_s);
    QVERIFY(run->toolTip().contains(u"Ctrl+Return"_s));
    m_model->custom()->setCommand(u"gam info domain"_s);
    m_gam->hang(1);
    keys(QKeySequence(u"Ctrl+Return"_s));
    QTRY_COMPARE(m_gam->runs(), 1);
    QVERIFY(console->isBusy());
    auto *stop = m_window->findChild<QAbstractButton *>(u"stopButton"_s);
    QVERIFY(stop->toolTip().contains(u"Esc"_s));
    keys(QKeySequence(Qt::Key_Escape));
    QTRY_VERIFY_WITH_TIMEOUT(!console->isBusy(), 10000);
    QCOMPARE(logLines(*console).constLast(), u"  Stopped by user."_s);

    showTab(MainWindow::Tab::gmail);
    m_model->gmail()->setMode(GmailMode::properties);
    QVERIFY(visible<QAbstractButton>(u"findButton"_s)->toolTip().contains(u"Ctrl+F"_s));
    m_model->gmail()->propertiesForm()->targetFields()->setEmail(u"pat@example.org"_s);
    // A button's shortcut clicks it as a mouse would, after a short press.
    keys(QKeySequence(u"Ctrl+F"_s));
    QTRY_VERIFY(console->alert());
    QCOMPARE(console->alert()->message, u"Please fill in at least one search field."_s);
    QVERIFY(dismissAlert());
    keys(QKeySequence(u"Ctrl+P"_s));
    QTRY_VERIFY(console->alert());
    QCOMPARE(console->alert()->message, u"Please fill in at least one search field (From, Keywords, or Date)."_s);
    QVERIFY(dismissAlert());
    // A hidden mode's Preview never answers: only the visible form's button is the shortcut's.
    QCOMPARE(m_gam->runs(), 1);

    keys(QKeySequence(u"Ctrl+S"_s));
    QTRY_COMPARE(m_desktop.savePrompts.size(), 1);
    QVERIFY(m_desktop.savePrompts.constFirst().contains(u".csv|"_s));
    keys(QKeySequence(u"Ctrl+Shift+S"_s));
    QTRY_COMPARE(m_desktop.savePrompts.size(), 2);
    QVERIFY(m_desktop.savePrompts.at(1).contains(u".txt|"_s));
}

QTEST_MAIN(TestWindowAccessibility)
#include "tst_window_accessibility.moc"
