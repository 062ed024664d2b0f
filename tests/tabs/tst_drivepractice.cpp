#include "TestSupport.h"

#include "core/CommandLine.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "tabs/DriveModel.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <fnmatch.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString domain = u"example.org"_s;

} // namespace

// The Drive tab's model end to end against the practice domain: what it sends
// is accepted, what it deletes is trashed or gone, and a stopped scan leaves no
// gam behind.
class DrivePracticeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();

    void finds_vectorsAsSentAndAccepted();
    void sharedDrive_selectFormFindsItsFiles();
    void domainWildcard_keepsOnlyMatchingNames();
    void ouPicker_listsTheDistrictsOUs();
    void ouDeleteByName_trashesThenPurges();
    void scanFile_goneAfterSuccessAndFailure();
    void batchedScan_failedUsersAreCounted();
    void findByID_timeoutOnSecondStillChecksThird();
    void deleteLoop_stoppedStillWritesSummary();
    void stopDuringOUScan_leavesNoGamRunning();
    void backslashInAName_isFoundAndShownAsTyped();

private:
    bool waitIdle(int ms = 120000) const;
    void confirm();
    QStringList log() const { return logLines(*m_console); }
    QJsonObject state() const;
    QList<QJsonObject> files(const std::function<bool(const QJsonObject &)> &wanted) const;
    QList<QStringList> loggedRuns() const;
    QString someTeacher() const;

    QTemporaryDir m_district;
    QTemporaryDir m_scratch;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<ProfileStore> m_profiles;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<DriveModel> m_model;
    std::unique_ptr<Hook> m_runLog;
};

void DrivePracticeTest::initTestCase() {
    if (!QFile::exists(QStringLiteral(PRACTICE_GAM_PATH)))
        QSKIP("the practice gam is not part of this build");
    QVERIFY(seedPracticeDomain(m_district.path(), domain, 60));
    m_settings = std::make_unique<IsolatedSettings>();
    QSettings().setValue(u"gamPath"_s, QStringLiteral(PRACTICE_GAM_PATH));
    m_profiles = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_profiles, m_district.path(), domain);
    m_console = std::make_unique<Console>(nullptr);
}

void DrivePracticeTest::init() {
    m_model = std::make_unique<DriveModel>(m_console.get());
    m_console->clear();
    m_console->setResults(std::nullopt);
    QFile::remove(m_scratch.filePath(u"runs.jsonl"_s));
    m_runLog.reset(); // before the new one, whose variable the old one would unset
    m_runLog = std::make_unique<Hook>("PRACTICE_GAM_LOG", m_scratch.filePath(u"runs.jsonl"_s).toUtf8());
}

bool DrivePracticeTest::waitIdle(int ms) const {
    return QTest::qWaitFor([this] { return !m_console->isBusy(); }, ms);
}

void DrivePracticeTest::confirm() {
    QVERIFY(m_console->alert().has_value());
    const AlertItem alert = *m_console->alert();
    QCOMPARE(alert.confirmTitle, std::optional(u"Delete"_s));
    QVERIFY(alert.message.endsWith(u"Domain: Practice (example.org)"_s));
    m_console->setAlert(std::nullopt);
    alert.onConfirm();
}

QJsonObject DrivePracticeTest::state() const {
    QFile file(m_district.filePath(u"practice-domain.json"_s));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QList<QJsonObject> DrivePracticeTest::files(const std::function<bool(const QJsonObject &)> &wanted) const {
    QList<QJsonObject> kept;
    const QJsonArray all = state().value(u"files"_s).toArray();
    for (const QJsonValue &value : all)
        if (wanted(value.toObject()))
            kept.append(value.toObject());
    return kept;
}

QList<QStringList> DrivePracticeTest::loggedRuns() const {
    QList<QStringList> runs;
    QFile file(m_scratch.filePath(u"runs.jsonl"_s));
    if (!file.open(QIODevice::ReadOnly))
        return runs;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonObject run = QJsonDocument::fromJson(line).object();
        // A batched scan's workers are gam's own doing, not commands Tarnwick sent.
        if (run.isEmpty() || run.value(u"worker"_s).toBool())
            continue;
        QStringList argv;
        for (const QJsonValue &word : run.value(u"argv"_s).toArray())
            argv.append(word.toString());
        runs.append(argv);
    }
    return runs;
}

