#include "assistant/AnthropicClient.h"

#include "assistant/AnthropicRequest.h"
#include "assistant/AssistantError.h"
#include "assistant/MessageStreamReader.h"

#include <QCoroSignal>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <memory>

using namespace Qt::StringLiterals;

namespace AnthropicClient {

namespace {

// finished() is emitted from inside abort() and resumes this coroutine there;
// deleting later keeps the reply alive until abort() has returned.
struct DeleteLater {
    void operator()(QObject *object) const { object->deleteLater(); }
};

// Aborting from the event loop rather than from the caller's stack means the
// coroutine never resumes (and possibly ends) while its own reader is still running.
void abortLater(QNetworkReply *reply) {
    QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

StreamOutcome failed(const QString &message) {
    return StreamOutcome{StreamOutcome::Kind::failed, {}, std::nullopt, message};
}

StreamOutcome cancelled() {
    return StreamOutcome{StreamOutcome::Kind::cancelled, {}, std::nullopt, {}};
}

// Line breaks are dropped, as the body is read line by line and joined.
QByteArray joinedLines(const QByteArray &body) {
    QByteArray joined;
    joined.reserve(body.size());
    for (const char c : body) {
        if (c != '\n' && c != '\r')
            joined.append(c);
    }
    return joined;
}

} // namespace

std::optional<QString> errorMessageFromBody(const QByteArray &body) {
    const QByteArray text = joinedLines(body);
    const QJsonDocument document = QJsonDocument::fromJson(text);
    const QJsonValue error = document.object().value("error"_L1);
    if (error.isObject()) {
        const QJsonValue message = error.toObject().value("message"_L1);
        if (message.isString())
            return message.toString();
        return std::nullopt;
    }
    if (text.isEmpty())
        return std::nullopt;
    return QString::fromUtf8(text);
}

QCoro::Task<StreamOutcome> streamReply(QString apiKey, QJsonArray history, CancelToken cancel,
                                       VisibleTextHandler onVisibleText) {
    if (cancel.isCancelled())
        co_return cancelled();

    const std::unique_ptr<QNetworkAccessManager, DeleteLater> network(new QNetworkAccessManager);
    QNetworkReply *reply = network->post(AnthropicRequest::networkRequest(apiKey),
                                         QJsonDocument(AnthropicRequest::body(history)).toJson(QJsonDocument::Compact));

    MessageStreamReader reader([&](const QString &text) {
        if (!cancel.isCancelled() && onVisibleText)
            onVisibleText(text);
    });
    const auto status = [reply] { return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute); };

    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        // An error reply's body is read whole once it has arrived.
        if (status().toInt() != 200 || cancel.isCancelled() || reader.error())
            return;
        reader.feed(reply->readAll());
        if (reader.error())
            abortLater(reply);
    });
    QObject::connect(cancel.state(), &CancelState::requested, reply, [reply] { abortLater(reply); });

    if (!reply->isFinished())
        co_await qCoro(reply, &QNetworkReply::finished);

    if (reader.error())
        co_return failed(reader.error()->description());
    if (cancel.isCancelled())
        co_return cancelled();
    const QVariant statusCode = status();
    if (statusCode.isValid() && statusCode.toInt() != 200)
        co_return failed(
            AssistantError::http(statusCode.toInt(), errorMessageFromBody(reply->readAll())).description());
    if (reply->error() == QNetworkReply::OperationCanceledError)
        // Only the transfer time-out aborts a reply that we did not abort ourselves.
        co_return failed("Couldn't reach the Anthropic API: The request timed out."_L1);
    if (reply->error() != QNetworkReply::NoError)
        co_return failed("Couldn't reach the Anthropic API: "_L1 + reply->errorString());

    reader.feed(reply->readAll());
    reader.finish();
    if (reader.error())
        co_return failed(reader.error()->description());
    if (reader.stopReason() == "refusal"_L1)
        co_return StreamOutcome{StreamOutcome::Kind::refused, {}, reader.stopReason(), {}};
    co_return StreamOutcome{StreamOutcome::Kind::completed, reader.contentArray(), reader.stopReason(), {}};
}

} // namespace AnthropicClient
