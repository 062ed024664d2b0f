#include "ReplayServer.h"
#include "TestSupport.h"

#include "app/GAMSetup.h"
#include "assistant/APIKeyChanges.h"
#include "assistant/AssistantModel.h"

#include <QCoroTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

using namespace Qt::StringLiterals;
using Role = AssistantModel::Role;

namespace {

QJsonObject userEntry(const QString &text) {
    return QJsonObject{{"role"_L1, "user"_L1}, {"content"_L1, text}};
}

QJsonObject assistantEntry(const QString &text) {
    return QJsonObject{{"role"_L1, "assistant"_L1},
                       {"content"_L1, QJsonArray{QJsonObject{{"type"_L1, "text"_L1}, {"text"_L1, text}}}}};
}

QJsonArray sentMessages(const ReplayServer &server) {
    return QJsonDocument::fromJson(server.request()->body).object().value("messages"_L1).toArray();
}

QByteArray reply(const QByteArray &text, const QByteArray &reason = "end_turn") {
    return streamHead() + textStart(0) + textDelta(0, text) + stopReason(reason);
}

} // namespace

// The chat model against the local replay server, with the key store replaced
// by a value the test controls.
class TestAssistantModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void send_ignoresBlankInputAndRepeats();
    void send_withoutKey_addsOneNoticeAndKeepsTheQuestion();
    void reply_streamsIntoThePlaceholderAndJoinsTheHistory();
    void reply_cutOffAtTheLengthLimit_saysSo();
    void refusal_replacesThePlaceholderAndDropsTheQuestion();
    void stop_beforeTheFirstByte_readsStopped();
    void stop_afterSomeText_appendsStoppedAfterABlankLine();
    void failure_leavesHistoryEndingWithTheLastCompletedReply();
    void networkFailureMidStream_showsTheTransportError();
    void emptyReply_isANoticeAndNotKept();
    void blankTextBlocks_areNotKeptInTheHistory();
    void newChat_whileStreaming_lateOutcomeChangesNothing();
    void destroyingTheModelMidStream_endsTheCall();
    void keyState_followsTheKeyStoreNotification();
    void keyState_latestCheckWins();
    void webAssistantAddress_isASettingOfWebPagesOnly();

private:
    static QCoro::Task<std::optional<QString>> loadKey(TestAssistantModel *test);
    void makeModel();
    void ask(const QString &question);
    bool waitUntilIdle() const;

    std::unique_ptr<IsolatedSettings> m_settings;
    std::optional<QString> m_key;
    // Delays of the next key loads, in order; then immediate.
    QList<int> m_keyDelays;
    int m_keyLoads = 0;
    int m_keyAnswers = 0;
    std::unique_ptr<AssistantModel> m_model;
};

QCoro::Task<std::optional<QString>> TestAssistantModel::loadKey(TestAssistantModel *test) {
    ++test->m_keyLoads;
    const std::optional<QString> key = test->m_key;
    if (!test->m_keyDelays.isEmpty())
        co_await QCoro::sleepFor(std::chrono::milliseconds(test->m_keyDelays.takeFirst()));
    ++test->m_keyAnswers;
    co_return key;
}

void TestAssistantModel::init() {
    m_settings = std::make_unique<IsolatedSettings>();
    m_key = u"sk-ant-test-key"_s;
    m_keyDelays.clear();
    m_keyLoads = 0;
    m_keyAnswers = 0;
    makeModel();
}

void TestAssistantModel::cleanup() {
    m_model.reset();
    m_settings.reset();
}

void TestAssistantModel::makeModel() {
    m_model = std::make_unique<AssistantModel>([this] { return loadKey(this); });
    QTRY_COMPARE(m_model->hasAPIKey(), m_key.has_value());
}

void TestAssistantModel::ask(const QString &question) {
    m_model->setInput(question);
    m_model->send();
}

bool TestAssistantModel::waitUntilIdle() const {
    return QTest::qWaitFor([this] { return !m_model->isResponding(); }, 10000);
}

