#include "tabs/MailboxResults.h"
#include "tabs/MessageRun.h"

#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(MailboxLine::Kind)

namespace {

void feed(MailboxResults &results, qsizetype item, const QStringList &lines) {
    for (const QString &line : lines)
        if (const auto mailbox = readMailboxLine(line))
            results.add(item, *mailbox);
}

QStringList rowText(const MailboxResult &row) {
    return {row.mailbox, QString::number(row.item), row.matched ? QString::number(*row.matched) : u"-"_s,
            QString::number(row.deleted), row.outcomeText()};
}

} // namespace

// GAM's per-mailbox lines of "delete messages" read into one row per mailbox and item.
class MailboxResultsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsGamMailboxLines_data();
    void readsGamMailboxLines();
    void ignoresEverythingElse_data();
    void ignoresEverythingElse();
    void domainRun_oneRowPerMailboxAndItem();
    void failureStands_andKeepsItsFirstReason();
    void retry_updatesFailedRowsInPlace();
    void table_columnsSummaryAndCells();
    void retrySteps_perItemAndSplitWhenLong();
};

void MailboxResultsTest::readsGamMailboxLines_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<MailboxLine::Kind>("kind");
    QTest::addColumn<QString>("mailbox");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("reason");
    using K = MailboxLine::Kind;

    QTest::newRow("delete header with counter")
        << u"User: a@x.org, Delete 3 Messages (2/25)"_s << K::deleting << u"a@x.org"_s << 3LL << QString();
    QTest::newRow("delete header, one message, batched child")
        << u"User: a@x.org, Delete 1 Message"_s << K::deleting << u"a@x.org"_s << 1LL << QString();
    QTest::newRow("deleted message, indented") << u"  User: a@x.org, Message: 18e9fc6581b9acab, Deleted (1/3)"_s
                                               << K::deleted << u"a@x.org"_s << 0LL << QString();
    QTest::newRow("preview") << u"User: b@x.org, Messages: 37, Not Deleted: Use the \"doit\" argument to perform "
                                u"action (4/25)"_s
                             << K::heldForDoit << u"b@x.org"_s << 37LL << QString();
    QTest::newRow("preview of one message")
        << u"User: b@x.org, Message: 1, Not Deleted: Use the \"doit\" argument to perform action"_s << K::heldForDoit
        << u"b@x.org"_s << 1LL << QString();
    QTest::newRow("no match") << u"User: c@x.org, Messages: 0, Not Deleted: No Messages matched (5/25)"_s << K::noMatch
                              << u"c@x.org"_s << 0LL << QString();
    QTest::newRow("rate limit") << u"User: d@x.org, Delete Failed: Rate Limit Exceeded: User-rate limit exceeded. "
                                   u"Retry after 2026-01-01T00:15:00Z (3/30)"_s
                                << K::failed << u"d@x.org"_s << 0LL
                                << u"Rate Limit Exceeded: User-rate limit exceeded. Retry after 2026-01-01T00:15:00Z"_s;
    QTest::newRow("failed batch of messages")
        << u"  User: d@x.org, Message: id1,id2,id3, Delete Failed: Backend Error (1-500/3000)"_s << K::failed
        << u"d@x.org"_s << 0LL << u"Backend Error"_s;
    QTest::newRow("failed without a reason")
        << u"User: d@x.org, Delete Failed:"_s << K::failed << u"d@x.org"_s << 0LL << QString();
    QTest::newRow("parentheses that are no counter") << u"User: d@x.org, Delete Failed: Quota exceeded (daily)"_s
                                                     << K::failed << u"d@x.org"_s << 0LL << u"Quota exceeded (daily)"_s;
    QTest::newRow("not deleted for another reason")
        << u"User: e@x.org, Messages: 37, Not Deleted: Count 37 exceeds maximum to Delete 10"_s << K::failed
        << u"e@x.org"_s << 37LL << u"Count 37 exceeds maximum to Delete 10"_s;
    QTest::newRow("user gone") << u"User: gone@x.org, Does not exist (2/2)"_s << K::failed << u"gone@x.org"_s << 0LL
                               << u"Does not exist"_s;
    QTest::newRow("no Gmail") << u"User: f@x.org, Gmail Service/App not enabled"_s << K::failed << u"f@x.org"_s << 0LL
                              << u"Gmail Service/App not enabled"_s;
}

