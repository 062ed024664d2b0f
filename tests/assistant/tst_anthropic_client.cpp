#include "ReplayServer.h"
#include "TestSupport.h"

#include "assistant/AnthropicClient.h"
#include "assistant/AnthropicRequest.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

namespace {

QJsonArray question(const QString &text) {
    return QJsonArray{QJsonObject{{"role"_L1, "user"_L1}, {"content"_L1, text}}};
}

QJsonObject json(const QByteArray &text) {
    return QJsonDocument::fromJson(text).object();
}

// A call in flight, observed from the test.
struct Call {
    Q_DISABLE_COPY_MOVE(Call)

    QStringList updates;
    std::optional<StreamOutcome> outcome;
    CancelToken cancel;
    QCoro::Task<> task;

    explicit Call(QJsonArray history = question(u"How do I list users?"_s)) { task = run(std::move(history)); }

private:
    QCoro::Task<> run(QJsonArray history) {
        outcome = co_await AnthropicClient::streamReply(u"sk-ant-test-key"_s, std::move(history), cancel,
                                                        [this](const QString &text) { updates.append(text); });
    }
};

StreamOutcome replay(ReplayServer &server, const QByteArray &bytes, QStringList *updates = nullptr) {
    server.respond = replyWith(bytes);
    Call call;
    if (!QTest::qWaitFor([&] { return call.outcome.has_value(); }, 10000))
        qFatal("the call did not end");
    if (updates)
        *updates = call.updates;
    return *call.outcome;
}

} // namespace

class TestAnthropicClient : public QObject {
    Q_OBJECT

private:
    std::optional<IsolatedSettings> m_settings;

private Q_SLOTS:
    void init() { m_settings.emplace(); }

    void sendsTheRequestWithHeadersInOrder() {
        ReplayServer server;
        const QJsonArray history{
            QJsonObject{{"role"_L1, "user"_L1}, {"content"_L1, "first"_L1}},
            QJsonObject{{"role"_L1, "assistant"_L1},
                        {"content"_L1, QJsonArray{QJsonObject{{"type"_L1, "text"_L1}, {"text"_L1, "answer"_L1}}}}},
            QJsonObject{{"role"_L1, "user"_L1}, {"content"_L1, "second"_L1}},
        };
        server.respond = replyWith(streamHead());
        Call call(history);
        QTRY_VERIFY(call.outcome.has_value());

        QVERIFY(server.request());
        const ReceivedRequest &request = *server.request();
        QCOMPARE(request.method, "POST");
        QCOMPARE(request.path, "/v1/messages");

        const QList<std::pair<QByteArray, QByteArray>> expected{
            {"content-type", "application/json"},
            {"x-api-key", "sk-ant-test-key"},
            {"anthropic-version", "2023-06-01"},
            {"anthropic-beta", "server-side-fallback-2026-07-01"},
        };
        QList<std::pair<QByteArray, QByteArray>> ours;
        QByteArrayList allNames;
        for (const auto &[name, value] : request.headers) {
            allNames.append(name);
            for (const auto &wanted : expected) {
                if (name.compare(wanted.first, Qt::CaseInsensitive) == 0)
                    ours.append({name.toLower(), value});
            }
        }
        QCOMPARE(ours, expected);
        qInfo("headers as sent: %s", allNames.join(", ").constData());

        const QJsonObject body = json(request.body);
        QCOMPARE(body.keys(), (QStringList{u"cache_control"_s, u"fallbacks"_s, u"max_tokens"_s, u"messages"_s,
                                           u"model"_s, u"output_config"_s, u"stream"_s, u"system"_s}));
        QCOMPARE(body.value("model"_L1).toString(), u"claude-opus-5-5"_s);
        QVERIFY(body.value("max_tokens"_L1).isDouble());
        QCOMPARE(body.value("max_tokens"_L1).toInteger(), 64000);
        QCOMPARE(body.value("stream"_L1), QJsonValue(true));
        QCOMPARE(body.value("output_config"_L1).toObject(), QJsonObject({{"effort"_L1, "high"_L1}}));
        QCOMPARE(body.value("fallbacks"_L1).toString(), u"default"_s);
        QCOMPARE(body.value("cache_control"_L1).toObject(), QJsonObject({{"type"_L1, "ephemeral"_L1}}));
        const QJsonArray system = body.value("system"_L1).toArray();
        QCOMPARE(system.size(), 1);
        QCOMPARE(system[0].toObject().keys(), (QStringList{u"text"_s, u"type"_s}));
        QCOMPARE(system[0].toObject().value("type"_L1).toString(), u"text"_s);
        QCOMPARE(system[0].toObject().value("text"_L1).toString(), AnthropicRequest::systemText());
        QCOMPARE(body.value("messages"_L1).toArray(), history);
    }