void TestAssistantModel::send_ignoresBlankInputAndRepeats() {
    const int loadsBefore = m_keyLoads;
    ask(u"  \n\t \u00A0"_s);
    QVERIFY(m_model->messages().isEmpty());
    QCOMPARE(m_keyLoads, loadsBefore);

    ReplayServer server;
    server.respond = [](QTcpSocket *socket) { socket->write(streamHead()); };
    ask(u"  How do I list users?\n"_s);
    QTRY_VERIFY(server.request().has_value());
    QVERIFY(m_model->isResponding());
    QCOMPARE(m_model->messages().size(), 2);
    QCOMPARE(m_model->messages().at(0).text, u"How do I list users?"_s);
    // A second question while the first is answered is not sent, and stays in the field.
    ask(u"And groups?"_s);
    QCOMPARE(m_model->messages().size(), 2);
    QCOMPARE(m_model->input(), u"And groups?"_s);
    QCOMPARE(m_model->history(), QJsonArray{userEntry(u"How do I list users?"_s)});
    server.socket()->disconnectFromHost();
    QVERIFY(waitUntilIdle());
}

void TestAssistantModel::send_withoutKey_addsOneNoticeAndKeepsTheQuestion() {
    // The key went away without a notification: sending finds out and says so.
    QVERIFY(m_model->hasAPIKey());
    m_key.reset();
    QSignalSpy keyChanges(m_model.get(), &AssistantModel::hasAPIKeyChanged);
    ask(u"How do I list users?"_s);
    QTRY_COMPARE(m_model->messages().size(), 1);
    const AssistantModel::Message &notice = m_model->messages().first();
    QCOMPARE(notice.role, Role::notice);
    QVERIFY(notice.isError);
    QCOMPARE(notice.text, u"Add your Anthropic API key in Settings (Ctrl+,) → Assistant to use the assistant."_s);
    QCOMPARE(m_model->input(), u"How do I list users?"_s);
    QVERIFY(!m_model->hasAPIKey());
    QCOMPARE(keyChanges.size(), 1);
    QVERIFY(m_model->history().isEmpty());
    QVERIFY(!m_model->isResponding());
}

void TestAssistantModel::reply_streamsIntoThePlaceholderAndJoinsTheHistory() {
    ReplayServer server;
    server.respond = [](QTcpSocket *socket) { socket->write(streamHead() + textStart(0)); };
    QSignalSpy waiting(m_model.get(), &AssistantModel::waitingForTextChanged);
    ask(u"List users"_s);
    QTRY_VERIFY(server.request().has_value());
    QCOMPARE(m_model->input(), QString());
    QVERIFY(m_model->isResponding());
    QVERIFY(m_model->isWaitingForText());
    QCOMPARE(m_model->messages().size(), 2);
    QCOMPARE(m_model->messages().at(0).role, Role::user);
    QCOMPARE(m_model->messages().at(1).role, Role::assistant);
    QCOMPARE(m_model->messages().at(1).text, QString());
    QCOMPARE(sentMessages(server), QJsonArray{userEntry(u"List users"_s)});

    server.socket()->write(textDelta(0, "Use:\\n```\\ngam print users"));
    QTRY_COMPARE(m_model->messages().at(1).text, u"Use:\n```\ngam print users"_s);
    QVERIFY(!m_model->isWaitingForText());
    QVERIFY(m_model->isResponding());
    server.socket()->write(textDelta(0, "\\n```") + stopReason("end_turn"));
    server.socket()->disconnectFromHost();
    QVERIFY(waitUntilIdle());

    QCOMPARE(m_model->messages().at(1).text, u"Use:\n```\ngam print users\n```"_s);
    QCOMPARE(m_model->history(),
             (QJsonArray{userEntry(u"List users"_s), assistantEntry(u"Use:\n```\ngam print users\n```"_s)}));
    QVERIFY(!m_model->isWaitingForText());
    QCOMPARE(waiting.size(), 2);
}

void TestAssistantModel::reply_cutOffAtTheLengthLimit_saysSo() {
    ReplayServer server;
    server.respond = replyWith(reply("Long answer", "max_tokens"));
    ask(u"Explain everything"_s);
    QVERIFY(waitUntilIdle());
    QCOMPARE(m_model->messages().at(1).text, u"Long answer\n\n(Reply cut off at the length limit.)"_s);
    // The history keeps what the API sent, without the note.
    QCOMPARE(m_model->history().at(1), QJsonValue(assistantEntry(u"Long answer"_s)));
}

