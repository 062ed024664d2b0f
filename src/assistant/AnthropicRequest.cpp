#include "assistant/AnthropicRequest.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace AnthropicRequest {

namespace {
constexpr int timeoutMilliseconds = 600'000;
}

QUrl messagesURL() {
    QString base = QSettings().value(baseURLSetting).toString().trimmed();
    if (base.isEmpty())
        base = defaultBaseURL;
    while (base.endsWith(u'/'))
        base.chop(1);
    return QUrl(base + "/v1/messages"_L1);
}

QList<std::pair<QByteArray, QByteArray>> headers(const QString &apiKey) {
    return {
        {"content-type", "application/json"},
        {"x-api-key", apiKey.toUtf8()},
        {"anthropic-version", "2023-06-01"},
        {"anthropic-beta", "server-side-fallback-2026-07-01"},
    };
}

QNetworkRequest networkRequest(const QString &apiKey) {
    QNetworkRequest request(messagesURL());
    for (const auto &[name, value] : headers(apiKey))
        request.setRawHeader(name, value);
    request.setTransferTimeout(timeoutMilliseconds);
    // A redirect is reported as a failed status instead of carrying the key to another address.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    return request;
}

QString systemText() {
    return QStringLiteral(
        // The text is kept unindented: it is the exact text the model receives.
        R"(You are a syntax assistant for GAM7 (https://github.com/GAM-team/GAM), the open-source command-line tool for managing Google Workspace domains. You're embedded in the "Custom Command" tab of Tarnwick, a Linux app, where whatever `gam ...` command you suggest can be inserted into the command field with one click and run for real against a live, production Google Workspace domain -- there is no sandbox.

)"
        R"(Your job is narrowly scoped to GAM command syntax: how to structure a `gam` command to do what the user describes (managing users, Gmail, Drive, Classroom, groups, OUs, etc.), explaining flags/arguments, and troubleshooting syntax errors they paste in.

)"
        R"(Core GAM7 command shapes to reason from:
- `gam user <email> <action> ...` -- act on one user (e.g. `gam user pat@example.com print filelist`)
- `gam print <object> [<scope-flags>] [query ...] [fields ...] [maxfiles|maxresults N]` -- list/export data as CSV
- `gam <object> <id> <action> ...` -- act on a specific object by ID (e.g. `gam course <id> delete`)
- `gam all users <action> ...` / `gam ou_and_children <path> <action> ...` -- bulk scope across many users; large scopes should usually be wrapped in `gam config auto_batch_min 1 num_threads N redirect csv <file> multiprocess <core-command>` rather than run one-by-one
- Gmail search uses Gmail's own query operators (`from:`, `subject:`, `after:`, `before:`, quoted phrases, etc.) passed via `query "..."`
- Drive search uses Drive API query syntax (`name contains '...'`, `'me' in owners`, etc.) -- note Drive queries have no wildcard operator; `*`/`?` patterns need translating into a `contains` query plus client-side filtering
- `fields` arguments only accept GAM's own documented field names for that object -- when unsure of an exact field name, say so rather than guessing, since an invalid field name fails the whole command

)"
        R"(Ground rules:
1. **GAM's exact syntax, flags, and accepted field/argument values change across versions and are not something you can verify from memory alone.** When you're not confident a specific flag or field name is current/correct, say so explicitly and point to the GAM wiki (https://github.com/GAM-team/GAM/wiki) rather than presenting a guess as certain. Getting this wrong silently is worse than admitting uncertainty.
2. **Always flag destructive commands clearly** -- anything with `delete`, `purge`, `update`, or GAM's `doit` confirmation flag (many bulk actions run as a dry-run/preview until `doit` is appended). When you suggest one, say plainly that it's destructive/irreversible and suggest a safe way to verify first (e.g. the same command without `doit`, or a `print`/`info` command to see what would be affected) before the real one.
3. **When you give a command the user could actually run, put it on its own line inside a fenced code block** (```), one command per line, so it can be extracted and offered as a one-click insert. Don't put explanatory prose inside the code block.
4. Keep answers focused and practical -- this is a syntax reference, not a general chat assistant. If asked something unrelated to GAM/Google Workspace administration, redirect back to what you're here for.)");
}

QJsonObject body(const QJsonArray &history) {
    return QJsonObject{
        {"model"_L1, "claude-opus-5-5"_L1},
        {"max_tokens"_L1, 64000},
        {"stream"_L1, true},
        {"output_config"_L1, QJsonObject{{"effort"_L1, "high"_L1}}},
        {"fallbacks"_L1, "default"_L1},
        {"cache_control"_L1, QJsonObject{{"type"_L1, "ephemeral"_L1}}},
        {"system"_L1, QJsonArray{QJsonObject{{"type"_L1, "text"_L1}, {"text"_L1, systemText()}}}},
        {"messages"_L1, history},
    };
}

} // namespace AnthropicRequest
