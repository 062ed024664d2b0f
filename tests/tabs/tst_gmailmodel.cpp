#include "FakeGam.h"
#include "TestSupport.h"

#include "core/CommandLine.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "tabs/GmailModel.h"

#include <QSignalSpy>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(GmailMode)
Q_DECLARE_METATYPE(MailTarget)

namespace {

const QString owner = u"owner@lakeside.example.org"_s;
const QString domain = u"lakeside.example.org"_s;

// A vector as a parallel run sends it: through GAM's batching, each child's output whole.
QStringList batched(const QStringList &vector) {
    return QStringList{u"config"_s,       u"auto_batch_min"_s, u"1"_s,      u"num_threads"_s,
                       u"20"_s,           u"redirect"_s,       u"stdout"_s, u"-"_s,
                       u"multiprocess"_s, u"redirect"_s,       u"stderr"_s, u"-"_s,
                       u"multiprocess"_s} +
           vector;
}

} // namespace

// GmailModel against a recording gam script: argument vectors, the per-item
// loop and its judgement, Find Messages, validation and confirmations.
class GmailModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void vectors_eachTargetAndMode_data();
    void vectors_eachTargetAndMode();
    void exit51_completesOnlyInAPreview();
    void outputLinesMentioningNoMessagesAreNotLogged();
    void domainDelete_judgedFromStreamedLines();
    void manyMailboxes_resultsSheetOnlyThen();
    void parallel_batchesOnlyManyMailboxTargets_data();
    void parallel_batchesOnlyManyMailboxTargets();
    void retry_confirmsThenRunsFailedMailboxesAlone();
    void retry_ofAPreviewPreviewsAgain();
    void runEndedBySignal_failsItsItemAndShowsNoResults();
    void destroyingTheModelMidRun_endsItsLoop();
    void destroyingTheConsoleMidRun_finishesTheRunFirst();
    void stop_writesSummaryWithCountsReached();
    void runnerFailure_stopsLoopAndWritesSummary();
    void dismissedConfirmation_writesNothing();
    void confirmation_readsTargetWhenConfirmed();
    void confirmationMessages();
    void validation_alertsInOrder();
    void find_fillsTableWhenHeadersDifferInCase();
    void find_headerOnlyAndNoOutput();
    void clear_emptiesOnlyTheVisibleForm();

private:
    void setTarget(MailTargetFields *fields, MailTarget target);
    bool waitIdle();
    void confirm();

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<FakeGam> m_gam;
    std::unique_ptr<ProfileStore> m_profiles;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<GmailModel> m_model;
};

void GmailModelTest::init() {
    m_settings = std::make_unique<IsolatedSettings>();
    m_gam = std::make_unique<FakeGam>();
    m_gam->install();
    m_profiles = std::make_unique<ProfileStore>();
    DomainProfile profile = m_profiles->add(u"Lakeside"_s);
    profile.domain = domain;
    m_profiles->update(profile);
    m_profiles->activate(profile.id);
    m_console = std::make_unique<Console>(nullptr);
    m_model = std::make_unique<GmailModel>(m_console.get());
}

void GmailModelTest::cleanup() {
    m_model.reset();
    m_console.reset();
    m_profiles.reset();
    m_gam.reset();
    m_settings.reset();
}

void GmailModelTest::setTarget(MailTargetFields *fields, MailTarget target) {
    fields->setTarget(target);
    fields->setEmail(owner);
    fields->setDomain(domain);
}

bool GmailModelTest::waitIdle() {
    return QTest::qWaitFor([this] { return !m_console->isBusy(); }, 30000);
}

// What the window does when the user presses the confirmation's "Delete".
void GmailModelTest::confirm() {
    QVERIFY(m_console->alert().has_value());
    const AlertItem alert = *m_console->alert();
    QCOMPARE(alert.confirmTitle, std::optional(u"Delete"_s));
    QVERIFY(alert.isDestructive);
    m_console->setAlert(std::nullopt);
    alert.onConfirm();
}

void GmailModelTest::vectors_eachTargetAndMode_data() {
    QTest::addColumn<GmailMode>("mode");
    QTest::addColumn<MailTarget>("target");
    QTest::addColumn<bool>("preview");
    QTest::addColumn<QList<QStringList>>("vectors");

    const QList<std::pair<MailTarget, QStringList>> targets{{MailTarget::specific, {u"user"_s, owner}},
                                                            {MailTarget::domain, {u"domains_ns"_s, domain}},
                                                            {MailTarget::all, {u"query"_s, u"isSuspended=false"_s}}};
    const QList<std::pair<GmailMode, QStringList>> modes{
        {GmailMode::messageID, {u"rfc822msgid:<a1@mail.example>"_s, u"rfc822msgid:<b2@mail.example>"_s}},
        {GmailMode::sender, {u"from:bad@evil.example"_s, u"from:worse@evil.example"_s}},
        {GmailMode::properties, {u"from:bad@evil.example \"invoice\""_s}}};
    for (const auto &[target, words] : targets) {
        for (const auto &[mode, terms] : modes) {
            for (bool preview : {true, false}) {
                QList<QStringList> vectors;
                for (const QString &term : terms) {
                    QStringList vector =
                        words + QStringList{u"delete"_s, u"messages"_s, u"query"_s, term, u"max_to_delete"_s, u"0"_s};
                    if (!preview)
                        vector.append(u"doit"_s);
                    vectors.append(vector);
                }
                const QString name =
                    words.first() + u' ' + terms.first().section(u':', 0, 0) + (preview ? u" preview"_s : u" delete"_s);
                QTest::newRow(name.toUtf8().constData()) << mode << target << preview << vectors;
            }
        }
    }
}

