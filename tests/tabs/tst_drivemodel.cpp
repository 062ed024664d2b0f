#include "FakeGam.h"
#include "TestSupport.h"

#include "core/CommandLine.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "tabs/DriveModel.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(DriveScope)

namespace {

const QString user = u"jordan.lee@lakeside.example.org"_s;
const QString fields = u"id,name,mimeType,size,modifiedTime"_s;
const QString listingHeader = u"Owner,id,name,mimeType,modifiedTime,size\n"_s;
const QString tail = u"\n\nThis action cannot be undone. Continue?\n\nDomain: Practice (lakeside.example.org)"_s;

const QStringList batchPrefix{u"config"_s, u"auto_batch_min"_s, u"1"_s,  u"num_threads"_s,
                              u"20"_s,     u"redirect"_s,       u"csv"_s};

} // namespace

// DriveModel against a recording gam script: the argument vectors of every find
// and delete, the batched scan's temporary file, the wildcard filter, the delete
// loop's outcomes, validation, confirmations and the OU fetch.
class DriveModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void derivedValues();
    void findVectors_userScope();
    void findVectors_batchedScopes_data();
    void findVectors_batchedScopes();
    void scanFile_privateWhileRunningAndGoneAfterStop();
    void scanFile_unwritableTemporaryFolder();
    void scan_gamNeverWroteTheFile();
    void scan_failedUsersReportedAfterResults();
    void domainFind_wildcardKeepsOnlyMatchingNames();
    void domainFind_largeListingLoggedInFullAndInOrder();
    void domainFind_tooBroadPatternRefusedBeforeAnyTask();
    void findByID_logsOutputAndStopsOnRunnerFailure();
    void deleteByName_listsThenActsOnEachFile();
    void deleteInOU_actsAsEachRowsOwnerOnce();
    void deleteListingFailure_writesEmptySummary();
    void confirmations_messagesAndCapturedValues();
    void validation_alertsInOrder();
    void browseOUs_listAlertsAndStop();
    void clearFields_keepsChoices();
    void ownerDestroyedMidScan_noCrashAndFileGone();

private:
    bool waitIdle() const;
    void confirm();
    QString scanPath(int run) const;
    QStringList log() const { return logLines(*m_console); }

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<FakeGam> m_gam;
    std::unique_ptr<ProfileStore> m_profiles;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<DriveModel> m_model;
};

void DriveModelTest::init() {
    m_settings = std::make_unique<IsolatedSettings>();
    m_gam = std::make_unique<FakeGam>();
    m_gam->install();
    m_profiles = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_profiles, QString(), u"lakeside.example.org"_s);
    m_console = std::make_unique<Console>(nullptr);
    m_model = std::make_unique<DriveModel>(m_console.get());
}

void DriveModelTest::cleanup() {
    m_model.reset();
    m_console.reset();
    m_profiles.reset();
    m_gam.reset();
    m_settings.reset();
    qunsetenv("TMPDIR");
}

bool DriveModelTest::waitIdle() const {
    return QTest::qWaitFor([this] { return !m_console->isBusy(); }, 30000);
}

void DriveModelTest::confirm() {
    QVERIFY(m_console->alert().has_value());
    const AlertItem alert = *m_console->alert();
    QCOMPARE(alert.title, u"Confirm Delete"_s);
    QCOMPARE(alert.confirmTitle, std::optional(u"Delete"_s));
    QVERIFY(alert.isDestructive);
    m_console->setAlert(std::nullopt);
    alert.onConfirm();
}

// The redirect file of run n, checked for its name.
QString DriveModelTest::scanPath(int run) const {
    const QStringList arguments = m_gam->arguments(run);
    const QString path = arguments.value(7);
    static const QRegularExpression name(
        u"^tarnwick-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.csv$"_s);
    if (QFileInfo(path).absolutePath() != QDir(QDir::tempPath()).absolutePath() ||
        !name.match(QFileInfo(path).fileName()).hasMatch())
        return {};
    return path;
}