void MailboxResultsTest::readsGamMailboxLines() {
    QFETCH(QString, line);
    QFETCH(MailboxLine::Kind, kind);
    QFETCH(QString, mailbox);
    QFETCH(qint64, count);
    QFETCH(QString, reason);
    const std::optional<MailboxLine> read = readMailboxLine(line);
    QVERIFY(read);
    QCOMPARE(read->kind, kind);
    QCOMPARE(read->mailbox, mailbox);
    QCOMPARE(read->count, count);
    QCOMPARE(read->reason, reason);
}

void MailboxResultsTest::ignoresEverythingElse_data() {
    QTest::addColumn<QString>("line");
    QTest::newRow("empty") << QString();
    QTest::newRow("progress") << u"Getting all Messages that match query ((from:x)) for a@x.org (1/25)"_s;
    QTest::newRow("progress echoing a failure")
        << u"Got 3 Messages that matched query ((\"Delete Failed: x\")) for a@x.org..."_s;
    QTest::newRow("batch progress") << u"2024-03-24T08:04:46.235+00:00,0/25,Using 20 processes..."_s;
    QTest::newRow("user alone") << u"User: a@x.org"_s;
    QTest::newRow("no mailbox") << u"User: , Delete 1 Message"_s;
    QTest::newRow("count that is no number") << u"User: a@x.org, Delete many Messages"_s;
    QTest::newRow("other entity") << u"Username: a, Delete 2 Messages"_s;
    QTest::newRow("unknown user line") << u"User: a@x.org, Message: x, Deletedness"_s;
    QTest::newRow("word merely ending in Failed") << u"User: a@x.org, NotFailed: fine"_s;
}

void MailboxResultsTest::ignoresEverythingElse() {
    QFETCH(QString, line);
    QVERIFY(!readMailboxLine(line));
}

void MailboxResultsTest::domainRun_oneRowPerMailboxAndItem() {
    MailboxResults results;
    feed(results, 0,
         {u"Getting all Users that match query (isSuspended=False) for x.org, may take some time..."_s,
          u"User: a@x.org, Delete 2 Messages (1/3)"_s, u"  User: a@x.org, Message: m1, Deleted (1/2)"_s,
          u"  User: a@x.org, Message: m2, Deleted (2/2)"_s,
          u"User: b@x.org, Messages: 0, Not Deleted: No Messages matched (2/3)"_s,
          u"User: c@x.org, Delete Failed: Rate Limit Exceeded (3/3)"_s});
    // The second item's run meets the same mailboxes, written in another letter case.
    feed(results, 1,
         {u"User: A@X.org, Messages: 0, Not Deleted: No Messages matched (1/3)"_s,
          u"User: b@x.org, Delete 1 Message (2/3)"_s, u"  User: b@x.org, Message: m3, Deleted"_s,
          u"User: c@x.org, Messages: 0, Not Deleted: No Messages matched (3/3)"_s});

    QCOMPARE(results.rows().size(), 6);
    QCOMPARE(results.mailboxCount(), 3);
    QCOMPARE(rowText(results.rows().at(0)), (QStringList{u"a@x.org"_s, u"0"_s, u"2"_s, u"2"_s, u"Deleted"_s}));
    QCOMPARE(rowText(results.rows().at(1)), (QStringList{u"b@x.org"_s, u"0"_s, u"0"_s, u"0"_s, u"No match"_s}));
    QCOMPARE(rowText(results.rows().at(2)),
             (QStringList{u"c@x.org"_s, u"0"_s, u"-"_s, u"0"_s, u"Failed: Rate Limit Exceeded"_s}));
    QCOMPARE(rowText(results.rows().at(3)), (QStringList{u"A@X.org"_s, u"1"_s, u"0"_s, u"0"_s, u"No match"_s}));
    QCOMPARE(rowText(results.rows().at(4)), (QStringList{u"b@x.org"_s, u"1"_s, u"1"_s, u"1"_s, u"Deleted"_s}));
    QCOMPARE(results.count(MailboxOutcome::deleted), 2);
    QCOMPARE(results.count(MailboxOutcome::noMatch), 3);
    QCOMPARE(results.count(MailboxOutcome::failed), 1);
    QCOMPARE(results.failedMailboxes(0), QStringList{u"c@x.org"_s});
    QVERIFY(results.failedMailboxes(1).isEmpty());

    MailboxResults preview;
    feed(preview, 0,
         {u"User: a@x.org, Messages: 4, Not Deleted: Use the \"doit\" argument to perform action"_s,
          u"User: b@x.org, Messages: 0, Not Deleted: Use the \"doit\" argument to perform action"_s,
          u"User: c@x.org, Delete 0 Messages"_s});
    QCOMPARE(preview.rows().at(0).outcomeText(), u"Would delete"_s);
    QCOMPARE(preview.rows().at(0).matched, 4);
    QCOMPARE(preview.count(MailboxOutcome::noMatch), 2);
}