void GmailModelTest::vectors_eachTargetAndMode() {
    QFETCH(GmailMode, mode);
    QFETCH(MailTarget, target);
    QFETCH(bool, preview);
    QFETCH(QList<QStringList>, vectors);

    m_model->setMode(mode);
    MailTargetFields *fields = nullptr;
    if (mode == GmailMode::properties) {
        GmailPropertiesForm *form = m_model->propertiesForm();
        fields = form->targetFields();
        setTarget(fields, target);
        form->setFrom(u"bad@evil.example"_s);
        form->setKeywords(u"invoice.pdf"_s);
        preview ? m_model->previewProperties() : m_model->deleteProperties();
    } else {
        GmailListForm *form = m_model->listForm(mode);
        fields = form->targetFields();
        setTarget(fields, target);
        form->setText(mode == GmailMode::sender ? u"bad@evil.example\n\n  worse@evil.example \n"_s
                                                : u"<a1@mail.example>\r\n<b2@mail.example>"_s);
        preview ? m_model->previewList(mode) : m_model->deleteList(mode);
    }
    if (!preview)
        confirm();
    QVERIFY(waitIdle());

    QCOMPARE(m_gam->runs(), vectors.size());
    const QStringList log = logLines(*m_console);
    for (int i = 0; i < vectors.size(); ++i) {
        QCOMPARE(m_gam->arguments(i + 1), vectors.at(i));
        QVERIFY2(log.contains(u">> "_s + displayCommand(vectors.at(i))), qPrintable(log.join(u'\n')));
    }
    const QString header = (preview ? u"[PREVIEW] "_s : u"[DELETE] "_s) + QString::number(vectors.size()) +
                           u" item(s) — target: "_s + fields->targetDescription();
    QVERIFY2(log.contains(header), qPrintable(header));
    QCOMPARE(log.constLast(), (preview ? u"Preview done"_s : u"Done"_s) + u" — "_s + QString::number(vectors.size()) +
                                  u" completed, 0 failed."_s);
}

void GmailModelTest::exit51_completesOnlyInAPreview() {
    GmailListForm *form = m_model->senderForm();
    setTarget(form->targetFields(), MailTarget::specific);
    form->setText(u"bad@evil.example"_s);
    m_gam->answer(1, {}, u"User: owner@lakeside.example.org, Messages: 3, Not Deleted: Use the \"doit\" argument"_s,
                  51);
    m_gam->answer(2, {}, {}, 51);

    m_model->previewList(GmailMode::sender);
    QVERIFY(waitIdle());
    m_model->deleteList(GmailMode::sender);
    confirm();
    QVERIFY(waitIdle());

    const QStringList log = logLines(*m_console);
    const qsizetype previewLine = log.indexOf(u"  Preview complete: bad@evil.example"_s);
    QVERIFY(previewLine > 0);
    QCOMPARE(log.at(previewLine + 1), u"Preview done — 1 completed, 0 failed."_s);
    const qsizetype failedLine = log.indexOf(u"  FAILED: bad@evil.example (exit 51)"_s);
    QVERIFY(failedLine > previewLine);
    QCOMPARE(log.at(failedLine + 1), u"Done — 0 completed, 1 failed."_s);
    QCOMPARE(m_console->entryAt(failedLine).kind, LogKind::error);
}

void GmailModelTest::outputLinesMentioningNoMessagesAreNotLogged() {
    GmailListForm *form = m_model->messageIDForm();
    setTarget(form->targetFields(), MailTarget::specific);
    form->setText(u"<a1@mail.example>"_s);
    m_gam->answer(1,
                  u"Kept line\n   \nThere are NO MESSAGES here\n\rGot 1 Messages for o@x.org...\rGot 2 Messages for "
                  u"o@x.org...\r\n\tindented kept\n"_s,
                  u"User: owner@lakeside.example.org, Messages: 0, Not Deleted: No Messages matched\n"_s, 60);
    m_model->previewList(GmailMode::messageID);
    QVERIFY(waitIdle());

    const QStringList log = logLines(*m_console);
    const qsizetype command = log.indexOf(QRegularExpression(u">> .*"_s));
    QVERIFY(command > 0);
    QCOMPARE(log.mid(command + 1), (QStringList{u"  Kept line"_s, u"  Got 2 Messages for o@x.org..."_s,
                                                u"  \tindented kept"_s, u"  No messages found for: <a1@mail.example>"_s,
                                                u"Preview done — 1 completed, 0 failed."_s}));
}