    void systemTextIsTheFixedText() {
        const QString text = AnthropicRequest::systemText();
        QCOMPARE(text.size(), 3163);
        QCOMPARE(text.split(u"\n\n"_s).size(), 4);
        QVERIFY(text.startsWith(u"You are a syntax assistant for GAM7 (https://github.com/GAM-team/GAM), "_s));
        QVERIFY(text.contains(u"point to the GAM wiki (https://github.com/GAM-team/GAM/wiki) rather"_s));
        QVERIFY(text.contains(u"`gam user pat@example.com print filelist`"_s));
        QVERIFY(!text.contains(u"[address"_s));
        QVERIFY(text.endsWith(u"redirect back to what you're here for."_s));
    }

    void textBlocksShowInIndexOrder() {
        ReplayServer server;
        QStringList updates;
        const StreamOutcome outcome = replay(
            server,
            streamHead() + sseEvent(R"({"type":"message_start","message":{"id":"msg_1","content":[]}})") +
                textStart(2) + textStart(0) + textDelta(2, "world") + "event: ping\ndata: {\"type\": \"ping\"}\n\n" +
                ": a comment\n\ndata: not json\n\ndata: [1, 2]\n\ndata: {\"type\": "
                "5}\n\ndata:{\"type\":\"error\"}\n\n" +
                textDelta(0, "Hello ") + stopReason("end_turn") + sseEvent(R"({"type":"message_stop"})"),
            &updates);
        QCOMPARE(updates, (QStringList{u"world"_s, u"Hello world"_s}));
        QCOMPARE(outcome.kind, StreamOutcome::Kind::completed);
        QCOMPARE(outcome.stopReason, u"end_turn"_s);
        QCOMPARE(outcome.content,
                 (QJsonArray{json(R"({"type":"text","text":"Hello "})"), json(R"({"type":"text","text":"world"})")}));
    }

    void deltaForUnknownIndexChangesNothing() {
        ReplayServer server;
        QStringList updates;
        const StreamOutcome outcome = replay(
            server, streamHead() + textStart(0) + textDelta(0, "Hi") + textDelta(3, " there") + textDelta(0, "!"),
            &updates);
        QCOMPARE(updates, (QStringList{u"Hi"_s, u"Hi!"_s}));
        QCOMPARE(outcome.kind, StreamOutcome::Kind::completed);
        QCOMPARE(outcome.stopReason, std::nullopt);
        QCOMPARE(outcome.content, QJsonArray{json(R"({"type":"text","text":"Hi!"})")});
    }

    void thinkingStaysOutOfTheVisibleText() {
        ReplayServer server;
        QStringList updates;
        const StreamOutcome outcome = replay(
            server,
            streamHead() + blockStart(0, R"({"type":"thinking","thinking":""})") +
                delta(0, R"({"type":"thinking_delta","thinking":"Users are listed "})") +
                delta(0, R"({"type":"thinking_delta","thinking":"with print users."})") +
                delta(0, R"({"type":"signature_delta","signature":"sig-1"})") + textStart(1) +
                textDelta(1, "Use gam print users.") + delta(0, R"({"type":"signature_delta","signature":"sig-2"})") +
                delta(1, R"({"type":"citations_delta","citation":{}})"),
            &updates);
        QCOMPARE(updates, QStringList(3, u"Use gam print users."_s));
        QCOMPARE(outcome.kind, StreamOutcome::Kind::completed);
        QCOMPARE(outcome.content,
                 (QJsonArray{
                     json(R"({"type":"thinking","thinking":"Users are listed with print users.","signature":"sig-2"})"),
                     json(R"({"type":"text","text":"Use gam print users."})")}));
    }

    void signatureDeltaWithoutSignatureRemovesIt() {
        ReplayServer server;
        const StreamOutcome outcome =
            replay(server, streamHead() + blockStart(0, R"({"type":"thinking","thinking":"t","signature":"old"})") +
                               delta(0, R"({"type":"signature_delta"})"));
        QCOMPARE(outcome.content, QJsonArray{json(R"({"type":"thinking","thinking":"t"})")});
    }

    void fallbackDropsTheThinkingBeforeIt() {
        ReplayServer server;
        const StreamOutcome outcome =
            replay(server, streamHead() + blockStart(0, R"({"type":"redacted_thinking","data":"abc"})") +
                               blockStart(1, R"({"type":"thinking","thinking":"first try"})") + textStart(2) +
                               textDelta(2, "Partial") + blockStart(3, R"({"type":"fallback","model":"other"})") +
                               blockStart(4, R"({"type":"thinking","thinking":"second try"})") + textStart(5) +
                               textDelta(5, " answer"));
        QCOMPARE(outcome.kind, StreamOutcome::Kind::completed);
        QCOMPARE(outcome.content, (QJsonArray{json(R"({"type":"text","text":"Partial"})"),
                                              json(R"({"type":"fallback","model":"other"})"),
                                              json(R"({"type":"thinking","thinking":"second try"})"),
                                              json(R"({"type":"text","text":" answer"})")}));
    }

