#include "FakeDesktopServices.h"
#include "TestSupport.h"

#include "core/CSV.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "tabs/GmailModel.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QtTest>
#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString phisher = u"helpdesk@secure-login.example.net"_s;
const QString victim = u"morgan.ellis@example.org"_s;

// Each mailbox's outcome, by mailbox, from the Mailbox Results table.
QMap<QString, QString> outcomes(const ResultsTable &table) {
    QMap<QString, QString> byMailbox;
    for (const QStringList &row : table.rows)
        byMailbox.insert(row.first(), row.last());
    return byMailbox;
}

QStringList mailboxesWith(const QMap<QString, QString> &outcomes, const QString &outcome) {
    QStringList mailboxes;
    for (auto it = outcomes.cbegin(); it != outcomes.cend(); ++it)
        if (it.value().startsWith(outcome))
            mailboxes.append(it.key());
    return mailboxes;
}

} // namespace

// The Gmail tab end to end against the practice domain: what it deletes is gone
// on the next run, and a purge across the domain is checked mailbox by mailbox.
class GmailPracticeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void deleteBySenderAcrossDomain_removesTheMessages();
    void purge_retryingFailedMailboxesLeavesNothing_data();
    void purge_retryingFailedMailboxesLeavesNothing();
    void stopInParallelRun_leavesNoGamRunning();

private:
    QStringList log() const;
    bool waitIdle() const;
    void findPhishInVictimMailbox();
    // A fresh district of its own for a test that deletes across the domain.
    void useFreshDistrict(QTemporaryDir &folder);
    // Runs a sender preview or delete of the phish across the domain; the sheet's table.
    ResultsTable runAcrossDomain(bool preview);
    ResultsTable retryFailedMailboxes();
    QList<QJsonObject> loggedRuns() const;

    QTemporaryDir m_district;
    QTemporaryDir m_scratch;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<ProfileStore> m_profiles;
    FakeDesktopServices m_desktop;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<GmailModel> m_model;
};

void GmailPracticeTest::initTestCase() {
    if (!QFile::exists(QStringLiteral(PRACTICE_GAM_PATH)))
        QSKIP("the practice gam is not part of this build");
    QVERIFY(seedPracticeDomain(m_district.path(), u"example.org"_s, 40));

    m_settings = std::make_unique<IsolatedSettings>();
    QSettings().setValue(u"gamPath"_s, QStringLiteral(PRACTICE_GAM_PATH));
    m_profiles = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_profiles, m_district.path(), u"example.org"_s);
    m_console = std::make_unique<Console>(&m_desktop);
    m_model = std::make_unique<GmailModel>(m_console.get());
}

QStringList GmailPracticeTest::log() const {
    QStringList lines;
    for (qsizetype i = 0; i < m_console->entryCount(); ++i)
        lines.append(m_console->entryAt(i).text);
    return lines;
}

bool GmailPracticeTest::waitIdle() const {
    return QTest::qWaitFor([this] { return !m_console->isBusy(); }, 120000);
}

void GmailPracticeTest::findPhishInVictimMailbox() {
    GmailPropertiesForm *form = m_model->propertiesForm();
    form->targetFields()->setEmail(victim);
    form->setFrom(phisher);
    m_console->setResults(std::nullopt);
    m_model->findMessages();
    QVERIFY(waitIdle());
}

void GmailPracticeTest::deleteBySenderAcrossDomain_removesTheMessages() {
    findPhishInVictimMailbox();
    QVERIFY2(m_console->results().has_value(), qPrintable(log().join(u'\n')));
    QVERIFY(!m_console->results()->rows.isEmpty());
    QCOMPARE(m_console->results()->rows.first().first(), victim);

    GmailListForm *form = m_model->senderForm();
    form->targetFields()->setTarget(MailTarget::domain);
    form->targetFields()->setDomain(u"example.org"_s);
    form->setText(phisher);

    m_model->previewList(GmailMode::sender);
    QVERIFY(waitIdle());
    QVERIFY2(log().contains(u"  Preview complete: "_s + phisher), qPrintable(log().join(u'\n')));

    m_model->deleteList(GmailMode::sender);
    const AlertItem confirmation = *m_console->alert();
    QVERIFY(confirmation.message.endsWith(u"Domain: Practice (example.org)"_s));
    m_console->setAlert(std::nullopt);
    confirmation.onConfirm();
    QVERIFY(waitIdle());
    QVERIFY2(log().contains(u"  Finished: "_s + phisher), qPrintable(log().join(u'\n')));
    QCOMPARE(log().constLast(), u"Done — 1 completed, 0 failed."_s);

    m_model->previewList(GmailMode::sender);
    QVERIFY(waitIdle());
    QVERIFY2(log().contains(u"  No messages found for: "_s + phisher), qPrintable(log().join(u'\n')));
    QCOMPARE(log().constLast(), u"Preview done — 1 completed, 0 failed."_s);

    findPhishInVictimMailbox();
    QVERIFY(!m_console->results().has_value());
    QCOMPARE(log().constLast(), u"  No messages returned — the mailbox may have no matching messages."_s);
}

