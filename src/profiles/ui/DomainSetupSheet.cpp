#include "profiles/ui/DomainSetupSheet.h"

#include "app/ui/BusySpinner.h"
#include "profiles/NewDomainSetup.h"
#include "profiles/ui/ElidedLabel.h"
#include "profiles/ui/SettingsForm.h"
#include "profiles/ui/StatusLabel.h"
#include "tabs/ui/HintText.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int contentWidth = 560;
constexpr const char *samplePlaceholder = "samplePlaceholder";

QPushButton *button(const QString &text, const QString &objectName) {
    auto *result = new QPushButton(text);
    result->setObjectName(objectName);
    result->setAutoDefault(false);
    return result;
}

} // namespace

DomainSetupSheet::DomainSetupSheet(NewDomainSetup *setup, QWidget *parent)
    : QDialog(parent)
    , m_setup(setup)
    , m_layoutGroup(new QButtonGroup(this))
    , m_fields(new QWidget)
    , m_cfgRow(new QHBoxLayout)
    , m_credentials(new ElidedLabel)
    , m_configRow(new QHBoxLayout)
    , m_help(new HintText(QString()))
    , m_status(new StatusLabel)
    , m_note(new StatusLabel)
    , m_error(new StatusLabel)
    , m_cancel(button(u"Cancel"_s, u"cancelButton"_s))
    , m_start(button(QString(), u"startButton"_s))
    , m_spinner(new BusySpinner)
    , m_removeSection(button(u"Remove Section"_s, u"removeSectionButton"_s))
    , m_openAgain(button(u"Open Terminal Again"_s, u"openTerminalAgainButton"_s))
    , m_addAnyway(button(u"Add Anyway"_s, u"addAnywayButton"_s))
    , m_testAndAdd(button(u"Test && Add Domain"_s, u"testAndAddButton"_s)) {
    setup->setParent(this);
    setObjectName(u"domainSetupSheet"_s);
    setWindowTitle(u"Set Up New Domain"_s);
    setWindowModality(Qt::WindowModal);

    auto *layout = new QVBoxLayout(this);
    // Messages come and go; the sheet grows and shrinks with them instead of squeezing the form.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto *title = new QLabel(u"Set Up New Domain"_s);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    title->setFont(titleFont);
    layout->addWidget(title);
    auto *description =
        new QLabel(u"Runs GAM's setup in Terminal: create a Google Cloud project, authorize the admin, save the domain "
                   u"and Customer ID to gam.cfg, and check service account access. You'll sign in through your "
                   u"browser."_s);
    description->setWordWrap(true);
    // The sheet keeps one width whatever its messages; they wrap within it.
    description->setMinimumWidth(contentWidth);
    layout->addWidget(description);

    auto *picker = new QWidget;
    picker->setObjectName(u"layoutPicker"_s);
    picker->setAccessibleName(u"Layout"_s);
    auto *pickerRow = new QHBoxLayout(picker);
    pickerRow->setContentsMargins(0, 4, 0, 4);
    pickerRow->setSpacing(0);
    for (const NewDomainSetup::Layout choice : {NewDomainSetup::Layout::folder, NewDomainSetup::Layout::section}) {
        QPushButton *option =
            button(NewDomainSetup::layoutLabel(choice), NewDomainSetup::layoutValue(choice) + u"LayoutButton"_s);
        option->setCheckable(true);
        m_layoutGroup->addButton(option, int(choice));
        pickerRow->addWidget(option);
    }
    pickerRow->addStretch(1);
    layout->addWidget(picker);

    auto *form = new QFormLayout(m_fields);
    form->setContentsMargins(0, 0, 0, 0);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_name = addField(form, u"Name"_s, u"nameField"_s, u"e.g. District B"_s, &NewDomainSetup::setName);
    m_admin =
        addField(form, u"Admin Email"_s, u"adminField"_s, u"admin@district-b.example.org"_s, &NewDomainSetup::setAdmin);
    m_checkUser = addField(form, u"Test User (optional)"_s, u"checkUserField"_s, u"student@district-b.example.org"_s,
                           &NewDomainSetup::setCheckUser);

    m_cfgFolder = addFolderField(form, m_cfgRow, u"gam.cfg Folder"_s, u"cfgFolder"_s,
                                 u"Choose the folder that contains gam.cfg"_s, &NewDomainSetup::setCfgFolder,
                                 &NewDomainSetup::chooseCfgFolder);
    m_sectionName =
        addField(form, u"Section Name"_s, u"sectionNameField"_s, u"district-b"_s, &NewDomainSetup::setSectionName);
    m_credentials->setObjectName(u"credentialsFolder"_s);
    m_credentials->setAccessibleName(u"Credentials Folder"_s);
    m_credentials->setForegroundRole(QPalette::PlaceholderText);
    form->addRow(u"Credentials Folder"_s, m_credentials);

    m_configDir = addFolderField(form, m_configRow, u"Config Folder"_s, u"configDir"_s, u"Choose the config folder"_s,
                                 &NewDomainSetup::setConfigDir, &NewDomainSetup::chooseConfigDir);
    layout->addWidget(m_fields);

    m_help->setObjectName(u"helpText"_s);
    layout->addWidget(m_help);
    m_status->setObjectName(u"statusLine"_s);
    m_note->setObjectName(u"noteLine"_s);
    m_note->setSelectable(true);
    m_error->setObjectName(u"errorLine"_s);
    m_error->setSelectable(true);
    layout->addWidget(m_status);
    layout->addWidget(m_note);
    layout->addWidget(m_error);
    layout->addStretch(1);

    SettingsForm::markDestructive(m_removeSection);
    m_cancel->setToolTip(u"Cancel (Esc)"_s);
    m_spinner->setVisible(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_removeSection);
    buttons->addStretch(1);
    buttons->addWidget(m_spinner);
    buttons->addWidget(m_openAgain);
    buttons->addWidget(m_addAnyway);
    buttons->addWidget(m_testAndAdd);
    buttons->addWidget(m_start);
    layout->addLayout(buttons);

    connect(m_layoutGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            m_setup->setLayout(NewDomainSetup::Layout(id));
    });
    connect(m_cancel, &QPushButton::clicked, this, &DomainSetupSheet::reject);
    connect(m_start, &QPushButton::clicked, m_setup, &NewDomainSetup::start);
    connect(m_removeSection, &QPushButton::clicked, m_setup, &NewDomainSetup::removeSection);
    connect(m_openAgain, &QPushButton::clicked, m_setup, &NewDomainSetup::openTerminal);
    connect(m_addAnyway, &QPushButton::clicked, m_setup, &NewDomainSetup::addAnyway);
    connect(m_testAndAdd, &QPushButton::clicked, m_setup, [this] { m_setup->testAndAdd(); });
    connect(m_setup, &NewDomainSetup::changed, this, &DomainSetupSheet::refresh);
    connect(m_setup, &NewDomainSetup::finished, this, &QDialog::accept);
    refresh();
}