void DriveModelTest::derivedValues() {
    m_model->setFileIDsText(u" 1A \n\n1B\r\n\t1A\n"_s);
    QCOMPARE(m_model->fileIDs(), (QStringList{u"1A"_s, u"1B"_s, u"1A"_s}));

    m_model->setSharedDriveID(u"  0ABshared \t"_s);
    QVERIFY(m_model->sharedDriveArguments().isEmpty());
    QCOMPARE(m_model->driveLabel(), u"My Drive"_s);
    m_model->setDriveKind(DriveKind::shared);
    QCOMPARE(m_model->sharedDriveArguments(), (QStringList{u"select"_s, u"shareddriveid"_s, u"0ABshared"_s}));
    QCOMPARE(m_model->driveLabel(), u"Shared Drive (0ABshared)"_s);
    m_model->setSharedDriveID(u"   "_s);
    QVERIFY(m_model->sharedDriveArguments().isEmpty());

    QCOMPARE(m_model->driveQuery(), QString());
    m_model->setName(u"  year's plan\t"_s);
    QCOMPARE(m_model->escapedName(), u"year\\'s plan"_s);
    QCOMPARE(m_model->driveQuery(), u"name contains 'year\\'s plan'"_s);
    m_model->setScope(DriveScope::ou);
    QCOMPARE(m_model->driveQuery(), u"name contains 'year\\'s plan'"_s);
    m_model->setScope(DriveScope::domain);
    QCOMPARE(m_model->driveQuery(), u"name = 'year\\'s plan'"_s);
    m_model->setName(u"63783.*"_s);
    QCOMPARE(m_model->driveQuery(), u"name contains '63783.'"_s);

    QCOMPARE(m_model->actionWord(), u"delete"_s);
    QCOMPARE(m_model->actionPhrase(), u"Move to trash"_s);
    m_model->setPurge(true);
    QCOMPARE(m_model->actionWord(), u"purge"_s);
    QCOMPARE(m_model->actionPhrase(), u"Permanently delete"_s);
}

void DriveModelTest::findVectors_userScope() {
    m_model->setEmail(u"  "_s + user + u" "_s);
    m_model->setFileIDsText(u"1A\n\n 1B "_s);
    m_gam->answer(1, u"User: "_s + user + u", Show Info 1 Drive File/Folder\n  Drive File: a.pdf (1A)\n"_s);
    m_model->findFiles();
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), 2);
    QCOMPARE(m_gam->arguments(1), (QStringList{u"user"_s, user, u"info"_s, u"drivefile"_s, u"1A"_s}));
    QCOMPARE(m_gam->arguments(2), (QStringList{u"user"_s, user, u"info"_s, u"drivefile"_s, u"1B"_s}));
    QVERIFY(log().contains(u"[FIND] Checking 2 file ID(s) for "_s + user));

    m_model->setMethod(DriveFindMethod::name);
    m_model->setName(u"year's plan"_s);
    m_model->setDriveKind(DriveKind::shared);
    m_model->setSharedDriveID(u" 0ABshared "_s);
    m_gam->answer(3, listingHeader + user + u",1X,year's plan.docx,application/pdf,2024-05-01T17:22:33Z,99\n"_s,
                  u"Getting all Drive Files/Folders\n"_s);
    m_model->findFiles();
    QVERIFY(waitIdle());
    const QStringList byName{u"user"_s,      user,
                             u"print"_s,     u"filelist"_s,
                             u"query"_s,     u"name contains 'year\\'s plan'"_s,
                             u"select"_s,    u"shareddriveid"_s,
                             u"0ABshared"_s, u"fields"_s,
                             fields,         u"maxfiles"_s,
                             u"100"_s};
    QCOMPARE(m_gam->arguments(3), byName);
    const QStringList lines = log();
    QVERIFY2(lines.contains(u"[FIND] "_s + displayCommand(byName)), qPrintable(lines.join(u'\n')));
    QVERIFY(lines.contains(u"  Getting all Drive Files/Folders"_s));
    QVERIFY(lines.contains(u"  Found 1 file(s):"_s));
    QCOMPARE(lines.constLast(), u"    year's plan.docx  (1X)  owner: "_s + user);
    QVERIFY(m_console->results().has_value());
    QCOMPARE(m_console->results()->summary, u"1 file(s) matched  •  max 100 shown"_s);
    QCOMPARE(m_console->results()->query, u"name contains 'year\\'s plan'"_s);

    // gam prints only the header and exits 60 when nothing matched.
    m_gam->answer(4, listingHeader, {}, 60);
    m_console->setResults(std::nullopt);
    m_model->findFiles();
    QVERIFY(waitIdle());
    QCOMPARE(log().constLast(), u"  No files found."_s);
    QVERIFY(!m_console->results().has_value());
}

