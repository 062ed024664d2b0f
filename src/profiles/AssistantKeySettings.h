#pragma once

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <optional>

// The Assistant settings: the Anthropic API key typed to replace the stored one,
// whether a key is stored in the keyring, and what the last save or removal said.
// The typed key is never read back from the keyring.
class AssistantKeySettings : public QObject {
    Q_OBJECT
public:
    struct Message {
        bool success = false;
        QString text;
        bool operator==(const Message &) const = default;
    };

    explicit AssistantKeySettings(QObject *parent = nullptr);

    QString keyInput() const { return m_keyInput; }
    void setKeyInput(const QString &text);
    // Unknown until the keyring has answered.
    std::optional<bool> hasKey() const { return m_hasKey; }
    std::optional<Message> message() const { return m_message; }
    // While the keyring saves or removes, neither can start again.
    bool isBusy() const { return m_busy; }
    bool canSave() const;
    bool canRemove() const { return m_hasKey.value_or(false) && !m_busy; }

    // Reads whether a key is stored; called once when the pane is created.
    QCoro::Task<> load();
    QCoro::Task<> save();
    QCoro::Task<> remove();

Q_SIGNALS:
    void changed();

private:
    void setBusy(bool busy);
    // Static: the pane may have closed while the keyring worked.
    static QCoro::Task<> refresh(QPointer<AssistantKeySettings> self, QString text);

    QString m_keyInput;
    std::optional<bool> m_hasKey;
    std::optional<Message> m_message;
    bool m_busy = false;
};