void TestAssistantModel::refusal_replacesThePlaceholderAndDropsTheQuestion() {
    ReplayServer server;
    server.respond = replyWith(reply("I can", "refusal"));
    ask(u"Something else"_s);
    // The key is at hand, so the question and its placeholder are there at once.
    QCOMPARE(m_model->messages().size(), 2);
    const QUuid placeholder = m_model->messages().at(1).id;
    QVERIFY(waitUntilIdle());
    QCOMPARE(m_model->messages().size(), 2);
    QCOMPARE(m_model->messages().at(0).text, u"Something else"_s);
    const AssistantModel::Message &notice = m_model->messages().at(1);
    QCOMPARE(notice.role, Role::notice);
    QVERIFY(notice.isError);
    QVERIFY(notice.id != placeholder);
    QCOMPARE(notice.text, u"The assistant declined to answer that. Try rephrasing the question around the GAM "
                          u"command you need."_s);
    QVERIFY(m_model->history().isEmpty());
}

void TestAssistantModel::stop_beforeTheFirstByte_readsStopped() {
    ReplayServer server;
    ask(u"List users"_s);
    QTRY_VERIFY(server.request().has_value());
    QVERIFY(m_model->isWaitingForText());
    m_model->stop();
    QVERIFY(waitUntilIdle());
    QCOMPARE(m_model->messages().at(1).role, Role::assistant);
    QCOMPARE(m_model->messages().at(1).text, u"(Stopped.)"_s);
    QVERIFY(!m_model->messages().at(1).isError);
    QVERIFY(!m_model->isWaitingForText());
    QVERIFY(m_model->history().isEmpty());
}

void TestAssistantModel::stop_afterSomeText_appendsStoppedAfterABlankLine() {
    ReplayServer server;
    server.respond = [](QTcpSocket *socket) {
        socket->write(streamHead() + textStart(0) + textDelta(0, "Partial answer"));
    };
    ask(u"List users"_s);
    QTRY_COMPARE(m_model->messages().at(1).text, u"Partial answer"_s);
    m_model->stop();
    QVERIFY(waitUntilIdle());
    QCOMPARE(m_model->messages().at(1).text, u"Partial answer\n\n(Stopped.)"_s);
    QVERIFY(m_model->history().isEmpty());
}

void TestAssistantModel::failure_leavesHistoryEndingWithTheLastCompletedReply() {
    {
        ReplayServer server;
        server.respond = replyWith(reply("First answer"));
        ask(u"First"_s);
        QVERIFY(waitUntilIdle());
    }
    {
        ReplayServer server;
        server.respond = replyWith(httpReply(500, "Internal Server Error", "application/json",
                                             R"({"type":"error","error":{"type":"api_error","message":"x"}})"));
        ask(u"Second"_s);
        QVERIFY(waitUntilIdle());
        QCOMPARE(m_model->messages().size(), 4);
        QCOMPARE(m_model->messages().at(2).text, u"Second"_s);
        QCOMPARE(m_model->messages().at(3).role, Role::notice);
        QCOMPARE(m_model->messages().at(3).text, u"Anthropic API error 500: x"_s);
        QVERIFY(m_model->messages().at(3).isError);
    }
    ReplayServer server;
    server.respond = replyWith(reply("Third answer"));
    ask(u"Third"_s);
    QVERIFY(waitUntilIdle());
    QCOMPARE(sentMessages(server),
             (QJsonArray{userEntry(u"First"_s), assistantEntry(u"First answer"_s), userEntry(u"Third"_s)}));
    QCOMPARE(m_model->history().size(), 4);
}

void TestAssistantModel::networkFailureMidStream_showsTheTransportError() {
    ReplayServer server;
    // The reply announces more than it sends, then the connection drops.
    server.respond = [](QTcpSocket *socket) {
        const QByteArray events = textStart(0) + textDelta(0, "Half");
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nContent-Length: 100000\r\n\r\n" + events);
    };
    ask(u"List users"_s);
    QTRY_COMPARE(m_model->messages().at(1).text, u"Half"_s);
    server.socket()->abort();
    QVERIFY(waitUntilIdle());
    const AssistantModel::Message &notice = m_model->messages().at(1);
    QCOMPARE(notice.role, Role::notice);
    QVERIFY(notice.isError);
    QVERIFY2(notice.text.startsWith(u"Couldn't reach the Anthropic API: "_s), qPrintable(notice.text));
    QVERIFY(m_model->history().isEmpty());
}

void TestAssistantModel::emptyReply_isANoticeAndNotKept() {
    ReplayServer server;
    server.respond = replyWith(reply(" \\n\\n  "));
    ask(u"Anything?"_s);
    QVERIFY(waitUntilIdle());
    const AssistantModel::Message &notice = m_model->messages().at(1);
    QCOMPARE(notice.role, Role::notice);
    QCOMPARE(notice.text, u"The assistant's reply was empty. Try asking again."_s);
    QVERIFY(!notice.isError);
    // Kept, a blank reply would make the API refuse every later question.
    QVERIFY(m_model->history().isEmpty());
}

