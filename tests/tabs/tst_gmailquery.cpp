#include "tabs/GmailListForm.h"
#include "tabs/GmailPropertiesForm.h"
#include "tabs/GmailQuery.h"
#include "tabs/MessageRunOutcome.h"

#include <QtTest>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

// What a run that printed these lines adds up to.
MessageRunTally tallyOf(const QStringList &lines) {
    MessageRunTally tally;
    for (const QString &line : lines)
        if (const auto mailbox = readMailboxLine(line))
            tally.add(*mailbox);
    return tally;
}

} // namespace

// The pure parts of the Gmail tab: list splitting, the query builder and the
// judgement of one "delete messages" run.
class GmailQueryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listValues_splitAtEveryNewlineAndTrimSpacesAndTabs();
    void listValues_blankTextYieldsNothing();
    void from_operatorRemovedWithoutRegardToCase();
    void keywords_operatorRemovedAndExtensionsDroppedAtWordBoundary_data();
    void keywords_operatorRemovedAndExtensionsDroppedAtWordBoundary();
    void query_joinsTermsInOrderWithLocalDates();
    void query_afterOnlyIsTheWholeQuery();
    void form_clearKeepsDatesAndTarget();
    void tally_recognisesGamLineShapes();
    void judge_singleMailboxFollowsExitStatus();
    void judge_domainAndAllFollowStreamedLines();
};

void GmailQueryTest::listValues_splitAtEveryNewlineAndTrimSpacesAndTabs() {
    const QString text = u"  a@x.org\t\r\nb@x.org\rc@x.org\u000Bd@x.org\u000Ce@x.org\u0085f@x.org\u2028g@x.org"
                         u"\u2029h@x.org\na@x.org"_s;
    QCOMPARE(splitListValues(text), (QStringList{u"a@x.org"_s, u"b@x.org"_s, u"c@x.org"_s, u"d@x.org"_s, u"e@x.org"_s,
                                                 u"f@x.org"_s, u"g@x.org"_s, u"h@x.org"_s, u"a@x.org"_s}));
    // Message-IDs keep their angle brackets; inner spaces stay.
    QCOMPARE(splitListValues(u"<id 1@mail>\n"_s), QStringList{u"<id 1@mail>"_s});
}

void GmailQueryTest::listValues_blankTextYieldsNothing() {
    GmailListForm form;
    form.setText(u"\n   \n\t\t\r\n  \n"_s);
    QVERIFY(form.values().isEmpty());
    // The text itself is kept exactly as typed.
    QCOMPARE(form.text(), u"\n   \n\t\t\r\n  \n"_s);
}

void GmailQueryTest::from_operatorRemovedWithoutRegardToCase() {
    QCOMPARE(buildGmailQuery(u" From: boss@example.org "_s, {}, {}, {}), u"from:boss@example.org"_s);
    QCOMPARE(buildGmailQuery(u"FROM:x@example.org"_s, {}, {}, {}), u"from:x@example.org"_s);
    QCOMPARE(buildGmailQuery(u"from:"_s, {}, {}, {}), QString());
    QCOMPARE(buildGmailQuery(u"\t from:  \t"_s, {}, {}, {}), QString());
}

void GmailQueryTest::keywords_operatorRemovedAndExtensionsDroppedAtWordBoundary_data() {
    QTest::addColumn<QString>("keywords");
    QTest::addColumn<QString>("query");
    QTest::newRow("operator and underscore") << u"subject: Q3_report.PDF"_s << u"\"Q3 report\""_s;
    QTest::newRow("has operator") << u"has:attachment"_s << u"\"attachment\""_s;
    QTest::newRow("docx") << u"report.docx"_s << u"\"report\""_s;
    QTest::newRow("not at a word boundary") << u"report.docxx"_s << u"\"report.docxx\""_s;
    QTest::newRow("several extensions") << u"a.xls b.PPTX c.msg"_s << u"\"a b c\""_s;
    QTest::newRow("quotes and apostrophes") << u"\"Don't\"  pay   now"_s << u"\"Dont pay now\""_s;
    QTest::newRow("only an operator") << u"subject:"_s << QString();
    QTest::newRow("only an extension") << u".pdf"_s << QString();
    QTest::newRow("operator only at the start") << u"invoice subject:due"_s << u"\"invoice subject:due\""_s;
}

