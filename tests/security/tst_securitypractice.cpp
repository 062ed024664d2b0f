#include "TestSupport.h"

#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "security/SecurityModel.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString victim = u"morgan.ellis@example.org"_s;
const QString exfil = u"m.backup.inbox@example.net"_s;

} // namespace

// An incident response on the practice domain's compromised teacher: every
// response action against the simulated gam, what it removed is gone on the
// next scan, its records are where they belong and the new password is in none.
class SecurityPracticeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void fullResponse_removesWhatTheAttackerLeft();
    void upload_movesEvidenceToTheSharedDriveAndVerifiesIt();

private:
    bool waitIdle() const {
        return QTest::qWaitFor([this] { return !m_console->isBusy(); }, 120000);
    }
    QString log() const { return logLines(*m_console).join(u'\n'); }
    const CheckResult *scan(SecurityCheck check);
    // Confirms the plan of the check's latest result and waits for it.
    void removeWithPlan(SecurityCheck check);
    QString evidenceDir() const { return m_records.evidenceFolder; }
    QString auditPath() const { return m_records.auditLog; }
    void verifyChecksums();

    QTemporaryDir m_district;
    QTemporaryDir m_files;
    SecurityRecords m_records;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<ProfileStore> m_profiles;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<SecurityModel> m_model;
};

void SecurityPracticeTest::initTestCase() {
    if (!QFile::exists(QStringLiteral(PRACTICE_GAM_PATH)))
        QSKIP("the practice gam is not part of this build");
    QVERIFY(seedPracticeDomain(m_district.path(), u"example.org"_s, 30));
    m_settings = std::make_unique<IsolatedSettings>();
    QSettings().setValue(u"gamPath"_s, QStringLiteral(PRACTICE_GAM_PATH));
    m_profiles = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_profiles, m_district.path(), u"example.org"_s);
    m_records = keepSecurityRecordsIn(*m_profiles, m_files.path());
    m_console = std::make_unique<Console>(nullptr);
    m_model = std::make_unique<SecurityModel>(m_console.get());
}

void SecurityPracticeTest::cleanupTestCase() {
    m_model.reset();
    m_console.reset();
}

const CheckResult *SecurityPracticeTest::scan(SecurityCheck check) {
    m_model->run(check);
    if (!waitIdle())
        return nullptr;
    return m_model->result(check);
}

void SecurityPracticeTest::removeWithPlan(SecurityCheck check) {
    const CheckResult *result = m_model->result(check);
    QVERIFY(result && result->plan);
    m_model->confirmPlan(check);
    QVERIFY(m_console->alert());
    const AlertItem alert = *m_console->alert();
    QCOMPARE(alert.confirmTitle, u"Continue"_s);
    m_console->setAlert(std::nullopt);
    alert.onConfirm();
    QVERIFY(waitIdle());
    QVERIFY2(m_model->result(check)->flags.constFirst().text.startsWith(u"Done: "_s), qPrintable(log()));
    QVERIFY(!m_model->result(check)->plan);
}

void SecurityPracticeTest::verifyChecksums() {
    if (QStandardPaths::findExecutable(u"sha256sum"_s).isEmpty())
        QSKIP("sha256sum is not installed");
    QProcess check;
    check.setWorkingDirectory(evidenceDir());
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(u"sha256sum"_s, {u"-c"_s, u"--strict"_s, u"SHA256SUMS"_s});
    QVERIFY(check.waitForFinished());
    const QString output = QString::fromUtf8(check.readAll());
    QVERIFY2(check.exitCode() == 0, qPrintable(output));
    const qsizetype local = QDir(evidenceDir()).entryList({u"*.csv"_s}, QDir::Files).size();
    QCOMPARE(output.count(u": OK"_s), local);
}

