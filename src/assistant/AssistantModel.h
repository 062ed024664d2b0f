#pragma once

#include "assistant/ReplySegment.h"
#include "core/CancelToken.h"

#include <QCoroTask>
#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <optional>

struct StreamOutcome;

// The GAM syntax assistant's conversation: questions go to the Anthropic API
// one at a time and the reply streams into the last message. Its suggested
// commands only ever reach the command field through the panel's Insert.
class AssistantModel : public QObject {
    Q_OBJECT
public:
    enum class Role { user, assistant, notice };

    struct Message {
        QUuid id = QUuid::createUuid();
        Role role = Role::notice;
        QString text;
        bool isError = false;
    };

    // Reads the stored API key; none when there is no usable key.
    using KeyLoader = std::function<QCoro::Task<std::optional<QString>>()>;

    explicit AssistantModel(KeyLoader loadKey, QObject *parent = nullptr);
    ~AssistantModel() override;

    const QList<Message> &messages() const { return m_messages; }
    QString input() const { return m_input; }
    void setInput(const QString &input);
    bool isResponding() const { return m_responding; }
    bool isWaitingForText() const { return m_waitingForText; }
    bool hasAPIKey() const { return m_hasAPIKey; }
    // The conversation as sent to the API: alternating user and assistant entries.
    const QJsonArray &history() const { return m_history; }

    void send();
    void stop();
    void newChat();
    void refreshKey();

    static QList<ReplySegment> segments(const QString &text) { return replySegments(text); }

    // Settings key of the external web assistant's address; empty hides its button.
    static inline constexpr QLatin1StringView webAssistantSetting{"assistant.webAssistantURL"};
    // That address; empty when the setting is empty or not a web address.
    static QUrl webAssistantURL();

    static QString missingKeyNotice();
    static QString refusalNotice();
    static QString emptyReplyNotice();

Q_SIGNALS:
    void messageAppended(qsizetype index);
    // The message's text changed, or it was replaced by another (a new id).
    void messageChanged(qsizetype index);
    void messagesCleared();
    void inputChanged(const QString &input);
    void respondingChanged(bool responding);
    void waitingForTextChanged(bool waiting);
    void hasAPIKeyChanged(bool hasKey);

private:
    QCoro::Task<> ask(QString question);
    QCoro::Task<> loadKeyState();
    void appendMessage(Role role, const QString &text, bool isError);
    // The index of the reply being streamed, or none once New Chat removed it.
    std::optional<qsizetype> replyIndex(const QUuid &replyID) const;
    void showVisibleText(const QUuid &replyID, const QString &text);
    void finishReply(const QUuid &replyID, const StreamOutcome &outcome);
    void replaceWithNotice(qsizetype index, const QString &text, bool isError);
    void dropPendingQuestion();
    void setResponding(bool responding);
    void setWaitingForText(bool waiting);
    void setHasAPIKey(bool hasKey);

    KeyLoader m_loadKey;
    QList<Message> m_messages;
    QString m_input;
    bool m_responding = false;
    bool m_waitingForText = false;
    bool m_hasAPIKey = false;
    QJsonArray m_history;
    // The running call, to cancel it.
    std::optional<CancelToken> m_task;
    qsizetype m_replyIndex = -1;
    // A question whose key is still being read; Send waits for it.
    bool m_checkingKey = false;
    // Counts New Chats, so a question asked before one is dropped.
    quint64 m_conversation = 0;
    // Only the latest key check sets hasAPIKey.
    quint64 m_keyChecks = 0;
};