void GmailQueryTest::keywords_operatorRemovedAndExtensionsDroppedAtWordBoundary() {
    QFETCH(QString, keywords);
    QFETCH(QString, query);
    QCOMPARE(buildGmailQuery({}, keywords, {}, {}), query);
}

void GmailQueryTest::query_joinsTermsInOrderWithLocalDates() {
    // 03:00 UTC on 7 March is still 6 March in Los Angeles (TZ set in main).
    const QDateTime lateEvening(QDate(2025, 3, 7), QTime(3, 0), Qt::UTC);
    const QDateTime morning(QDate(2025, 3, 7), QTime(9, 30), Qt::LocalTime);
    QCOMPARE(gmailDate(lateEvening), u"2025/03/06"_s);
    QCOMPARE(gmailDate(morning), u"2025/03/07"_s);
    QCOMPARE(gmailDate(QDateTime(QDate(987, 1, 2), QTime(12, 0), Qt::LocalTime)), u"0987/01/02"_s);

    GmailPropertiesForm form;
    form.setFrom(u" From:a@example.org "_s);
    form.setKeywords(u"subject: Q3_report.PDF"_s);
    form.setUseAfter(true);
    form.setAfter(morning);
    form.setBefore(morning.addDays(30));
    QCOMPARE(form.query(), u"from:a@example.org \"Q3 report\" after:2025/03/07"_s);
    form.setUseBefore(true);
    QCOMPARE(form.query(), u"from:a@example.org \"Q3 report\" after:2025/03/07 before:2025/04/06"_s);
}

void GmailQueryTest::query_afterOnlyIsTheWholeQuery() {
    GmailPropertiesForm form;
    QCOMPARE(form.query(), QString());
    form.setUseAfter(true);
    QCOMPARE(form.query(), u"after:"_s + gmailDate(QDateTime::currentDateTime()));
}

void GmailQueryTest::form_clearKeepsDatesAndTarget() {
    GmailPropertiesForm form;
    const QDateTime after(QDate(2024, 1, 2), QTime(8, 0), Qt::LocalTime);
    form.targetFields()->setTarget(MailTarget::domain);
    form.targetFields()->setEmail(u"u@example.org"_s);
    form.targetFields()->setDomain(u"example.org"_s);
    form.setFrom(u"x"_s);
    form.setKeywords(u"y"_s);
    form.setUseAfter(true);
    form.setAfter(after);
    form.setUseBefore(true);
    form.clear();
    QCOMPARE(form.targetFields()->target(), MailTarget::domain);
    QVERIFY(form.targetFields()->email().isEmpty());
    QVERIFY(form.targetFields()->domain().isEmpty());
    QVERIFY(form.from().isEmpty() && form.keywords().isEmpty());
    QVERIFY(!form.useAfter() && !form.useBefore());
    QCOMPARE(form.after(), after);
}

void GmailQueryTest::tally_recognisesGamLineShapes() {
    const MessageRunTally none = tallyOf({
        u"Getting all Messages that match query ((from:a)) for a@x.org (1/3)"_s,
        u"User: a@x.org, Messages: 0, Not Deleted: No Messages matched (1/3)"_s,
        // The query echoed in a progress line must not count as a failure.
        u"Getting all Messages that match query ((\"Login Failed: alert\")) for b@x.org (2/3)"_s,
        u"User: b@x.org, Delete 0 Messages (2/3)"_s,
    });
    QVERIFY(!none.reportedFailure() && !none.reportedDeletion() && !none.reportedHeldForDoit());

    QVERIFY(tallyOf({u"User: b@x.org, Delete 2 Messages (2/3)"_s}).reportedDeletion());
    QVERIFY(tallyOf({u"  User: c@x.org, Message: 18e9fc6581b9acab, Deleted"_s}).reportedDeletion());
    QVERIFY(tallyOf({u"User: x@x.org, Message: 1, Not Deleted: Use the \"doit\" argument to perform action (3/3)"_s})
                .reportedHeldForDoit());
    QVERIFY(!tallyOf({u"User: x@x.org, Messages: 0, Not Deleted: Use the \"doit\" argument to perform action"_s})
                 .reportedHeldForDoit());
    QVERIFY(tallyOf({u"  User: x@x.org, Message: id1,id2, Delete Failed: Rate limit exceeded (1-2/2)"_s})
                .reportedFailure());
    QVERIFY(tallyOf({u"User: gone@x.org, Does not exist"_s}).reportedFailure());
}