void MailboxResultsTest::failureStands_andKeepsItsFirstReason() {
    MailboxResults results;
    feed(results, 0,
         {u"User: a@x.org, Delete 3 Messages"_s, u"  User: a@x.org, Message: m1, Deleted (1/3)"_s,
          u"  User: a@x.org, Message: m2,m3, Delete Failed: Backend Error (2-3/3)"_s,
          u"  User: a@x.org, Message: m4, Deleted"_s, u"User: a@x.org, Delete Failed: Something else"_s});
    QCOMPARE(results.rows().size(), 1);
    QCOMPARE(rowText(results.rows().at(0)),
             (QStringList{u"a@x.org"_s, u"0"_s, u"3"_s, u"2"_s, u"Failed: Backend Error"_s}));
}

void MailboxResultsTest::retry_updatesFailedRowsInPlace() {
    MailboxResults results;
    feed(results, 0,
         {u"User: a@x.org, Delete Failed: Rate Limit Exceeded (1/4)"_s, u"User: b@x.org, Delete 1 Message (2/4)"_s,
          u"  User: b@x.org, Message: m1, Deleted"_s, u"User: c@x.org, Delete Failed: Rate Limit Exceeded (3/4)"_s,
          u"User: d@x.org, Delete Failed: Rate Limit Exceeded (4/4)"_s});
    QCOMPARE(results.failedMailboxes(0), (QStringList{u"a@x.org"_s, u"c@x.org"_s, u"d@x.org"_s}));

    results.prepareRetry();
    // GAM lists the retried users as given; d gets no line (the retry was stopped).
    feed(results, 0,
         {u"User: c@x.org, Delete 2 Messages (1/3)"_s, u"  User: c@x.org, Message: m2, Deleted (1/2)"_s,
          u"  User: c@x.org, Message: m3, Deleted (2/2)"_s,
          u"User: a@x.org, Messages: 0, Not Deleted: No Messages matched (2/3)"_s});

    QCOMPARE(results.rows().size(), 4);
    QCOMPARE(rowText(results.rows().at(0)), (QStringList{u"a@x.org"_s, u"0"_s, u"0"_s, u"0"_s, u"No match"_s}));
    QCOMPARE(rowText(results.rows().at(1)), (QStringList{u"b@x.org"_s, u"0"_s, u"1"_s, u"1"_s, u"Deleted"_s}));
    QCOMPARE(rowText(results.rows().at(2)), (QStringList{u"c@x.org"_s, u"0"_s, u"2"_s, u"2"_s, u"Deleted"_s}));
    QCOMPARE(rowText(results.rows().at(3)),
             (QStringList{u"d@x.org"_s, u"0"_s, u"-"_s, u"0"_s, u"Failed: Rate Limit Exceeded"_s}));
    QCOMPARE(results.failedMailboxes(0), QStringList{u"d@x.org"_s});

    // A second retry that fails again replaces the reason.
    results.prepareRetry();
    feed(results, 0, {u"User: d@x.org, Delete Failed: Backend Error"_s});
    QCOMPARE(results.rows().at(3).outcomeText(), u"Failed: Backend Error"_s);
}

