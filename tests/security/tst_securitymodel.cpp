#include "FakeGam.h"
#include "TestSupport.h"

#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "security/SecurityModel.h"

#include <QCoroTimer>
#include <QDir>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString domain = u"lakeside.example.org"_s;
const QString user = u"pat.lee@lakeside.example.org"_s;
const QString uploader = u"admin@lakeside.example.org"_s;
const QString folderID = u"0AAp1234567890abcde"_s;

QString filtersCSV(int count) {
    QString csv = u"User,id,from\n"_s;
    for (int i = 1; i <= count; ++i)
        csv += user + u",F"_s + QString::number(i) + u",from x\n"_s;
    return csv;
}

} // namespace

// SecurityModel against a recording gam script: the target, the run/complete
// cycle, the command wrapper, plans, evidence with the Shared Drive upload,
// the audit log, and the sign-out and password-reset actions.
class SecurityModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void target_resolvesAndKeepsTargetlessResults();
    void target_alertsForNothingOrABareNameWithoutDomain();
    void reset_dropsEverythingOfTheDomain();
    void runCheck_needsATargetAndLogsItsStartLine();
    void runCheck_failureKeepsThePreviousResult();
    void runCheck_resultOfAnEarlierTargetOrDomainIsDropped();
    void runCheck_ownerDestroyedMidRun();
    void wrapper_logsStandardErrorOnlyAndCapsIt();
    void plan_everyStepRunsAndFailuresAreCounted();
    void plan_stopEndsItWithoutAnAuditLine();
    void plan_needsConfirmationAndATarget();
    void evidence_blankSavesNothingAndNamesNeverCollide();
    void evidence_folderProblemsAreWarnings();
    void upload_createsFolderUploadsVerifiesAndRemovesLocalCopy();
    void upload_folderCreationFailsUploadsToTheRoot();
    void upload_verificationFailureKeepsLocalCopy();
    void upload_notConfiguredOrPlaceholder();
    void upload_stopDuringUploadKeepsLocalCopy();
    void signOut_confirmedRunsAndRecords();
    void signOut_failureRecordsNothing();
    void resetPassword_sheetThenMaskedCommandAndEvidence();
    void resetPassword_cancelRunsNothing();

private:
    void setTarget(const QString &typed = user);
    bool waitIdle() const;
    void confirm(const QString &button);
    QStringList log() const { return logLines(*m_console); }
    QString evidenceDir() const { return m_records.evidenceFolder; }
    QString auditPath() const { return m_records.auditLog; }
    QStringList evidenceFiles() const;
    void configureUpload(const QString &folder);
    // Runs the filters check; the listing answers with count filters.
    void scanFilters(int count);

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<FakeGam> m_gam;
    std::unique_ptr<ProfileStore> m_profiles;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<SecurityModel> m_model;
    QTemporaryDir m_files;
    SecurityRecords m_records;
};

void SecurityModelTest::init() {
    QVERIFY(m_files.isValid());
    QDir(m_files.path()).removeRecursively();
    QDir().mkpath(m_files.path());
    m_settings = std::make_unique<IsolatedSettings>();
    m_gam = std::make_unique<FakeGam>();
    m_gam->install();
    m_profiles = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_profiles, QString(), domain);
    m_records = keepSecurityRecordsIn(*m_profiles, m_files.path());
    m_console = std::make_unique<Console>(nullptr);
    m_model = std::make_unique<SecurityModel>(m_console.get());
}

void SecurityModelTest::cleanup() {
    m_model.reset();
    m_console.reset();
    m_profiles.reset();
    m_gam.reset();
    m_settings.reset();
}

void SecurityModelTest::setTarget(const QString &typed) {
    m_model->setUserInput(typed);
    m_model->setTarget();
    QVERIFY(m_model->targetUser().has_value());
}

bool SecurityModelTest::waitIdle() const {
    return QTest::qWaitFor([this] { return !m_console->isBusy(); }, 30000);
}

// What the window does when the user presses the confirmation's button.
void SecurityModelTest::confirm(const QString &button) {
    QVERIFY(m_console->alert().has_value());
    const AlertItem alert = *m_console->alert();
    QCOMPARE(alert.confirmTitle, std::optional(button));
    QVERIFY(alert.isDestructive);
    m_console->setAlert(std::nullopt);
    alert.onConfirm();
}

QStringList SecurityModelTest::evidenceFiles() const {
    return QDir(evidenceDir()).entryList({u"*.csv"_s}, QDir::Files, QDir::Name);
}