void GmailModelTest::domainDelete_judgedFromStreamedLines() {
    GmailListForm *form = m_model->senderForm();
    setTarget(form->targetFields(), MailTarget::domain);
    form->setText(u"bad@evil.example\nworse@evil.example\nnobody@evil.example"_s);
    // Item 1: one mailbox deleted, the last had no match, so gam exits 60.
    m_gam->answer(1,
                  u"User: a@lakeside.example.org, Delete 2 Messages (1/2)\n"_s
                  u"  User: a@lakeside.example.org, Message: 18e9fc6581b9acab, Deleted (1/2)\n"_s,
                  u"User: b@lakeside.example.org, Messages: 0, Not Deleted: No Messages matched (2/2)\n"_s, 60);
    // Item 2: a failure line fails the item even though gam exits 60.
    m_gam->answer(2, u"User: a@lakeside.example.org, Delete 1 Message (1/2)\n"_s,
                  u"  User: a@lakeside.example.org, Message: x1, Delete Failed: Backend Error\n"_s
                  u"User: b@lakeside.example.org, Messages: 0, Not Deleted: No Messages matched (2/2)\n"_s,
                  60);
    // Item 3: no mailbox matched.
    m_gam->answer(3, {}, u"User: a@lakeside.example.org, Messages: 0, Not Deleted: No Messages matched (1/1)\n"_s, 60);
    m_model->deleteList(GmailMode::sender);
    confirm();
    QVERIFY(waitIdle());

    const QStringList log = logLines(*m_console);
    QVERIFY2(log.contains(u"  Finished: bad@evil.example"_s), qPrintable(log.join(u'\n')));
    QVERIFY(log.contains(u"  FAILED: worse@evil.example (exit 60)"_s));
    QVERIFY(log.contains(u"  No messages found for: nobody@evil.example"_s));
    QCOMPARE(log.constLast(), u"Done — 2 completed, 1 failed."_s);
}

void GmailModelTest::manyMailboxes_resultsSheetOnlyThen() {
    GmailListForm *form = m_model->senderForm();
    form->setText(u"bad@evil.example\nworse@evil.example"_s);
    setTarget(form->targetFields(), MailTarget::specific);
    m_gam->answer(1, u"User: owner@lakeside.example.org, Delete 1 Message\n"_s);
    m_gam->answer(2, {}, u"User: owner@lakeside.example.org, Messages: 0, Not Deleted: No Messages matched\n"_s, 60);
    m_model->deleteList(GmailMode::sender);
    confirm();
    QVERIFY(waitIdle());
    QVERIFY2(!m_console->results(), "one mailbox keeps its log lines only");

    form->targetFields()->setTarget(MailTarget::all);
    m_gam->answer(
        3,
        u"User: a@lakeside.example.org, Delete 2 Messages (1/3)\n"_s
        u"  User: a@lakeside.example.org, Message: m1, Deleted (1/2)\n"_s
        u"  User: a@lakeside.example.org, Message: m2, Deleted (2/2)\n"_s,
        u"User: b@lakeside.example.org, Delete Failed: Rate Limit Exceeded: User-rate limit exceeded. (2/3)\n"_s
        u"User: c@lakeside.example.org, Messages: 0, Not Deleted: No Messages matched (3/3)\n"_s,
        60);
    m_gam->answer(
        4, {},
        u"\rGot 0 Messages...\r\nUser: A@lakeside.example.org, Messages: 0, Not Deleted: No Messages matched\n"_s, 60);
    m_model->deleteList(GmailMode::sender);
    confirm();
    QVERIFY(waitIdle());

    const QStringList log = logLines(*m_console);
    // The per-item lines and the summary stay as they were.
    QVERIFY2(log.contains(u"  FAILED: bad@evil.example (exit 60)"_s), qPrintable(log.join(u'\n')));
    QVERIFY(log.contains(u"  No messages found for: worse@evil.example"_s));
    QCOMPARE(log.constLast(), u"Done — 1 completed, 1 failed."_s);

    QVERIFY(m_console->results().has_value());
    const ResultsTable &table = *m_console->results();
    QCOMPARE(table.title, u"Mailbox Results — 3 mailbox(es)"_s);
    QCOMPARE(table.summary, u"1 Deleted  •  2 No match  •  1 Failed"_s);
    QCOMPARE(table.query, u"from:bad@evil.example  •  from:worse@evil.example"_s);
    QCOMPARE(table.rows, (QList<QStringList>{
                             {u"a@lakeside.example.org"_s, u"bad@evil.example"_s, u"2"_s, u"2"_s, u"Deleted"_s},
                             {u"b@lakeside.example.org"_s, u"bad@evil.example"_s, QString(), u"0"_s,
                              u"Failed: Rate Limit Exceeded: User-rate limit exceeded."_s},
                             {u"c@lakeside.example.org"_s, u"bad@evil.example"_s, u"0"_s, u"0"_s, u"No match"_s},
                             {u"A@lakeside.example.org"_s, u"worse@evil.example"_s, u"0"_s, u"0"_s, u"No match"_s},
                         }));
    QVERIFY(table.action.has_value());
    QCOMPARE(table.action->title, u"Retry Failed Mailboxes…"_s);
}

