#include "tabs/ui/ClassroomView.h"

#include "app/ui/Shortcuts.h"
#include "core/Console.h"
#include "tabs/ClassroomModel.h"
#include "tabs/CourseTableModel.h"
#include "tabs/ui/ActionBar.h"
#include "tabs/ui/HintText.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// A field with its caption underneath, the caption wrapping at the field's width.
QLayout *captioned(QLineEdit *field, const QString &caption) {
    auto *column = new QVBoxLayout;
    column->setSpacing(2);
    column->addWidget(field);
    column->addWidget(new HintText(caption));
    field->setAccessibleDescription(caption);
    return column;
}

QLabel *buddyLabel(const QString &text, QWidget *buddy) {
    auto *label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

QPushButton *button(const QString &text, const QString &name) {
    auto *button = new QPushButton(text);
    button->setObjectName(name);
    return button;
}

} // namespace

ClassroomView::ClassroomView(ClassroomModel *model, Console *console, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_console(console)
    , m_teacher(new QLineEdit)
    , m_courseName(new QLineEdit)
    , m_states(new QButtonGroup(this))
    , m_status(new HintText(model->statusText()))
    , m_table(new QTableView)
    , m_find(button(u"Find Classrooms"_s, u"findButton"_s))
    , m_delete(ActionBar::destructiveButton(u"Delete Selected"_s)) {
    QWidget *form = buildForm();

    Shortcuts::assign(m_find, Shortcuts::find);
    m_find->setToolTip(u"Find Classrooms (Ctrl+F, or Return in the form)"_s);
    connect(m_find, &QPushButton::clicked, model, &ClassroomModel::findClassrooms);
    auto *actions = new ActionBar(console, [model] { model->clearFields(); }, {m_find});
    // Return anywhere in the form searches, as long as the button could be pressed.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto *shortcut = new QShortcut(QKeySequence(key), form, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, m_find, &QPushButton::click);
    }

    m_status->setObjectName(u"statusText"_s);
    m_status->setAccessibleName(u"Status"_s);
    auto *statusRow = new QHBoxLayout;
    statusRow->setContentsMargins(20, 0, 20, 0);
    statusRow->addWidget(m_status);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 12, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(form);
    layout->addWidget(actions);
    layout->addLayout(statusRow);
    layout->addLayout(buildTable(), 1);
    layout->addWidget(buildTableButtons());

    connect(model, &ClassroomModel::fieldsChanged, this, &ClassroomView::refreshFields);
    connect(model, &ClassroomModel::statusTextChanged, m_status, [this] { m_status->setText(m_model->statusText()); });
    connect(model, &ClassroomModel::selectionChanged, this, &ClassroomView::refreshDeleteEnabled);
    connect(console, &Console::busyChanged, this, &ClassroomView::refreshDeleteEnabled);
    refreshFields();
    refreshDeleteEnabled();
}

QWidget *ClassroomView::buildForm() {
    m_teacher->setObjectName(u"teacherField"_s);
    m_teacher->setAccessibleName(u"Teacher Email"_s);
    m_teacher->setPlaceholderText(ClassroomModel::sampleTeacher());
    m_teacher->setInputMethodHints(Qt::ImhEmailCharactersOnly | Qt::ImhNoAutoUppercase);
    m_teacher->setClearButtonEnabled(true);
    m_courseName->setObjectName(u"courseNameField"_s);
    m_courseName->setAccessibleName(u"Course Name"_s);
    m_courseName->setClearButtonEnabled(true);

    auto *stateRow = new QHBoxLayout;
    stateRow->setSpacing(18);
    for (const CourseStateFilter state : courseStateFilters()) {
        auto *choice = new QRadioButton(courseStateLabel(state));
        choice->setObjectName(u"state"_s + courseStateLabel(state));
        m_states->addButton(choice, int(state));
        stateRow->addWidget(choice);
    }
    stateRow->addStretch();

    auto *box = new QGroupBox(u"Search"_s);
    auto *fields = new QFormLayout(box);
    fields->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    fields->addRow(buddyLabel(u"Teacher Email:"_s, m_teacher),
                   captioned(m_teacher, u"Leave blank to search all courses in the domain"_s));
    fields->addRow(
        buddyLabel(u"Course Name:"_s, m_courseName),
        captioned(m_courseName, u"Optional — filters results by course name (partial match, case-insensitive)"_s));
    fields->addRow(buddyLabel(u"State:"_s, m_states->button(int(CourseStateFilter::all))), stateRow);

    auto *form = new QWidget;
    auto *margins = new QVBoxLayout(form);
    margins->setContentsMargins(20, 0, 20, 0);
    margins->addWidget(box);

    connect(m_teacher, &QLineEdit::textChanged, m_model, &ClassroomModel::setTeacher);
    connect(m_courseName, &QLineEdit::textChanged, m_model, &ClassroomModel::setNameFilter);
    connect(m_states, &QButtonGroup::idToggled, m_model, [this](int id, bool checked) {
        if (checked)
            m_model->setState(static_cast<CourseStateFilter>(id));
    });
    return form;
}