void SecurityModelTest::configureUpload(const QString &folder) {
    DomainProfile profile = m_profiles->activeProfile();
    profile.driveUploadUser = u" "_s + uploader + u"\t"_s;
    profile.driveFolderID = folder;
    m_profiles->update(profile);
}

void SecurityModelTest::scanFilters(int count) {
    const int run = m_gam->runs() + 1;
    m_gam->answer(run, filtersCSV(count), u"Getting Filters for "_s + user + u'\n');
    m_model->run(SecurityCheck::filters);
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->arguments(run), (QStringList{u"user"_s, user, u"print"_s, u"filters"_s}));
    QVERIFY(m_model->result(SecurityCheck::filters));
}

// ---- Target ----

void SecurityModelTest::target_resolvesAndKeepsTargetlessResults() {
    DomainProfile profile = m_profiles->activeProfile();
    profile.domain = u" @Lakeside.Example.ORG "_s;
    m_profiles->update(profile);

    const auto canned = [](CheckContext, QString) -> QCoro::Task<CheckResult> { co_return CheckResult{}; };
    setTarget();
    m_model->runCheck(SecurityCheck::batchTriage, canned);
    QVERIFY(waitIdle());
    m_model->runCheck(SecurityCheck::logins, canned);
    QVERIFY(waitIdle());
    QCOMPARE(m_model->completed().size(), 2);

    QSignalSpy changed(m_model.get(), &SecurityModel::resultChanged);
    m_model->setUserInput(u"  Robin.Hale \t"_s);
    m_model->setTarget();
    QCOMPARE(m_model->targetUser(), u"robin.hale@lakeside.example.org"_s);
    QCOMPARE(m_model->userInput(), u"robin.hale@lakeside.example.org"_s);
    QCOMPARE(log().constLast(), u"[SECURITY] Target user: robin.hale@lakeside.example.org"_s);
    QVERIFY(m_model->result(SecurityCheck::batchTriage));
    QVERIFY(!m_model->result(SecurityCheck::logins));
    QCOMPARE(m_model->completed(), QSet<SecurityCheck>{SecurityCheck::batchTriage});
    QCOMPARE(changed.size(), 1);

    m_model->clearTarget();
    QCOMPARE(m_model->targetUser(), std::nullopt);
    QVERIFY(m_model->userInput().isEmpty());
    QVERIFY(m_model->result(SecurityCheck::batchTriage));
}

void SecurityModelTest::target_alertsForNothingOrABareNameWithoutDomain() {
    m_model->setUserInput(u" \t "_s);
    m_model->setTarget();
    QCOMPARE(m_console->alert()->title, u"No User"_s);
    QCOMPARE(m_console->alert()->message, u"Enter a username or email address."_s);

    DomainProfile profile = m_profiles->activeProfile();
    profile.domain = u"@"_s;
    m_profiles->update(profile);
    m_model->setUserInput(u"bob"_s);
    m_model->setTarget();
    QCOMPARE(m_console->alert()->title, u"Domain Not Set"_s);
    QCOMPARE(m_console->alert()->message, u"Enter a full email address, or set a primary domain in Settings (Ctrl+,) → "
                                          u"Domains so bare usernames work."_s);
    QCOMPARE(m_model->targetUser(), std::nullopt);
    QCOMPARE(m_model->userInput(), u"bob"_s);
}

void SecurityModelTest::reset_dropsEverythingOfTheDomain() {
    setTarget();
    m_model->runCheck(SecurityCheck::iocSearch,
                      [](CheckContext, QString) -> QCoro::Task<CheckResult> { co_return CheckResult{}; });
    QVERIFY(waitIdle());
    m_model->setSelection(SecurityCheck::calendar);
    m_model->setBatchUsersText(u"a, b"_s);
    m_model->setTriageUsersText(u"c"_s);
    m_model->setSearchIndicator(u"203.0.113.66"_s);
    m_model->setNewIndicator(u"evil.example"_s);
    const QString iocFile = m_files.filePath(u"iocs.txt"_s);
    QFile list(iocFile);
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("10.0.0.5\n");
    list.close();
    QSettings().setValue(u"security.iocFile"_s, iocFile);
    m_model->reloadIndicators();
    m_model->preparePasswordReset();
    QVERIFY(m_model->passwordReveal());

    m_model->reset();
    QCOMPARE(m_model->targetUser(), std::nullopt);
    QVERIFY(m_model->userInput().isEmpty());
    QVERIFY(m_model->results().isEmpty());
    QVERIFY(m_model->completed().isEmpty());
    QVERIFY(m_model->batchUsersText().isEmpty());
    QVERIFY(m_model->triageUsersText().isEmpty());
    QVERIFY(m_model->searchIndicator().isEmpty());
    QVERIFY(!m_model->passwordReveal());
    // What is not the domain's stays.
    QCOMPARE(m_model->selection(), SecurityCheck::calendar);
    QCOMPARE(m_model->newIndicator(), u"evil.example"_s);
    QCOMPARE(m_model->indicators(), QStringList{u"10.0.0.5"_s});
}

