#pragma once

#include "core/CancelToken.h"

#include <QCoroTask>
#include <QJsonArray>
#include <QString>
#include <functional>
#include <optional>

// How one streamed reply ended.
struct StreamOutcome {
    enum class Kind { completed, refused, cancelled, failed };

    Kind kind = Kind::failed;
    // completed: the assistant content array to append to the history, and the last stop reason.
    QJsonArray content;
    std::optional<QString> stopReason;
    // failed: what to tell the user.
    QString failureMessage;
};

namespace AnthropicClient {

using VisibleTextHandler = std::function<void(const QString &)>;

// Sends history (ending with the new user entry) to the Messages API and streams
// the reply. onVisibleText receives the whole visible text so far, on the calling
// thread, as each piece arrives; the returned outcome comes last. Never throws.
QCoro::Task<StreamOutcome> streamReply(QString apiKey, QJsonArray history, CancelToken cancel,
                                       VisibleTextHandler onVisibleText);

// The message of a non-200 reply: the API's error message, or the body itself
// when it is not an API error object; none for an empty body.
std::optional<QString> errorMessageFromBody(const QByteArray &body);

} // namespace AnthropicClient
