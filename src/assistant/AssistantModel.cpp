#include "assistant/AssistantModel.h"

#include "app/GAMSetup.h"
#include "assistant/APIKeyChanges.h"
#include "assistant/AnthropicClient.h"
#include "core/PlatformTexts.h"

#include <QJsonObject>
#include <QPointer>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

// The API refuses a later request whose history holds a blank text block, so
// blank blocks of a reply are not kept.
QJsonArray withoutBlankText(const QJsonArray &content) {
    QJsonArray kept;
    for (const QJsonValue &block : content) {
        const QJsonObject object = block.toObject();
        if (object.value("type"_L1) == "text"_L1 && object.value("text"_L1).toString().trimmed().isEmpty())
            continue;
        kept.append(block);
    }
    return kept;
}

} // namespace

AssistantModel::AssistantModel(KeyLoader loadKey, QObject *parent)
    : QObject(parent)
    , m_loadKey(std::move(loadKey)) {
    connect(APIKeyChanges::instance(), &APIKeyChanges::keyChanged, this, &AssistantModel::refreshKey);
    refreshKey();
}

AssistantModel::~AssistantModel() {
    if (m_task)
        m_task->cancel();
}

QString AssistantModel::missingKeyNotice() {
    return u"Add your Anthropic API key in "_s + PlatformTexts::settingsReference() +
           u" → Assistant to use the assistant."_s;
}

QString AssistantModel::refusalNotice() {
    return u"The assistant declined to answer that. Try rephrasing the question around the GAM command you need."_s;
}

QString AssistantModel::emptyReplyNotice() {
    return u"The assistant's reply was empty. Try asking again."_s;
}

QUrl AssistantModel::webAssistantURL() {
    const QString value = QSettings().value(webAssistantSetting, GAMSetup::wikiURL().toString()).toString().trimmed();
    const QUrl url(value, QUrl::StrictMode);
    // Only web pages: the address goes to the desktop's opener as it stands.
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != "https"_L1 && url.scheme() != "http"_L1))
        return {};
    return url;
}

void AssistantModel::setInput(const QString &input) {
    if (input == m_input)
        return;
    m_input = input;
    Q_EMIT inputChanged(m_input);
}

void AssistantModel::send() {
    const QString question = m_input.trimmed();
    if (question.isEmpty() || m_responding || m_checkingKey)
        return;
    ask(question);
}

void AssistantModel::stop() {
    if (m_task)
        m_task->cancel();
}

void AssistantModel::newChat() {
    stop();
    ++m_conversation;
    m_messages.clear();
    m_history = QJsonArray();
    m_replyIndex = -1;
    Q_EMIT messagesCleared();
}

void AssistantModel::refreshKey() {
    loadKeyState();
}

QCoro::Task<> AssistantModel::loadKeyState() {
    QPointer<AssistantModel> self(this);
    const quint64 check = ++m_keyChecks;
    const std::optional<QString> key = co_await m_loadKey();
    if (self && check == self->m_keyChecks)
        self->setHasAPIKey(key.has_value());
}

QCoro::Task<> AssistantModel::ask(QString question) {
    QPointer<AssistantModel> self(this);
    const quint64 conversation = m_conversation;
    m_checkingKey = true;
    const std::optional<QString> key = co_await m_loadKey();
    if (!self)
        co_return;
    m_checkingKey = false;
    if (conversation != m_conversation)
        co_return;
    // This answer is newer than any key check still running.
    ++m_keyChecks;
    setHasAPIKey(key.has_value());
    if (!key) {
        appendMessage(Role::notice, missingKeyNotice(), true);
        co_return;
    }

    setInput({});
    appendMessage(Role::user, question, false);
    appendMessage(Role::assistant, {}, false);
    m_replyIndex = m_messages.size() - 1;
    const QUuid replyID = m_messages.last().id;
    m_history.append(QJsonObject{{"role"_L1, "user"_L1}, {"content"_L1, question}});
    setResponding(true);
    setWaitingForText(true);

    const CancelToken cancel;
    m_task = cancel;
    // Built in its own statement: GCC 12 destroys a closure that is a temporary
    // of a co_await expression twice.
    const AnthropicClient::VisibleTextHandler onVisibleText = [self, replyID](const QString &text) {
        if (self)
            self->showVisibleText(replyID, text);
    };
    const StreamOutcome outcome = co_await AnthropicClient::streamReply(*key, m_history, cancel, onVisibleText);
    if (!self)
        co_return;
    m_task.reset();
    finishReply(replyID, outcome);
    setResponding(false);
    setWaitingForText(false);
}

