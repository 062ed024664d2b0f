#include "FakeDesktopServices.h"
#include "FakeGam.h"
#include "TestSupport.h"

#include "app/ui/AlertPresenter.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "tabs/ClassroomModel.h"
#include "tabs/CourseTableModel.h"
#include "tabs/ui/ActionBar.h"
#include "tabs/ui/ClassroomView.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString listing = u"id,name,courseState,ownerEmail,ownerId\n"_s
                        u"101,\"Algebra, I\",ACTIVE,a@lakeside.example.org,11\n"_s
                        u"102,Biology,ARCHIVED,b@lakeside.example.org,12\n"_s
                        u"103,\"Robotics Club\nAfter School\",PROVISIONED,,13\n"_s
                        u"104,מתמטיקה — כיתה ז׳,ACTIVE,c@lakeside.example.org,14\n"_s;

} // namespace

// The Classroom tab driven through its widgets, as the user would.
class ClassroomViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void form_typingAndPickingReachTheModelAndBack();
    void returnInTheFormFinds_onlyWhenTheButtonCould();
    void tabOrder_followsTheScreen();
    void table_showsCoursesAndSharesTheSelection();
    void deleteSelected_enabledOnlyWithSelectionAndWhenIdle();
    void deleteFromTheTableWithTheWindowsConfirmation();
    void layout_nothingClippedWithResultsAndEmpty();

private:
    template <typename T> T *child(const QString &name) const { return m_view->findChild<T *>(name); }
    QPushButton *button(const QString &text) const;
    bool waitIdle() const;
    void findListing();

    std::unique_ptr<FakeGamDistrict> m_district;
    FakeGam *m_gam = nullptr;
    FakeDesktopServices m_desktop;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<ClassroomModel> m_model;
    std::unique_ptr<ClassroomView> m_view;
};

void ClassroomViewTest::init() {
    m_district = std::make_unique<FakeGamDistrict>();
    m_gam = &m_district->gam;
    m_console = std::make_unique<Console>(&m_desktop);
    m_model = std::make_unique<ClassroomModel>(m_console.get());
    m_view = std::make_unique<ClassroomView>(m_model.get(), m_console.get());
    m_view->resize(900, 620);
    m_view->show();
    m_view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
}

void ClassroomViewTest::cleanup() {
    m_view.reset();
    m_model.reset();
    m_console.reset();
    m_district.reset();
}

QPushButton *ClassroomViewTest::button(const QString &text) const {
    const auto buttons = m_view->findChildren<QPushButton *>();
    for (QPushButton *candidate : buttons)
        if (candidate->text() == text)
            return candidate;
    return nullptr;
}

bool ClassroomViewTest::waitIdle() const {
    return QTest::qWaitFor([this] { return !m_console->isBusy(); }, 30000);
}

void ClassroomViewTest::findListing() {
    m_gam->answer(m_gam->runs() + 1, listing);
    QTest::mouseClick(button(u"Find Classrooms"_s), Qt::LeftButton);
    QVERIFY(waitIdle());
}

void ClassroomViewTest::form_typingAndPickingReachTheModelAndBack() {
    auto *teacher = child<QLineEdit>(u"teacherField"_s);
    auto *courseName = child<QLineEdit>(u"courseNameField"_s);
    QCOMPARE(teacher->accessibleName(), u"Teacher Email"_s);
    QCOMPARE(teacher->accessibleDescription(), u"Leave blank to search all courses in the domain"_s);
    QCOMPARE(courseName->accessibleName(), u"Course Name"_s);
    QCOMPARE(teacher->placeholderText(), ClassroomModel::sampleTeacher());

    QTest::keyClicks(teacher, u"t@lakeside.example.org"_s);
    // Whatever changes the text, not only typing, reaches the model.
    courseName->setText(u"Algebra"_s);
    QCOMPARE(m_model->teacher(), u"t@lakeside.example.org"_s);
    QCOMPARE(m_model->nameFilter(), u"Algebra"_s);

    QStringList labels;
    for (QRadioButton *state : m_view->findChildren<QRadioButton *>())
        labels.append(state->text());
    QCOMPARE(labels, (QStringList{u"All"_s, u"Active"_s, u"Archived"_s, u"Provisioned"_s}));
    QVERIFY(child<QRadioButton>(u"stateAll"_s)->isChecked());
    QTest::mouseClick(child<QRadioButton>(u"stateArchived"_s), Qt::LeftButton);
    QCOMPARE(m_model->state(), CourseStateFilter::archived);
    // Keyboard choice of a radio button counts too.
    child<QRadioButton>(u"stateProvisioned"_s)->setFocus();
    QTest::keyClick(child<QRadioButton>(u"stateProvisioned"_s), Qt::Key_Space);
    QCOMPARE(m_model->state(), CourseStateFilter::provisioned);

    QTest::mouseClick(button(u"Clear Fields"_s), Qt::LeftButton);
    QVERIFY(teacher->text().isEmpty());
    QVERIFY(courseName->text().isEmpty());
    QVERIFY(child<QRadioButton>(u"stateAll"_s)->isChecked());
    QCOMPARE(m_model->state(), CourseStateFilter::all);
}