void GmailModelTest::parallel_batchesOnlyManyMailboxTargets_data() {
    QTest::addColumn<MailTarget>("target");
    QTest::addColumn<QStringList>("vector");
    const QStringList rest{u"delete"_s,        u"messages"_s, u"query"_s, u"from:bad@evil.example"_s,
                           u"max_to_delete"_s, u"0"_s,        u"doit"_s};
    QTest::newRow("specific") << MailTarget::specific << QStringList{u"user"_s, owner} + rest;
    QTest::newRow("domain") << MailTarget::domain << batched(QStringList{u"domains_ns"_s, domain} + rest);
    QTest::newRow("all") << MailTarget::all << batched(QStringList{u"query"_s, u"isSuspended=false"_s} + rest);
}

void GmailModelTest::parallel_batchesOnlyManyMailboxTargets() {
    QFETCH(MailTarget, target);
    QFETCH(QStringList, vector);
    m_model->setRunInParallel(true);
    QVERIFY2(GmailModel(m_console.get()).runInParallel(), "the choice is remembered");
    GmailListForm *form = m_model->senderForm();
    setTarget(form->targetFields(), target);
    form->setText(u"bad@evil.example"_s);
    m_model->deleteList(GmailMode::sender);
    confirm();
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->arguments(1), vector);
}

void GmailModelTest::retry_confirmsThenRunsFailedMailboxesAlone() {
    GmailListForm *form = m_model->senderForm();
    setTarget(form->targetFields(), MailTarget::domain);
    form->setText(u"bad@evil.example\nworse@evil.example"_s);
    m_model->setRunInParallel(true);
    // Twelve mailboxes fail for the first sender (batched: no counters, exit 0), one for the second.
    QString failures;
    for (int i = 1; i <= 12; ++i)
        failures += u"User: s%1@lakeside.example.org, Delete Failed: Rate Limit Exceeded\n"_s.arg(i);
    m_gam->answer(1, u"User: ok@lakeside.example.org, Delete 1 Message\n"_s, failures);
    m_gam->answer(2, {}, u"User: s3@lakeside.example.org, Delete Failed: Backend Error\n"_s);
    m_model->deleteList(GmailMode::sender);
    confirm();
    QVERIFY(waitIdle());
    QVERIFY(m_console->results() && m_console->results()->action);

    m_console->results()->action->trigger();
    QVERIFY(m_console->alert().has_value());
    const AlertItem alert = *m_console->alert();
    QCOMPARE(alert.title, u"Retry Failed Mailboxes"_s);
    QStringList firstTen;
    for (int i = 1; i <= 10; ++i)
        firstTen.append(u"s%1@lakeside.example.org"_s.arg(i));
    QCOMPARE(alert.message, u"Delete the matching messages again in the 12 mailboxes that failed:\n\n"_s +
                                firstTen.join(u'\n') +
                                u"\n… and 2 more\n\nThis action cannot be undone. Continue?\n\nDomain: Lakeside "
                                u"(lakeside.example.org)"_s);

    // Sender one: s2 is cleaned, s5 matched nothing, the others give no line (they keep their failure).
    m_gam->answer(3, u"User: s2@lakeside.example.org, Delete 1 Message\n"_s,
                  u"User: s5@lakeside.example.org, Messages: 0, Not Deleted: No Messages matched\n"_s);
    m_gam->answer(4, u"User: s3@lakeside.example.org, Delete 3 Messages\n"_s);
    confirm();
    QVERIFY(waitIdle());

    QCOMPARE(m_gam->runs(), 4);
    QStringList users;
    for (int i = 1; i <= 12; ++i)
        users.append(u"s%1@lakeside.example.org"_s.arg(i));
    QCOMPARE(m_gam->arguments(3), batched({u"users"_s, users.join(u','), u"delete"_s, u"messages"_s, u"query"_s,
                                           u"from:bad@evil.example"_s, u"max_to_delete"_s, u"0"_s, u"doit"_s}));
    QCOMPARE(m_gam->arguments(4),
             batched({u"users"_s, u"s3@lakeside.example.org"_s, u"delete"_s, u"messages"_s, u"query"_s,
                      u"from:worse@evil.example"_s, u"max_to_delete"_s, u"0"_s, u"doit"_s}));
    const QStringList log = logLines(*m_console);
    QCOMPARE(log.filter(u"[DELETE]"_s).constLast(), u"[DELETE] 2 item(s) — target: 12 failed mailbox(es)"_s);

    // Rows keep their places; those retried show what the retry said.
    QVERIFY(m_console->results().has_value());
    const QList<QStringList> &rows = m_console->results()->rows;
    QCOMPARE(rows.size(), 14);
    QCOMPARE(rows.at(0).first(), u"ok@lakeside.example.org"_s);
    QCOMPARE(rows.at(2),
             (QStringList{u"s2@lakeside.example.org"_s, u"bad@evil.example"_s, u"1"_s, u"0"_s, u"Deleted"_s}));
    QCOMPARE(rows.at(5).last(), u"No match"_s);
    QCOMPARE(rows.at(1).last(), u"Failed: Rate Limit Exceeded"_s);
    QCOMPARE(rows.at(13),
             (QStringList{u"s3@lakeside.example.org"_s, u"worse@evil.example"_s, u"3"_s, u"0"_s, u"Deleted"_s}));
    QVERIFY(m_console->results()->action.has_value());
}

