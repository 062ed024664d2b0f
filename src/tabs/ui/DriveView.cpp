#include "tabs/ui/DriveView.h"

#include "app/ui/Shortcuts.h"
#include "core/Console.h"
#include "tabs/DriveModel.h"
#include "tabs/ui/ActionBar.h"
#include "tabs/ui/HintText.h"
#include "tabs/ui/LinesEditor.h"
#include "tabs/ui/OUPickerSheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString ouCaption = u"Full OU path, e.g. /Students/Grade 9  •  use Browse to pick from domain"_s;
const QString domainCaption = u"Searches every user's drive. Delete isn't available at this scope."_s;
const QString wildcardCaption =
    u"Exact match, or use * / ? wildcards (e.g. 63783.* or report_202?.pdf)  •  case-insensitive"_s;
const QString containsCaption = u"Finds files whose name contains this text  •  case-insensitive"_s;
const QString idsCaption = u"One per line  •  copy the ID from the file's Drive share URL"_s;

// A row of radio buttons for one picker; ids are the enumeration's values.
QHBoxLayout *choiceRow(QButtonGroup *group, const QList<std::pair<QString, QString>> &choices) {
    auto *row = new QHBoxLayout;
    row->setSpacing(18);
    for (qsizetype i = 0; i < choices.size(); ++i) {
        auto *button = new QRadioButton(choices[i].first);
        button->setObjectName(choices[i].second);
        group->addButton(button, int(i));
        row->addWidget(button);
    }
    row->addStretch();
    return row;
}

// A field over its caption, so the caption wraps at the field's width.
QWidget *withCaption(QWidget *field, QWidget *caption) {
    auto *block = new QWidget;
    auto *layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(field);
    layout->addWidget(caption);
    return block;
}

// Labelled rows of their own, shown or hidden as one; their labels are added to `labels`.
QWidget *formBlock(const QList<std::pair<QString, QWidget *>> &rows, QList<QLabel *> &labels) {
    auto *block = new QWidget;
    auto *form = new QFormLayout(block);
    form->setContentsMargins(0, 0, 0, 0);
    // Wrapped labels as fields take the width too, or the live query wraps after a word or two.
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (const auto &[text, field] : rows) {
        auto *label = new QLabel(text);
        form->addRow(label, field);
        labels.append(label);
    }
    return block;
}

// The sections' fields start at one edge, as if they were rows of one form.
void alignLabelColumns(const QList<QLabel *> &labels) {
    int width = 0;
    for (const QLabel *label : labels)
        width = std::max(width, label->sizeHint().width());
    for (QLabel *label : labels)
        label->setMinimumWidth(width);
}

QLineEdit *lineEdit(const QString &name, const QString &accessibleName, const QString &placeholder) {
    auto *edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setAccessibleName(accessibleName);
    edit->setPlaceholderText(placeholder);
    edit->setClearButtonEnabled(true);
    return edit;
}