void ClassroomViewTest::returnInTheFormFinds_onlyWhenTheButtonCould() {
    m_gam->answer(1, listing);
    auto *courseName = child<QLineEdit>(u"courseNameField"_s);
    QTest::keyClicks(courseName, u"robotics"_s);
    QTest::keyClick(courseName, Qt::Key_Return);
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), 1);
    QCOMPARE(m_model->courses().size(), 1);
    QCOMPARE(child<QLabel>(u"statusText"_s)->text(),
             u"1 classroom(s) found  •  Ctrl-click or Shift-click to multi-select"_s);

    child<QRadioButton>(u"stateActive"_s)->setFocus();
    QTest::keyClick(child<QRadioButton>(u"stateActive"_s), Qt::Key_Enter);
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), 2);

    // While a search runs, Return neither searches again nor raises "Busy".
    m_gam->hang(3);
    QTest::keyClick(courseName, Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([this] { return m_gam->runs() == 3; }, 20000));
    QCOMPARE(child<QLabel>(u"statusText"_s)->text(), u"Searching..."_s);
    QTest::keyClick(courseName, Qt::Key_Return);
    QVERIFY(!m_console->alert());
    m_console->stop();
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), 3);
    QCOMPARE(child<QLabel>(u"statusText"_s)->text(), u"Search stopped."_s);
}

void ClassroomViewTest::tabOrder_followsTheScreen() {
    findListing();
    m_model->selectAll();
    child<QLineEdit>(u"teacherField"_s)->setFocus();
    QStringList order;
    for (int i = 0; i < 12; ++i) {
        QWidget *focus = QApplication::focusWidget();
        const auto *button = qobject_cast<QAbstractButton *>(focus);
        order.append(button ? button->text() : focus->objectName());
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(order, (QStringList{u"teacherField"_s, u"courseNameField"_s, u"All"_s, u"Clear Fields"_s,
                                 u"Find Classrooms"_s, u"courseTable"_s, u"Export .csv"_s, u"Export .txt"_s,
                                 u"Select All"_s, u"Deselect All"_s, u"Delete Selected"_s, u"teacherField"_s}));
    // Passing through the table leaves its selection alone.
    QCOMPARE(m_model->selection().size(), 4);
}

void ClassroomViewTest::table_showsCoursesAndSharesTheSelection() {
    findListing();
    QTableView *table = m_view->table();
    QCOMPARE(table->model()->rowCount(), 4);
    QStringList titles;
    for (int column = 0; column < 4; ++column)
        titles.append(table->model()->headerData(column, Qt::Horizontal).toString());
    QCOMPARE(titles, (QStringList{u"Course ID"_s, u"Course Name"_s, u"Owner Email"_s, u"State"_s}));
    QCOMPARE(table->model()->index(2, CourseTableModel::ownerColumn).data().toString(), u"13"_s);

    // Click, then Ctrl-click another row: both courses are selected in the model.
    const auto rowCentre = [table](int row) { return table->visualRect(table->model()->index(row, 1)).center(); };
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rowCentre(0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(2));
    QCOMPARE(m_model->selection(), (QSet<QString>{u"101"_s, u"103"_s}));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ShiftModifier, rowCentre(3));
    QCOMPARE(m_model->selection().size(), 3);

    QTest::mouseClick(button(u"Select All"_s), Qt::LeftButton);
    QCOMPARE(table->selectionModel()->selectedRows().size(), 4);
    QTest::mouseClick(button(u"Deselect All"_s), Qt::LeftButton);
    QVERIFY(!table->selectionModel()->hasSelection());
    m_model->setSelection({u"104"_s});
    QVERIFY(table->selectionModel()->isRowSelected(3));

    table->setFocus();
    QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_model->selection().size(), 4);
}

void ClassroomViewTest::deleteSelected_enabledOnlyWithSelectionAndWhenIdle() {
    QPushButton *remove = button(u"Delete Selected"_s);
    QVERIFY(!remove->isEnabled());
    findListing();
    QVERIFY(!remove->isEnabled());
    QTest::mouseClick(button(u"Select All"_s), Qt::LeftButton);
    QVERIFY(remove->isEnabled());

    // A task of any tab disables it and the form's action bar; the table buttons stay.
    m_gam->hang(2);
    m_model->deleteSelected();
    m_console->setAlert(std::nullopt);
    startGAMTask(*m_console, u"Other Work"_s, {u"info"_s, u"domain"_s});
    QVERIFY(!remove->isEnabled());
    QVERIFY(!m_view->findChild<ActionBar *>()->isEnabled());
    QVERIFY(button(u"Export .csv"_s)->isEnabled());
    m_console->stop();
    QVERIFY(waitIdle());
    QVERIFY(remove->isEnabled());
    QVERIFY(m_view->findChild<ActionBar *>()->isEnabled());

    QTest::mouseClick(button(u"Deselect All"_s), Qt::LeftButton);
    QVERIFY(!remove->isEnabled());
    QTest::mouseClick(button(u"Clear Fields"_s), Qt::LeftButton);
    QCOMPARE(m_view->table()->model()->rowCount(), 0);
}