// ---- The cycle ----

void SecurityModelTest::runCheck_needsATargetAndLogsItsStartLine() {
    m_model->run(SecurityCheck::revokeApps);
    QCOMPARE(m_console->alert()->title, u"No User Selected"_s);
    QCOMPARE(m_console->alert()->message,
             u"Enter a username or email at the top of the Security tab, then click Set."_s);
    QCOMPARE(m_gam->runs(), 0);
    QVERIFY(!m_console->isBusy());

    setTarget();
    m_gam->answer(1, u"user,clientId\n"_s);
    m_model->run(SecurityCheck::revokeApps);
    QVERIFY(waitIdle());
    QVERIFY(log().contains(u"[3] Revoke Apps — "_s + user));
    QVERIFY(m_model->completed().contains(SecurityCheck::revokeApps));

    m_model->runCheck(SecurityCheck::batchTriage, [](CheckContext, QString who) -> QCoro::Task<CheckResult> {
        CheckResult result;
        result.text = u"user was '"_s + who + u'\'';
        co_return result;
    });
    QVERIFY(waitIdle());
    QVERIFY(log().contains(u"[17] Batch Triage"_s));
    QCOMPARE(m_model->result(SecurityCheck::batchTriage)->text, u"user was ''"_s);
}

void SecurityModelTest::runCheck_failureKeepsThePreviousResult() {
    setTarget();
    scanFilters(2);
    const QUuid before = m_model->result(SecurityCheck::filters)->flags.constFirst().id;

    m_gam->hang(2);
    m_model->run(SecurityCheck::filters);
    QTRY_VERIFY(m_gam->runs() == 2);
    m_console->stop();
    QVERIFY(waitIdle());
    QCOMPARE(log().constLast(), u"  Stopped by user."_s);
    QCOMPARE(m_model->result(SecurityCheck::filters)->flags.constFirst().id, before);

    QSettings().setValue(u"gamPath"_s, m_files.filePath(u"missing-gam"_s));
    m_model->run(SecurityCheck::filters);
    QVERIFY(waitIdle());
    QVERIFY2(log().constLast().startsWith(u"ERROR: 'gam' not found."_s), qPrintable(log().constLast()));
    QCOMPARE(m_model->result(SecurityCheck::filters)->flags.constFirst().id, before);
}

void SecurityModelTest::runCheck_resultOfAnEarlierTargetOrDomainIsDropped() {
    setTarget();
    m_gam->hang(1);
    m_model->run(SecurityCheck::filters);
    QTRY_VERIFY(m_gam->runs() == 1);
    setTarget(u"other"_s);
    m_console->stop();
    QVERIFY(waitIdle());
    QVERIFY(!m_model->result(SecurityCheck::filters));

    // A check without a target loses its result to a domain switch.
    bool resume = false;
    m_model->runCheck(SecurityCheck::iocSearch, [&resume](CheckContext, QString) -> QCoro::Task<CheckResult> {
        co_await QCoro::sleepFor(std::chrono::milliseconds(50));
        resume = true;
        co_return CheckResult{};
    });
    m_model->reset();
    QVERIFY(waitIdle());
    QVERIFY(resume);
    QVERIFY(m_model->results().isEmpty());
}

void SecurityModelTest::runCheck_ownerDestroyedMidRun() {
    setTarget();
    m_gam->hang(1);
    m_model->run(SecurityCheck::filters);
    QTRY_VERIFY(m_gam->runs() == 1);
    m_model.reset();
    m_console->stop();
    QVERIFY(waitIdle());
    QCOMPARE(log().constLast(), u"  Stopped by user."_s);
}

