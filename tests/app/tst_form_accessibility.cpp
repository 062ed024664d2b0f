#include "app/ui/FormAccessibility.h"
#include "tabs/ui/HintText.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
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
    void prepare_captionBesideOneFieldDescribesIt();
    void prepare_keepsOwnNamesAndButtonTexts();
    void prepare_ordersTabsAsTheLayoutReads();
    void keepPrepared_coversWidgetsBuiltLater();
    void keepDialogsPrepared_coversDialogsOpenedLater();
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

void TestFormAccessibility::prepare_captionBesideOneFieldDescribesIt() {
    QWidget form;
    auto *column = new QVBoxLayout(&form);
    // A field and its Browse button in a container, the caption under the container.
    auto *ouBlock = new QWidget;
    auto *ouColumn = new QVBoxLayout(ouBlock);
    auto *ouRow = new QHBoxLayout;
    QLineEdit *ou = field(u"ou"_s);
    ouRow->addWidget(ou);
    ouRow->addWidget(new QPushButton(u"Browse…"_s));
    ouColumn->addLayout(ouRow);
    auto *ouCaption = new HintText(u"Full OU path"_s);
    ouColumn->addWidget(ouCaption);
    column->addWidget(ouBlock);
    // A caption under two fields describes neither; one described by hand keeps it.
    auto *pair = new QHBoxLayout;
    QLineEdit *first = field(u"first"_s);
    QLineEdit *second = field(u"second"_s);
    pair->addWidget(first);
    pair->addWidget(second);
    auto *pairColumn = new QVBoxLayout;
    pairColumn->addLayout(pair);
    pairColumn->addWidget(new HintText(u"Both names"_s));
    column->addLayout(pairColumn);
    auto *ownColumn = new QVBoxLayout;
    QLineEdit *own = field(u"own"_s);
    own->setAccessibleDescription(u"Set by hand"_s);
    ownColumn->addWidget(own);
    ownColumn->addWidget(new HintText(u"A caption"_s));
    column->addLayout(ownColumn);

    FormAccessibility::prepare(&form);

    QCOMPARE(ou->accessibleDescription(), u"Full OU path"_s);
    QVERIFY(first->accessibleDescription().isEmpty());
    QVERIFY(second->accessibleDescription().isEmpty());
    QCOMPARE(own->accessibleDescription(), u"Set by hand"_s);
    // A caption whose text changes describes the field anew the next time the form is prepared.
    ouCaption->setText(u"Full OU path, e.g. /Students"_s);
    FormAccessibility::prepare(&form);
    QCOMPARE(ou->accessibleDescription(), u"Full OU path, e.g. /Students"_s);
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
    // A combo box is read by its choice; its label reaches assistive technology as the buddy.
    auto *section = new QComboBox;
    section->addItem(u"Default"_s);
    section->setAccessibleName(u"Section"_s);
    rows->addRow(u"Section:"_s, section);

    FormAccessibility::prepare(&form);

    QCOMPARE(accessibleName(useAfter), u"After"_s);
    QCOMPARE(accessibleName(after), u"After"_s);
    QCOMPARE(accessibleName(mode), u"Delete by Sender"_s);
    QCOMPARE(accessibleName(named), u"GAM Command"_s);
    auto *dateLabel = qobject_cast<QLabel *>(rows->itemAt(0, QFormLayout::LabelRole)->widget());
    QVERIFY(!dateLabel->buddy());
    QCOMPARE(qobject_cast<QLabel *>(rows->itemAt(3, QFormLayout::LabelRole)->widget())->buddy(), section);
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

void TestFormAccessibility::keepPrepared_coversWidgetsBuiltLater() {
    // A pane rebuilt for each selection, as the Security tab's detail pane is.
    QWidget page;
    auto *column = new QVBoxLayout(&page);
    QLineEdit *target = field(u"target"_s);
    auto *targetRow = new QFormLayout;
    targetRow->addRow(u"Target User:"_s, target);
    column->addLayout(targetRow);
    auto *pane = new QScrollArea;
    pane->setObjectName(u"pane"_s);
    pane->setWidgetResizable(true);
    column->addWidget(pane);
    auto *done = new QPushButton(u"Done"_s);
    column->addWidget(done);
    FormAccessibility::keepPrepared(&page);
    page.show();

    const auto buildPane = [pane](const QString &label) {
        auto *detail = new QWidget;
        auto *rows = new QFormLayout(detail);
        QLineEdit *users = field(u"users"_s);
        rows->addRow(label, users);
        auto *run = new QPushButton(u"Run"_s);
        rows->addRow(run);
        pane->setWidget(detail);
        return std::pair(users, run);
    };
    auto [users, run] = buildPane(u"Users:"_s);
    QTRY_COMPARE(accessibleName(users), u"Users"_s);
    QCOMPARE(tabOrder(&page, target), QStringList({u"target"_s, u"pane"_s, u"users"_s, u"Run"_s, u"Done"_s}));

    // Built again later, and deeper: a row added to the new pane after it was shown.
    auto [indicators, search] = buildPane(u"Indicators:"_s);
    QTRY_COMPARE(accessibleName(indicators), u"Indicators"_s);
    auto *rows = qobject_cast<QFormLayout *>(indicators->parentWidget()->layout());
    QLineEdit *since = field(u"since"_s);
    rows->addRow(u"Since:"_s, since);
    QTRY_COMPARE(accessibleName(since), u"Since"_s);
    QCOMPARE(tabOrder(&page, target),
             QStringList({u"target"_s, u"pane"_s, u"users"_s, u"Run"_s, u"since"_s, u"Done"_s}));
}

void TestFormAccessibility::keepDialogsPrepared_coversDialogsOpenedLater() {
    QWidget window;
    auto *child = new QWidget(&window);
    FormAccessibility::keepDialogsPrepared(&window);

    // Opened from the window and from a widget inside it.
    for (QWidget *parent : {&window, child}) {
        auto *dialog = new QDialog(parent);
        auto *rows = new QFormLayout(dialog);
        QLineEdit *name = field(u"name"_s);
        QLineEdit *folder = field(u"folder"_s);
        rows->addRow(u"Folder:"_s, folder);
        rows->addRow(u"Name:"_s, name);
        QTRY_COMPARE(accessibleName(folder), u"Folder"_s);
        QCOMPARE(accessibleName(name), u"Name"_s);
        QCOMPARE(tabOrder(dialog, folder), QStringList({u"folder"_s, u"name"_s}));
    }
    // The window's own form is someone else's to prepare.
    auto *rows = new QFormLayout(child);
    QLineEdit *own = field(u"own"_s);
    rows->addRow(u"Own:"_s, own);
    QCoreApplication::processEvents();
    QVERIFY(own->accessibleName().isEmpty());
}

QTEST_MAIN(TestFormAccessibility)
#include "tst_form_accessibility.moc"