// A staff member who owns a few files.
QString DrivePracticeTest::someTeacher() const {
    const QList<QJsonObject> owned = files([](const QJsonObject &f) {
        return f.value(u"driveId"_s).toString().isEmpty() && !f.value(u"owner"_s).toString().contains(u"students."_s) &&
               f.value(u"name"_s).toString() == u"63783.html"_s;
    });
    return owned.isEmpty() ? QString() : owned.first().value(u"owner"_s).toString();
}

void DrivePracticeTest::finds_vectorsAsSentAndAccepted() {
    const QString teacher = someTeacher();
    QVERIFY(!teacher.isEmpty());
    const QList<QJsonObject> mine = files([&teacher](const QJsonObject &f) {
        return f.value(u"owner"_s).toString() == teacher && f.value(u"name"_s).toString() == u"63783.html"_s;
    });
    m_model->setEmail(teacher);
    m_model->setFileIDsText(mine.first().value(u"id"_s).toString());
    m_model->findFiles();
    QVERIFY(waitIdle());
    QVERIFY2(log().contains(u"    Drive File: "_s + mine.first().value(u"name"_s).toString() + u" ("_s +
                            mine.first().value(u"id"_s).toString() + u')'),
             qPrintable(log().join(u'\n')));

    m_model->setMethod(DriveFindMethod::name);
    m_model->setName(u"63783"_s);
    m_model->findFiles();
    QVERIFY(waitIdle());
    QCOMPARE(m_console->results()->rows.size(), 1);

    m_model->setScope(DriveScope::ou);
    m_model->setOUPath(u"/Staff"_s);
    m_model->findFiles();
    QVERIFY(waitIdle());
    QVERIFY(m_console->results()->rows.size() >= 1);

    m_model->setScope(DriveScope::domain);
    m_model->setName(u"63783.html"_s);
    m_model->findFiles();
    QVERIFY(waitIdle());
    // "all users" leaves out suspended accounts.
    QStringList suspended;
    for (const QJsonValue &u : state().value(u"users"_s).toArray())
        if (u.toObject().value(u"suspended"_s).toBool())
            suspended.append(u.toObject().value(u"primaryEmail"_s).toString());
    const qsizetype expected = files([&suspended](const QJsonObject &f) {
                                   return f.value(u"name"_s).toString() == u"63783.html"_s &&
                                          f.value(u"driveId"_s).toString().isEmpty() &&
                                          !suspended.contains(f.value(u"owner"_s).toString());
                               }).size();
    QCOMPARE(m_console->results()->rows.size(), expected);

    // Every command as gam received it is the one the log shows.
    const QList<QStringList> runs = loggedRuns();
    QCOMPARE(runs.size(), 4);
    const QStringList lines = log();
    for (const QStringList &argv : runs)
        QVERIFY2(lines.contains(u">> "_s + displayCommand(argv)) || lines.contains(u"[FIND] "_s + displayCommand(argv)),
                 qPrintable(argv.join(u' ')));
    QCOMPARE(runs.at(1),
             (QStringList{u"user"_s, teacher, u"print"_s, u"filelist"_s, u"query"_s, u"name contains '63783'"_s,
                          u"fields"_s, u"id,name,mimeType,size,modifiedTime"_s, u"maxfiles"_s, u"100"_s}));
    QCOMPARE(runs.at(3).mid(9),
             (QStringList{u"all"_s, u"users"_s, u"print"_s, u"filelist"_s, u"query"_s, u"name = '63783.html'"_s,
                          u"fields"_s, u"id,name,mimeType,size,modifiedTime"_s, u"maxfiles"_s, u"500"_s}));
}