void GmailModelTest::retry_ofAPreviewPreviewsAgain() {
    GmailPropertiesForm *form = m_model->propertiesForm();
    setTarget(form->targetFields(), MailTarget::domain);
    form->setFrom(u"bad@evil.example"_s);
    m_gam->answer(1, {}, u"User: a@lakeside.example.org, Delete Failed: Rate Limit Exceeded (1/1)\n"_s, 50);
    m_model->previewProperties();
    QVERIFY(waitIdle());
    QVERIFY(m_console->results() && m_console->results()->action);
    QCOMPARE(m_console->results()->columns.at(1), u"Query"_s);

    m_console->results()->action->trigger();
    const AlertItem alert = *m_console->alert();
    QCOMPARE(alert.confirmTitle, std::optional(u"Preview"_s));
    QVERIFY(!alert.isDestructive);
    m_console->setAlert(std::nullopt);
    m_gam->answer(2, {}, u"User: a@lakeside.example.org, Messages: 4, Not Deleted: Use the \"doit\" argument\n"_s, 51);
    alert.onConfirm();
    QVERIFY(waitIdle());

    QCOMPARE(m_gam->arguments(2), (QStringList{u"users"_s, u"a@lakeside.example.org"_s, u"delete"_s, u"messages"_s,
                                               u"query"_s, u"from:bad@evil.example"_s, u"max_to_delete"_s, u"0"_s}));
    QCOMPARE(m_console->results()->rows, (QList<QStringList>{{u"a@lakeside.example.org"_s, u"from:bad@evil.example"_s,
                                                              u"4"_s, u"0"_s, u"Would delete"_s}}));
    QVERIFY2(!m_console->results()->action, "nothing is left to retry");
}

void GmailModelTest::runEndedBySignal_failsItsItemAndShowsNoResults() {
    GmailListForm *form = m_model->senderForm();
    setTarget(form->targetFields(), MailTarget::domain);
    form->setText(u"bad@evil.example\nworse@evil.example"_s);
    // Item 1 reports a deletion and is then killed: it must not pass for finished.
    m_gam->answer(1, u"User: a@lakeside.example.org, Delete 2 Messages (1/2)\n"_s);
    m_gam->endBySignal(1, 9);
    m_gam->answer(2, u"User: a@lakeside.example.org, Delete 1 Message (1/1)\n"_s);
    m_model->deleteList(GmailMode::sender);
    confirm();
    QVERIFY(waitIdle());
    QStringList log = logLines(*m_console);
    QVERIFY2(log.contains(u"  FAILED: bad@evil.example (signal 9)"_s), qPrintable(log.join(u'\n')));
    QVERIFY(log.contains(u"  Finished: worse@evil.example"_s));
    QCOMPARE(log.constLast(), u"Done — 1 completed, 1 failed."_s);

    // A find that crashes after printing rows shows no partial table.
    m_console->setResults(std::nullopt); // the domain run's mailbox sheet
    GmailPropertiesForm *find = m_model->propertiesForm();
    setTarget(find->targetFields(), MailTarget::specific);
    find->setFrom(u"bad@evil.example"_s);
    m_gam->answer(3, u"User,threadId,id,Subject\nowner@lakeside.example.org,t,m,Hi\n"_s);
    m_gam->endBySignal(3, 11);
    m_model->findMessages();
    QVERIFY(waitIdle());
    log = logLines(*m_console);
    QCOMPARE(log.constLast(), u"ERROR: Command ended by signal 11."_s);
    QVERIFY(!m_console->results());
}

