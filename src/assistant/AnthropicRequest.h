#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

// The one request the syntax assistant sends: a streamed Messages API call.
namespace AnthropicRequest {

// Settings key of the API's base address (scheme and host); tests point it at a
// local server. Empty means Anthropic's own host.
inline constexpr QLatin1StringView baseURLSetting("assistant.apiBaseURL");
inline constexpr QLatin1StringView defaultBaseURL("https://api.anthropic.com");

QUrl messagesURL();
// Headers in the order they are sent; the first is the content type.
QList<std::pair<QByteArray, QByteArray>> headers(const QString &apiKey);
QNetworkRequest networkRequest(const QString &apiKey);
QString systemText();
// history ends with the new user entry.
QJsonObject body(const QJsonArray &history);

} // namespace AnthropicRequest
