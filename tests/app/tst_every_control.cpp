#include "FakeDesktopServices.h"
#include "FakeGam.h"
#include "TestSupport.h"

#include "app/AppModel.h"
#include "app/ui/FormAccessibility.h"
#include "app/ui/MainWindow.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "profiles/ui/SettingsWindow.h"
#include "security/SecurityCheck.h"
#include "security/SecurityModel.h"
#include "tabs/ui/HintText.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextEdit>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

// Every control of every tab, of the Settings window and of the dialogs the window opens,
// held to the same rules, so controls added later are covered without being listed here:
// - a control is named, after its label where it has one (no colon), and described by its caption;
// - the models follow a value however it changed (here: the accessibility interface and plain
//   setters, neither of which emits textEdited, clicked or activated);
// - Tab visits every visible control of a page in reading order;
// - a button's shortcut is named in its tooltip, and the main actions have one.
namespace {

QAccessibleInterface *accessible(QWidget *widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

QString describe(const QWidget *widget) {
    return QString::fromLatin1(widget->metaObject()->className()) + u" \""_s + widget->objectName() + u"\" (\""_s +
           accessible(const_cast<QWidget *>(widget))->text(QAccessible::Name) + u"\")"_s;
}

// What Tab stops at and assistive technology lists; Qt's inner parts (a spin box's line edit,
// a combo box's list) are not in the accessibility tree.
bool isControl(QWidget *widget) {
    if (!(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy())
        return false;
    QAccessibleInterface *face = accessible(widget);
    return face && face->parent();
}

// The controls of one window below root, in creation order (the same in two windows built alike).
QList<QWidget *> controlsIn(QWidget *root) {
    QList<QWidget *> controls;
    for (QWidget *widget : root->findChildren<QWidget *>())
        if (widget->window() == root->window() && isControl(widget))
            controls.append(widget);
    return controls;
}

bool isField(const QWidget *widget) {
    if (const auto *edit = qobject_cast<const QLineEdit *>(widget))
        return !edit->isReadOnly();
    if (const auto *edit = qobject_cast<const QPlainTextEdit *>(widget))
        return !edit->isReadOnly();
    if (const auto *edit = qobject_cast<const QTextEdit *>(widget))
        return !edit->isReadOnly();
    return qobject_cast<const QAbstractSpinBox *>(widget) || qobject_cast<const QComboBox *>(widget);
}

// A control that holds a value of the model's: a field or a choice.
bool holdsValue(QWidget *widget) {
    const auto *button = qobject_cast<const QAbstractButton *>(widget);
    return isControl(widget) && (isField(widget) || (button && button->isCheckable()));
}

QString valueOf(QWidget *widget) {
    if (const auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    if (const auto *edit = qobject_cast<QPlainTextEdit *>(widget))
        return edit->toPlainText();
    if (const auto *edit = qobject_cast<QTextEdit *>(widget))
        return edit->toPlainText();
    if (const auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->isChecked() ? u"checked"_s : u"unchecked"_s;
    if (const auto *combo = qobject_cast<QComboBox *>(widget))
        return combo->currentText();
    if (const auto *spin = qobject_cast<QAbstractSpinBox *>(widget))
        return spin->text();
    return {};
}

// Changes a control's value without a keystroke or a click: text through the accessibility
// interface, choices and pickers through their setters, as an input method or assistive
// technology would. False when there is nothing to change (a radio button already chosen).
bool changeValue(QWidget *widget, const QString &text) {
    if (qobject_cast<QLineEdit *>(widget) || qobject_cast<QPlainTextEdit *>(widget) ||
        qobject_cast<QTextEdit *>(widget)) {
        QAccessibleInterface *face = accessible(widget);
        face->editableTextInterface()->replaceText(0, face->textInterface()->characterCount(), text);
        return true;
    }
    if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        if (button->isChecked() && button->autoExclusive())
            return false;
        button->setChecked(!button->isChecked());
        return true;
    }
    if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        if (combo->count() < 2)
            return false;
        combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
        return true;
    }
    if (auto *dates = qobject_cast<QDateTimeEdit *>(widget)) {
        dates->setDateTime(dates->dateTime().addDays(-3));
        return true;
    }
    if (auto *spin = qobject_cast<QSpinBox *>(widget)) {
        spin->setValue(spin->value() == spin->minimum() ? spin->maximum() : spin->minimum());
        return true;
    }
    return false;
}

// The layout that holds widget itself, below the layout of its parent.
QLayout *layoutHolding(const QLayout *layout, const QWidget *widget) {
    for (int i = 0; layout && i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget() == widget)
            return const_cast<QLayout *>(layout);
        if (QLayout *found = layoutHolding(item->layout(), widget))
            return found;
    }
    return nullptr;
}

// The fields a layout holds, inside nested layouts and plain containers too.
void fieldsIn(const QLayout *layout, QList<QWidget *> &fields) {
    for (int i = 0; layout && i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (QWidget *widget = item->widget()) {
            if (isField(widget))
                fields.append(widget);
            else if (!(widget->focusPolicy() & Qt::TabFocus))
                fieldsIn(widget->layout(), fields);
        } else {
            fieldsIn(item->layout(), fields);
        }
    }
}

// The controls of a form row's field cell, in layout order.
void controlsInCell(QLayoutItem *item, QList<QWidget *> &controls) {
    if (QWidget *widget = item->widget()) {
        if (isControl(widget))
            controls.append(widget);
        else if (widget->layout())
            controlsInCell(widget->layout(), controls);
    } else if (QLayout *layout = item->layout()) {
        for (int i = 0; i < layout->count(); ++i)
            controlsInCell(layout->itemAt(i), controls);
    }
}

QStringList namingProblems(QWidget *root) {
    QStringList problems;
    for (QWidget *control : controlsIn(root)) {
        const QString name = accessible(control)->text(QAccessible::Name).trimmed();
        if (name.isEmpty())
            problems.append(describe(control) + u" has no name"_s);
        else if (name.endsWith(u':'))
            problems.append(describe(control) + u" ends with a colon"_s);
    }
    // On Linux Qt names a combo box by its current choice; its label reaches assistive technology
    // as the label's buddy only.
    const auto expectLabel = [&problems](QWidget *field, const QLabel *label) {
        const QString text = FormAccessibility::labelText(label->text());
        if (!isField(field) || text.isEmpty())
            return;
        if (qobject_cast<QComboBox *>(field)) {
            if (label->buddy() != field)
                problems.append(describe(field) + u" is not the buddy of its label \""_s + text + u'"');
        } else if (accessible(field)->text(QAccessible::Name) != text) {
            problems.append(describe(field) + u" is labelled \""_s + text + u'"');
        }
    };
    for (QLabel *label : root->findChildren<QLabel *>())
        if (label->buddy() && label->window() == root->window())
            expectLabel(label->buddy(), label);
    for (QFormLayout *form : root->findChildren<QFormLayout *>()) {
        for (int row = 0; row < form->rowCount(); ++row) {
            QLayoutItem *labelItem = form->itemAt(row, QFormLayout::LabelRole);
            QLayoutItem *fieldItem = form->itemAt(row, QFormLayout::FieldRole);
            const auto *label = labelItem ? qobject_cast<QLabel *>(labelItem->widget()) : nullptr;
            if (!label || !fieldItem)
                continue;
            // The label names the cell's first control when that is a field; a choice with a text
            // of its own ("After") names what follows it.
            QList<QWidget *> controls;
            controlsInCell(fieldItem, controls);
            if (!controls.isEmpty())
                expectLabel(controls.constFirst(), label);
        }
    }
    // A caption beside a single field describes it.
    for (HintText *caption : root->findChildren<HintText *>()) {
        if (caption->text().isEmpty() || !caption->parentWidget() || caption->window() != root->window())
            continue;
        QList<QWidget *> fields;
        fieldsIn(layoutHolding(caption->parentWidget()->layout(), caption), fields);
        if (fields.size() != 1)
            continue;
        if (accessible(fields.constFirst())->text(QAccessible::Description) != caption->text())
            problems.append(describe(fields.constFirst()) + u" is not described by its caption \""_s + caption->text() +
                            u'"');
    }
    return problems;
}

QStringList shortcutProblems(QWidget *root) {
    QStringList problems;
    QHash<QKeySequence, QAbstractButton *> active;
    const QWidget *assistant = root->findChild<QWidget *>(u"assistantPanel"_s);
    for (QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
        if (button->window() != root->window())
            continue;
        const QKeySequence keys = button->shortcut();
        const QString label = FormAccessibility::labelText(button->text());
        static const QStringList mainActions{u"Run"_s, u"Find"_s, u"Preview"_s, u"Export"_s, u"Stop"_s};
        // The assistant's Stop ends a chat reply, not the running command; its Esc belongs to the
        // panel (while the focus is there), not to the button.
        // Toggles ("Run in parallel") choose how an action runs; they are not actions.
        const bool main = !(assistant && assistant->isAncestorOf(button)) && !button->isCheckable() &&
                          std::any_of(mainActions.begin(), mainActions.end(),
                                      [&label](const QString &verb) { return label.startsWith(verb); });
        if (keys.isEmpty()) {
            if (main)
                problems.append(describe(button) + u" is a main action without a shortcut"_s);
            continue;
        }
        if (!button->toolTip().contains(keys.toString(QKeySequence::NativeText)))
            problems.append(describe(button) + u" does not name its shortcut in its tooltip \""_s + button->toolTip() +
                            u'"');
        // Two shortcuts alike on screen at once are ambiguous: neither answers.
        if (button->isVisible() && button->isEnabled()) {
            if (QAbstractButton *other = active.value(keys))
                problems.append(describe(button) + u" shares " + keys.toString() + u" with "_s + describe(other));
            active.insert(keys, button);
        }
    }
    return problems;
}

// Tab from the first visible control of root must reach every visible control of root,
// never upwards unless into a column further right, never leftwards within a row.
QStringList tabOrderProblems(QWidget *root) {
    QList<QWidget *> visible;
    for (QWidget *control : controlsIn(root))
        if (control->isVisibleTo(root->window()) && control->isEnabled())
            visible.append(control);
    if (visible.isEmpty())
        return {};
    const auto rect = [root](QWidget *widget) { return QRect(widget->mapTo(root, QPoint(0, 0)), widget->size()); };
    QWidget *first = *std::min_element(visible.begin(), visible.end(), [&rect](QWidget *a, QWidget *b) {
        return std::pair(rect(a).top(), rect(a).left()) < std::pair(rect(b).top(), rect(b).left());
    });
    QList<QWidget *> order;
    for (QWidget *widget = first; order.size() < visible.size() * 4;) {
        if (visible.contains(widget) && !order.contains(widget))
            order.append(widget);
        widget = widget->nextInFocusChain();
        if (widget == first)
            break;
    }
    QStringList problems;
    for (QWidget *control : visible)
        if (!order.contains(control))
            problems.append(describe(control) + u" is not reached by Tab from "_s + describe(first));
    constexpr int slack = 6;
    for (qsizetype i = 1; i < order.size(); ++i) {
        const QRect from = rect(order[i - 1]);
        const QRect to = rect(order[i]);
        const bool upwards = to.bottom() < from.top() - slack && to.left() < from.right();
        const bool leftwardsInRow =
            std::abs(to.center().y() - from.center().y()) <= slack && to.right() <= from.left() + slack;
        if (upwards || leftwardsInRow)
            problems.append(u"Tab goes from "_s + describe(order[i - 1]) + u" back to "_s + describe(order[i]));
    }
    return problems;
}

QStringList allProblems(QWidget *root, const QString &where) {
    QStringList problems = namingProblems(root) + shortcutProblems(root) + tabOrderProblems(root);
    for (QString &problem : problems)
        problem.prepend(where + u": "_s);
    return problems;
}

// Sets each value-holding control of `edited` in turn and expects `mirror`, a second view of
// the same models, to show the same value: the model followed the control, and the views follow the model.
QStringList mirrorProblems(QWidget *edited, QWidget *mirror, const QString &where) {
    QStringList problems;
    const auto valueControls = [](QWidget *root) {
        QList<QWidget *> controls = controlsIn(root);
        controls.removeIf([](QWidget *widget) { return !holdsValue(widget); });
        return controls;
    };
    for (qsizetype i = 0;; ++i) {
        const QList<QWidget *> controls = valueControls(edited);
        const QList<QWidget *> mirrored = valueControls(mirror);
        if (controls.size() != mirrored.size()) {
            problems.append(where + u": the two views hold "_s + QString::number(controls.size()) + u" and "_s +
                            QString::number(mirrored.size()) + u" controls"_s);
            break;
        }
        if (i >= controls.size())
            break;
        QWidget *control = controls[i];
        if (!control->isEnabled() || !changeValue(control, u"pat.lee@example.org"_s))
            continue;
        QCoreApplication::processEvents();
        // Compared afresh: following the model may rebuild parts of a view.
        const QList<QWidget *> after = valueControls(edited);
        const QList<QWidget *> afterMirror = valueControls(mirror);
        if (i < after.size() && i < afterMirror.size() && valueOf(after[i]) != valueOf(afterMirror[i]))
            problems.append(where + u": "_s + describe(after[i]) + u" shows \""_s + valueOf(after[i]) +
                            u"\", the other view of its model \""_s + valueOf(afterMirror[i]) + u'"');
    }
    return problems;
}

} // namespace

class TestEveryControl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void everyTab_followsTheRules();
    void everyTab_modelsFollowTheirControls();
    void settingsWindow_followsTheRules();
    void settingsWindow_keepsWhatWasSet();
    void dialogs_followTheRules();

private:
    std::unique_ptr<MainWindow> newWindow();
    // Calls check with each page of window's tabs shown, and each Security check's pane.
    void forEachPage(const std::function<void(int tab, const QString &where)> &check);