void GmailPracticeTest::useFreshDistrict(QTemporaryDir &folder) {
    QVERIFY(seedPracticeDomain(folder.path(), u"example.org"_s, 40));
    activatePracticeProfile(*m_profiles, folder.path(), u"example.org"_s);
    m_console->setResults(std::nullopt);
    m_console->clear();
}

ResultsTable GmailPracticeTest::runAcrossDomain(bool preview) {
    GmailListForm *form = m_model->senderForm();
    form->targetFields()->setTarget(MailTarget::domain);
    form->targetFields()->setDomain(u"example.org"_s);
    form->setText(phisher);
    m_console->setResults(std::nullopt);
    if (preview) {
        m_model->previewList(GmailMode::sender);
    } else {
        m_model->deleteList(GmailMode::sender);
        const AlertItem confirmation = *m_console->alert();
        m_console->setAlert(std::nullopt);
        confirmation.onConfirm();
    }
    if (!waitIdle() || !m_console->results())
        qWarning("%s", qPrintable(log().join(u'\n')));
    return m_console->results().value_or(ResultsTable());
}

ResultsTable GmailPracticeTest::retryFailedMailboxes() {
    if (!m_console->results() || !m_console->results()->action)
        return {};
    m_console->results()->action->trigger();
    const AlertItem confirmation = *m_console->alert();
    m_console->setAlert(std::nullopt);
    confirmation.onConfirm();
    waitIdle();
    return m_console->results().value_or(ResultsTable());
}

QList<QJsonObject> GmailPracticeTest::loggedRuns() const {
    QList<QJsonObject> runs;
    QFile file(m_scratch.filePath(u"runs.jsonl"_s));
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray &line : file.readAll().split('\n'))
            if (!line.isEmpty())
                runs.append(QJsonDocument::fromJson(line).object());
    return runs;
}

void GmailPracticeTest::purge_retryingFailedMailboxesLeavesNothing_data() {
    QTest::addColumn<bool>("parallel");
    QTest::newRow("one mailbox after another") << false;
    QTest::newRow("in parallel") << true;
}