void MailboxResultsTest::table_columnsSummaryAndCells() {
    MailboxResults results;
    feed(results, 0,
         {u"User: a@x.org, Delete 2 Messages (1/3)"_s, u"  User: a@x.org, Message: m1, Deleted (1/2)"_s,
          u"  User: a@x.org, Message: m2, Deleted (2/2)"_s,
          u"User: b@x.org, Messages: 0, Not Deleted: No Messages matched (2/3)"_s,
          u"User: c@x.org, Delete Failed: Rate Limit Exceeded (3/3)"_s});
    feed(results, 1, {u"User: a@x.org, Messages: 0, Not Deleted: No Messages matched"_s});

    const ResultsTable table = mailboxResultsTable(results, {u"bad@evil.example"_s, u"worse@evil.example"_s},
                                                   u"Sender"_s, u"from:bad@evil.example; from:worse@evil.example"_s);
    QCOMPARE(table.title, u"Mailbox Results — 3 mailbox(es)"_s);
    QCOMPARE(table.summary, u"1 Deleted  •  2 No match  •  1 Failed"_s);
    QCOMPARE(table.query, u"from:bad@evil.example; from:worse@evil.example"_s);
    QCOMPARE(table.columns, (QStringList{u"Mailbox"_s, u"Sender"_s, u"Matched"_s, u"Deleted"_s, u"Outcome"_s}));
    QCOMPARE(table.exportName, u"gmail_mailbox_results"_s);
    QCOMPARE(table.rows, (QList<QStringList>{
                             {u"a@x.org"_s, u"bad@evil.example"_s, u"2"_s, u"2"_s, u"Deleted"_s},
                             {u"b@x.org"_s, u"bad@evil.example"_s, u"0"_s, u"0"_s, u"No match"_s},
                             {u"c@x.org"_s, u"bad@evil.example"_s, QString(), u"0"_s, u"Failed: Rate Limit Exceeded"_s},
                             {u"a@x.org"_s, u"worse@evil.example"_s, u"0"_s, u"0"_s, u"No match"_s},
                         }));
    QVERIFY(!table.action);
}

void MailboxResultsTest::retrySteps_perItemAndSplitWhenLong() {
    MessageRun run;
    run.items = {{u"bad@evil.example"_s, u"worse@evil.example"_s},
                 {u"from:bad@evil.example"_s, u"from:worse@evil.example"_s},
                 u"Sender"_s};
    run.target = MailTarget::domain;
    // 2,000 failed mailboxes for the first sender (about 60,000 characters), none for the second.
    QStringList failed;
    for (int i = 0; i < 2000; ++i) {
        failed.append(u"student%1@students.lakeside.example.org"_s.arg(i, 4, 10, QChar(u'0')));
        feed(run.results, 0, {u"User: "_s + failed.constLast() + u", Delete Failed: Rate Limit Exceeded"_s});
    }
    feed(run.results, 1, {u"User: a@x.org, Messages: 0, Not Deleted: No Messages matched"_s});

    const QList<MessageRunStep> steps = retrySteps(run);
    QCOMPARE_GT(steps.size(), 1);
    QStringList covered;
    for (const MessageRunStep &step : steps) {
        QCOMPARE(step.item, 0);
        QCOMPARE(step.mailboxArguments.size(), 2);
        QCOMPARE(step.mailboxArguments.first(), u"users"_s);
        QCOMPARE_LE(step.mailboxArguments.last().size(), 30000);
        covered += step.mailboxArguments.last().split(u',');
    }
    QCOMPARE(covered, failed);
}

QTEST_GUILESS_MAIN(MailboxResultsTest)
#include "tst_mailboxresults.moc"