QLineEdit *DomainSetupSheet::addField(QFormLayout *form, const QString &label, const QString &objectName,
                                      const QString &placeholder, void (NewDomainSetup::*setter)(const QString &)) {
    auto *field = new QLineEdit;
    field->setObjectName(objectName);
    field->setProperty(samplePlaceholder, placeholder);
    field->setAccessibleName(label);
    connect(field, &QLineEdit::textChanged, m_setup, setter);
    form->addRow(label, field);
    return field;
}

QLineEdit *DomainSetupSheet::addFolderField(QFormLayout *form, QHBoxLayout *row, const QString &label,
                                            const QString &name, const QString &chooserDescription,
                                            void (NewDomainSetup::*setter)(const QString &),
                                            QCoro::Task<> (NewDomainSetup::*choose)()) {
    auto *field = new QLineEdit;
    field->setObjectName(name + u"Field"_s);
    field->setAccessibleName(label);
    connect(field, &QLineEdit::textChanged, m_setup, setter);
    auto *chooser = button(u"Choose…"_s, u"choose"_s + name.at(0).toUpper() + name.mid(1) + u"Button"_s);
    chooser->setAccessibleDescription(chooserDescription);
    connect(chooser, &QPushButton::clicked, m_setup, [this, choose] { (m_setup->*choose)(); });
    row->addWidget(field);
    row->addWidget(chooser);
    form->addRow(label, row);
    return field;
}

void DomainSetupSheet::reject() {
    m_setup->cancel();
}