void DrivePracticeTest::sharedDrive_selectFormFindsItsFiles() {
    const QString driveID = state().value(u"sharedDrives"_s).toArray().first().toObject().value(u"id"_s).toString();
    QVERIFY(!driveID.isEmpty());
    m_model->setEmail(u"admin@example.org"_s);
    m_model->setMethod(DriveFindMethod::name);
    m_model->setName(u"Handbook"_s);
    m_model->setDriveKind(DriveKind::shared);
    m_model->setSharedDriveID(u"  "_s + driveID + u" "_s);
    m_model->findFiles();
    QVERIFY(waitIdle());
    QVERIFY2(m_console->results().has_value(), qPrintable(log().join(u'\n')));
    QCOMPARE(m_console->results()->rows.size(), 1);
    QCOMPARE(m_console->results()->rows.first().first(), u"Handbook"_s);
    QCOMPARE(loggedRuns().constLast().mid(4, 5),
             (QStringList{u"query"_s, u"name contains 'Handbook'"_s, u"select"_s, u"shareddriveid"_s, driveID}));
}

void DrivePracticeTest::domainWildcard_keepsOnlyMatchingNames() {
    m_model->setScope(DriveScope::domain);
    m_model->setName(u"63783.*"_s);
    m_model->findFiles();
    QVERIFY(waitIdle());
    QVERIFY2(m_console->results().has_value(), qPrintable(log().join(u'\n')));
    const QList<QStringList> rows = m_console->results()->rows;
    QVERIFY(rows.size() >= 3);
    for (const QStringList &row : rows)
        QVERIFY2(fnmatch("63783.*", row.first().toLower().toUtf8().constData(), 0) == 0, qPrintable(row.first()));
    QVERIFY(loggedRuns().constLast().contains(u"name contains '63783.'"_s));

    for (const QString &broad : {u"ab*cd"_s, u"6*.*"_s}) {
        m_model->setName(broad);
        m_model->findFiles();
        QCOMPARE(log().constLast(), u"  Wildcard pattern needs at least 3 non-wildcard characters to keep a "
                                    u"domain-wide scan scoped (e.g. '63783.*' not '6*.*')."_s);
    }
    QCOMPARE(loggedRuns().size(), 1);

    m_model->setName(u"6378?.zip"_s);
    m_model->findFiles();
    QVERIFY(waitIdle());
    QCOMPARE(log().constLast(), u"  No files matched the wildcard pattern."_s);
}

void DrivePracticeTest::ouPicker_listsTheDistrictsOUs() {
    m_model->browseOUs();
    QVERIFY(waitIdle());
    QVERIFY2(m_model->ouList().has_value(), qPrintable(log().join(u'\n')));
    const QStringList paths = m_model->ouList()->paths;
    QCOMPARE(paths.size(), 13);
    QCOMPARE(paths.first(), u"/Staff"_s);
    QVERIFY(paths.contains(u"/Students/Grade 9"_s));
    QVERIFY(paths.contains(u"/Suspended Accounts"_s));
    QVERIFY(std::is_sorted(paths.begin(), paths.end()));
    m_model->chooseOU(u"/Suspended Accounts"_s);
    m_model->setOUList(std::nullopt);
    QCOMPARE(m_model->ouPath(), u"/Suspended Accounts"_s);
}

void DrivePracticeTest::ouDeleteByName_trashesThenPurges() {
    const auto grade9Reports = [this] {
        QStringList owners;
        const QJsonArray users = state().value(u"users"_s).toArray();
        for (const QJsonValue &u : users)
            if (u.toObject().value(u"orgUnitPath"_s).toString() == u"/Students/Grade 9"_s)
                owners.append(u.toObject().value(u"primaryEmail"_s).toString());
        return files([owners](const QJsonObject &f) {
            return owners.contains(f.value(u"owner"_s).toString()) &&
                   f.value(u"name"_s).toString().contains(u"Essay"_s);
        });
    };
    const QList<QJsonObject> before = grade9Reports();
    QVERIFY(!before.isEmpty());

    m_model->setScope(DriveScope::ou);
    m_model->setOUPath(u"/Students/Grade 9"_s);
    m_model->setName(u"Essay"_s);
    m_model->deleteFiles();
    confirm();
    QVERIFY(waitIdle());
    QCOMPARE(log().constLast(), u"Done — "_s + QString::number(before.size()) + u" completed, 0 failed."_s);
    QList<QJsonObject> after = grade9Reports();
    QCOMPARE(after.size(), before.size());
    for (const QJsonObject &file : after)
        QVERIFY(file.value(u"trashed"_s).toBool());

    m_model->setPurge(true);
    m_model->deleteFiles();
    confirm();
    QVERIFY(waitIdle());
    QCOMPARE(log().constLast(), u"Done — "_s + QString::number(before.size()) + u" completed, 0 failed."_s);
    QVERIFY(grade9Reports().isEmpty());
    QVERIFY(loggedRuns().constLast().contains(u"purge"_s));
}