void GmailQueryTest::judge_singleMailboxFollowsExitStatus() {
    const MessageRunTally quiet;
    const auto judge = [&](bool preview, int status) {
        return judgeMessageRun(preview, MailTarget::specific, status, quiet);
    };
    QCOMPARE(judge(true, 0), MessageRunOutcome::previewComplete);
    QCOMPARE(judge(false, 0), MessageRunOutcome::finished);
    QCOMPARE(judge(true, 51), MessageRunOutcome::previewComplete);
    QCOMPARE(judge(false, 51), MessageRunOutcome::failed);
    QCOMPARE(judge(true, 60), MessageRunOutcome::noMessages);
    QCOMPARE(judge(false, 60), MessageRunOutcome::noMessages);
    QCOMPARE(judge(false, 50), MessageRunOutcome::failed);
    QCOMPARE(judge(true, 2), MessageRunOutcome::failed);

    // One mailbox: a deletion line does not override a failing status.
    QCOMPARE(judgeMessageRun(false, MailTarget::specific, 60, tallyOf({u"User: a@x.org, Delete 2 Messages"_s})),
             MessageRunOutcome::noMessages);
}

void GmailQueryTest::judge_domainAndAllFollowStreamedLines() {
    const QStringList cleaned{u"User: a@x.org, Messages: 0, Not Deleted: No Messages matched (1/2)"_s,
                              u"User: b@x.org, Delete 3 Messages (2/2)"_s};
    const MessageRunTally deleted = tallyOf(cleaned);
    const MessageRunTally held =
        tallyOf({u"User: b@x.org, Messages: 4, Not Deleted: Use the \"doit\" argument to perform action (1/2)"_s});
    const MessageRunTally failed =
        tallyOf(cleaned + QStringList{u"  User: b@x.org, Message: id1, Delete Failed: Backend Error"_s});
    const MessageRunTally quiet;

    for (MailTarget target : {MailTarget::domain, MailTarget::all}) {
        // gam exits 60 because the last mailbox had no match, yet another one was cleaned.
        QCOMPARE(judgeMessageRun(false, target, 60, deleted), MessageRunOutcome::finished);
        QCOMPARE(judgeMessageRun(true, target, 60, held), MessageRunOutcome::previewComplete);
        QCOMPARE(judgeMessageRun(true, target, 51, held), MessageRunOutcome::previewComplete);
        // Held-for-doit lines do not make a delete succeed.
        QCOMPARE(judgeMessageRun(false, target, 51, held), MessageRunOutcome::failed);
        QCOMPARE(judgeMessageRun(false, target, 50, failed), MessageRunOutcome::failed);
        QCOMPARE(judgeMessageRun(false, target, 0, failed), MessageRunOutcome::failed);
        QCOMPARE(judgeMessageRun(false, target, 60, quiet), MessageRunOutcome::noMessages);
        QCOMPARE(judgeMessageRun(true, target, 0, quiet), MessageRunOutcome::noMessages);
        QCOMPARE(judgeMessageRun(false, target, 2, quiet), MessageRunOutcome::failed);
    }
}

int main(int argc, char **argv) {
    qputenv("TZ", "America/Los_Angeles");
    tzset();
    QCoreApplication app(argc, argv);
    GmailQueryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_gmailquery.moc"