void SecurityPracticeTest::fullResponse_removesWhatTheAttackerLeft() {
    m_model->setUserInput(u" Morgan.Ellis "_s);
    m_model->setTarget();
    QCOMPARE(m_model->targetUser(), victim);

    // 1. Sign out.
    m_model->run(SecurityCheck::signOut);
    AlertItem signOut = *m_console->alert();
    m_console->setAlert(std::nullopt);
    signOut.onConfirm();
    QVERIFY(waitIdle());
    QCOMPARE(flagTexts(m_model->result(SecurityCheck::signOut)),
             QStringList{victim + u" was signed out of all sessions."_s});
    const EvidenceItem signOutEvidence = m_model->result(SecurityCheck::signOut)->evidence.constFirst();
    QVERIFY(readBytes(*signOutEvidence.localURL)
                .startsWith("user,action,timestamp\nmorgan.ellis@example.org,"
                            "forced_signout_all_sessions,"));

    // 2. A generated password, shown, then applied.
    m_model->run(SecurityCheck::resetPassword);
    QVERIFY(m_model->passwordReveal());
    const QString password = m_model->passwordReveal()->entries.constFirst().password;
    m_model->applyPasswordReset();
    QVERIFY(waitIdle());
    QCOMPARE(flagTexts(m_model->result(SecurityCheck::resetPassword)),
             QStringList{u"Password reset. "_s + victim + u" must change it at next sign-in."_s});
    QVERIFY(readBytes(*m_model->result(SecurityCheck::resetPassword)->evidence.constFirst().localURL)
                .startsWith("user,action,timestamp,note\nmorgan.ellis@example.org,password_reset,"));

    // 3-6. What the attacker set up is found, removed, and gone on the next scan.
    const CheckResult *apps = scan(SecurityCheck::revokeApps);
    QCOMPARE(flagTexts(apps).constFirst(),
             u"2 connected app token(s). Revoke any you don't recognize — or all of them."_s);
    QCOMPARE(apps->plan->steps.constFirst(), (QStringList{u"user"_s, victim, u"delete"_s, u"token"_s, u"clientid"_s,
                                                          u"884120337612-mailsync.apps.googleusercontent.com"_s}));
    removeWithPlan(SecurityCheck::revokeApps);
    QCOMPARE(flagTexts(scan(SecurityCheck::revokeApps)), QStringList{u"No connected app tokens."_s});

    const CheckResult *filters = scan(SecurityCheck::filters);
    QCOMPARE(flagTexts(filters).constFirst(),
             u"2 filter(s). Look for filters that archive, delete, or forward replies."_s);
    QVERIFY(filters->tables.constFirst().headers.contains(u"forward"_s));
    removeWithPlan(SecurityCheck::filters);
    QCOMPARE(flagTexts(scan(SecurityCheck::filters)), QStringList{u"No Gmail filters."_s});

    const CheckResult *forwarding = scan(SecurityCheck::forwarding);
    QCOMPARE(forwarding->plan->steps,
             (QList<QStringList>{{u"user"_s, victim, u"forward"_s, u"off"_s},
                                 {u"user"_s, victim, u"delete"_s, u"forwardingaddress"_s, exfil}}));
    removeWithPlan(SecurityCheck::forwarding);
    forwarding = scan(SecurityCheck::forwarding);
    QCOMPARE(flagTexts(forwarding), QStringList{u"No forwarding addresses."_s});
    QCOMPARE(forwarding->plan->buttonTitle, u"Disable Forwarding…"_s);

    const CheckResult *delegates = scan(SecurityCheck::delegates);
    QCOMPARE(delegates->plan->steps.constFirst().constLast(), u"it-support.desk@example.org"_s);
    removeWithPlan(SecurityCheck::delegates);
    QCOMPARE(flagTexts(scan(SecurityCheck::delegates)), QStringList{u"No mailbox delegates."_s});

    // 11. Calendar: the outside reader and the public entry go; owner and domain stay.
    const CheckResult *calendar = scan(SecurityCheck::calendar);
    QCOMPARE(flagTexts(calendar), QStringList{u"2 calendar share(s) would be removed."_s});
    QCOMPARE(calendar->plan->steps,
             (QList<QStringList>{{u"user"_s, victim, u"delete"_s, u"calendaracl"_s, victim, u"user:"_s + exfil},
                                 {u"user"_s, victim, u"delete"_s, u"calendaracl"_s, victim, u"default"_s}}));
    // The public entry has no address; the confirmation names it by its ACL.
    QVERIFY(calendar->plan->confirmMessage.endsWith(u"?\n\n"_s + exfil + u" (reader)\ndefault (reader)"_s));
    removeWithPlan(SecurityCheck::calendar);
    calendar = scan(SecurityCheck::calendar);
    QCOMPARE(flagTexts(calendar),
             QStringList{u"No calendar shares to remove (only owner, calendar, and domain entries)."_s});
    QCOMPARE(calendar->tables.constFirst().rowCount(), 2);

    // 13. The phishing link in the signature is saved, then cleared.
    const CheckResult *signature = scan(SecurityCheck::signature);
    QVERIFY(signature->text->contains(u"https://secure-login.example.net/verify"_s));
    QVERIFY(readBytes(*signature->evidence.constFirst().localURL).contains("secure-login.example.net/verify"));
    removeWithPlan(SecurityCheck::signature);
    signature = scan(SecurityCheck::signature);
    QVERIFY(!signature->text->contains(u"secure-login"_s));

    // One audit line per change: sign-out, reset and six confirmed plans.
    const QStringList audit = QString::fromUtf8(readBytes(auditPath())).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(audit.size(), 8);
    const QStringList actions{u"Forced sign-out of all sessions"_s, u"Random password reset — changepassword on"_s,
                              u"Revoked all app tokens"_s,          u"Deleted filters"_s,
                              u"Removed forwarding and disabled"_s, u"Removed delegates"_s,
                              u"Removed 2 calendar share(s)"_s,     u"Cleared email signature"_s};
    for (qsizetype i = 0; i < audit.size(); ++i)
        QVERIFY2(audit[i].endsWith(u" | "_s + victim + u" | "_s + actions[i]), qPrintable(audit[i]));
    QCOMPARE(fileMode(auditPath()), 0600);
    QCOMPARE(fileMode(evidenceDir()), 0700);

    // The password is nowhere but on the screen it was shown on.
    QVERIFY(!log().contains(password));
    QVERIFY(!readBytes(auditPath()).contains(password.toUtf8()));
    QDirIterator files(m_files.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    int scanned = 0;
    while (files.hasNext()) {
        const QString path = files.next();
        QVERIFY2(!readBytes(path).contains(password.toUtf8()), qPrintable(path));
        ++scanned;
    }
    QVERIFY(scanned > 10);
    verifyChecksums();
}

void SecurityPracticeTest::upload_movesEvidenceToTheSharedDriveAndVerifiesIt() {
    const QJsonObject state =
        QJsonDocument::fromJson(readBytes(m_district.filePath(u"practice-domain.json"_s))).object();
    const QString sharedDrive = state.value(u"sharedDrives"_s).toArray().first().toObject().value(u"id"_s).toString();
    QVERIFY(!sharedDrive.isEmpty());
    DomainProfile profile = m_profiles->activeProfile();
    profile.driveUploadUser = u"admin@example.org"_s;
    profile.driveFolderID = sharedDrive;
    m_profiles->update(profile);
    m_model->setUserInput(victim);
    m_model->setTarget();

    const CheckResult *calendar = scan(SecurityCheck::calendar);
    QCOMPARE(calendar->evidence.size(), 1);
    const EvidenceItem uploaded = calendar->evidence.constFirst();
    QVERIFY2(!uploaded.localURL, qPrintable(log()));
    const QString day = QDate::currentDate().toString(u"yyyy-MM-dd"_s);
    // The calendar was scanned twice this minute already, so the name may carry a number.
    const QRegularExpression label(u"^Shared Drive: "_s + day + u'/' + QRegularExpression::escape(victim) +
                                   u"/\\d{4}_calendar(-\\d+)?\\.csv$"_s);
    QVERIFY2(label.match(uploaded.label).hasMatch(), qPrintable(uploaded.label));
    QVERIFY(log().contains(u"  Uploaded and verified: "_s + uploaded.label.mid(14) + u" — local copy removed."_s));
    QVERIFY(readBytes(evidenceDir() + u"/SHA256SUMS.uploaded"_s).contains(uploaded.label.mid(14).toUtf8()));

    // The Shared Drive now holds the dated folder and the file below it.
    const QJsonObject after =
        QJsonDocument::fromJson(readBytes(m_district.filePath(u"practice-domain.json"_s))).object();
    QStringList names;
    for (const QJsonValue &file : after.value(u"files"_s).toArray())
        if (file.toObject().value(u"driveId"_s).toString() == sharedDrive)
            names.append(file.toObject().value(u"name"_s).toString());
    QVERIFY(names.contains(day));
    QVERIFY(names.contains(victim));
    QVERIFY(names.contains(uploaded.label.section(u'/', -1)));

    // A verification that fails keeps the local copy, and the folder still checks clean.
    qputenv("PRACTICE_GAM_FAULT", "exit:50@show fileinfo");
    const CheckResult *again = scan(SecurityCheck::signature);
    qunsetenv("PRACTICE_GAM_FAULT");
    const EvidenceItem kept = again->evidence.constFirst();
    QVERIFY(kept.localURL && QFile::exists(*kept.localURL));
    QVERIFY(log().contains(u"  Couldn't verify the file in Drive — keeping the local copy: "_s + *kept.localURL));
    verifyChecksums();
}

QTEST_GUILESS_MAIN(SecurityPracticeTest)
#include "tst_securitypractice.moc"
