#include "profiles/ui/ProfileEditorForm.h"

#include "app/ui/BusySpinner.h"
#include "profiles/ProfileEditor.h"
#include "profiles/ui/SettingsForm.h"
#include "profiles/ui/StatusLabel.h"
#include "tabs/ui/HintText.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Replaces the text only when the model holds something else (the model may
// lower-case it), keeping the cursor where the user was typing.
void showText(QLineEdit *field, const QString &text) {
    if (field->text() == text)
        return;
    const int cursor = field->cursorPosition();
    field->setText(text);
    field->setCursorPosition(qMin(cursor, int(text.size())));
}

QPushButton *chooseButton(const QString &objectName, const QString &field) {
    auto *button = new QPushButton(u"Choose…"_s);
    button->setObjectName(objectName);
    button->setToolTip(u"Choose the "_s + field.toLower());
    button->setAccessibleDescription(button->toolTip());
    return button;
}

} // namespace

ProfileEditorForm::ProfileEditorForm(ProfileEditor *editor, QWidget *parent)
    : QWidget(parent)
    , m_editor(editor)
    , m_lockLine(new StatusLabel)
    , m_content(new QWidget)
    , m_folderStatus(new StatusLabel)
    , m_section(new QComboBox)
    , m_detect(new QPushButton(u"Detect from Shell"_s))
    , m_detectSpinner(new BusySpinner)
    , m_detectMessage(new HintText(QString()))
    , m_test(new QPushButton(u"Test Connection"_s))
    , m_testSpinner(new BusySpinner)
    , m_testResult(new StatusLabel) {
    editor->setParent(this);
    setObjectName(u"profileEditor"_s);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_lockLine->setObjectName(u"lockLine"_s);
    m_lockLine->display(Icons::Symbol::lock, StatusLabel::Tone::secondary,
                        u"This is the active domain and a command is running. Editing is available when it "
                        u"finishes."_s);
    outer->addWidget(m_lockLine);
    outer->addWidget(m_content);
    auto *pane = new QVBoxLayout(m_content);
    pane->setContentsMargins(0, 0, 0, 0);

    const QString domainCaption = u"The primary domain is added to usernames typed without @ in the Security tab."_s;
    QFormLayout *identity = SettingsForm::addGroup(pane, QString(), domainCaption);
    m_name = addField(u"nameField"_s, u"e.g. District A"_s, &ProfileEditor::setName);
    identity->addRow(u"Name"_s, m_name);
    m_domain = addField(u"domainField"_s, u"school.example.org"_s, &ProfileEditor::setDomain);
    identity->addRow(u"Primary Domain"_s, m_domain);
    m_domain->setAccessibleDescription(domainCaption);

    QFormLayout *gam = SettingsForm::addGroup(
        pane, u"GAM Configuration"_s,
        u"Use a separate config folder per domain, or one gam.cfg with a section per domain. The app passes these to "
        u"gam as GAMCFGDIR and GAMCFGSECTION, so your Terminal's default isn't changed."_s);
    m_configDir = addField(u"configDirField"_s, u"Default (~/.gam)"_s, &ProfileEditor::setConfigDir);
    auto *chooseConfig = chooseButton(u"chooseConfigDirButton"_s, u"Config Folder"_s);
    SettingsForm::addRow(gam, u"Config Folder"_s, {m_configDir, chooseConfig});
    m_folderStatus->setObjectName(u"folderStatus"_s);
    m_folderStatus->setAccessibleName(u"Status"_s);
    gam->addRow(u"Status"_s, m_folderStatus);
    m_section->setObjectName(u"sectionPicker"_s);
    m_section->setAccessibleName(u"Section"_s);
    m_section->view()->setAccessibleName(u"Section"_s);
    gam->addRow(u"Section"_s, m_section);

    m_detect->setObjectName(u"detectButton"_s);
    m_detect->setToolTip(u"Reads GAMCFGDIR from your login shell's profile."_s);
    m_detect->setAccessibleDescription(m_detect->toolTip());
    m_detectSpinner->setVisible(false);
    auto *detectRow = new QHBoxLayout;
    detectRow->addWidget(m_detect);
    detectRow->addWidget(m_detectSpinner);
    detectRow->addStretch(1);
    gam->addRow(detectRow);
    m_detectMessage->setObjectName(u"detectMessage"_s);
    m_detectMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    gam->addRow(m_detectMessage);

    m_test->setObjectName(u"testButton"_s);
    m_test->setToolTip(u"Runs gam info domain with these settings."_s);
    m_test->setAccessibleDescription(m_test->toolTip());
    m_testSpinner->setVisible(false);
    auto *testRow = new QHBoxLayout;
    testRow->addWidget(m_test);
    testRow->addWidget(m_testSpinner);
    testRow->addStretch(1);
    gam->addRow(testRow);
    m_testResult->setObjectName(u"testResult"_s);
    m_testResult->setSelectable(true);
    gam->addRow(m_testResult);

    QFormLayout *files = SettingsForm::addGroup(pane, u"Security Tab Files"_s, u"Kept separate for each domain."_s);
    m_exportDir = addField(u"exportDirField"_s, QString(), &ProfileEditor::setExportDir);
    auto *chooseExport = chooseButton(u"chooseExportDirButton"_s, u"Evidence Folder"_s);
    SettingsForm::addRow(files, u"Evidence Folder"_s, {m_exportDir, chooseExport});
    m_auditLog = addField(u"auditLogField"_s, QString(), &ProfileEditor::setAuditLog);
    auto *chooseAudit = chooseButton(u"chooseAuditLogButton"_s, u"Audit Log"_s);
    SettingsForm::addRow(files, u"Audit Log"_s, {m_auditLog, chooseAudit});

    QFormLayout *upload = SettingsForm::addGroup(
        pane, u"Shared Drive Upload (optional)"_s,
        u"Evidence uploads to Date/User/time_category.csv inside this folder, using this domain's GAM credentials. "
        u"Each upload is verified, then the local copy is deleted."_s);
    m_uploadUser = addField(u"uploadUserField"_s, u"admin@school.example.org"_s, &ProfileEditor::setDriveUploadUser);
    upload->addRow(u"Upload Account"_s, m_uploadUser);
    m_folderID =
        addField(u"folderIDField"_s, u"Leave blank to keep evidence local"_s, &ProfileEditor::setDriveFolderID);
    upload->addRow(u"Shared Drive Folder ID"_s, m_folderID);
    pane->addStretch(1);

    for (const auto &[field, label] : {std::pair{m_name, u"Name"_s},
                                       {m_domain, u"Primary Domain"_s},
                                       {m_uploadUser, u"Upload Account"_s},
                                       {m_folderID, u"Shared Drive Folder ID"_s}})
        field->setAccessibleName(label);

    connect(chooseConfig, &QPushButton::clicked, m_editor, [this] { m_editor->chooseConfigDir(); });
    connect(chooseExport, &QPushButton::clicked, m_editor, [this] { m_editor->chooseExportDir(); });
    connect(chooseAudit, &QPushButton::clicked, m_editor, [this] { m_editor->chooseAuditLog(); });
    connect(m_detect, &QPushButton::clicked, m_editor, [this] { m_editor->detectFromShell(); });
    connect(m_test, &QPushButton::clicked, m_editor, [this] { m_editor->testConnection(); });
    connect(m_section, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_editor->setSection(m_section->itemData(index).toString());
    });

    connect(m_editor, &ProfileEditor::profileChanged, this, [this] {
        refreshFields();
        refreshSections();
        refreshStatus();
    });
    connect(m_editor, &ProfileEditor::sectionsChanged, this, &ProfileEditorForm::refreshSections);
    connect(m_editor, &ProfileEditor::lockChanged, this, &ProfileEditorForm::refreshLock);
    connect(m_editor, &ProfileEditor::testChanged, this, &ProfileEditorForm::refreshTest);
    connect(m_editor, &ProfileEditor::detectChanged, this, &ProfileEditorForm::refreshDetect);
    refreshFields();
    refreshSections();
    refreshStatus();
    refreshLock();
    refreshTest();
    refreshDetect();
}

