#include "profiles/AssistantKeySettings.h"

#include "assistant/APIKeyChanges.h"
#include "assistant/APIKeyStore.h"

#include <QPointer>

using namespace Qt::StringLiterals;

AssistantKeySettings::AssistantKeySettings(QObject *parent)
    : QObject(parent) {}

void AssistantKeySettings::setKeyInput(const QString &text) {
    if (text == m_keyInput)
        return;
    m_keyInput = text;
    Q_EMIT changed();
}

bool AssistantKeySettings::canSave() const {
    return !m_keyInput.trimmed().isEmpty() && !m_busy;
}

void AssistantKeySettings::setBusy(bool busy) {
    if (busy == m_busy)
        return;
    m_busy = busy;
    Q_EMIT changed();
}

QCoro::Task<> AssistantKeySettings::load() {
    QPointer<AssistantKeySettings> self(this);
    const std::optional<QString> stored = co_await APIKeyStore::loadKey();
    if (!self)
        co_return;
    self->m_hasKey = stored.has_value();
    Q_EMIT self->changed();
}

QCoro::Task<> AssistantKeySettings::save() {
    if (!canSave())
        co_return;
    QPointer<AssistantKeySettings> self(this);
    const QString key = m_keyInput.trimmed();
    setBusy(true);
    try {
        co_await APIKeyStore::saveKey(key);
    } catch (const Error &error) {
        if (self) {
            self->m_message = Message{false, u"Couldn't save the key: "_s + error.description()};
            self->m_busy = false;
            Q_EMIT self->changed();
        }
        co_return;
    }
    if (self) {
        self->m_keyInput.clear();
        Q_EMIT self->changed();
    }
    co_await refresh(self, u"Key saved."_s);
}

QCoro::Task<> AssistantKeySettings::remove() {
    if (!canRemove())
        co_return;
    QPointer<AssistantKeySettings> self(this);
    setBusy(true);
    co_await APIKeyStore::deleteKey();
    co_await refresh(self, u"Key removed."_s);
}

QCoro::Task<> AssistantKeySettings::refresh(QPointer<AssistantKeySettings> self, QString text) {
    const std::optional<QString> stored = co_await APIKeyStore::loadKey();
    if (self) {
        self->m_hasKey = stored.has_value();
        self->m_message = Message{true, text};
        self->m_busy = false;
        Q_EMIT self->changed();
    }
    // Announced even when the window has closed meanwhile: the key did change.
    APIKeyChanges::post();
}