void AssistantModel::appendMessage(Role role, const QString &text, bool isError) {
    m_messages.append(Message{QUuid::createUuid(), role, text, isError});
    Q_EMIT messageAppended(m_messages.size() - 1);
}

std::optional<qsizetype> AssistantModel::replyIndex(const QUuid &replyID) const {
    if (m_replyIndex < 0 || m_replyIndex >= m_messages.size() || m_messages.at(m_replyIndex).id != replyID)
        return std::nullopt;
    return m_replyIndex;
}

void AssistantModel::showVisibleText(const QUuid &replyID, const QString &text) {
    const std::optional<qsizetype> index = replyIndex(replyID);
    if (!index)
        return;
    setWaitingForText(false);
    m_messages[*index].text = text;
    Q_EMIT messageChanged(*index);
}

void AssistantModel::finishReply(const QUuid &replyID, const StreamOutcome &outcome) {
    const std::optional<qsizetype> index = replyIndex(replyID);
    // New Chat removed the reply; its late outcome changes nothing.
    if (!index)
        return;
    Message &reply = m_messages[*index];
    switch (outcome.kind) {
    case StreamOutcome::Kind::completed:
        if (reply.text.trimmed().isEmpty()) {
            dropPendingQuestion();
            replaceWithNotice(*index, emptyReplyNotice(), false);
            return;
        }
        m_history.append(QJsonObject{{"role"_L1, "assistant"_L1}, {"content"_L1, withoutBlankText(outcome.content)}});
        if (outcome.stopReason == "max_tokens"_L1) {
            reply.text += u"\n\n(Reply cut off at the length limit.)"_s;
            Q_EMIT messageChanged(*index);
        }
        return;
    case StreamOutcome::Kind::refused:
        dropPendingQuestion();
        replaceWithNotice(*index, refusalNotice(), true);
        return;
    case StreamOutcome::Kind::cancelled:
        dropPendingQuestion();
        reply.text += reply.text.isEmpty() ? u"(Stopped.)"_s : u"\n\n(Stopped.)"_s;
        Q_EMIT messageChanged(*index);
        return;
    case StreamOutcome::Kind::failed:
        dropPendingQuestion();
        replaceWithNotice(*index, outcome.failureMessage, true);
        return;
    }
}

void AssistantModel::replaceWithNotice(qsizetype index, const QString &text, bool isError) {
    m_messages[index] = Message{QUuid::createUuid(), Role::notice, text, isError};
    Q_EMIT messageChanged(index);
}

// Keeps the history alternating after a question that got no reply.
void AssistantModel::dropPendingQuestion() {
    if (!m_history.isEmpty() && m_history.last().toObject().value("role"_L1) == "user"_L1)
        m_history.removeLast();
}

void AssistantModel::setResponding(bool responding) {
    if (responding == m_responding)
        return;
    m_responding = responding;
    Q_EMIT respondingChanged(m_responding);
}

void AssistantModel::setWaitingForText(bool waiting) {
    if (waiting == m_waitingForText)
        return;
    m_waitingForText = waiting;
    Q_EMIT waitingForTextChanged(m_waitingForText);
}

void AssistantModel::setHasAPIKey(bool hasKey) {
    if (hasKey == m_hasAPIKey)
        return;
    m_hasAPIKey = hasKey;
    Q_EMIT hasAPIKeyChanged(m_hasAPIKey);
}