void SecurityModelTest::wrapper_logsStandardErrorOnlyAndCapsIt() {
    setTarget();
    QString noise;
    for (int i = 1; i <= 20; ++i)
        noise += u"warning "_s + QString::number(i) + u'\n';
    m_gam->answer(1, u"User,forwardingEmail\n"_s + user + u",secret-out@example.net\n"_s, noise, 0);
    m_model->run(SecurityCheck::forwarding);
    QVERIFY(waitIdle());
    const QStringList lines = log();
    QVERIFY(lines.contains(u">> gam user "_s + user + u" print forwardingaddress"_s));
    QVERIFY(lines.contains(u"  warning 15"_s));
    QVERIFY(!lines.contains(u"  warning 16"_s));
    QVERIFY(lines.contains(u"  ... (5 more line(s) omitted)"_s));
    QVERIFY(
        std::none_of(lines.cbegin(), lines.cend(), [](const QString &line) { return line.contains(u"secret-out"_s); }));
    for (qsizetype i = 0; i < m_console->entryCount(); ++i)
        if (m_console->entryAt(i).text == u"  warning 1"_s)
            QCOMPARE(m_console->entryAt(i).kind, LogKind::warning);

    m_gam->answer(2, QString(), u"ERROR: rate limited\n"_s, 4);
    m_model->run(SecurityCheck::forwarding);
    QVERIFY(waitIdle());
    for (qsizetype i = 0; i < m_console->entryCount(); ++i)
        if (m_console->entryAt(i).text == u"  ERROR: rate limited"_s)
            QCOMPARE(m_console->entryAt(i).kind, LogKind::error);
    // Failed listings still give their result, from whatever came back.
    QCOMPARE(m_model->result(SecurityCheck::forwarding)->flags.constFirst().text, u"No forwarding addresses."_s);
}

// ---- Plans ----

void SecurityModelTest::plan_everyStepRunsAndFailuresAreCounted() {
    setTarget();
    scanFilters(3);
    m_gam->answer(2, u"User: x, Filter: F1, Deleted\n"_s);
    m_gam->answer(3, QString(), u"  User: x, Filter: F2, Delete Failed: Not Found\n"_s, 50);
    m_gam->answer(4, u"User: x, Filter: F3, Deleted\n"_s);

    m_model->confirmPlan(SecurityCheck::filters);
    QCOMPARE(m_console->alert()->title, u"Confirm"_s);
    QCOMPARE(m_console->alert()->message,
             u"Delete ALL 3 Gmail filter(s) for "_s + user +
                 u"?\n\nThis cannot be undone.\n\nDomain: Practice (lakeside.example.org)"_s);
    confirm(u"Continue"_s);
    QVERIFY(waitIdle());

    QCOMPARE(m_gam->runs(), 4);
    for (int run = 2; run <= 4; ++run)
        QCOMPARE(m_gam->arguments(run),
                 (QStringList{u"user"_s, user, u"delete"_s, u"filter"_s, u"F"_s + QString::number(run - 1)}));
    const CheckResult *result = m_model->result(SecurityCheck::filters);
    QVERIFY(!result->plan);
    QCOMPARE(result->flags.constFirst().kind, SecurityFlag::Kind::danger);
    QCOMPARE(result->flags.constFirst().text, u"1 of 3 step(s) failed. See the Output Log."_s);
    QCOMPARE(result->flags.size(), 2);
    QVERIFY(QString::fromUtf8(readBytes(auditPath()))
                .endsWith(u" | "_s + user + u" | Deleted filters (1 step(s) failed)\n"_s));
    QCOMPARE(log().constLast(), u"Done — 2 succeeded, 1 failed."_s);
    QCOMPARE(m_console->entryAt(m_console->entryCount() - 1).kind, LogKind::warning);
    QVERIFY(log().contains(u"    User: x, Filter: F2, Delete Failed: Not Found"_s));

    // All good: an ok flag that names the action.
    scanFilters(1);
    m_model->confirmPlan(SecurityCheck::filters);
    confirm(u"Continue"_s);
    QVERIFY(waitIdle());
    QCOMPARE(m_model->result(SecurityCheck::filters)->flags.constFirst().text, u"Done: deleted filters."_s);
    QCOMPARE(log().constLast(), u"Done — 1 succeeded, 0 failed."_s);
    QCOMPARE(readBytes(auditPath()).count('\n'), 2);
}

void SecurityModelTest::plan_stopEndsItWithoutAnAuditLine() {
    setTarget();
    scanFilters(3);
    m_gam->hang(3);
    m_model->confirmPlan(SecurityCheck::filters);
    confirm(u"Continue"_s);
    QTRY_VERIFY(m_gam->runs() == 3);
    m_console->stop();
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), 3);
    QCOMPARE(log().constLast(), u"  Stopped by user."_s);
    QVERIFY(!QFile::exists(auditPath()));
    QVERIFY(m_model->result(SecurityCheck::filters)->plan);
}