void DrivePracticeTest::scanFile_goneAfterSuccessAndFailure() {
    m_model->setScope(DriveScope::ou);
    m_model->setName(u"plan"_s);
    for (const QString &ou : {u"/Staff/Teachers"_s, u"/No Such OU"_s}) {
        m_model->setOUPath(ou);
        m_model->findFiles();
        QVERIFY(waitIdle());
        const QStringList argv = loggedRuns().constLast();
        QCOMPARE(argv.mid(5, 2), (QStringList{u"redirect"_s, u"csv"_s}));
        QVERIFY(argv.at(7).contains(u"/tarnwick-"_s));
        QVERIFY(!QFile::exists(argv.at(7)));
    }
    const QStringList lines = log();
    QVERIFY(lines.contains(u"  Org Unit: /No Such OU, Does not exist"_s));
    QVERIFY2(lines.constLast().startsWith(u"ERROR: GAM wrote no results to "_s), qPrintable(lines.join(u'\n')));
}

void DrivePracticeTest::batchedScan_failedUsersAreCounted() {
    const Hook faults("PRACTICE_GAM_FAULT", "ratelimit:4");
    const qsizetype users = [this] {
        qsizetype count = 0;
        for (const QJsonValue &u : state().value(u"users"_s).toArray())
            if (u.toObject().value(u"orgUnitPath"_s).toString().startsWith(u"/Staff"_s) &&
                !u.toObject().value(u"suspended"_s).toBool())
                ++count;
        return count;
    }();
    m_model->setScope(DriveScope::ou);
    m_model->setOUPath(u"/Staff"_s);
    m_model->setName(u"a"_s);
    m_model->findFiles();
    QVERIFY(waitIdle());
    QVERIFY(users >= 4);
    QCOMPARE(log().constLast(),
             u"  "_s + QString::number(users / 4) + u" user(s) could not be scanned — see the lines above."_s);
}

void DrivePracticeTest::findByID_timeoutOnSecondStillChecksThird() {
    const QString teacher = someTeacher();
    const QList<QJsonObject> mine =
        files([&teacher](const QJsonObject &f) { return f.value(u"owner"_s).toString() == teacher; });
    QVERIFY(mine.size() >= 2);
    const QString first = mine.at(0).value(u"id"_s).toString();
    const QString slow = u"1SlowFileThatTimesOut"_s;
    const QString third = mine.at(1).value(u"id"_s).toString();
    const Hook delay("PRACTICE_GAM_DELAY_MS", "45000@" + slow.toUtf8());
    m_model->setEmail(teacher);
    m_model->setFileIDsText(first + u'\n' + slow + u'\n' + third);
    m_model->findFiles();
    QVERIFY(waitIdle(90000));
    const QStringList lines = log();
    const qsizetype timeout = lines.indexOf(u"  TIMEOUT for file ID: "_s + slow);
    QVERIFY2(timeout > 0, qPrintable(lines.join(u'\n')));
    QCOMPARE(lines.at(timeout + 1), u">> gam user "_s + teacher + u" info drivefile "_s + third);
    // Its answer names the file ("Drive File: …" or "Drive Folder: …").
    QVERIFY(!lines.mid(timeout + 2)
                 .filter(u": "_s + mine.at(1).value(u"name"_s).toString() + u" ("_s + third + u')')
                 .isEmpty());
}