void showText(QLineEdit *edit, const QString &text) {
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace

DriveView::DriveView(DriveModel *model, Console *console, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_console(console)
    , m_scopes(new QButtonGroup(this))
    , m_kinds(new QButtonGroup(this))
    , m_methods(new QButtonGroup(this))
    , m_email(lineEdit(u"driveUserEmail"_s, u"User Email"_s, DriveModel::sampleUser()))
    , m_ouPath(lineEdit(u"driveOUPath"_s, u"OU Path"_s, u"/Students/Grade 9"_s))
    , m_browse(new QPushButton(u"Browse OUs…"_s))
    , m_domainCaption(new HintText(domainCaption))
    , m_sharedDriveID(lineEdit(u"sharedDriveID"_s, u"Shared Drive ID"_s, QString()))
    , m_name(lineEdit(u"driveFileName"_s, u"File Name"_s, QString()))
    , m_nameCaption(new HintText(containsCaption))
    , m_query(new QLabel)
    , m_fileIDs(new LinesEditor)
    , m_purge(new QCheckBox(u"Permanently delete (skip trash — cannot be recovered)"_s))
    , m_find(new QPushButton(u"Find Files"_s))
    , m_delete(ActionBar::destructiveButton(u"Delete Files"_s)) {
    setObjectName(u"driveView"_s);
    m_purge->setObjectName(u"purgeToggle"_s);
    m_find->setObjectName(u"findFilesButton"_s);
    m_delete->setObjectName(u"deleteFilesButton"_s);

    Shortcuts::assign(m_find, Shortcuts::find);

    connect(m_find, &QPushButton::clicked, model, &DriveModel::findFiles);
    connect(m_delete, &QPushButton::clicked, model, &DriveModel::deleteFiles);
    auto *actions = new ActionBar(console, [model] { model->clearFields(); }, {m_find, m_delete});

    m_findBox = findSection();
    m_column = new QVBoxLayout;
    m_column->setContentsMargins(20, 12, 20, 12);
    m_column->setSpacing(12);
    m_column->addWidget(scopeSection());
    m_column->addWidget(driveSection());
    m_column->addWidget(m_findBox);
    alignLabelColumns(m_labels);
    m_column->addWidget(m_purge);
    m_column->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(m_column, 1);
    layout->addWidget(actions);

    connect(m_scopes, &QButtonGroup::idToggled, model, [model](int id, bool on) {
        if (on)
            model->setScope(DriveScope(id));
    });
    connect(m_kinds, &QButtonGroup::idToggled, model, [model](int id, bool on) {
        if (on)
            model->setDriveKind(DriveKind(id));
    });
    connect(m_methods, &QButtonGroup::idToggled, model, [model](int id, bool on) {
        if (on)
            model->setMethod(DriveFindMethod(id));
    });
    connect(m_email, &QLineEdit::textChanged, model, &DriveModel::setEmail);
    connect(m_ouPath, &QLineEdit::textChanged, model, &DriveModel::setOUPath);
    connect(m_sharedDriveID, &QLineEdit::textChanged, model, &DriveModel::setSharedDriveID);
    connect(m_name, &QLineEdit::textChanged, model, &DriveModel::setName);
    connect(m_fileIDs, &LinesEditor::userTextChanged, model, &DriveModel::setFileIDsText);
    connect(m_purge, &QCheckBox::toggled, model, &DriveModel::setPurge);
    connect(m_browse, &QPushButton::clicked, model, &DriveModel::browseOUs);
    connect(model, &DriveModel::changed, this, &DriveView::refresh);
    connect(model, &DriveModel::ouListChanged, this, &DriveView::showPicker);
    connect(console, &Console::busyChanged, this, &DriveView::refresh);
    refresh();
}

QGroupBox *DriveView::scopeSection() {
    auto *box = new QGroupBox(u"Scope"_s);
    const auto row = choiceRow(m_scopes, {{u"Single User"_s, u"scopeUser"_s},
                                          {u"Organizational Unit"_s, u"scopeOU"_s},
                                          {u"Entire Domain"_s, u"scopeDomain"_s}});

    m_browse->setObjectName(u"browseOUsButton"_s);
    m_browse->setAutoDefault(false);
    auto *ouField = new QWidget;
    auto *ouLine = new QHBoxLayout(ouField);
    ouLine->setContentsMargins(0, 0, 0, 0);
    ouLine->addWidget(m_ouPath, 1);
    ouLine->addWidget(m_browse);
    auto *userCaption = new HintText(u"User who owns or has access to the target files"_s);
    m_email->setAccessibleDescription(userCaption->text());
    m_email->setInputMethodHints(Qt::ImhEmailCharactersOnly | Qt::ImhNoAutoUppercase);
    m_ouPath->setAccessibleDescription(ouCaption);
    m_domainCaption->setObjectName(u"domainScopeCaption"_s);

    m_emailBlock = formBlock({{u"User Email:"_s, withCaption(m_email, userCaption)}}, m_labels);
    m_ouBlock = formBlock({{u"OU Path:"_s, withCaption(ouField, new HintText(ouCaption))}}, m_labels);
    auto *layout = new QVBoxLayout(box);
    layout->addLayout(row);
    layout->addWidget(m_emailBlock);
    layout->addWidget(m_ouBlock);
    layout->addWidget(m_domainCaption);
    return box;
}

QGroupBox *DriveView::driveSection() {
    auto *box = new QGroupBox(u"Drive"_s);
    const auto row = choiceRow(m_kinds, {{u"My Drive"_s, u"kindMyDrive"_s}, {u"Shared Drive"_s, u"kindShared"_s}});
    m_sharedBlock = formBlock({{u"Shared Drive ID:"_s, m_sharedDriveID}}, m_labels);
    auto *layout = new QVBoxLayout(box);
    layout->addLayout(row);
    layout->addWidget(m_sharedBlock);
    return box;
}

QGroupBox *DriveView::findSection() {
    auto *box = new QGroupBox(u"Find by"_s);
    const auto row = choiceRow(m_methods, {{u"File ID(s)"_s, u"methodFileID"_s}, {u"File Name"_s, u"methodName"_s}});

    m_query->setObjectName(u"driveQuery"_s);
    m_query->setAccessibleName(u"Drive Query"_s);
    m_query->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_query->setTextFormat(Qt::PlainText);
    m_query->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_query->setWordWrap(true);

    m_fileIDs->setObjectName(u"fileIDsEditor"_s);
    m_fileIDs->setAccessibleName(u"File ID(s)"_s);
    m_fileIDs->setAccessibleDescription(idsCaption);
    m_idsBlock = withCaption(m_fileIDs, new HintText(idsCaption));

    m_nameBlock =
        formBlock({{u"File Name:"_s, withCaption(m_name, m_nameCaption)}, {u"Drive Query:"_s, m_query}}, m_labels);

    auto *layout = new QVBoxLayout(box);
    layout->addLayout(row);
    layout->addWidget(m_nameBlock);
    layout->addWidget(m_idsBlock, 1);
    return box;
}

void DriveView::refresh() {
    const DriveScope scope = m_model->scope();
    m_scopes->button(int(scope))->setChecked(true);
    m_kinds->button(int(m_model->driveKind()))->setChecked(true);
    m_methods->button(int(m_model->method()))->setChecked(true);
    for (QAbstractButton *method : m_methods->buttons())
        method->setEnabled(scope == DriveScope::user);

    showText(m_email, m_model->email());
    showText(m_ouPath, m_model->ouPath());
    showText(m_sharedDriveID, m_model->sharedDriveID());
    showText(m_name, m_model->name());
    m_fileIDs->setText(m_model->fileIDsText());
    m_purge->setChecked(m_model->purge());

    // The file name is required at OU and domain scope whatever Find by says.
    const bool byName = scope != DriveScope::user || m_model->method() == DriveFindMethod::name;
    // The ID editor takes the spare height; otherwise it stays below the sections.
    m_column->setStretchFactor(m_findBox, byName ? 0 : 1);
    m_column->setStretch(m_column->count() - 1, byName ? 1 : 0);
    const QList<std::pair<QWidget *, bool>> blocks{{m_emailBlock, scope == DriveScope::user},
                                                   {m_ouBlock, scope == DriveScope::ou},
                                                   {m_domainCaption, scope == DriveScope::domain},
                                                   {m_sharedBlock, m_model->driveKind() == DriveKind::shared},
                                                   {m_nameBlock, byName},
                                                   {m_idsBlock, !byName}};
    // Hidden first: showing a block lays the section out at once, and a layout that
    // briefly held both blocks would ask the window for room it never gives back.
    for (const bool shown : {false, true})
        for (const auto &[block, visible] : blocks)
            if (visible == shown)
                block->setVisible(shown);
    m_nameCaption->setText(scope == DriveScope::domain ? wildcardCaption : containsCaption);
    m_name->setAccessibleDescription(m_nameCaption->text());
    const QString query = m_model->driveQuery();
    m_query->setText(query.isEmpty() ? u"—"_s : query);

    const bool busy = m_console->isBusy();
    m_browse->setEnabled(!busy);
    m_delete->setEnabled(scope != DriveScope::domain);
}

void DriveView::showPicker() {
    const std::optional<OUList> &list = m_model->ouList();
    if (!list) {
        if (m_picker)
            m_picker->reject();
        return;
    }
    DriveModel *model = m_model;
    if (m_picker) {
        // The list it showed is replaced, not dismissed.
        m_picker->disconnect(model);
        m_picker->close();
    }
    m_picker = new OUPickerSheet(
        list->paths, [model](const QString &path) { model->chooseOU(path); }, window());
    m_picker->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_picker, &QDialog::finished, model, [model] { model->setOUList(std::nullopt); });
    m_picker->open();
}