void SecurityModelTest::plan_needsConfirmationAndATarget() {
    setTarget();
    scanFilters(1);
    m_model->confirmPlan(SecurityCheck::filters);
    m_console->setAlert(std::nullopt); // dismissed
    QCOMPARE(m_gam->runs(), 1);
    QVERIFY(m_model->result(SecurityCheck::filters)->plan);

    m_model->confirmPlan(SecurityCheck::delegates); // no result, no plan
    QVERIFY(!m_console->alert());
    m_model->clearTarget();
    m_model->confirmPlan(SecurityCheck::filters);
    QVERIFY(!m_console->alert());
}

// ---- Evidence ----

void SecurityModelTest::evidence_blankSavesNothingAndNamesNeverCollide() {
    setTarget();
    m_gam->answer(1, u"\n \n"_s);
    m_model->run(SecurityCheck::revokeApps);
    QVERIFY(waitIdle());
    QVERIFY(!QFileInfo::exists(evidenceDir()));
    QVERIFY(m_model->result(SecurityCheck::revokeApps)->evidence.isEmpty());
    const QStringList lines = log();
    QVERIFY(std::none_of(lines.cbegin(), lines.cend(), [](const QString &l) { return l.contains(u"evidence"_s); }));

    // The same check three times within a minute or two keeps three files.
    for (int run = 2; run <= 4; ++run) {
        m_gam->answer(run, filtersCSV(run));
        m_model->run(SecurityCheck::filters);
        QVERIFY(waitIdle());
        const QList<EvidenceItem> &items = m_model->result(SecurityCheck::filters)->evidence;
        QCOMPARE(items.size(), 1);
        QVERIFY(items[0].localURL);
        QCOMPARE(readBytes(*items[0].localURL), filtersCSV(run).toUtf8());
        QCOMPARE(items[0].label, QFileInfo(*items[0].localURL).fileName());
        QVERIFY(log().contains(u"  Saved evidence: "_s + *items[0].localURL));
    }
    const QStringList files = evidenceFiles();
    QCOMPARE(files.size(), 3);
    const QString stem = u"pat.lee_lakeside.example.org_"_s;
    for (const QString &file : files) {
        QVERIFY2(file.startsWith(stem) && file.contains(u"_filters"_s), qPrintable(file));
        QCOMPARE(fileMode(evidenceDir() + u'/' + file), 0600);
    }
}

void SecurityModelTest::evidence_folderProblemsAreWarnings() {
    setTarget();
    QFile blocker(evidenceDir());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_gam->answer(1, filtersCSV(1));
    m_model->run(SecurityCheck::filters);
    QVERIFY(waitIdle());
    QVERIFY(log().contains(u"  WARNING: Couldn't save evidence: "_s + evidenceDir() + u": Not a directory"_s));
    QVERIFY(m_model->result(SecurityCheck::filters)->evidence.isEmpty());

    // An audit log whose folder cannot be created: the action is still done.
    DomainProfile profile = m_profiles->activeProfile();
    profile.auditLog = evidenceDir() + u"/audit.txt"_s;
    profile.exportDir = u"  "_s;
    m_profiles->update(profile);
    m_gam->answer(2, u"User: "_s + user + u", Signed Out\n"_s);
    m_model->confirmSignOut();
    confirm(u"Sign Out"_s);
    QVERIFY(waitIdle());
    QCOMPARE(m_model->result(SecurityCheck::signOut)->flags.constFirst().kind, SecurityFlag::Kind::ok);
    QVERIFY(log().contains(u"  WARNING: Couldn't write the audit log: "_s + evidenceDir() + u": Not a directory"_s));
    QVERIFY(log().contains(u"  WARNING: Couldn't save evidence: No evidence folder is set for this domain. Set one in "
                           u"Settings (Ctrl+,) → Domains."_s));
}

// ---- Shared Drive upload ----