void GmailModelTest::destroyingTheModelMidRun_endsItsLoop() {
    GmailListForm *form = m_model->senderForm();
    setTarget(form->targetFields(), MailTarget::specific);
    form->setText(u"one@evil.example\ntwo@evil.example"_s);
    m_gam->answer(1, u"first line\n"_s);
    m_gam->hang(1);
    m_model->previewList(GmailMode::sender);
    QTRY_VERIFY(logLines(*m_console).contains(u"  first line"_s));

    m_model.reset();
    const qsizetype before = m_console->entryCount();
    m_console->stop(); // the run resumes with its model gone
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), 1);
    QCOMPARE(logLines(*m_console).mid(before), QStringList(u"Stopping…"_s));
}

void GmailModelTest::destroyingTheConsoleMidRun_finishesTheRunFirst() {
    GmailListForm *form = m_model->senderForm();
    setTarget(form->targetFields(), MailTarget::specific);
    form->setText(u"one@evil.example\ntwo@evil.example"_s);
    m_gam->hang(1);
    m_model->previewList(GmailMode::sender);
    QVERIFY(QTest::qWaitFor([this] { return m_gam->runs() == 1; }, 20000));

    QSignalSpy busy(m_console.get(), &Console::busyChanged);
    m_console.reset();
    QCOMPARE(busy.size(), 1); // the task ended inside the destructor
    m_model.reset();
    QCoreApplication::processEvents();
    QCOMPARE(m_gam->runs(), 1);
}

void GmailModelTest::stop_writesSummaryWithCountsReached() {
    GmailListForm *form = m_model->senderForm();
    setTarget(form->targetFields(), MailTarget::specific);
    form->setText(u"one@evil.example\ntwo@evil.example\nthree@evil.example"_s);
    m_gam->hang(2);
    m_model->previewList(GmailMode::sender);
    QVERIFY(QTest::qWaitFor([this] { return m_gam->runs() == 2; }, 20000));
    QTest::qWait(100);
    m_console->stop();
    QVERIFY(waitIdle());

    QCOMPARE(m_gam->runs(), 2);
    const QStringList log = logLines(*m_console);
    QVERIFY(log.contains(u"  Preview complete: one@evil.example"_s));
    QVERIFY2(log.contains(u"  Stopped by user."_s), qPrintable(log.join(u'\n')));
    QCOMPARE(log.constLast(), u"Preview done — 1 completed, 0 failed."_s);
}

void GmailModelTest::runnerFailure_stopsLoopAndWritesSummary() {
    QSettings().setValue(u"gamPath"_s, QString(m_gam->path() + u".missing"_s));
    GmailListForm *form = m_model->senderForm();
    setTarget(form->targetFields(), MailTarget::all);
    form->setText(u"one@evil.example\ntwo@evil.example"_s);
    m_model->previewList(GmailMode::sender);
    QVERIFY(waitIdle());

    const QStringList log = logLines(*m_console);
    QCOMPARE(log.count(u">> "_s + displayCommand({u"query"_s, u"isSuspended=false"_s, u"delete"_s, u"messages"_s,
                                                  u"query"_s, u"from:one@evil.example"_s, u"max_to_delete"_s, u"0"_s})),
             1);
    QVERIFY(!log.join(u'\n').contains(u"two@evil.example max_to_delete"_s));
    QVERIFY(log.at(log.size() - 2).startsWith(u"ERROR: "_s));
    QCOMPARE(log.constLast(), u"Preview done — 0 completed, 0 failed."_s);
}

void GmailModelTest::dismissedConfirmation_writesNothing() {
    GmailListForm *form = m_model->senderForm();
    setTarget(form->targetFields(), MailTarget::domain);
    form->setText(u"bad@evil.example"_s);
    m_model->deleteList(GmailMode::sender);
    QVERIFY(m_console->alert().has_value());
    m_console->setAlert(std::nullopt); // Cancel
    QTest::qWait(50);
    QCOMPARE(m_console->entryCount(), 0);
    QCOMPARE(m_gam->runs(), 0);
    QVERIFY(!m_console->isBusy());
}

void GmailModelTest::confirmation_readsTargetWhenConfirmed() {
    GmailListForm *form = m_model->senderForm();
    setTarget(form->targetFields(), MailTarget::specific);
    form->setText(u"bad@evil.example"_s);
    m_model->deleteList(GmailMode::sender);
    form->setText(u"changed@evil.example"_s);
    form->targetFields()->setEmail(u"other@lakeside.example.org"_s);
    confirm();
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->arguments(1),
             (QStringList{u"user"_s, u"other@lakeside.example.org"_s, u"delete"_s, u"messages"_s, u"query"_s,
                          u"from:bad@evil.example"_s, u"max_to_delete"_s, u"0"_s, u"doit"_s}));
}

