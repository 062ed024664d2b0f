#include "app/ui/FormAccessibility.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// The Tab order from `first`, as far as it stays inside `form`, by accessible name or text.
QStringList tabOrder(QWidget *form, QWidget *first) {
    QStringList order;
    QWidget *widget = first;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && form->isAncestorOf(widget)) {
            const auto *button = qobject_cast<QAbstractButton *>(widget);
            order.append(button ? button->text() : widget->objectName());
        }
        widget = widget->nextInFocusChain();
    } while (widget != first);
    return order;
}

QString accessibleName(QWidget *widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

QLineEdit *field(const QString &name) {
    auto *edit = new QLineEdit;
    edit->setObjectName(name);
    return edit;
}

} // namespace

class TestFormAccessibility : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void labelText_dropsMnemonicsAndTrailingColon_data();
    void labelText_dropsMnemonicsAndTrailingColon();
    void prepare_namesFieldsAfterTheirLabels();
    void prepare_captionInTheRowDescribesTheField();
    void prepare_keepsOwnNamesAndButtonTexts();
    void prepare_ordersTabsAsTheLayoutReads();
};

void TestFormAccessibility::labelText_dropsMnemonicsAndTrailingColon_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("expected");
    QTest::newRow("colon") << u"Mailbox Owner Email:"_s << u"Mailbox Owner Email"_s;
    QTest::newRow("colon and spaces") << u" Domain : "_s << u"Domain"_s;
    QTest::newRow("mnemonic") << u"&From:"_s << u"From"_s;
    QTest::newRow("escaped ampersand") << u"Q&&A &Notes"_s << u"Q&A Notes"_s;
    QTest::newRow("trailing ampersand") << u"Notes&"_s << u"Notes"_s;
    QTest::newRow("inner colon stays") << u"Time: 10:30"_s << u"Time: 10:30"_s;
    QTest::newRow("only the last colon goes") << u"Ratio::"_s << u"Ratio:"_s;
    QTest::newRow("plain") << u"Keywords"_s << u"Keywords"_s;
}

void TestFormAccessibility::labelText_dropsMnemonicsAndTrailingColon() {
    QFETCH(QString, label);
    QFETCH(QString, expected);
    QCOMPARE(FormAccessibility::labelText(label), expected);
}

void TestFormAccessibility::prepare_namesFieldsAfterTheirLabels() {
    QWidget form;
    auto *rows = new QFormLayout(&form);
    QLineEdit *from = field(u"from"_s);
    rows->addRow(u"&From:"_s, from);
    // A row whose field is a layout: the label names its first field.
    QLineEdit *keywords = field(u"keywords"_s);
    auto *cell = new QHBoxLayout;
    cell->addWidget(keywords);
    cell->addWidget(new QPushButton(u"Paste"_s));
    rows->addRow(u"Keywords:"_s, cell);
    // A label beside its buddy outside any form layout.
    QLineEdit *owner = field(u"owner"_s);
    auto *ownerLabel = new QLabel(u"Owner:"_s);
    ownerLabel->setBuddy(owner);
    rows->addRow(ownerLabel);
    rows->addRow(owner);

    FormAccessibility::prepare(&form);

    QCOMPARE(accessibleName(from), u"From"_s);
    QCOMPARE(accessibleName(keywords), u"Keywords"_s);
    QCOMPARE(accessibleName(owner), u"Owner"_s);
    // The label of a layout row now points at its field, for mnemonics and relations alike.
    auto *keywordsLabel = qobject_cast<QLabel *>(rows->itemAt(1, QFormLayout::LabelRole)->widget());
    QCOMPARE(keywordsLabel->buddy(), keywords);
}