void DomainSetupSheet::refresh() {
    using Stage = NewDomainSetup::Stage;
    const Stage stage = m_setup->stage();
    const bool sectionLayout = m_setup->layout() == NewDomainSetup::Layout::section;

    const bool editable = m_setup->isFormEditable();
    for (QAbstractButton *option : m_layoutGroup->buttons())
        option->setEnabled(editable);
    m_fields->setEnabled(editable);
    m_layoutGroup->button(int(m_setup->layout()))->setChecked(true);
    // Greyed out, a sample reads like an answer; only fields still open show theirs.
    for (QLineEdit *field : {m_name, m_admin, m_checkUser, m_sectionName})
        field->setPlaceholderText(editable ? field->property(samplePlaceholder).toString() : QString());
    for (const auto &[field, text] : {std::pair{m_name, m_setup->name()},
                                      {m_admin, m_setup->admin()},
                                      {m_checkUser, m_setup->checkUser()},
                                      {m_cfgFolder, m_setup->cfgFolder()},
                                      {m_sectionName, m_setup->sectionName()},
                                      {m_configDir, m_setup->configDir()}}) {
        if (field->text() != text)
            field->setText(text);
    }
    auto *form = static_cast<QFormLayout *>(m_fields->layout());
    form->setRowVisible(m_cfgRow, sectionLayout);
    form->setRowVisible(m_sectionName, sectionLayout);
    form->setRowVisible(m_credentials, sectionLayout);
    form->setRowVisible(m_configRow, !sectionLayout);
    m_credentials->setFullText(m_setup->credentialsFolderText());
    m_help->setText(m_setup->helpText());

    if (const auto line = m_setup->statusLine()) {
        switch (line->kind) {
        case NewDomainSetup::StatusLine::Kind::invalid:
            m_status->display(Icons::Symbol::warning, StatusLabel::Tone::warning, line->text);
            break;
        case NewDomainSetup::StatusLine::Kind::waiting:
            m_status->display(Icons::Symbol::terminal, StatusLabel::Tone::secondary, line->text);
            break;
        case NewDomainSetup::StatusLine::Kind::testing:
            m_status->display(Icons::Symbol::network, StatusLabel::Tone::secondary, line->text);
            break;
        case NewDomainSetup::StatusLine::Kind::failed:
            m_status->display(Icons::Symbol::failure, StatusLabel::Tone::failure, line->text);
            break;
        }
    } else {
        m_status->clear();
    }
    m_status->setSelectable(stage == Stage::failed);
    if (const auto note = m_setup->note())
        m_note->display(Icons::Symbol::info, StatusLabel::Tone::secondary, *note);
    else
        m_note->clear();
    if (const auto error = m_setup->errorMessage())
        m_error->display(Icons::Symbol::failure, StatusLabel::Tone::failure, *error);
    else
        m_error->clear();

    const bool waitingOrFailed = stage == Stage::waiting || stage == Stage::failed;
    m_start->setText(sectionLayout ? u"Add Section and Open Terminal"_s : u"Open Terminal and Start Setup"_s);
    m_start->setVisible(stage == Stage::form);
    m_start->setEnabled(!m_setup->validationMessage());
    m_spinner->setVisible(stage == Stage::testing);
    m_removeSection->setVisible(waitingOrFailed && m_setup->addedSection());
    m_openAgain->setVisible(waitingOrFailed);
    m_addAnyway->setVisible(stage == Stage::failed);
    m_testAndAdd->setVisible(waitingOrFailed);
    QPushButton *primary = stage == Stage::form ? m_start : m_testAndAdd;
    m_start->setDefault(primary == m_start);
    m_testAndAdd->setDefault(primary == m_testAndAdd);
    primary->setToolTip(primary->text().replace(u"&&"_s, u"&"_s) + u" (Return)"_s);

    presentCancelQuestion();
}

void DomainSetupSheet::presentCancelQuestion() {
    if (!m_setup->isConfirmingCancel()) {
        if (m_question)
            m_question->close();
        return;
    }
    if (m_question)
        return;
    const QString section = m_setup->addedSection().value_or(QString());
    auto *box = new QMessageBox(QMessageBox::Warning, u"Keep the "_s + section + u" section in gam.cfg?"_s,
                                u"Keep the "_s + section + u" section in gam.cfg?"_s, QMessageBox::NoButton, this);
    box->setObjectName(u"cancelQuestion"_s);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(u"Setup isn't finished. Remove the section this wizard added, or keep it to finish setup "
                            u"later in Terminal."_s);
    QPushButton *remove = box->addButton(u"Remove Section"_s, QMessageBox::DestructiveRole);
    remove->setObjectName(u"removeSectionAnswer"_s);
    SettingsForm::markDestructive(remove);
    QPushButton *keep = box->addButton(u"Keep Section"_s, QMessageBox::AcceptRole);
    keep->setObjectName(u"keepSectionAnswer"_s);
    QPushButton *stay = box->addButton(u"Cancel"_s, QMessageBox::RejectRole);
    stay->setObjectName(u"stayAnswer"_s);
    box->setDefaultButton(keep);
    box->setEscapeButton(stay);
    connect(box, &QMessageBox::finished, this, [this, box, remove, keep] {
        m_question = nullptr;
        if (box->clickedButton() == remove)
            m_setup->removeSection();
        else if (box->clickedButton() == keep)
            m_setup->keepSection();
        else
            m_setup->stayInSetup();
    });
    m_question = box;
    box->open();
}