void GmailPracticeTest::purge_retryingFailedMailboxesLeavesNothing() {
    QFETCH(bool, parallel);
    QTemporaryDir district;
    useFreshDistrict(district);
    m_model->setRunInParallel(parallel);

    // A preview deletes nothing: a second one finds the same.
    const QMap<QString, QString> previewed = outcomes(runAcrossDomain(true));
    const QStringList holding = mailboxesWith(previewed, u"Would delete"_s);
    QVERIFY2(holding.contains(victim), qPrintable(log().join(u'\n')));
    QCOMPARE_LT(holding.size(), previewed.size());
    QVERIFY(mailboxesWith(previewed, u"Failed"_s).isEmpty());
    QCOMPARE(outcomes(runAcrossDomain(true)), previewed);

    // Every second mailbox of the domain-wide delete hits the rate limit.
    QMap<QString, QString> deleted;
    {
        const Hook rateLimit("PRACTICE_GAM_FAULT", "ratelimit:2@domains_ns");
        deleted = outcomes(runAcrossDomain(false));
    }
    QCOMPARE(deleted.keys(), previewed.keys());
    const QStringList failed = mailboxesWith(deleted, u"Failed: Rate Limit Exceeded"_s);
    QCOMPARE(failed.size(), previewed.size() / 2);
    for (const QString &mailbox : mailboxesWith(deleted, u"Deleted"_s))
        QVERIFY2(holding.contains(mailbox), qPrintable(mailbox));
    QVERIFY2(log().filter(u"  FAILED: "_s + phisher + u" (exit "_s).size() == 1, qPrintable(log().join(u'\n')));

    // The retry names the failed mailboxes alone, and cleans those that held the phish.
    const Hook runLog("PRACTICE_GAM_LOG", m_scratch.filePath(u"runs.jsonl"_s).toUtf8());
    QFile::remove(m_scratch.filePath(u"runs.jsonl"_s));
    const QMap<QString, QString> retried = outcomes(retryFailedMailboxes());
    // A batched run's workers log their own runs; the one sent is the parent.
    QList<QJsonObject> runs = loggedRuns();
    runs.removeIf([](const QJsonObject &run) { return run.value(u"worker"_s).toBool(); });
    QCOMPARE(runs.size(), 1);
    const QJsonArray argv = runs.first().value(u"argv"_s).toArray();
    QStringList sent;
    for (const QJsonValue &argument : argv)
        sent.append(argument.toString());
    const qsizetype users = sent.indexOf(u"users"_s);
    QVERIFY2(users >= 0, qPrintable(sent.join(u' ')));
    QStringList named = sent.at(users + 1).split(u',');
    named.sort();
    QStringList expected = failed;
    expected.sort();
    QCOMPARE(named, expected);
    QCOMPARE(retried.keys(), deleted.keys());
    QVERIFY(mailboxesWith(retried, u"Failed"_s).isEmpty());
    QCOMPARE(mailboxesWith(retried, u"Deleted"_s), holding);
    QVERIFY2(!m_console->results()->action, "nothing is left to retry");

    // The record exported as CSV reads back as shown.
    const ResultsTable record = *m_console->results();
    m_desktop.nextSavePath = m_scratch.filePath(u"purge.csv"_s);
    awaitTask(m_console->exportResults(record, ExportFormat::csv));
    const CSVTable exported = parseCSVFile(m_scratch.filePath(u"purge.csv"_s));
    QCOMPARE(exported.header, record.columns);
    QList<QStringList> rows;
    for (const CSVRow &row : exported.rows) {
        QStringList cells;
        for (const QString &column : record.columns)
            cells.append(row[column].value_or(u"(missing)"_s));
        rows.append(cells);
    }
    QCOMPARE(rows, record.rows);

    // The practice domain confirms nothing was left.
    const QMap<QString, QString> after = outcomes(runAcrossDomain(true));
    QCOMPARE(mailboxesWith(after, u"No match"_s), after.keys());
}

void GmailPracticeTest::stopInParallelRun_leavesNoGamRunning() {
    QTemporaryDir district;
    useFreshDistrict(district);
    m_model->setRunInParallel(true);
    const Hook slow("PRACTICE_GAM_LINE_DELAY_MS", "200@multiprocess");
    const Hook runLog("PRACTICE_GAM_LOG", m_scratch.filePath(u"stopped.jsonl"_s).toUtf8());
    GmailListForm *form = m_model->senderForm();
    form->targetFields()->setTarget(MailTarget::domain);
    form->targetFields()->setDomain(u"example.org"_s);
    form->setText(phisher);
    m_model->deleteList(GmailMode::sender);
    const AlertItem confirmation = *m_console->alert();
    m_console->setAlert(std::nullopt);
    confirmation.onConfirm();
    QVERIFY(QTest::qWaitFor([this] { return log().join(u'\n').contains(u"User: "_s); }, 20000));
    m_console->stop();
    QVERIFY(waitIdle());
    QVERIFY2(log().contains(u"  Stopped by user."_s), qPrintable(log().join(u'\n')));

    QFile file(m_scratch.filePath(u"stopped.jsonl"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<qint64> pids;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.isEmpty())
            pids.append(QJsonDocument::fromJson(line).object().value(u"pid"_s).toInteger());
    QVERIFY(!pids.isEmpty());
    for (const qint64 pid : std::as_const(pids))
        QVERIFY2(QTest::qWaitFor([pid] { return ::kill(pid_t(pid), 0) != 0; }, 5000), qPrintable(QString::number(pid)));
}

QTEST_GUILESS_MAIN(GmailPracticeTest)
#include "tst_gmailpractice.moc"