void DriveModelTest::findVectors_batchedScopes_data() {
    QTest::addColumn<DriveScope>("scope");
    QTest::addColumn<bool>("shared");
    QTest::addColumn<QStringList>("core");
    QTest::addColumn<QString>("announcement");
    const QString query = u"name contains 'Grade 9 plan'"_s;
    const QStringList tailWords{u"fields"_s, fields, u"maxfiles"_s, u"500"_s};
    QTest::newRow("OU, My Drive") << DriveScope::ou << false
                                  << QStringList{u"ou_and_children"_s, u"/Students/Grade 9"_s,
                                                 u"print"_s,           u"filelist"_s,
                                                 u"query"_s,           query} +
                                         tailWords
                                  << u"[FIND] OU: /Students/Grade 9  •  scanning all users (large OUs can take "
                                     u"several minutes)"_s;
    QTest::newRow("OU, shared drive")
        << DriveScope::ou << true
        << QStringList{u"ou_and_children"_s, u"/Students/Grade 9"_s, u"print"_s,    u"filelist"_s, u"query"_s, query,
                       u"select"_s,          u"shareddriveid"_s,     u"0ABshared"_s} +
               tailWords
        << u"[FIND] OU: /Students/Grade 9  •  scanning all users (large OUs can take several minutes)"_s;
    QTest::newRow("domain, exact name")
        << DriveScope::domain << false
        << QStringList{u"all"_s, u"users"_s, u"print"_s, u"filelist"_s, u"query"_s, u"name = 'Grade 9 plan'"_s} +
               tailWords
        << u"[FIND] Entire Domain  •  scanning all users (this can take several minutes)"_s;
}

void DriveModelTest::findVectors_batchedScopes() {
    QFETCH(DriveScope, scope);
    QFETCH(bool, shared);
    QFETCH(QStringList, core);
    QFETCH(QString, announcement);
    m_model->setScope(scope);
    m_model->setOUPath(u" /Students/Grade 9 "_s);
    m_model->setName(u"Grade 9 plan"_s);
    m_model->setDriveKind(shared ? DriveKind::shared : DriveKind::myDrive);
    m_model->setSharedDriveID(u"0ABshared"_s);
    m_gam->answerRedirectedCSV(1,
                               listingHeader + user + u",1X,Grade 9 plan,application/pdf,2024-05-01T17:22:33Z,9\n"_s);
    m_model->findFiles();
    QVERIFY(waitIdle());

    QCOMPARE(m_gam->runs(), 1);
    const QString path = scanPath(1);
    QVERIFY2(!path.isEmpty(), qPrintable(m_gam->arguments(1).join(u' ')));
    QCOMPARE(m_gam->arguments(1), (batchPrefix + QStringList{path, u"multiprocess"_s} + core));
    const QStringList lines = log();
    QCOMPARE(lines.at(1), announcement);
    QCOMPARE(lines.at(2), u">> "_s + displayCommand(batchPrefix + QStringList{path, u"multiprocess"_s} + core));
    const QString suffix = scope == DriveScope::ou ? u"across OU /Students/Grade 9"_s : u"across the domain"_s;
    QVERIFY2(lines.contains(u"  Found 1 file(s) "_s + suffix + u':'), qPrintable(lines.join(u'\n')));
    QCOMPARE(m_console->results()->summary, u"1 file(s) matched"_s);
    QCOMPARE(m_console->results()->rows.first().at(1), user);
}