    std::unique_ptr<FakeGamDistrict> m_district;
    FakeDesktopServices m_desktop;
    std::unique_ptr<AppModel> m_model;
    std::unique_ptr<MainWindow> m_window;
};

void TestEveryControl::init() {
    m_district = std::make_unique<FakeGamDistrict>();
    m_model = std::make_unique<AppModel>(&m_district->profiles, &m_desktop);
    m_window = newWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestEveryControl::cleanup() {
    m_window.reset();
    m_model.reset();
    m_district.reset();
}

std::unique_ptr<MainWindow> TestEveryControl::newWindow() {
    auto window = std::make_unique<MainWindow>(m_model.get(), &m_desktop);
    window->resize(1100, 950);
    window->show();
    return window;
}

void TestEveryControl::forEachPage(const std::function<void(int tab, const QString &where)> &check) {
    QTabWidget *tabs = m_window->tabs();
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        const QString where = tabs->tabText(tab);
        if (tabs->widget(tab) != tabs->widget(int(MainWindow::Tab::security))) {
            check(tab, where);
            continue;
        }
        for (const SecurityCheckInfo &info : securityCatalogue()) {
            m_model->security()->setSelection(info.check);
            check(tab, where + u" › "_s + info.title);
        }
    }
}

void TestEveryControl::everyTab_followsTheRules() {
    QStringList problems;
    int controls = 0;
    forEachPage([&](int tab, const QString &where) {
        QWidget *page = m_window->tabs()->widget(tab);
        QTRY_VERIFY(page->isVisible());
        controls += int(controlsIn(page).size());
        problems += allProblems(page, where);
    });
    problems += allProblems(m_window.get(), u"window"_s).filter(u"shortcut"_s);
    problems.removeDuplicates();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    QVERIFY(controls > 60);
}