void TestFormAccessibility::prepare_captionInTheRowDescribesTheField() {
    QWidget form;
    auto *rows = new QFormLayout(&form);
    QLineEdit *keywords = field(u"keywords"_s);
    keywords->setPlaceholderText(u"Filename or phrase"_s);
    auto *cell = new QVBoxLayout;
    cell->addWidget(keywords);
    cell->addWidget(new QLabel(u"Searches subject and body"_s));
    rows->addRow(u"Keywords:"_s, cell);
    QLineEdit *from = field(u"from"_s);
    from->setAccessibleDescription(u"Set by hand"_s);
    auto *fromCell = new QVBoxLayout;
    fromCell->addWidget(from);
    fromCell->addWidget(new QLabel(u"A caption"_s));
    rows->addRow(u"From:"_s, fromCell);

    FormAccessibility::prepare(&form);

    QCOMPARE(QAccessible::queryAccessibleInterface(keywords)->text(QAccessible::Description),
             u"Searches subject and body"_s);
    QCOMPARE(from->accessibleDescription(), u"Set by hand"_s);
}

void TestFormAccessibility::prepare_keepsOwnNamesAndButtonTexts() {
    QWidget form;
    auto *rows = new QFormLayout(&form);
    // A date row: toggles read by their text, pickers named by hand.
    auto *useAfter = new QCheckBox(u"After"_s);
    auto *after = new QDateEdit;
    after->setAccessibleName(u"After"_s);
    auto *cell = new QHBoxLayout;
    cell->addWidget(useAfter);
    cell->addWidget(after);
    rows->addRow(u"Date:"_s, cell);
    // A label pointing at a button with text of its own.
    auto *modeLabel = new QLabel(u"Mode:"_s);
    auto *mode = new QPushButton(u"Delete by Sender"_s);
    modeLabel->setBuddy(mode);
    rows->addRow(modeLabel, mode);
    QLineEdit *named = field(u"named"_s);
    named->setAccessibleName(u"GAM Command"_s);
    rows->addRow(u"Command:"_s, named);

    FormAccessibility::prepare(&form);

    QCOMPARE(accessibleName(useAfter), u"After"_s);
    QCOMPARE(accessibleName(after), u"After"_s);
    QCOMPARE(accessibleName(mode), u"Delete by Sender"_s);
    QCOMPARE(accessibleName(named), u"GAM Command"_s);
    auto *dateLabel = qobject_cast<QLabel *>(rows->itemAt(0, QFormLayout::LabelRole)->widget());
    QVERIFY(!dateLabel->buddy());
}

void TestFormAccessibility::prepare_ordersTabsAsTheLayoutReads() {
    // Created in an order unlike the layout's, as member initialisers often do.
    QWidget form;
    QLineEdit *notes = field(u"notes"_s);
    auto *run = new QPushButton(u"Run"_s);
    QLineEdit *email = field(u"email"_s);
    auto *clear = new QPushButton(u"Clear"_s);
    QLineEdit *east = field(u"east"_s);
    QLineEdit *west = field(u"west"_s);
    QLineEdit *second = field(u"second"_s);
    QLineEdit *first = field(u"first"_s);
    auto *group = new QGroupBox(u"Target"_s);

    auto *groupRows = new QFormLayout(group);
    groupRows->addRow(u"Email:"_s, email);
    auto *pages = new QStackedWidget;
    pages->addWidget(first);
    pages->addWidget(second);
    auto *grid = new QGridLayout;
    grid->addWidget(east, 0, 1);
    grid->addWidget(west, 0, 0);
    auto *buttons = new QBoxLayout(QBoxLayout::RightToLeft);
    buttons->addWidget(run);
    buttons->addWidget(clear);

    auto *column = new QVBoxLayout(&form);
    column->addWidget(group);
    column->addWidget(pages);
    column->addLayout(grid);
    column->addWidget(notes);
    column->addLayout(buttons);

    FormAccessibility::prepare(&form);

    QCOMPARE(tabOrder(&form, email), QStringList({u"email"_s, u"first"_s, u"second"_s, u"west"_s, u"east"_s, u"notes"_s,
                                                  u"Clear"_s, u"Run"_s}));
}

QTEST_MAIN(TestFormAccessibility)
#include "tst_form_accessibility.moc"