void DriveModelTest::scanFile_privateWhileRunningAndGoneAfterStop() {
    m_model->setScope(DriveScope::ou);
    m_model->setOUPath(u"/Staff"_s);
    m_model->setName(u"plan"_s);
    // The file exists, owner-only, while gam runs.
    m_gam->hang(1);
    m_model->findFiles();
    QVERIFY(QTest::qWaitFor([this] { return m_gam->runs() == 1 && !scanPath(1).isEmpty(); }, 10000));
    const QString running = scanPath(1);
    QVERIFY(QFile::exists(running));
    QCOMPARE(QFile::permissions(running) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    m_console->stop();
    QVERIFY(waitIdle());
    QCOMPARE(log().constLast(), u"  Stopped by user."_s);
    QVERIFY(!QFile::exists(running));
}

void DriveModelTest::scanFile_unwritableTemporaryFolder() {
    m_model->setScope(DriveScope::domain);
    m_model->setName(u"plan.pdf"_s);
    const QString missing = QDir::tempPath() + u"/tarnwick-no-such-folder"_s;
    const QString notAFolder = m_gam->path();
    const QList<std::pair<QString, QString>> cases{
        {missing,
         u"ERROR: Cannot create the scan's temporary file: the temporary folder "_s + missing + u" does not exist."_s},
        {notAFolder, u"ERROR: Cannot create the scan's temporary file in "_s + notAFolder + u" ("_s}};
    for (const auto &[folder, message] : cases) {
        qputenv("TMPDIR", folder.toUtf8());
        m_model->findFiles();
        QVERIFY(waitIdle());
        const QString last = log().constLast();
        QVERIFY2(last.startsWith(message), qPrintable(last));
        QCOMPARE(m_console->entryAt(m_console->entryCount() - 1).kind, LogKind::error);
    }
    QCOMPARE(m_gam->runs(), 0);
    QVERIFY(!QFileInfo::exists(missing));
    QVERIFY(QDir::current().entryList({u"tarnwick-*.csv"_s}).isEmpty());
}

void DriveModelTest::scan_gamNeverWroteTheFile() {
    m_model->setScope(DriveScope::domain);
    m_model->setName(u"plan.pdf"_s);
    m_gam->answer(1, {}, u"Command: gam ... >>>x<<<\n\nERROR: Invalid argument\n"_s, 2);
    m_model->findFiles();
    QVERIFY(waitIdle());
    const QStringList lines = log();
    QVERIFY2(lines.constLast().startsWith(u"ERROR: GAM wrote no results to "_s) &&
                 lines.constLast().endsWith(u", so the scan did not complete."_s),
             qPrintable(lines.join(u'\n')));
    QVERIFY(!lines.contains(u"  No files found."_s));
    QVERIFY(!QFile::exists(scanPath(1)));
}

void DriveModelTest::scan_failedUsersReportedAfterResults() {
    m_model->setScope(DriveScope::ou);
    m_model->setOUPath(u"/Students"_s);
    m_model->setName(u"plan"_s);
    const QString failure = u"User: b@lakeside.example.org, Drive Files/Folders, Print Failed: Rate Limit Exceeded"_s;
    m_gam->answer(1, {},
                  u"Got 40 Users in the Organizational Unit for /Students\n"_s + failure +
                      u"\nUser: c@lakeside.example.org, Does not exist\n"_s);
    m_gam->answerRedirectedCSV(1, listingHeader + user + u",1X,plan,application/pdf,2024-05-01T17:22:33Z,9\n"_s);
    m_model->findFiles();
    QVERIFY(waitIdle());
    QStringList lines = log();
    QCOMPARE(lines.constLast(), u"  2 user(s) could not be scanned — see the lines above."_s);
    QCOMPARE(lines.at(lines.size() - 3), u"  "_s + failure);
    QVERIFY(lines.indexOf(u"  Found 1 file(s) across OU /Students:"_s) < lines.size() - 3);

    // An empty result is not presented as complete either.
    m_gam->answer(2, {}, failure + u'\n');
    m_gam->answerRedirectedCSV(2, listingHeader);
    m_model->findFiles();
    QVERIFY(waitIdle());
    lines = log();
    QCOMPARE(lines.at(lines.size() - 3), u"  No files found."_s);
    QCOMPARE(lines.constLast(), u"  1 user(s) could not be scanned — see the lines above."_s);
}

void DriveModelTest::domainFind_wildcardKeepsOnlyMatchingNames() {
    m_model->setScope(DriveScope::domain);
    m_model->setName(u"63783.*"_s);
    m_gam->answerRedirectedCSV(1, listingHeader + u"a@x.org,1A,63783.html,text/html,2024-05-01T17:22:33Z,9\n"_s +
                                      u"b@x.org,1B,copy of 63783.html,text/html,2024-05-01T17:22:33Z,9\n"_s +
                                      u"c@x.org,1C,63783.PDF,application/pdf,2024-05-01T17:22:33Z,9\n"_s);
    m_model->findFiles();
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->arguments(1).mid(13, 2), (QStringList{u"query"_s, u"name contains '63783.'"_s}));
    QStringList lines = log();
    const qsizetype found = lines.indexOf(u"  Found 2 file(s) across the domain:"_s);
    QVERIFY2(found > 0, qPrintable(lines.join(u'\n')));
    QCOMPARE(lines.mid(found + 1),
             (QStringList{u"    63783.html  (1A)  owner: a@x.org"_s, u"    63783.PDF  (1C)  owner: c@x.org"_s}));
    QCOMPARE(m_console->results()->title, u"Found Files — 2 result(s)"_s);
    QCOMPARE(m_console->results()->rows.size(), 2);

    m_gam->answerRedirectedCSV(2, listingHeader + u"b@x.org,1B,copy of 63783.html,text/html,2024-05-01,9\n"_s);
    m_console->setResults(std::nullopt);
    m_model->findFiles();
    QVERIFY(waitIdle());
    QCOMPARE(log().constLast(), u"  No files matched the wildcard pattern."_s);
    QVERIFY(!m_console->results().has_value());
}