    void stopReasons() {
        ReplayServer server;
        const StreamOutcome cutOff =
            replay(server, streamHead() + textStart(0) + textDelta(0, "Long") + stopReason("max_tokens"));
        QCOMPARE(cutOff.kind, StreamOutcome::Kind::completed);
        QCOMPARE(cutOff.stopReason, u"max_tokens"_s);
        QCOMPARE(cutOff.content, QJsonArray{json(R"({"type":"text","text":"Long"})")});

        ReplayServer refusingServer;
        const StreamOutcome refused =
            replay(refusingServer, streamHead() + textStart(0) + textDelta(0, "I can") + stopReason("refusal"));
        QCOMPARE(refused.kind, StreamOutcome::Kind::refused);
    }

    void errorEventEndsTheStream() {
        ReplayServer server;
        QStringList updates;
        const StreamOutcome outcome =
            replay(server,
                   streamHead() + textStart(0) + textDelta(0, "Start") +
                       sseEvent(R"({"type":"error","error":{"type":"overloaded_error","message":"Overloaded"}})") +
                       textDelta(0, " more"),
                   &updates);
        QCOMPARE(outcome.kind, StreamOutcome::Kind::failed);
        QCOMPARE(outcome.failureMessage, u"Overloaded"_s);
        QCOMPARE(updates, QStringList{u"Start"_s});

        ReplayServer bareServer;
        const StreamOutcome bare = replay(bareServer, streamHead() + sseEvent(R"({"type":"error"})"));
        QCOMPARE(bare.failureMessage, u"The response stream reported an error."_s);
    }

    void streamCutOffMidLineKeepsWhatArrived() {
        ReplayServer server;
        QByteArray cut = textDelta(0, " world");
        cut.truncate(cut.indexOf("rld"));
        const StreamOutcome outcome = replay(server, streamHead() + textStart(0) + textDelta(0, "Hello") + cut);
        QCOMPARE(outcome.kind, StreamOutcome::Kind::completed);
        QCOMPARE(outcome.content, QJsonArray{json(R"({"type":"text","text":"Hello"})")});
    }

    void lastLineWithoutLineBreakCounts() {
        ReplayServer server;
        QByteArray last = textDelta(0, "!");
        last.chop(2);
        const StreamOutcome outcome = replay(server, streamHead() + textStart(0) + textDelta(0, "Hi") + last);
        QCOMPARE(outcome.content, QJsonArray{json(R"({"type":"text","text":"Hi!"})")});
    }