void SecurityModelTest::upload_createsFolderUploadsVerifiesAndRemovesLocalCopy() {
    configureUpload(u" "_s + folderID + u" "_s);
    setTarget();
    m_gam->answer(1, filtersCSV(1));
    m_gam->answer(2, u"1FolderId_abcdefghijk\n"_s);
    m_gam->answer(3, u"1FileId_abcdefghijklmno\nWARNING: something odd\n"_s);
    m_gam->answer(4, u"User: x, Show 1 Drive File/Folder\n  Drive File: x (1FileId_abcdefghijklmno)\n    id: x\n"_s);
    m_model->run(SecurityCheck::filters);
    QVERIFY(waitIdle());

    const QStringList create = m_gam->arguments(2);
    QCOMPARE(create.mid(0, 5), (QStringList{u"user"_s, uploader, u"create"_s, u"drivefolderpath"_s, u"path"_s}));
    const QString folderPath = create.at(5);
    QVERIFY2(folderPath.endsWith(u'/' + user) && folderPath.size() == 10 + 1 + user.size(), qPrintable(folderPath));
    QCOMPARE(create.mid(6), (QStringList{u"teamdriveparentid"_s, folderID, u"returnidonly"_s}));

    const QStringList upload = m_gam->arguments(3);
    QCOMPARE(upload.mid(0, 5), (QStringList{u"user"_s, uploader, u"create"_s, u"drivefile"_s, u"localfile"_s}));
    const QString localURL = upload.at(5);
    QVERIFY(localURL.startsWith(evidenceDir() + u'/'));
    QCOMPARE(upload.at(6), u"drivefilename"_s);
    const QString driveName = upload.at(7);
    QVERIFY2(QRegularExpression(u"^\\d{4}_filters\\.csv$"_s).match(driveName).hasMatch(), qPrintable(driveName));
    QCOMPARE(upload.mid(8), (QStringList{u"parentid"_s, u"1FolderId_abcdefghijk"_s, u"returnidonly"_s}));
    QCOMPARE(m_gam->arguments(4), (QStringList{u"user"_s, uploader, u"show"_s, u"fileinfo"_s,
                                               u"1FileId_abcdefghijklmno"_s, u"fields"_s, u"id"_s}));

    const QString display = folderPath + u'/' + driveName;
    const QList<EvidenceItem> &items = m_model->result(SecurityCheck::filters)->evidence;
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0].label, u"Shared Drive: "_s + display);
    QVERIFY(!items[0].localURL);
    QVERIFY(!QFile::exists(localURL));
    const QStringList lines = log();
    const qsizetype uploaded = lines.indexOf(u"  Uploaded and verified: "_s + display + u" — local copy removed."_s);
    QVERIFY2(uploaded > 0, qPrintable(lines.join(u'\n')));
    const QString hash =
        QString::fromLatin1(QCryptographicHash::hash(filtersCSV(1).toUtf8(), QCryptographicHash::Sha256).toHex());
    QCOMPARE(lines.at(uploaded + 1), u"  SHA-256 of "_s + display + u": "_s + hash);
    QVERIFY(readBytes(evidenceDir() + u"/SHA256SUMS"_s).isEmpty());
    QCOMPARE(QString::fromUtf8(readBytes(evidenceDir() + u"/SHA256SUMS.uploaded"_s)),
             hash + u"  "_s + QFileInfo(localURL).fileName() + u"  "_s + display + u'\n');
}

void SecurityModelTest::upload_folderCreationFailsUploadsToTheRoot() {
    configureUpload(folderID);
    setTarget();
    m_gam->answer(1, filtersCSV(1));
    m_gam->answer(2, QString(), u"User: x, Drive Folder: 2024, Create Failed: Create Folder: Not found\n"_s, 50);
    m_gam->answer(3, u"1FileId_abcdefghijklmno\n"_s);
    m_gam->answer(4, u"    id: 1FileId_abcdefghijklmno\n"_s);
    m_model->run(SecurityCheck::filters);
    QVERIFY(waitIdle());
    const QString localName = QFileInfo(m_gam->arguments(3).at(5)).fileName();
    QCOMPARE(m_gam->arguments(3).mid(6),
             (QStringList{u"drivefilename"_s, localName, u"teamdriveparentid"_s, folderID, u"returnidonly"_s}));
    QVERIFY(log().contains(u"  Couldn't create "_s + m_gam->arguments(2).at(5) +
                           u" — uploading to the Shared Drive folder root."_s));
    QVERIFY(log().contains(u"  Uploaded and verified: "_s + localName + u" — local copy removed."_s));
    QCOMPARE(m_model->result(SecurityCheck::filters)->evidence.constFirst().label, u"Shared Drive: "_s + localName);
}