void DriveModelTest::domainFind_largeListingLoggedInFullAndInOrder() {
    constexpr int files = 25'001;
    QString csv = listingHeader;
    for (int i = 0; i < files; ++i)
        csv += u"u%1@x.org,1F%1,63783.%1.html,text/html,2024-05-01T17:22:33Z,9\n"_s.arg(i);
    m_gam->answerRedirectedCSV(1, csv);
    m_model->setScope(DriveScope::domain);
    m_model->setName(u"63783.*"_s);
    m_model->findFiles();
    QVERIFY(waitIdle());
    const QStringList lines = log();
    const qsizetype found = lines.indexOf(u"  Found 25001 file(s) across the domain:"_s);
    QVERIFY2(found > 0, qPrintable(lines.mid(0, 10).join(u'\n')));
    QCOMPARE(lines.size() - found - 1, files);
    QCOMPARE(lines.at(found + 1), u"    63783.0.html  (1F0)  owner: u0@x.org"_s);
    QCOMPARE(lines.at(found + 10001), u"    63783.10000.html  (1F10000)  owner: u10000@x.org"_s);
    QCOMPARE(lines.constLast(), u"    63783.25000.html  (1F25000)  owner: u25000@x.org"_s);
    QCOMPARE(m_console->results()->rows.size(), files);
    QCOMPARE(m_console->results()->rows.at(12345).constLast(), u"1F12345"_s);
}

void DriveModelTest::domainFind_tooBroadPatternRefusedBeforeAnyTask() {
    m_model->setScope(DriveScope::domain);
    for (const QString &pattern : {u"ab*cd"_s, u"6*.*"_s, u" ?? "_s}) {
        m_console->clear();
        m_model->setName(pattern);
        m_model->findFiles();
        QVERIFY(!m_console->isBusy());
        QCOMPARE(log(), QStringList{u"  Wildcard pattern needs at least 3 non-wildcard characters to keep a "
                                    u"domain-wide scan scoped (e.g. '63783.*' not '6*.*')."_s});
        QCOMPARE(m_console->entryAt(0).kind, LogKind::error);
    }
    QCOMPARE(m_gam->runs(), 0);
}

void DriveModelTest::findByID_logsOutputAndStopsOnRunnerFailure() {
    m_model->setEmail(user);
    m_model->setFileIDsText(u"1A\n1B"_s);
    m_gam->answer(1, u"User: x, Show Info 1 Drive File/Folder\n\n  Drive File: a (1A)"_s,
                  u"\n   \n  User: x, Drive File/Folder ID: 1A, Show Info Failed: nope\n"_s, 50);
    m_model->findFiles();
    QVERIFY(waitIdle());
    const QStringList lines = log();
    const qsizetype first = lines.indexOf(u">> gam user "_s + user + u" info drivefile 1A"_s);
    QVERIFY2(first > 0, qPrintable(lines.join(u'\n')));
    // Standard error follows standard output directly, as one text.
    QCOMPARE(lines.mid(first + 1, 3),
             (QStringList{u"  User: x, Show Info 1 Drive File/Folder"_s, u"    Drive File: a (1A)"_s,
                          u"    User: x, Drive File/Folder ID: 1A, Show Info Failed: nope"_s}));
    QCOMPARE(lines.constLast(), u">> gam user "_s + user + u" info drivefile 1B"_s);
    QVERIFY(!m_console->results().has_value());

    QSettings().setValue(u"gamPath"_s, QString(m_gam->path() + u".missing"_s));
    m_model->findFiles();
    QVERIFY(waitIdle());
    QCOMPARE(log().filter(QRegularExpression(u"^>> gam user .* info drivefile"_s)).size(), 3);
    QVERIFY(log().constLast().startsWith(u"ERROR: 'gam' not found."_s));
}