void TestEveryControl::everyTab_modelsFollowTheirControls() {
    const std::unique_ptr<MainWindow> mirror = newWindow();
    QStringList problems;
    forEachPage([&](int tab, const QString &where) {
        mirror->tabs()->setCurrentIndex(tab);
        problems += mirrorProblems(m_window->tabs()->widget(tab), mirror->tabs()->widget(tab), where);
    });
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

void TestEveryControl::settingsWindow_followsTheRules() {
    m_window->showSettings(SettingsTab::gam);
    SettingsWindow *settings = m_window->settingsWindow();
    QVERIFY(QTest::qWaitForWindowExposed(settings));
    QStringList problems;
    for (int tab = 0; tab < settings->tabs()->count(); ++tab) {
        settings->tabs()->setCurrentIndex(tab);
        problems += allProblems(settings->tabs()->widget(tab), u"Settings › "_s + settings->tabs()->tabText(tab));
    }
    problems += namingProblems(settings);
    problems.removeDuplicates();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

void TestEveryControl::settingsWindow_keepsWhatWasSet() {
    // Settings are saved as they are edited: a Settings window opened afterwards shows them.
    QStringList problems;
    for (int tab = 0;; ++tab) {
        auto edited = std::make_unique<SettingsWindow>(&m_district->profiles, m_model->console());
        if (tab >= edited->tabs()->count())
            break;
        edited->show();
        edited->tabs()->setCurrentIndex(tab);
        const QString where = u"Settings › "_s + edited->tabs()->tabText(tab);
        const QList<QWidget *> before = controlsIn(edited->tabs()->widget(tab));
        for (QWidget *control : before)
            if (holdsValue(control) && control->isEnabled())
                changeValue(control, u"pat.lee@example.org"_s);
        // A secret typed into a masked field is kept only when its own button saves it.
        const auto kept = [](QWidget *control) {
            const auto *edit = qobject_cast<QLineEdit *>(control);
            return holdsValue(control) && !(edit && edit->echoMode() != QLineEdit::Normal);
        };
        QStringList shown;
        for (QWidget *control : controlsIn(edited->tabs()->widget(tab)))
            if (kept(control))
                shown.append(describe(control) + u" = "_s + valueOf(control));
        edited.reset();
        SettingsWindow reopened(&m_district->profiles, m_model->console());
        reopened.show();
        reopened.tabs()->setCurrentIndex(tab);
        QStringList reshown;
        for (QWidget *control : controlsIn(reopened.tabs()->widget(tab)))
            if (holdsValue(control))
                reshown.append(describe(control) + u" = "_s + valueOf(control));
        for (const QString &value : shown)
            if (!reshown.contains(value))
                problems.append(where + u": "_s + value + u" is gone when Settings opens again"_s);
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

void TestEveryControl::dialogs_followTheRules() {
    m_window->showStartupNotice();
    m_window->showAbout();
    ResultsTable results;
    results.title = u"Found Messages"_s;
    results.columns = {u"User"_s, u"Subject"_s};
    results.rows = {{u"pat@example.org"_s, u"Hello"_s}};
    m_model->console()->setResults(results);
    m_model->console()->showAlert(u"Missing Input"_s, u"Please enter at least one Message-ID."_s);
    m_window->explainPractice();
    QStringList problems;
    int dialogs = 0;
    QTRY_VERIFY(m_window->findChildren<QDialog *>().size() >= 4);
    for (QDialog *dialog : m_window->findChildren<QDialog *>()) {
        if (!dialog->isVisible())
            continue;
        ++dialogs;
        problems += allProblems(dialog, dialog->windowTitle());
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    QVERIFY(dialogs >= 4);
}

QTEST_MAIN(TestEveryControl)
#include "tst_every_control.moc"