void SecurityModelTest::upload_verificationFailureKeepsLocalCopy() {
    configureUpload(folderID);
    setTarget();
    m_gam->answer(1, filtersCSV(1));
    m_gam->answer(2, u"1FolderId_abcdefghijk\n"_s);
    m_gam->answer(3, u"1FileId_abcdefghijklmno\n"_s);
    m_gam->answer(4, QString(), u"File not found\n"_s, 50);
    m_model->run(SecurityCheck::filters);
    QVERIFY(waitIdle());
    const QString localURL = m_gam->arguments(3).at(5);
    QVERIFY(QFile::exists(localURL));
    QVERIFY(log().contains(u"  Couldn't verify the file in Drive — keeping the local copy: "_s + localURL));
    const EvidenceItem item = m_model->result(SecurityCheck::filters)->evidence.constFirst();
    QCOMPARE(item.localURL, localURL);
    QCOMPARE(item.label, QFileInfo(localURL).fileName());
    QVERIFY(readBytes(evidenceDir() + u"/SHA256SUMS"_s).contains(QFileInfo(localURL).fileName().toUtf8()));

    // An upload that printed no identifier (exit 0) is not trusted either.
    m_gam->answer(5, filtersCSV(2));
    m_gam->answer(6, u"1FolderId_abcdefghijk\n"_s);
    m_gam->answer(7, u"User: x, Drive File: y, Created\n"_s);
    m_model->run(SecurityCheck::filters);
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), 7);
    QVERIFY(log().contains(u"  Couldn't confirm the upload — keeping the local copy: "_s + m_gam->arguments(7).at(5)));
}

void SecurityModelTest::upload_notConfiguredOrPlaceholder() {
    configureUpload(u"PUT_YOUR_FOLDER_ID_HERE"_s);
    setTarget();
    m_gam->answer(1, filtersCSV(1));
    m_model->run(SecurityCheck::filters);
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), 1);
    QVERIFY(m_model->result(SecurityCheck::filters)->evidence.constFirst().localURL);

    DomainProfile profile = m_profiles->activeProfile();
    profile.driveFolderID = folderID;
    profile.driveUploadUser = u" \t"_s;
    m_profiles->update(profile);
    m_gam->answer(2, filtersCSV(1));
    m_model->run(SecurityCheck::filters);
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), 2);
}

void SecurityModelTest::upload_stopDuringUploadKeepsLocalCopy() {
    configureUpload(folderID);
    setTarget();
    m_gam->answer(1, filtersCSV(1));
    m_gam->answer(2, u"1FolderId_abcdefghijk\n"_s);
    m_gam->hang(3);
    m_model->run(SecurityCheck::filters);
    QTRY_VERIFY(m_gam->runs() == 3);
    m_console->stop();
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), 3);
    QVERIFY(log().contains(u"  Stopped by user."_s));
    const CheckResult *result = m_model->result(SecurityCheck::filters);
    QVERIFY(result);
    QVERIFY(result->evidence.constFirst().localURL);
    QVERIFY(QFile::exists(*result->evidence.constFirst().localURL));
}

// ---- Sign-out and password reset ----

void SecurityModelTest::signOut_confirmedRunsAndRecords() {
    setTarget(u"pat.lee"_s);
    m_model->run(SecurityCheck::signOut);
    QCOMPARE(m_console->alert()->title, u"Force Sign-Out?"_s);
    QCOMPARE(m_console->alert()->message, u"This will sign "_s + user +
                                              u" out of ALL sessions (web, mobile, apps).\n\nDomain: Practice "
                                              u"(lakeside.example.org)"_s);
    QCOMPARE(m_gam->runs(), 0);
    m_gam->answer(1, u"User: "_s + user + u", Signed Out\n"_s);
    confirm(u"Sign Out"_s);
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->arguments(1), (QStringList{u"user"_s, user, u"signout"_s}));
    const QStringList lines = log();
    QVERIFY(lines.contains(u"[1] Sign Out — "_s + user));
    QVERIFY(lines.contains(u"  "_s + user + u" signed out of all sessions."_s));
    const CheckResult *result = m_model->result(SecurityCheck::signOut);
    QCOMPARE(result->flags.size(), 1);
    QCOMPARE(result->flags[0].kind, SecurityFlag::Kind::ok);
    QCOMPARE(result->flags[0].text, user + u" was signed out of all sessions."_s);
    const QString evidence = QString::fromUtf8(readBytes(*result->evidence.constFirst().localURL));
    QVERIFY(QRegularExpression(u"^user,action,timestamp\\n"_s + QRegularExpression::escape(user) +
                               u",forced_signout_all_sessions,\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\S+\\n$"_s)
                .match(evidence)
                .hasMatch());
    QVERIFY(result->evidence.constFirst().label.endsWith(u"_signout_confirmation.csv"_s));
    const QString audit = QString::fromUtf8(readBytes(auditPath()));
    QVERIFY2(QRegularExpression(u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\| "_s +
                                QRegularExpression::escape(user) + u" \\| Forced sign-out of all sessions\\n$"_s)
                 .match(audit)
                 .hasMatch(),
             qPrintable(audit));
    QCOMPARE(fileMode(auditPath()), 0600);
}

