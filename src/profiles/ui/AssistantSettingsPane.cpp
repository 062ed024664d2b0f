#include "profiles/ui/AssistantSettingsPane.h"

#include "core/PlatformTexts.h"
#include "profiles/AssistantKeySettings.h"
#include "profiles/ui/SettingsForm.h"
#include "profiles/ui/StatusLabel.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString keyringSentence() {
    return u"The key is stored only in "_s + PlatformTexts::yourKeychain() + u"."_s;
}

} // namespace

AssistantSettingsPane::AssistantSettingsPane(AssistantKeySettings *settings, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_status(new StatusLabel)
    , m_key(new QLineEdit)
    , m_message(new StatusLabel)
    , m_remove(new QPushButton(u"Remove Key"_s))
    , m_save(new QPushButton(u"Save Key"_s)) {
    auto *pane = new QVBoxLayout(this);
    const QString caption =
        u"Create a key in the Claude Console (https://console.anthropic.com/settings/keys). Usage is billed to that "
        u"Anthropic account. "_s +
        keyringSentence();
    QFormLayout *key = SettingsForm::addGroup(pane, u"Anthropic API Key"_s, caption);
    m_status->setObjectName(u"keyStatus"_s);
    m_status->setAccessibleName(u"Status"_s);
    key->addRow(u"Status"_s, m_status);
    m_key->setObjectName(u"apiKeyField"_s);
    m_key->setAccessibleName(u"API Key"_s);
    m_key->setAccessibleDescription(caption);
    m_key->setEchoMode(QLineEdit::Password);
    key->addRow(u"API Key"_s, m_key);
    m_message->setObjectName(u"keyMessage"_s);
    m_message->setSelectable(true);
    key->addRow(QString(), m_message);
    m_remove->setObjectName(u"removeKeyButton"_s);
    m_save->setObjectName(u"saveKeyButton"_s);
    m_save->setToolTip(u"Save Key (Return)"_s);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_remove);
    buttons->addWidget(m_save);
    key->addRow(buttons);

    QFormLayout *model = SettingsForm::addGroup(pane, u"Model"_s);
    model->addRow(new QLabel(u"Claude Opus 5.5 (high effort)"_s));

    QFormLayout *about = SettingsForm::addGroup(pane, u"About the Assistant"_s);
    auto *aboutText = new QLabel(
        u"Questions and the chat so far are sent to Anthropic's API to answer them. Don't paste passwords, "
        u"credentials, or student data. Suggested commands are only inserted into the Custom Command field — they "
        u"never run until you press Run."_s);
    aboutText->setWordWrap(true);
    about->addRow(aboutText);
    pane->addStretch(1);

    connect(m_key, &QLineEdit::textChanged, m_settings, &AssistantKeySettings::setKeyInput);
    connect(m_key, &QLineEdit::returnPressed, this, &AssistantSettingsPane::save);
    connect(m_save, &QPushButton::clicked, this, &AssistantSettingsPane::save);
    connect(m_remove, &QPushButton::clicked, this, [this] { m_settings->remove(); });
    connect(m_settings, &AssistantKeySettings::changed, this, &AssistantSettingsPane::refresh);
    refresh();
}

void AssistantSettingsPane::save() {
    if (m_settings->canSave())
        m_settings->save();
}

void AssistantSettingsPane::refresh() {
    const std::optional<bool> hasKey = m_settings->hasKey();
    if (!hasKey)
        m_status->display(Icons::Symbol::key, StatusLabel::Tone::secondary,
                          u"Checking "_s + PlatformTexts::yourKeychain() + u"…"_s);
    else if (*hasKey)
        m_status->display(Icons::Symbol::checkmark, StatusLabel::Tone::success,
                          u"Key saved in "_s + PlatformTexts::yourKeychain());
    else
        m_status->display(Icons::Symbol::key, StatusLabel::Tone::secondary, u"No key — the assistant is off"_s);

    m_key->setPlaceholderText(hasKey.value_or(false) ? u"Enter a new key to replace it"_s : u"sk-ant-…"_s);
    if (m_key->text() != m_settings->keyInput())
        m_key->setText(m_settings->keyInput());
    m_key->setEnabled(!m_settings->isBusy());

    if (const auto message = m_settings->message())
        m_message->display(message->success ? Icons::Symbol::checkmark : Icons::Symbol::failure,
                           message->success ? StatusLabel::Tone::success : StatusLabel::Tone::failure, message->text);
    else
        m_message->clear();
    m_remove->setEnabled(m_settings->canRemove());
    m_save->setEnabled(m_settings->canSave());
}