QLineEdit *ProfileEditorForm::addField(QString objectName, QString placeholder,
                                       void (ProfileEditor::*setter)(const QString &)) {
    auto *field = new QLineEdit;
    field->setObjectName(objectName);
    field->setPlaceholderText(placeholder);
    connect(field, &QLineEdit::textChanged, m_editor, setter);
    return field;
}

void ProfileEditorForm::refreshFields() {
    const DomainProfile &profile = m_editor->profile();
    showText(m_name, profile.name);
    showText(m_domain, profile.domain);
    showText(m_configDir, profile.configDir);
    showText(m_exportDir, profile.exportDir);
    showText(m_auditLog, profile.auditLog);
    showText(m_uploadUser, profile.driveUploadUser);
    showText(m_folderID, profile.driveFolderID);
}

void ProfileEditorForm::refreshSections() {
    const QSignalBlocker blocker(m_section);
    m_section->clear();
    for (const ProfileEditor::SectionOption &option : m_editor->sectionOptions())
        m_section->addItem(option.label, option.value);
    m_section->setCurrentIndex(m_section->findData(m_editor->profile().section));
}

void ProfileEditorForm::refreshStatus() {
    const ProfileEditor::FolderStatus status = m_editor->folderStatus();
    switch (status.level) {
    case ProfileEditor::FolderStatus::Level::ready:
        m_folderStatus->display(Icons::Symbol::checkmark, StatusLabel::Tone::success, status.text);
        break;
    case ProfileEditor::FolderStatus::Level::noConfigFile:
        m_folderStatus->display(Icons::Symbol::warning, StatusLabel::Tone::warning, status.text);
        break;
    case ProfileEditor::FolderStatus::Level::missing:
        m_folderStatus->display(Icons::Symbol::failure, StatusLabel::Tone::failure, status.text);
        break;
    }
}

void ProfileEditorForm::refreshLock() {
    const bool locked = m_editor->isLocked();
    m_lockLine->setVisible(locked);
    m_content->setEnabled(!locked);
}

void ProfileEditorForm::refreshTest() {
    m_test->setEnabled(!m_editor->isTesting());
    m_testSpinner->setVisible(m_editor->isTesting());
    if (const auto result = m_editor->testResult())
        m_testResult->display(result->success ? Icons::Symbol::checkmark : Icons::Symbol::failure,
                              result->success ? StatusLabel::Tone::success : StatusLabel::Tone::failure, result->text);
    else
        m_testResult->clear();
}

void ProfileEditorForm::refreshDetect() {
    m_detect->setEnabled(!m_editor->isDetecting());
    m_detectSpinner->setVisible(m_editor->isDetecting());
    m_detectMessage->setText(m_editor->detectMessage().value_or(QString()));
    m_detectMessage->setVisible(m_editor->detectMessage().has_value());
}