void SecurityModelTest::signOut_failureRecordsNothing() {
    setTarget();
    m_gam->answer(1, QString(), u"User: "_s + user + u", Does not exist\n"_s, 56);
    m_model->run(SecurityCheck::signOut);
    confirm(u"Sign Out"_s);
    QVERIFY(waitIdle());
    const CheckResult *result = m_model->result(SecurityCheck::signOut);
    QCOMPARE(result->flags.size(), 1);
    QCOMPARE(result->flags[0].kind, SecurityFlag::Kind::danger);
    QCOMPARE(result->flags[0].text, u"Sign-out failed (exit 56). See the Output Log."_s);
    QVERIFY(result->evidence.isEmpty());
    QVERIFY(!QFile::exists(auditPath()));
    QVERIFY(!QFileInfo::exists(evidenceDir()));
    QVERIFY(m_model->completed().contains(SecurityCheck::signOut));
}

void SecurityModelTest::resetPassword_sheetThenMaskedCommandAndEvidence() {
    setTarget();
    QSignalSpy reveals(m_model.get(), &SecurityModel::passwordRevealChanged);
    m_model->run(SecurityCheck::resetPassword);
    QCOMPARE(reveals.size(), 1);
    QCOMPARE(m_gam->runs(), 0);
    const PasswordReveal reveal = *m_model->passwordReveal();
    QCOMPARE(reveal.purpose, PasswordReveal::Purpose::pendingReset);
    QCOMPARE(reveal.entries.size(), 1);
    QCOMPARE(reveal.entries[0].user, user);
    const QString password = reveal.entries[0].password;
    QCOMPARE(password.size(), 16);

    m_gam->answer(1, u"User: "_s + user + u", Updated\n"_s);
    m_model->applyPasswordReset();
    QVERIFY(!m_model->passwordReveal());
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->arguments(1),
             (QStringList{u"update"_s, u"user"_s, user, u"password"_s, password, u"changepassword"_s, u"on"_s}));
    const QStringList lines = log();
    QVERIFY(lines.contains(u">> gam update user "_s + user + u" password ******** changepassword on"_s));
    QVERIFY(lines.contains(u"[2] Reset Password — "_s + user));
    QVERIFY(lines.contains(u"  Password reset. User must change it at next sign-in."_s));
    const CheckResult *result = m_model->result(SecurityCheck::resetPassword);
    QCOMPARE(result->flags.constFirst().text, u"Password reset. "_s + user + u" must change it at next sign-in."_s);
    const QString evidence = QString::fromUtf8(readBytes(*result->evidence.constFirst().localURL));
    QVERIFY2(evidence.startsWith(u"user,action,timestamp,note\n"_s + user + u",password_reset,"_s) &&
                 evidence.endsWith(u",random_password_applied\n"_s),
             qPrintable(evidence));
    QVERIFY(QString::fromUtf8(readBytes(auditPath())).endsWith(u" | Random password reset — changepassword on\n"_s));
    QVERIFY(!m_console->plainText().contains(password));
    QVERIFY(!evidence.contains(password));
    QVERIFY(!QString::fromUtf8(readBytes(auditPath())).contains(password));

    // A failed reset: a flag with the code, nothing recorded.
    m_model->preparePasswordReset();
    m_gam->answer(2, QString(), u"Update Failed\n"_s, 50);
    m_model->applyPasswordReset();
    QVERIFY(waitIdle());
    QCOMPARE(m_model->result(SecurityCheck::resetPassword)->flags.constFirst().text,
             u"Password reset failed (exit 50). See the Output Log."_s);
    QCOMPARE(readBytes(auditPath()).count('\n'), 1);
}

void SecurityModelTest::resetPassword_cancelRunsNothing() {
    setTarget();
    m_model->preparePasswordReset();
    const QString first = m_model->passwordReveal()->entries[0].password;
    m_model->dismissPasswordReveal();
    QVERIFY(!m_model->passwordReveal());
    QCOMPARE(m_gam->runs(), 0);
    m_model->preparePasswordReset();
    QVERIFY(m_model->passwordReveal()->entries[0].password != first);
    m_model->dismissPasswordReveal();
    m_model->applyPasswordReset(); // nothing pending
    QCOMPARE(m_gam->runs(), 0);
    QVERIFY(!m_console->isBusy());
}

QTEST_GUILESS_MAIN(SecurityModelTest)
#include "tst_securitymodel.moc"