QLayout *ClassroomView::buildTable() {
    m_table->setObjectName(u"courseTable"_s);
    m_table->setAccessibleName(u"Courses"_s);
    m_table->setModel(m_model->courseTable());
    QItemSelectionModel *ownSelection = m_table->selectionModel();
    m_table->setSelectionModel(m_model->courseSelection());
    delete ownSelection;
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->setCornerButtonEnabled(false);
    // Tab leaves the table instead of moving the current cell (and with it the selection).
    m_table->setTabKeyNavigation(false);
    m_table->verticalHeader()->hide();
    // Fixed row heights keep tens of thousands of rows cheap to lay out.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    QHeaderView *header = m_table->horizontalHeader();
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(CourseTableModel::nameColumn, QHeaderView::Stretch);
    const int em = fontMetrics().horizontalAdvance(u'M');
    header->resizeSection(CourseTableModel::idColumn, 11 * em);
    header->resizeSection(CourseTableModel::ownerColumn, 20 * em);
    header->resizeSection(CourseTableModel::stateColumn, 9 * em);
    connect(m_model->courseTable(), &QAbstractItemModel::modelReset, this, &ClassroomView::fitColumnsToCourses);
    auto *row = new QHBoxLayout;
    row->setContentsMargins(20, 0, 20, 0);
    row->addWidget(m_table);
    return row;
}

QWidget *ClassroomView::buildTableButtons() {
    QPushButton *exportCSV = button(u"Export .csv"_s, u"exportCSVButton"_s);
    QPushButton *exportText = button(u"Export .txt"_s, u"exportTextButton"_s);
    QPushButton *selectAll = button(u"Select All"_s, u"selectAllButton"_s);
    QPushButton *deselectAll = button(u"Deselect All"_s, u"deselectAllButton"_s);
    m_delete->setObjectName(u"deleteButton"_s);
    m_delete->setToolTip(u"Delete the selected classrooms (Delete)"_s);
    exportCSV->setToolTip(u"Save every listed course as comma-separated text"_s);
    exportText->setToolTip(u"Save every listed course as an aligned text table"_s);
    Shortcuts::assign(exportCSV, Shortcuts::exportCSV);
    Shortcuts::assign(exportText, Shortcuts::exportText);
    selectAll->setToolTip(u"Select every listed course (Ctrl+A in the table)"_s);

    connect(exportCSV, &QPushButton::clicked, m_model, [this] { m_model->exportCourses(ExportFormat::csv); });
    connect(exportText, &QPushButton::clicked, m_model, [this] { m_model->exportCourses(ExportFormat::plainText); });
    connect(selectAll, &QPushButton::clicked, m_model, &ClassroomModel::selectAll);
    connect(deselectAll, &QPushButton::clicked, m_model, &ClassroomModel::deselectAll);
    connect(m_delete, &QPushButton::clicked, m_model, &ClassroomModel::deleteSelected);
    auto *deleteKey = new QShortcut(QKeySequence::Delete, m_table, nullptr, nullptr, Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, m_delete, &QPushButton::click);

    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(20, 0, 20, 12);
    for (QPushButton *each : {exportCSV, exportText, selectAll, deselectAll})
        layout->addWidget(each);
    layout->addStretch();
    layout->addWidget(m_delete);
    return row;
}

void ClassroomView::fitColumnsToCourses() {
    if (m_table->model()->rowCount() == 0)
        return;
    // The name takes what the others leave; a very long address must not squeeze it out.
    const int em = fontMetrics().horizontalAdvance(u'M');
    QHeaderView *header = m_table->horizontalHeader();
    for (const int column :
         {CourseTableModel::idColumn, CourseTableModel::ownerColumn, CourseTableModel::stateColumn}) {
        m_table->resizeColumnToContents(column);
        header->resizeSection(column, std::min(header->sectionSize(column) + em, 30 * em));
    }
}

void ClassroomView::refreshFields() {
    if (m_teacher->text() != m_model->teacher())
        m_teacher->setText(m_model->teacher());
    if (m_courseName->text() != m_model->nameFilter())
        m_courseName->setText(m_model->nameFilter());
    m_states->button(int(m_model->state()))->setChecked(true);
}

void ClassroomView::refreshDeleteEnabled() {
    m_delete->setEnabled(!m_console->isBusy() && m_model->courseSelection()->hasSelection());
}