void TestAssistantModel::blankTextBlocks_areNotKeptInTheHistory() {
    ReplayServer server;
    server.respond = replyWith(streamHead() + textStart(0) + textDelta(0, "\\n\\n") + textStart(1) +
                               textDelta(1, "Answer") + stopReason("end_turn"));
    ask(u"Question"_s);
    QVERIFY(waitUntilIdle());
    QCOMPARE(m_model->messages().at(1).text, u"\n\nAnswer"_s);
    QCOMPARE(m_model->history().at(1), QJsonValue(assistantEntry(u"Answer"_s)));
}

void TestAssistantModel::newChat_whileStreaming_lateOutcomeChangesNothing() {
    ReplayServer server;
    server.respond = [](QTcpSocket *socket) { socket->write(streamHead() + textStart(0) + textDelta(0, "Some")); };
    ask(u"List users"_s);
    QTRY_COMPARE(m_model->messages().at(1).text, u"Some"_s);
    QSignalSpy cleared(m_model.get(), &AssistantModel::messagesCleared);
    QSignalSpy changed(m_model.get(), &AssistantModel::messageChanged);
    m_model->newChat();
    QCOMPARE(cleared.size(), 1);
    QVERIFY(m_model->messages().isEmpty());
    QVERIFY(m_model->history().isEmpty());
    QVERIFY(waitUntilIdle());
    QVERIFY(m_model->messages().isEmpty());
    QVERIFY(m_model->history().isEmpty());
    QCOMPARE(changed.size(), 0);

    // The next question starts a fresh conversation.
    ReplayServer next;
    next.respond = replyWith(reply("Fresh"));
    ask(u"Again"_s);
    QVERIFY(waitUntilIdle());
    QCOMPARE(sentMessages(next), QJsonArray{userEntry(u"Again"_s)});
}

void TestAssistantModel::destroyingTheModelMidStream_endsTheCall() {
    ReplayServer server;
    server.respond = [](QTcpSocket *socket) { socket->write(streamHead() + textStart(0) + textDelta(0, "Some")); };
    ask(u"List users"_s);
    QTRY_COMPARE(m_model->messages().at(1).text, u"Some"_s);
    m_model.reset();
    // The connection is dropped, and text still arriving reaches no one.
    server.socket()->write(textDelta(0, " more"));
    QTRY_COMPARE(server.socket()->state(), QAbstractSocket::UnconnectedState);
    makeModel();
}

void TestAssistantModel::keyState_followsTheKeyStoreNotification() {
    QVERIFY(m_model->hasAPIKey());
    QSignalSpy changes(m_model.get(), &AssistantModel::hasAPIKeyChanged);
    m_key.reset();
    APIKeyChanges::post();
    QTRY_VERIFY(!m_model->hasAPIKey());
    m_key = u"sk-ant-new"_s;
    APIKeyChanges::post();
    QTRY_VERIFY(m_model->hasAPIKey());
    QCOMPARE(changes.size(), 2);
}

void TestAssistantModel::keyState_latestCheckWins() {
    // A slow check that still saw the key must not undo a faster, later one.
    m_keyDelays = {300, 10};
    const int answered = m_keyAnswers;
    m_model->refreshKey();
    m_key.reset();
    m_model->refreshKey();
    QTRY_COMPARE(m_keyAnswers, answered + 2);
    QVERIFY(!m_model->hasAPIKey());
}

void TestAssistantModel::webAssistantAddress_isASettingOfWebPagesOnly() {
    QCOMPARE(AssistantModel::webAssistantURL(), GAMSetup::wikiURL());
    QSettings settings;
    settings.setValue(AssistantModel::webAssistantSetting, u" https://chat.example.org/gam "_s);
    QCOMPARE(AssistantModel::webAssistantURL(), QUrl(u"https://chat.example.org/gam"_s));
    for (const QString &hidden : {u""_s, u"file:///etc/passwd"_s, u"javascript:alert(1)"_s, u"not a url"_s}) {
        settings.setValue(AssistantModel::webAssistantSetting, hidden);
        QVERIFY2(AssistantModel::webAssistantURL().isEmpty(), qPrintable(hidden));
    }
}

QTEST_GUILESS_MAIN(TestAssistantModel)
#include "tst_assistant_model.moc"