void DriveModelTest::deleteByName_listsThenActsOnEachFile() {
    m_model->setEmail(user);
    m_model->setMethod(DriveFindMethod::name);
    m_model->setName(u"year's plan"_s);
    m_model->setPurge(true);
    m_gam->answer(1, u"Owner,id,name\n"_s + user + u",1A,year's plan\n"_s + user + u",1B,\n"_s);
    m_gam->answer(3, {}, u"  User: x, Drive File/Folder ID: 1B, Purge Failed: not allowed\n"_s, 50);
    m_model->deleteFiles();
    confirm();
    QVERIFY(waitIdle());

    QCOMPARE(m_gam->runs(), 3);
    const QStringList listing{
        u"user"_s,   user,         u"print"_s,    u"filelist"_s, u"query"_s, u"name contains 'year\\'s plan'"_s,
        u"fields"_s, u"id,name"_s, u"maxfiles"_s, u"1000"_s};
    QCOMPARE(m_gam->arguments(1), listing);
    QCOMPARE(m_gam->arguments(2), (QStringList{u"user"_s, user, u"purge"_s, u"drivefile"_s, u"1A"_s}));
    QCOMPARE(m_gam->arguments(3), (QStringList{u"user"_s, user, u"purge"_s, u"drivefile"_s, u"1B"_s}));
    const QStringList lines = log();
    const qsizetype header = lines.indexOf(u"[DELETE] Drive files  •  user: "_s + user + u"  •  action: purge"_s);
    QVERIFY2(header > 0, qPrintable(lines.join(u'\n')));
    QCOMPARE(lines.mid(header + 1),
             (QStringList{u">> "_s + displayCommand(listing), u"  Found 2 file(s) — deleting..."_s,
                          u">> gam user "_s + user + u" purge drivefile 1A"_s, u"  Done: year's plan (1A)"_s,
                          u">> gam user "_s + user + u" purge drivefile 1B"_s, u"  FAILED: (unknown) (1B) (exit 50)"_s,
                          u"    User: x, Drive File/Folder ID: 1B, Purge Failed: not allowed"_s,
                          u"Done — 1 completed, 1 failed."_s}));
    QCOMPARE(m_console->entryAt(m_console->entryCount() - 1).kind, LogKind::warning);

    // Nothing listed: the run ends without a summary.
    m_gam->answer(4, u"Owner,id,name\n"_s, {}, 60);
    m_model->deleteFiles();
    confirm();
    QVERIFY(waitIdle());
    QCOMPARE(log().constLast(), u"  No files found matching the query."_s);
}

void DriveModelTest::deleteInOU_actsAsEachRowsOwnerOnce() {
    m_model->setScope(DriveScope::ou);
    m_model->setOUPath(u"/Students/Grade 9"_s);
    m_model->setName(u"plan"_s);
    m_gam->answerRedirectedCSV(1, u"Owner,id,name\n"_s
                                  u"a@x.org,1A,plan a\n"_s
                                  u",1B,no owner\n"_s
                                  u"b@x.org,1A,plan a\n"_s
                                  u"b@x.org,1C,plan c\n"_s);
    m_model->deleteFiles();
    confirm();
    QVERIFY(waitIdle());
    const QString path = scanPath(1);
    QVERIFY(!path.isEmpty());
    QCOMPARE(m_gam->arguments(1),
             (batchPrefix + QStringList{path, u"multiprocess"_s, u"ou_and_children"_s, u"/Students/Grade 9"_s,
                                        u"print"_s, u"filelist"_s, u"query"_s, u"name contains 'plan'"_s, u"fields"_s,
                                        u"id,name"_s, u"maxfiles"_s, u"1000"_s}));
    QCOMPARE(m_gam->runs(), 3);
    QCOMPARE(m_gam->arguments(2), (QStringList{u"user"_s, u"a@x.org"_s, u"delete"_s, u"drivefile"_s, u"1A"_s}));
    QCOMPARE(m_gam->arguments(3), (QStringList{u"user"_s, u"b@x.org"_s, u"delete"_s, u"drivefile"_s, u"1C"_s}));
    const QStringList lines = log();
    QVERIFY(lines.contains(u"[DELETE] Drive files  •  OU: /Students/Grade 9  •  action: delete"_s));
    QVERIFY(lines.contains(u"  Scanning all users in OU /Students/Grade 9 (large OUs can take several minutes)..."_s));
    QVERIFY(lines.contains(u"  Found 4 file(s) — deleting..."_s));
    QCOMPARE(lines.constLast(), u"Done — 2 completed, 0 failed."_s);
    QCOMPARE(m_console->entryAt(m_console->entryCount() - 1).kind, LogKind::info);
    QVERIFY(!QFile::exists(path));
}

void DriveModelTest::deleteListingFailure_writesEmptySummary() {
    QSettings().setValue(u"gamPath"_s, QString(m_gam->path() + u".missing"_s));
    m_model->setEmail(user);
    m_model->setMethod(DriveFindMethod::name);
    m_model->setName(u"plan"_s);
    m_model->deleteFiles();
    confirm();
    QVERIFY(waitIdle());
    const QStringList lines = log();
    QVERIFY(lines.at(lines.size() - 2).startsWith(u"ERROR: 'gam' not found."_s));
    QCOMPARE(lines.constLast(), u"Done — 0 completed, 0 failed."_s);
}