void ClassroomViewTest::deleteFromTheTableWithTheWindowsConfirmation() {
    AlertPresenter presenter(m_console.get(), m_view.get());
    findListing();
    QTableView *table = m_view->table();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(1, 1)).center());
    m_gam->answer(2, {}, u"Course: 102, Delete Failed: Backend Error\n"_s, 50);
    // The Delete key asks, like the button.
    QTest::keyClick(table, Qt::Key_Delete);
    QVERIFY(QTest::qWaitFor([&presenter] { return presenter.messageBox() && presenter.messageBox()->isVisible(); }));
    QMessageBox *box = presenter.messageBox();
    QCOMPARE(box->text(), u"Confirm Delete"_s);
    QVERIFY(box->informativeText().startsWith(u"Permanently delete 1 classroom?\n\nBiology  (102)\n\n"_s));
    QTest::mouseClick(box->findChild<QPushButton *>(u"confirmButton"_s), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([this] { return m_gam->runs() == 2 && !m_console->isBusy(); }, 30000));
    QCOMPARE(m_gam->arguments(2), (QStringList{u"delete"_s, u"course"_s, u"102"_s}));
    // Failed: still listed and still selected in the table.
    QCOMPARE(table->model()->rowCount(), 4);
    QVERIFY(table->selectionModel()->isRowSelected(1));
    QVERIFY(button(u"Delete Selected"_s)->isEnabled());
}

void ClassroomViewTest::layout_nothingClippedWithResultsAndEmpty() {
    const QString shots = qEnvironmentVariable("TARNWICK_SCREENSHOT_DIR");
    const auto checkNothingClipped = [this] {
        for (QLabel *label : m_view->findChildren<QLabel *>()) {
            if (label->isVisible() && !label->wordWrap())
                QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        }
        for (QAbstractButton *each : m_view->findChildren<QAbstractButton *>()) {
            if (each->isVisible())
                QVERIFY2(each->width() >= each->sizeHint().width(), qPrintable(each->text()));
        }
        for (QLineEdit *field : m_view->findChildren<QLineEdit *>())
            QVERIFY(field->height() >= field->sizeHint().height());
    };
    checkNothingClipped();
    QVERIFY(m_view->table()->height() > 150);
    if (!shots.isEmpty())
        m_view->grab().save(shots + u"/classroom-empty.png"_s);

    findListing();
    m_model->setSelection({u"101"_s, u"104"_s});
    QApplication::processEvents();
    checkNothingClipped();
    // The name column takes the spare width; the others show their titles whole.
    QHeaderView *header = m_view->table()->horizontalHeader();
    for (const int column : {CourseTableModel::idColumn, CourseTableModel::ownerColumn, CourseTableModel::stateColumn})
        QVERIFY(header->sectionSize(column) >= header->sectionSizeHint(column));
    QVERIFY(header->sectionSize(CourseTableModel::nameColumn) > header->sectionSize(CourseTableModel::ownerColumn));
    if (!shots.isEmpty())
        m_view->grab().save(shots + u"/classroom-results.png"_s);

    // The confirmation as the window presents it, a right-to-left name included.
    AlertPresenter presenter(m_console.get(), m_view.get());
    m_model->setSelection({u"101"_s, u"103"_s, u"104"_s});
    QTest::mouseClick(button(u"Delete Selected"_s), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&presenter] { return presenter.messageBox() && presenter.messageBox()->isVisible(); }));
    QMessageBox *box = presenter.messageBox();
    QVERIFY(box->informativeText().contains(u"\nRobotics Club After School  (103)\n"_s));
    QVERIFY(box->informativeText().contains(u"מתמטיקה — כיתה ז׳"_s + QChar(0x2069) + u"  (104)\n"_s));
    if (!shots.isEmpty())
        box->grab().save(shots + u"/classroom-confirm.png"_s);
    box->findChild<QPushButton *>(u"cancelButton"_s)->click();
    QVERIFY(QTest::qWaitFor([this] { return !m_console->alert().has_value(); }));
    QCOMPARE(m_gam->runs(), 1);
}

QTEST_MAIN(ClassroomViewTest)
#include "tst_classroomview.moc"