void GmailModelTest::confirmationMessages() {
    const QString tail = u"\n\nThis action cannot be undone. Continue?\n\nDomain: Lakeside (lakeside.example.org)"_s;

    GmailListForm *ids = m_model->messageIDForm();
    setTarget(ids->targetFields(), MailTarget::specific);
    ids->setText(u"<a1@mail.example>"_s);
    m_model->deleteList(GmailMode::messageID);
    QCOMPARE(m_console->alert()->title, u"Confirm Delete"_s);
    QCOMPARE(m_console->alert()->message, u"Delete 1 message from:\n\n"_s + owner + tail);
    ids->setText(u"<a1@mail.example>\n<b2@mail.example>"_s);
    m_model->deleteList(GmailMode::messageID);
    QCOMPARE(m_console->alert()->message, u"Delete 2 messages from:\n\n"_s + owner + tail);

    GmailListForm *senders = m_model->senderForm();
    setTarget(senders->targetFields(), MailTarget::domain);
    senders->setText(u"bad@evil.example\n worse@evil.example"_s);
    m_model->deleteList(GmailMode::sender);
    QCOMPARE(m_console->alert()->message,
             u"Delete all messages from 2 senders:\n\nbad@evil.example\nworse@evil.example\n\n"_s
             u"Target: all active users in @lakeside.example.org"_s +
                 tail);
    senders->setText(u"bad@evil.example"_s);
    m_model->deleteList(GmailMode::sender);
    QVERIFY(m_console->alert()->message.startsWith(u"Delete all messages from 1 sender:\n\n"_s));

    GmailPropertiesForm *properties = m_model->propertiesForm();
    setTarget(properties->targetFields(), MailTarget::all);
    properties->setFrom(u"bad@evil.example"_s);
    m_model->deleteProperties();
    QCOMPARE(
        m_console->alert()->message,
        u"Delete all messages matching:\n\nfrom:bad@evil.example\n\nTarget: all active (non-suspended) mailboxes"_s +
            tail);
    QCOMPARE(m_console->entryCount(), 0);
}

void GmailModelTest::validation_alertsInOrder() {
    const auto alertMessage = [this] {
        const auto alert = m_console->alert();
        m_console->setAlert(std::nullopt);
        return alert ? alert->title + u" | "_s + alert->message : QString();
    };
    const QString missingEmail = u"Missing Input | Please enter a mailbox owner email address."_s;
    const QString missingDomain = u"Missing Input | Please enter a domain (e.g. school.example.org)."_s;

    GmailListForm *ids = m_model->messageIDForm();
    m_model->previewList(GmailMode::messageID);
    QCOMPARE(alertMessage(), missingEmail);
    ids->targetFields()->setEmail(u"   \n"_s);
    m_model->deleteList(GmailMode::messageID);
    QCOMPARE(alertMessage(), missingEmail);
    ids->targetFields()->setTarget(MailTarget::domain);
    m_model->previewList(GmailMode::messageID);
    QCOMPARE(alertMessage(), missingDomain);
    ids->targetFields()->setTarget(MailTarget::all);
    ids->setText(u"  \n\t\n"_s);
    m_model->previewList(GmailMode::messageID);
    QCOMPARE(alertMessage(), u"Missing Input | Please enter at least one Message-ID."_s);
    GmailListForm *senders = m_model->senderForm();
    senders->targetFields()->setTarget(MailTarget::all);
    m_model->deleteList(GmailMode::sender);
    QCOMPARE(alertMessage(), u"Missing Input | Please enter at least one sender email."_s);

    GmailPropertiesForm *properties = m_model->propertiesForm();
    m_model->findMessages();
    QCOMPARE(alertMessage(), missingEmail);
    properties->targetFields()->setTarget(MailTarget::domain);
    m_model->previewProperties();
    QCOMPARE(alertMessage(), missingDomain);
    properties->targetFields()->setDomain(domain);
    m_model->previewProperties();
    QCOMPARE(alertMessage(), u"Missing Input | Please fill in at least one search field (From, Keywords, or Date)."_s);
    m_model->deleteProperties();
    QCOMPARE(alertMessage(), u"Missing Input | Please fill in at least one search field (From, Keywords, or Date)."_s);
    m_model->findMessages();
    QCOMPARE(alertMessage(), u"Missing Input | Please fill in at least one search field."_s);
    properties->setUseBefore(true);
    m_model->findMessages();
    QCOMPARE(alertMessage(),
             u"Specific User Required | Find Messages works on a single mailbox so you can verify your query before "
             u"running a domain-wide delete.\n\nSwitch to Specific User, pick someone you know received the email, "
             u"confirm the query is right, then switch back to Domain / All Users to delete."_s);

    QCOMPARE(m_gam->runs(), 0);
    QCOMPARE(m_console->entryCount(), 0);
}