void DriveModelTest::confirmations_messagesAndCapturedValues() {
    m_model->setEmail(user);
    QStringList twelve;
    for (int i = 1; i <= 12; ++i)
        twelve.append(u"ID"_s + QString::number(i));
    m_model->setFileIDsText(twelve.join(u'\n'));
    m_model->deleteFiles();
    QCOMPARE(m_console->alert()->message, u"Move to trash 12 files from "_s + user + u" / My Drive:\n\n"_s +
                                              twelve.mid(0, 10).join(u'\n') + u"\n... and 2 more"_s + tail);
    m_model->setFileIDsText(u"ID1"_s);
    m_model->setPurge(true);
    m_model->setDriveKind(DriveKind::shared);
    m_model->setSharedDriveID(u" 0AB "_s);
    m_model->deleteFiles();
    QCOMPARE(m_console->alert()->message,
             u"Permanently delete 1 file from "_s + user + u" / Shared Drive (0AB):\n\nID1"_s + tail);

    m_model->setMethod(DriveFindMethod::name);
    m_model->setName(u" year's plan "_s);
    m_model->deleteFiles();
    QCOMPARE(m_console->alert()->message, u"Find and permanently delete all files matching:\n\n"_s
                                          u"name contains 'year's plan'\n\nin "_s +
                                              user + u" / Shared Drive (0AB)"_s + tail);
    m_model->setScope(DriveScope::ou);
    m_model->setOUPath(u"/Students/Grade 9"_s);
    m_model->setPurge(false);
    m_model->setDriveKind(DriveKind::myDrive);
    m_model->deleteFiles();
    QCOMPARE(m_console->alert()->message, u"Find and move to trash all files matching:\n\n"_s
                                          u"name contains 'year's plan'\n\n"_s
                                          u"across all users in OU: /Students/Grade 9\nDrive: My Drive"_s +
                                              tail);
    QCOMPARE(m_console->entryCount(), 0);

    // What runs is what the confirmation showed, whatever was typed since.
    m_model->setScope(DriveScope::user);
    m_model->setMethod(DriveFindMethod::fileID);
    m_model->setFileIDsText(u"1A"_s);
    m_model->deleteFiles();
    m_model->setFileIDsText(u"9Z"_s);
    m_model->setEmail(u"someone.else@lakeside.example.org"_s);
    m_model->setPurge(true);
    confirm();
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->arguments(1), (QStringList{u"user"_s, user, u"delete"_s, u"drivefile"_s, u"1A"_s}));
}

void DriveModelTest::validation_alertsInOrder() {
    const auto alert = [this] {
        const auto shown = m_console->alert();
        m_console->setAlert(std::nullopt);
        return shown ? shown->title + u" | "_s + shown->message : QString();
    };
    const QString noName = u"Missing Input | Please enter a file name to search for."_s;

    m_model->setScope(DriveScope::domain);
    m_model->setDriveKind(DriveKind::shared);
    m_model->deleteFiles();
    QCOMPARE(alert(), u"Not Supported | Domain-wide delete isn't offered here. Switch to Single User or "
                      u"Organizational Unit scope to delete files."_s);
    m_model->findFiles();
    QCOMPARE(alert(), u"Missing Input | Please enter the Shared Drive ID."_s);
    m_model->setSharedDriveID(u" \t "_s);
    m_model->findFiles();
    QCOMPARE(alert(), u"Missing Input | Please enter the Shared Drive ID."_s);
    m_model->setSharedDriveID(u"0AB"_s);
    m_model->findFiles();
    QCOMPARE(alert(), noName);

    m_model->setScope(DriveScope::user);
    m_model->setMethod(DriveFindMethod::name);
    m_model->findFiles();
    QCOMPARE(alert(), u"Missing Input | Please enter a user email address."_s);
    m_model->setEmail(user);
    m_model->deleteFiles();
    QCOMPARE(alert(), noName);
    m_model->setMethod(DriveFindMethod::fileID);
    m_model->setFileIDsText(u"\n  \n"_s);
    m_model->findFiles();
    QCOMPARE(alert(), u"Missing Input | Please enter at least one File ID."_s);

    // Find by is ignored at OU scope: the name is required there.
    m_model->setScope(DriveScope::ou);
    m_model->setFileIDsText(u"1A"_s);
    m_model->deleteFiles();
    QCOMPARE(alert(), u"Missing Input | Please enter an OU path or use Browse to select one."_s);
    m_model->setOUPath(u"/Staff"_s);
    m_model->findFiles();
    QCOMPARE(alert(), noName);

    QCOMPARE(m_gam->runs(), 0);
    QCOMPARE(m_console->entryCount(), 0);
}