    void httpFailures_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("message");
        QTest::newRow("500 with an API error")
            << httpReply(500, "Internal Server Error", "application/json",
                         R"({"type":"error","error":{"type":"api_error","message":"x"}})")
            << u"Anthropic API error 500: x"_s;
        QTest::newRow("500 empty") << httpReply(500, "Internal Server Error", "application/json", "")
                                   << u"Anthropic API error 500."_s;
        QTest::newRow("503 plain text") << httpReply(503, "Service Unavailable", "text/plain", "busy\n")
                                        << u"Anthropic API error 503: busy"_s;
        QTest::newRow("400 error without message")
            << httpReply(400, "Bad Request", "application/json", R"({"error":{"type":"invalid_request_error"}})")
            << u"Anthropic API error 400."_s;
        QTest::newRow("502 lines joined") << httpReply(502, "Bad Gateway", "text/html", "<p>bad\r\ngateway</p>\n")
                                          << u"Anthropic API error 502: <p>badgateway</p>"_s;
        QTest::newRow("307 not followed")
            << QByteArray("HTTP/1.1 307 Temporary Redirect\r\nLocation: http://127.0.0.1:1/v1/messages\r\n"
                          "Content-Length: 0\r\nConnection: close\r\n\r\n")
            << u"Anthropic API error 307."_s;
        QTest::newRow("401") << httpReply(401, "Unauthorized", "application/json",
                                          R"({"error":{"type":"authentication_error","message":"invalid x-api-key"}})")
                             << u"The Anthropic API key was rejected. Check it in Settings (Ctrl+,) → Assistant."_s;
        QTest::newRow("429") << httpReply(429, "Too Many Requests", "application/json",
                                          R"({"error":{"message":"rate"}})")
                             << u"Rate limited by the Anthropic API. Wait a moment and try again."_s;
        QTest::newRow("529") << httpReply(529, "Overloaded", "application/json", R"({"error":{"message":"busy"}})")
                             << u"The Anthropic API is overloaded. Try again shortly."_s;
        QTest::newRow("error status with an event stream")
            << QByteArray("HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/event-stream\r\nConnection: "
                          "close\r\n\r\n" +
                          textStart(0) + textDelta(0, "no"))
            << u"Anthropic API error 500: "_s +
                   QString::fromUtf8(QByteArray(textStart(0) + textDelta(0, "no")).replace("\n", ""));
    }

    void httpFailures() {
        QFETCH(QByteArray, reply);
        QFETCH(QString, message);
        ReplayServer server;
        QStringList updates;
        const StreamOutcome outcome = replay(server, reply, &updates);
        QCOMPARE(outcome.kind, StreamOutcome::Kind::failed);
        QCOMPARE(outcome.failureMessage, message);
        QVERIFY(updates.isEmpty());
    }

    void unreachableServerIsATransportError() {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        QSettings().setValue(AnthropicRequest::baseURLSetting, QString(u"http://127.0.0.1:"_s + QString::number(port)));
        Call call;
        QTRY_VERIFY(call.outcome.has_value());
        QCOMPARE(call.outcome->kind, StreamOutcome::Kind::failed);
        QCOMPARE(call.outcome->failureMessage, u"Couldn't reach the Anthropic API: Connection refused"_s);
    }

    void textArrivesBeforeTheReplyEnds() {
        ReplayServer server;
        server.respond = [](QTcpSocket *socket) { socket->write(streamHead() + textStart(0) + textDelta(0, "Hel")); };
        Call call;
        QTRY_COMPARE(call.updates, QStringList{u"Hel"_s});
        QVERIFY(!call.outcome);
        server.socket()->write(textDelta(0, "lo") + stopReason("end_turn"));
        QTRY_COMPARE(call.updates, (QStringList{u"Hel"_s, u"Hello"_s}));
        QVERIFY(!call.outcome);
        server.socket()->disconnectFromHost();
        QTRY_VERIFY(call.outcome.has_value());
        QCOMPARE(call.outcome->kind, StreamOutcome::Kind::completed);
        QCOMPARE(call.outcome->content, QJsonArray{json(R"({"type":"text","text":"Hello"})")});
    }

    void cancelBeforeAnyText() {
        ReplayServer server;
        server.respond = [](QTcpSocket *socket) { socket->write(streamHead()); };
        Call call;
        QTRY_VERIFY(server.request().has_value());
        QTest::qWait(50);
        call.cancel.cancel();
        QTRY_VERIFY(call.outcome.has_value());
        QCOMPARE(call.outcome->kind, StreamOutcome::Kind::cancelled);
        QVERIFY(call.updates.isEmpty());
    }

    void cancelAfterTextStopsUpdates() {
        ReplayServer server;
        server.respond = [](QTcpSocket *socket) { socket->write(streamHead() + textStart(0) + textDelta(0, "Part")); };
        Call call;
        QTRY_COMPARE(call.updates, QStringList{u"Part"_s});
        call.cancel.cancel();
        // Bytes already on their way must not show up after the stop.
        server.socket()->write(textDelta(0, " more"));
        QTRY_VERIFY(call.outcome.has_value());
        QCOMPARE(call.outcome->kind, StreamOutcome::Kind::cancelled);
        QCOMPARE(call.updates, QStringList{u"Part"_s});
    }

    void cancelFromTheUpdateHandler() {
        ReplayServer server;
        server.respond =
            replyWith(streamHead() + textStart(0) + textDelta(0, "a") + textDelta(0, "b") + textDelta(0, "c"));
        QStringList updates;
        std::optional<StreamOutcome> outcome;
        const CancelToken cancel;
        AnthropicClient::streamReply(u"k"_s, question(u"q"_s), cancel, [&](const QString &text) {
            updates.append(text);
            cancel.cancel();
        }).then([&](StreamOutcome result) { outcome = std::move(result); });
        QTRY_VERIFY(outcome.has_value());
        QCOMPARE(outcome->kind, StreamOutcome::Kind::cancelled);
        QCOMPARE(updates, QStringList{u"a"_s});
    }

    void alreadyCancelledSendsNothing() {
        ReplayServer server;
        const CancelToken cancel;
        cancel.cancel();
        const StreamOutcome outcome =
            awaitTask(AnthropicClient::streamReply(u"k"_s, question(u"q"_s), cancel, [](const QString &) {}));
        QCOMPARE(outcome.kind, StreamOutcome::Kind::cancelled);
        QTest::qWait(100);
        QVERIFY(!server.request());
    }
};

QTEST_GUILESS_MAIN(TestAnthropicClient)
#include "tst_anthropic_client.moc"