void GmailModelTest::find_fillsTableWhenHeadersDifferInCase() {
    GmailPropertiesForm *form = m_model->propertiesForm();
    setTarget(form->targetFields(), MailTarget::specific);
    form->setFrom(u"billing@evil.example"_s);
    m_gam->answer(
        1,
        u"USER,threadId,id,SUBJECT,from,DATE\n"_s
        u"owner@lakeside.example.org,t1,m1,Invoice due,Billing <billing@evil.example>,"
        u"\"Mon, 3 Jun 2024 09:15:02 -0700\"\n"
        u"owner@lakeside.example.org,t2,m2,,billing@evil.example,\"Tue, 4 Jun 2024 10:00:00 -0700\"\n"_s,
        u"Getting all Messages that match query ((from:billing@evil.example)) for owner@lakeside.example.org\n"
        u"\rGot 1 Message that matched query ((from:billing@evil.example)) for owner@lakeside.example.org..."
        u"\rGot 2 Messages that matched query ((from:billing@evil.example)) for "
        u"owner@lakeside.example.org...\r\n"_s);
    m_model->findMessages();
    QVERIFY(waitIdle());

    const QStringList arguments{u"user"_s,         owner,
                                u"print"_s,        u"messages"_s,
                                u"query"_s,        u"from:billing@evil.example"_s,
                                u"headers"_s,      u"Subject,From,Date"_s,
                                u"max_to_print"_s, u"50"_s};
    QCOMPARE(m_gam->arguments(1), arguments);
    const QStringList log = logLines(*m_console);
    QVERIFY(log.contains(u"[FIND] "_s + displayCommand(arguments)));
    QVERIFY2(log.contains(u"  Got 2 Messages that matched query ((from:billing@evil.example)) for "
                          u"owner@lakeside.example.org..."_s),
             qPrintable(log.join(u'\n')));
    QVERIFY(!log.join(u'\n').contains(u"Got 1 Message"_s)); // rewritten in place, as in a terminal
    QVERIFY(log.contains(u"  Found 2 message(s):"_s));
    QVERIFY(log.contains(u"    Subject: Invoice due"_s));
    QVERIFY(log.contains(u"    Subject: "_s));

    QVERIFY(m_console->results().has_value());
    const ResultsTable table = *m_console->results();
    QCOMPARE(table.title, u"Found Messages — 2 result(s)"_s);
    QCOMPARE(table.query, u"from:billing@evil.example"_s);
    QCOMPARE(table.summary, u"2 message(s) matched  •  max 50 shown"_s);
    QCOMPARE(table.columns, (QStringList{u"User Email"_s, u"Date"_s, u"From"_s, u"Subject"_s}));
    QCOMPARE(table.exportName, u"gmail_results"_s);
    QCOMPARE(table.rows.size(), 2);
    QCOMPARE(table.rows.at(0), (QStringList{owner, u"Mon, 3 Jun 2024 09:15:02 -0700"_s,
                                            u"Billing <billing@evil.example>"_s, u"Invoice due"_s}));
    QCOMPARE(table.rows.at(1).at(3), QString());
}

void GmailModelTest::find_headerOnlyAndNoOutput() {
    GmailPropertiesForm *form = m_model->propertiesForm();
    setTarget(form->targetFields(), MailTarget::specific);
    form->setKeywords(u"nothing"_s);
    m_gam->answer(1, u"User,threadId,id,Subject,From,Date\n"_s, {}, 60);
    m_gam->answer(2, u"  \n"_s, {}, 0);
    m_gam->answer(3, u"User,threadId,id,From\nowner@lakeside.example.org,t,m,x@evil.example\n"_s, {}, 0);
    m_model->findMessages();
    QVERIFY(waitIdle());
    m_model->findMessages();
    QVERIFY(waitIdle());
    m_model->findMessages();
    QVERIFY(waitIdle());

    const QStringList log = logLines(*m_console);
    QCOMPARE(log.count(u"  No messages returned — the mailbox may have no matching messages."_s), 2);
    QVERIFY(log.contains(u"    Subject: (no subject)"_s));
    QCOMPARE(m_console->results()->rows.size(), 1);
}

void GmailModelTest::clear_emptiesOnlyTheVisibleForm() {
    GmailListForm *ids = m_model->messageIDForm();
    GmailListForm *senders = m_model->senderForm();
    setTarget(ids->targetFields(), MailTarget::domain);
    setTarget(senders->targetFields(), MailTarget::specific);
    ids->setText(u"<a@b>"_s);
    senders->setText(u"x@y"_s);
    m_model->setMode(GmailMode::sender);
    m_model->clear();
    QVERIFY(senders->text().isEmpty() && senders->targetFields()->email().isEmpty() &&
            senders->targetFields()->domain().isEmpty());
    QCOMPARE(senders->targetFields()->target(), MailTarget::specific);
    QCOMPARE(ids->text(), u"<a@b>"_s);
    QCOMPARE(ids->targetFields()->domain(), domain);
}

QTEST_GUILESS_MAIN(GmailModelTest)
#include "tst_gmailmodel.moc"