void DriveModelTest::browseOUs_listAlertsAndStop() {
    m_gam->answer(1, u"orgUnitPath,name\n/Students/Grade 9,Grade 9\n/Staff,Staff\n /Staff ,Staff\n"_s,
                  u"Getting all Organizational Units, may take some time on a large Google Workspace Account...\n"_s);
    QSignalSpy opened(m_model.get(), &DriveModel::ouListChanged);
    m_model->browseOUs();
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->arguments(1), (QStringList{u"print"_s, u"orgs"_s, u"fields"_s, u"orgUnitPath,name"_s}));
    QCOMPARE(opened.size(), 1);
    QCOMPARE(m_model->ouList()->paths, (QStringList{u"/Staff"_s, u"/Students/Grade 9"_s}));
    const QUuid first = m_model->ouList()->id;
    QCOMPARE(log().mid(1), (QStringList{u"[OU] Fetching organizational units from domain…"_s,
                                        u"  Getting all Organizational Units, may take some time on a large Google "
                                        u"Workspace Account..."_s}));
    m_model->chooseOU(u"/Students/Grade 9"_s);
    QCOMPARE(m_model->ouPath(), u"/Students/Grade 9"_s);
    m_model->setOUList(std::nullopt);

    m_gam->answer(2, u"orgUnitPath,name\n/Staff,Staff\n/Students/Grade 9,Grade 9\n"_s);
    m_model->browseOUs();
    QVERIFY(waitIdle());
    QVERIFY(m_model->ouList()->id != first);
    m_model->setOUList(std::nullopt);

    // No usable paths, whatever the exit status.
    m_gam->answer(3, u"name\nStaff\n"_s, {}, 0);
    m_model->browseOUs();
    QVERIFY(waitIdle());
    QCOMPARE(m_console->alert()->title, u"Browse OUs"_s);
    QCOMPARE(m_console->alert()->message, u"No organizational units returned from GAM."_s);
    m_console->setAlert(std::nullopt);

    m_gam->hang(4);
    m_model->browseOUs();
    QVERIFY(QTest::qWaitFor([this] { return m_gam->runs() == 4; }, 10000));
    QTest::qWait(100);
    m_console->stop();
    QVERIFY(waitIdle());
    QCOMPARE(log().constLast(), u"  Stopped by user."_s);
    QVERIFY(!m_console->alert().has_value());

    QSettings().setValue(u"gamPath"_s, QString(m_gam->path() + u".missing"_s));
    m_model->browseOUs();
    QVERIFY(waitIdle());
    QCOMPARE(m_console->alert()->title, u"Browse OUs"_s);
    QVERIFY(m_console->alert()->message.startsWith(u"'gam' not found."_s));
    QVERIFY(log().constLast().startsWith(u"ERROR: 'gam' not found."_s));
    QVERIFY(!m_model->ouList().has_value());
}

void DriveModelTest::clearFields_keepsChoices() {
    m_model->setScope(DriveScope::ou);
    m_model->setDriveKind(DriveKind::shared);
    m_model->setMethod(DriveFindMethod::name);
    m_model->setEmail(user);
    m_model->setOUPath(u"/Staff"_s);
    m_model->setSharedDriveID(u"0AB"_s);
    m_model->setFileIDsText(u"1A"_s);
    m_model->setName(u"plan"_s);
    m_model->setPurge(true);
    QSignalSpy changed(m_model.get(), &DriveModel::changed);
    m_model->clearFields();
    QCOMPARE(changed.size(), 1);
    for (const QString &value :
         {m_model->email(), m_model->ouPath(), m_model->sharedDriveID(), m_model->fileIDsText(), m_model->name()})
        QVERIFY(value.isEmpty());
    QVERIFY(!m_model->purge());
    QCOMPARE(m_model->scope(), DriveScope::ou);
    QCOMPARE(m_model->driveKind(), DriveKind::shared);
    QCOMPARE(m_model->method(), DriveFindMethod::name);
}

void DriveModelTest::ownerDestroyedMidScan_noCrashAndFileGone() {
    m_model->setScope(DriveScope::domain);
    m_model->setName(u"plan.pdf"_s);
    m_gam->hang(1);
    m_model->findFiles();
    QVERIFY(QTest::qWaitFor([this] { return m_gam->runs() == 1 && !scanPath(1).isEmpty(); }, 10000));
    const QString path = scanPath(1);
    m_model.reset();
    m_console.reset();
    // The child ends on SIGTERM; the scan resumes with nobody to report to and cleans up.
    QVERIFY(QTest::qWaitFor([&path] { return !QFile::exists(path); }, 10000));
}

QTEST_GUILESS_MAIN(DriveModelTest)
#include "tst_drivemodel.moc"