void DrivePracticeTest::deleteLoop_stoppedStillWritesSummary() {
    const QString teacher = someTeacher();
    const QList<QJsonObject> mine =
        files([&teacher](const QJsonObject &f) { return f.value(u"owner"_s).toString() == teacher; });
    QVERIFY(mine.size() >= 2);
    const QString slow = mine.at(1).value(u"id"_s).toString();
    const Hook delay("PRACTICE_GAM_DELAY_MS", "20000@drivefile " + slow.toUtf8());
    m_model->setEmail(teacher);
    m_model->setFileIDsText(mine.at(0).value(u"id"_s).toString() + u'\n' + slow + u"\n1ThirdNeverRuns"_s);
    m_model->deleteFiles();
    confirm();
    QVERIFY(QTest::qWaitFor([this] { return loggedRuns().size() == 2; }, 30000));
    m_console->stop();
    QVERIFY(waitIdle());
    QCOMPARE(loggedRuns().size(), 2);
    const QStringList lines = log();
    QCOMPARE(lines.mid(lines.size() - 2), (QStringList{u"  Stopped by user."_s, u"Done — 1 completed, 0 failed."_s}));
    QVERIFY(files([&slow](const QJsonObject &f) { return f.value(u"id"_s) == slow; }).first().value(u"trashed"_s) ==
            false);
}

void DrivePracticeTest::stopDuringOUScan_leavesNoGamRunning() {
    // The scan's workers (each runs "user X print filelist …") take long; its parent waits for them.
    const Hook delay("PRACTICE_GAM_DELAY_MS", "30000@user ");
    m_model->setScope(DriveScope::ou);
    m_model->setOUPath(u"/Students"_s);
    m_model->setName(u"plan"_s);
    m_model->findFiles();
    const auto pids = [this] {
        QList<qint64> all;
        QFile runLog(m_scratch.filePath(u"runs.jsonl"_s));
        if (runLog.open(QIODevice::ReadOnly))
            for (const QByteArray &line : runLog.readAll().split('\n'))
                if (!line.isEmpty())
                    all.append(QJsonDocument::fromJson(line).object().value(u"pid"_s).toInteger());
        return all;
    };
    // The parent and a full pool of 20 workers.
    QVERIFY(QTest::qWaitFor([&pids] { return pids().size() >= 21; }, 30000));
    m_console->stop();
    QVERIFY(waitIdle(20000));
    QCOMPARE(log().constLast(), u"  Stopped by user."_s);
    for (const qint64 pid : pids())
        QVERIFY2(QTest::qWaitFor([pid] { return !processIsRunning(pid); }, 5000), qPrintable(QString::number(pid)));
}

// gam doubles a backslash in its CSV and Drive reads a bare one as an escape:
// the name must survive both ways.
void DrivePracticeTest::backslashInAName_isFoundAndShownAsTyped() {
    const QString teacher = someTeacher();
    const QString name = u"Plans C:\\temp\\2025"_s;
    startGAMTask(*m_console, u"Create"_s, {u"user"_s, teacher, u"create"_s, u"drivefile"_s, u"drivefilename"_s, name});
    QVERIFY(waitIdle());
    QCOMPARE(files([&name](const QJsonObject &f) { return f.value(u"name"_s).toString() == name; }).size(), 1);

    m_model->setEmail(teacher);
    m_model->setMethod(DriveFindMethod::name);
    m_model->setName(u"C:\\temp"_s);
    m_model->findFiles();
    QVERIFY(waitIdle());
    QVERIFY2(m_console->results().has_value(), qPrintable(log().join(u'\n')));
    QCOMPARE(m_console->results()->rows.size(), 1);
    QCOMPARE(m_console->results()->rows.first().first(), name);
    QCOMPARE(loggedRuns().constLast().at(5), u"name contains 'C:\\\\temp'"_s);
}

QTEST_GUILESS_MAIN(DrivePracticeTest)
#include "tst_drivepractice.moc"
