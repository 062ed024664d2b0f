#include "FakeDesktopServices.h"
#include "FakeGam.h"
#include "TestSupport.h"

#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "security/SecurityModel.h"

#include <QDir>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString domain = u"lakeside.example.org"_s;
const QString user = u"pat.lee@lakeside.example.org"_s;
const QString second = u"robin.hale@lakeside.example.org"_s;
const QString third = u"sam.ortiz@lakeside.example.org"_s;
const QString folderID = u"0AAp1234567890abcde"_s;

QList<QStringList> tableRows(const SecurityTable &table) {
    QList<QStringList> rows;
    for (qsizetype row = 0; row < table.rowCount(); ++row)
        rows.append(table.row(row));
    return rows;
}

QStringList onUser(const QString &account, const QStringList &command) {
    return QStringList{u"user"_s, account} + command;
}

} // namespace

// The investigation checks, batch remediation and triage, the domain search and
// the known-indicator list against a recording gam script: the vectors as sent,
// what is kept as evidence, audited and shown, and what stays secret.
class SecurityChecksTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void investigation_data();
    void investigation();
    void twoStep_regeneratedCodesStayOnScreen();
    void iocCheck_readsTheListBeforeEveryRun();
    void batch_inputAlertsAndConfirmation();
    void batch_everyStepPerAccountAndFailuresInProblems();
    void batch_stopMidAccountKeepsRowsAndPasswords();
    void batch_ownerDestroyedMidRun();
    void batch_domainSwitchedMidRunStillShowsPasswords();
    void passwordLog_onlyWhereChosenAndOwnerOnly();
    void passwordLog_uploadedWhenChosen();
    void passwordLog_failureIsAWarningAndThePasswordsStillShow();
    void triage_countsFlagsAndEvidence();
    void triage_stopLeavesNoResult();
    void domainSearch_takesOneAddressInAnyForm();
    void indicators_addReloadExportAndOpen();

private:
    void setTarget(const QString &typed = user);
    bool waitIdle() const {
        return QTest::qWaitFor([this] { return !m_console->isBusy(); }, 30000);
    }
    QStringList log() const { return logLines(*m_console); }
    QStringList evidenceFiles(const QString &pattern = u"*.csv"_s) const {
        return QDir(m_records.evidenceFolder).entryList({pattern}, QDir::Files, QDir::Name);
    }
    QStringList auditLines() const {
        return QString::fromUtf8(readBytes(m_records.auditLog)).split(u'\n', Qt::SkipEmptyParts);
    }
    void confirm(const QString &button);
    // Answers the seven commands of an account with nothing to remove; returns the next run.
    int answerQuietAccount(int run);
    void startBatch(const QString &accounts, int count);
    void writeIndicators(const QByteArray &content);

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<FakeGam> m_gam;
    std::unique_ptr<ProfileStore> m_profiles;
    FakeDesktopServices m_desktop;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<SecurityModel> m_model;
    QTemporaryDir m_files;
    SecurityRecords m_records;
    QString m_iocFile;
};

void SecurityChecksTest::init() {
    QVERIFY(m_files.isValid());
    QDir(m_files.path()).removeRecursively();
    QDir().mkpath(m_files.path());
    m_settings = std::make_unique<IsolatedSettings>();
    m_gam = std::make_unique<FakeGam>();
    m_gam->install();
    m_profiles = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_profiles, QString(), domain);
    m_records = keepSecurityRecordsIn(*m_profiles, m_files.path());
    m_iocFile = m_files.filePath(u"known_iocs.txt"_s);
    QSettings().setValue(u"security.iocFile"_s, m_iocFile);
    m_desktop = FakeDesktopServices();
    m_console = std::make_unique<Console>(&m_desktop);
    m_model = std::make_unique<SecurityModel>(m_console.get());
}

void SecurityChecksTest::cleanup() {
    m_model.reset();
    m_console.reset();
    m_profiles.reset();
    m_gam.reset();
    m_settings.reset();
}

void SecurityChecksTest::setTarget(const QString &typed) {
    m_model->setUserInput(typed);
    m_model->setTarget();
    QVERIFY(m_model->targetUser().has_value());
}

void SecurityChecksTest::confirm(const QString &button) {
    QVERIFY(m_console->alert().has_value());
    const AlertItem alert = *m_console->alert();
    QCOMPARE(alert.confirmTitle, std::optional(button));
    QVERIFY(alert.isDestructive);
    m_console->setAlert(std::nullopt);
    alert.onConfirm();
}

int SecurityChecksTest::answerQuietAccount(int run) {
    m_gam->answer(run, u"User: x, Signed Out\n"_s);
    m_gam->answer(run + 1, u"User: x, Updated\n"_s);
    m_gam->answer(run + 2, u"user,clientId,displayText\n"_s);
    m_gam->answer(run + 3, u"User: x, Show 1 Backup Verification Code\n   1: 55554444\n"_s);
    m_gam->answer(run + 4, u"User,id\n"_s);
    m_gam->answer(run + 5, u"User: x, Forward Enabled: False\n"_s);
    m_gam->answer(run + 6, u"User,forwardingEmail,verificationStatus\n"_s);
    return run + 7;
}

void SecurityChecksTest::startBatch(const QString &accounts, int count) {
    m_model->setBatchUsersText(accounts);
    m_model->run(SecurityCheck::batch);
    confirm(u"Remediate "_s + QString::number(count) + u" Account(s)"_s);
}

void SecurityChecksTest::writeIndicators(const QByteArray &content) {
    QFile file(m_iocFile);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

// ---- Investigation ----

void SecurityChecksTest::investigation_data() {
    QTest::addColumn<SecurityCheck>("check");
    QTest::addColumn<QStringList>("outputs");
    QTest::addColumn<QList<QStringList>>("commands");
    QTest::addColumn<QString>("firstFlag");
    QTest::addColumn<QString>("evidence"); // the category saved, or empty

    const QString logins = u"name,actor.email,ipAddress,is_suspicious\n"
                           u"risky_sensitive_action_allowed,pat.lee@lakeside.example.org,203.0.113.66,\n"
                           u"login_success,pat.lee@lakeside.example.org,203.0.113.66,True\n"
                           u"password_edit,pat.lee@lakeside.example.org,203.0.113.66,False\n"_s;
    const QStringList loginReport{u"report"_s, u"login"_s, u"user"_s, user};
    const QStringList info{u"info"_s, u"user"_s, user};
    QTest::newRow("logins") << SecurityCheck::logins << QStringList{u"User: "_s + user + u'\n', logins}
                            << QList<QStringList>{info, loginReport}
                            << u"PERSISTENCE PATTERN DETECTED (1 match(es)) — silent re-auth plus a sensitive action."_s
                            << u"logins"_s;
    QTest::newRow("suspicious") << SecurityCheck::suspicious << QStringList{logins} << QList<QStringList>{loginReport}
                                << u"1 suspicious login(s)."_s << u"suspicious_logins"_s;
    QTest::newRow("no suspicious") << SecurityCheck::suspicious << QStringList{u"name\n"_s}
                                   << QList<QStringList>{loginReport} << u"No suspicious logins found."_s << QString();
    QTest::newRow("password history")
        << SecurityCheck::passwordHistory << QStringList{logins} << QList<QStringList>{loginReport}
        << u"Confirm these match when YOU reset the password. An unexplained change after your reset means continued "
           u"access."_s
        << u"password_history"_s;
    QTest::newRow("external sharing") << SecurityCheck::externalSharing << QStringList{u"Owner,id,name\npat,1,a\n"_s}
                                      << QList<QStringList>{onUser(
                                             user, {u"print"_s, u"filelist"_s, u"query"_s,
                                                    u"visibility='anyoneWithLink' or visibility='anyoneCanFind' or "
                                                    u"visibility='externalUsers'"_s,
                                                    u"fields"_s, u"id,title,shared,owners,permissions"_s})}
                                      << u"1 file(s) shared externally or by public link."_s
                                      << u"drive_external_only"_s;
    QTest::newRow("alert center") << SecurityCheck::alertCenter
                                  << QStringList{u"alertId,data.email\na1,Pat.Lee@lakeside.example.org\n"_s}
                                  << QList<QStringList>{{u"print"_s, u"alerts"_s}}
                                  << u"1 Alert Center event(s) mention this account."_s << u"alert_center"_s;
    QTest::newRow("alert center, nothing") << SecurityCheck::alertCenter << QStringList{u"alertId,createTime\n"_s}
                                           << QList<QStringList>{{u"print"_s, u"alerts"_s}}
                                           << u"No Alert Center events mention this account."_s << QString();
    const QStringList sites =
        onUser(user, {u"print"_s, u"filelist"_s, u"query"_s, u"mimeType='application/vnd.google-apps.site'"_s,
                      u"fields"_s, u"id,title,shared,webViewLink"_s});
    QTest::newRow("sites")
        << SecurityCheck::sites << QStringList{u"Owner,id,name\npat,9,Portal\n"_s} << QList<QStringList>{sites}
        << u"1 Google Site(s) found. Confirm each is legitimate and not impersonating a login page."_s
        << u"google_sites"_s;
    QTest::newRow("no sites") << SecurityCheck::sites << QStringList{u"Owner,id,name\n"_s} << QList<QStringList>{sites}
                              << u"No Google Sites found."_s << QString();
    QTest::newRow("2-step verification")
        << SecurityCheck::twoStep << QStringList{u"    2-step enrolled: False\n"_s, u"   1: 12345678\n"_s}
        << QList<QStringList>{info, onUser(user, {u"show"_s, u"backupcodes"_s})}
        << u"Recovery phone ≠ 2SV phone. Check Admin Console → User → Security for the actual enrolled 2SV method."_s
        << QString();
}

void SecurityChecksTest::investigation() {
    QFETCH(SecurityCheck, check);
    QFETCH(QStringList, outputs);
    QFETCH(QList<QStringList>, commands);
    QFETCH(QString, firstFlag);
    QFETCH(QString, evidence);
    setTarget();
    for (qsizetype i = 0; i < outputs.size(); ++i)
        m_gam->answer(int(i) + 1, outputs[i]);
    m_model->run(check);
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), commands.size());
    for (qsizetype i = 0; i < commands.size(); ++i)
        QCOMPARE(m_gam->arguments(int(i) + 1), commands[i]);
    const CheckResult *result = m_model->result(check);
    QVERIFY(result);
    QCOMPARE(flagTexts(result).value(0), firstFlag);
    if (evidence.isEmpty()) {
        QVERIFY(result->evidence.isEmpty());
        QVERIFY(evidenceFiles().isEmpty());
    } else {
        QCOMPARE(evidenceFiles().size(), 1);
        QVERIFY2(evidenceFiles().constFirst().endsWith(u'_' + evidence + u".csv"_s), qPrintable(evidenceFiles()[0]));
        QCOMPARE(result->evidence.size(), 1);
    }
    // Investigations change nothing, so they write no audit line.
    QVERIFY(!QFile::exists(m_records.auditLog));
    QVERIFY(m_model->completed().contains(check));
}

void SecurityChecksTest::twoStep_regeneratedCodesStayOnScreen() {
    setTarget();
    m_gam->answer(1, u"User: pat\n    2-step enrolled: True\n    Recovery Phone: +15555550100\n"_s);
    m_gam->answer(2, u"User: pat, Show 1 Backup Verification Code\n   1: 11223344\n"_s);
    m_gam->answer(3, u"User: pat, Show 1 Backup Verification Code\n   1: 99887766\n"_s);
    m_gam->answer(4, u"User: pat, Show 1 Backup Verification Code\n   1: 99887766\n"_s);
    m_model->run(SecurityCheck::twoStep);
    QVERIFY(waitIdle());
    const CheckResult *result = m_model->result(SecurityCheck::twoStep);
    QVERIFY(result->sensitiveText->contains(u"11223344"_s));
    QCOMPARE(result->text, u"    2-step enrolled: True\n\nRecovery phone on file:\n    Recovery Phone: +15555550100"_s);

    m_model->confirmPlan(SecurityCheck::twoStep);
    QVERIFY(
        m_console->alert()->message.startsWith(u"Regenerate backup codes for "_s + user +
                                               u"? This invalidates old or leaked codes.\n\nThis cannot be undone."_s));
    confirm(u"Continue"_s);
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->arguments(3), onUser(user, {u"update"_s, u"backupcodes"_s}));
    QCOMPARE(m_gam->arguments(4), onUser(user, {u"show"_s, u"backupcodes"_s}));
    result = m_model->result(SecurityCheck::twoStep);
    QCOMPARE(result->flags.constFirst().text, u"Done: regenerated backup codes."_s);
    QVERIFY(result->sensitiveText->contains(u"99887766"_s));
    QVERIFY(!result->plan);
    QVERIFY(auditLines().constFirst().endsWith(u" | "_s + user + u" | Regenerated backup codes"_s));
    const QString text = log().join(u'\n') + QString::fromUtf8(readBytes(m_records.auditLog));
    QVERIFY(!text.contains(u"11223344"_s));
    QVERIFY(!text.contains(u"99887766"_s));
    QVERIFY(evidenceFiles().isEmpty());
}

void SecurityChecksTest::iocCheck_readsTheListBeforeEveryRun() {
    setTarget();
    // A missing list is created from the template and reads as empty.
    m_model->run(SecurityCheck::iocCheck);
    QVERIFY(waitIdle());
    QVERIFY(readBytes(m_iocFile).startsWith("# Known indicators of compromise"));
    QCOMPARE(flagTexts(m_model->result(SecurityCheck::iocCheck)),
             QStringList{u"Your indicator list is empty. Add IPs or domains from your incidents below."_s});
    QCOMPARE(m_gam->arguments(1), (QStringList{u"report"_s, u"login"_s, u"user"_s, user}));
    QCOMPARE(m_gam->arguments(2), (QStringList{u"report"_s, u"drive"_s, u"user"_s, user}));

    writeIndicators("# incident 12\n203.0.113.0/24\r\nevil.example\r\n");
    m_gam->answer(3, u"name,ipAddress\nlogin_success,203.0.113.66\nlogin_success,198.51.100.1\n"_s);
    m_gam->answer(4, u"name,ipAddress,doc_title\nview,198.51.100.1,notevil.example\n"_s);
    m_model->run(SecurityCheck::iocCheck);
    QVERIFY(waitIdle());
    QCOMPARE(m_model->indicators(), (QStringList{u"203.0.113.0/24"_s, u"evil.example"_s}));
    QCOMPARE(flagTexts(m_model->result(SecurityCheck::iocCheck)),
             QStringList{u"MATCH: 203.0.113.0/24 — 1 login event(s), 0 Drive event(s)."_s});
    QVERIFY(m_model->result(SecurityCheck::iocCheck)->evidence.isEmpty());

    // An unreadable list is reported, and checked as empty.
    writeIndicators("caf\xE9\n");
    m_model->run(SecurityCheck::iocCheck);
    QVERIFY(waitIdle());
    QVERIFY(m_model->indicators().isEmpty());
    QVERIFY(log().contains(u"WARNING: Couldn't read the indicator list: "_s + m_iocFile + u" isn't UTF-8 text."_s));
    QCOMPARE(readBytes(m_iocFile), QByteArray("caf\xE9\n"));
}

// ---- Batch remediation ----

void SecurityChecksTest::batch_inputAlertsAndConfirmation() {
    m_model->setBatchUsersText(u" ,\n\t"_s);
    m_model->run(SecurityCheck::batch);
    QCOMPARE(m_console->alert()->title, u"No Accounts"_s);
    QCOMPARE(m_console->alert()->message, u"Enter the accounts to remediate, separated by commas or new lines."_s);

    DomainProfile profile = m_profiles->activeProfile();
    profile.domain = QString();
    m_profiles->update(profile);
    m_model->setBatchUsersText(u"pat.lee@lakeside.example.org\nrobin"_s);
    m_model->run(SecurityCheck::batch);
    QCOMPARE(m_console->alert()->title, u"Domain Not Set"_s);
    QCOMPARE(m_console->alert()->message, u"Some entries are bare usernames. Enter full email addresses, or set a "
                                          u"primary domain in Settings (Ctrl+,) → Domains."_s);
    m_model->setTriageUsersText(u"robin"_s);
    m_model->run(SecurityCheck::batchTriage);
    QCOMPARE(m_console->alert()->title, u"Domain Not Set"_s);
    m_model->setTriageUsersText(QString());
    m_model->run(SecurityCheck::batchTriage);
    QCOMPARE(m_console->alert()->message, u"Enter the accounts to triage, separated by commas or new lines."_s);

    profile.domain = domain;
    m_profiles->update(profile);
    m_model->setBatchUsersText(u"Pat.Lee, robin.hale\nPAT.LEE"_s);
    m_model->run(SecurityCheck::batch);
    const AlertItem alert = *m_console->alert();
    QCOMPARE(alert.title, u"Batch Remediation"_s);
    QCOMPARE(alert.confirmTitle, u"Remediate 3 Account(s)"_s);
    QVERIFY(alert.isDestructive);
    QVERIFY(alert.message.startsWith(u"This will do ALL of the following on 3 account(s):\n\n"_s));
    QVERIFY(alert.message.endsWith(u"\n\n"_s + user + u'\n' + second + u'\n' + user +
                                   u"\n\nThis cannot be undone.\n\nDomain: Practice (lakeside.example.org)"_s));
    QCOMPARE(m_gam->runs(), 0);
}

void SecurityChecksTest::batch_everyStepPerAccountAndFailuresInProblems() {
    // Pat: two tokens (one refuses), a filter and a forwarding address. Robin: sign-out and backup codes fail.
    m_gam->answer(1, u"User: pat, Signed Out\n"_s);
    m_gam->answer(2, u"User: pat, Updated\n"_s);
    m_gam->answer(3, u"user,clientId,displayText\npat,c1.apps,Mail Sync\npat,c2.apps,Chrome\n"_s);
    m_gam->answer(4, u"User: pat, Access Token: c1.apps, Deleted\n"_s);
    m_gam->answer(5, QString(), u"User: pat, Access Token: c2.apps, Delete Failed: Not Found\n"_s, 50);
    m_gam->answer(6, u"User: pat, Show 1 Backup Verification Code\n   1: 10293847\n"_s);
    m_gam->answer(7, u"User,id,forward\npat,F1,forward x@evil.example\n"_s);
    m_gam->answer(8, u"  User: pat, Filter: F1, Deleted\n"_s);
    m_gam->answer(9, u"User: pat, Forward Enabled: False\n"_s);
    m_gam->answer(10, u"User,forwardingEmail,verificationStatus\npat,x@evil.example,accepted\n"_s);
    m_gam->answer(11, u"  User: pat, Forwarding Address: x@evil.example, Deleted\n"_s);
    m_gam->answer(12, QString(), u"User: robin, Signout Failed: Backend Error\n"_s, 50);
    m_gam->answer(13, u"User: robin, Updated\n"_s);
    m_gam->answer(14, u"user,clientId\n"_s);
    m_gam->answer(15, QString(), u"User: robin, Backup Verification Codes Not Updated: User is suspended.\n"_s, 51);
    m_gam->answer(16, u"User,id\n"_s);
    m_gam->answer(17, u"User: robin, Forward Enabled: False\n"_s);
    m_gam->answer(18, u"User,forwardingEmail\n"_s);
    startBatch(u"pat.lee\nRobin.Hale"_s, 2);
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), 18);

    const QString patPassword = m_gam->arguments(2).value(4);
    const QString robinPassword = m_gam->arguments(13).value(4);
    const QList<QStringList> expected{
        onUser(user, {u"signout"_s}),
        {u"update"_s, u"user"_s, user, u"password"_s, patPassword, u"changepassword"_s, u"on"_s},
        onUser(user, {u"print"_s, u"tokens"_s}),
        onUser(user, {u"delete"_s, u"token"_s, u"clientid"_s, u"c1.apps"_s}),
        onUser(user, {u"delete"_s, u"token"_s, u"clientid"_s, u"c2.apps"_s}),
        onUser(user, {u"update"_s, u"backupcodes"_s}),
        onUser(user, {u"print"_s, u"filters"_s}),
        onUser(user, {u"delete"_s, u"filter"_s, u"F1"_s}),
        onUser(user, {u"forward"_s, u"off"_s}),
        onUser(user, {u"print"_s, u"forwardingaddress"_s}),
        onUser(user, {u"delete"_s, u"forwardingaddress"_s, u"x@evil.example"_s}),
        onUser(second, {u"signout"_s}),
        {u"update"_s, u"user"_s, second, u"password"_s, robinPassword, u"changepassword"_s, u"on"_s},
    };
    for (qsizetype i = 0; i < expected.size(); ++i)
        QCOMPARE(m_gam->arguments(int(i) + 1), expected[i]);
    QVERIFY(patPassword.size() == 16 && robinPassword.size() == 16 && patPassword != robinPassword);

    const CheckResult *result = m_model->result(SecurityCheck::batch);
    QVERIFY(result);
    QCOMPARE(flagTexts(result), (QStringList{u"Batch remediation finished for 2 account(s)."_s,
                                             second + u": sign-out, backup codes failed."_s}));
    QCOMPARE(result->tables.size(), 1);
    QCOMPARE(result->tables[0].title, u"Results"_s);
    QCOMPARE(tableRows(result->tables[0]),
             (QList<QStringList>{
                 {user, u"✓"_s, u"✓"_s, u"1/2"_s, u"1/1"_s, u"1/1"_s, QString()},
                 {second, u"✗"_s, u"✓"_s, u"0/0"_s, u"0/0"_s, u"0/0"_s, u"Failed: sign-out, backup codes"_s}}));
    QVERIFY(!result->text && !result->plan);
    QVERIFY(result->evidence.isEmpty());

    const std::optional<PasswordReveal> &reveal = m_model->passwordReveal();
    QVERIFY(reveal);
    QCOMPARE(reveal->purpose, PasswordReveal::Purpose::batchResult);
    QCOMPARE(reveal->entries.size(), 2);
    QCOMPARE(reveal->entries[0].user, user);
    QCOMPARE(reveal->entries[0].password, patPassword);
    QCOMPARE(reveal->entries[1].password, robinPassword);

    const QStringList audit = auditLines();
    QCOMPARE(audit.size(), 2);
    QVERIFY(audit[0].endsWith(u" | "_s + user +
                              u" | Batch remediation: signout + password reset + tokens + backup codes + filters + "
                              u"forwarding"_s));
    QVERIFY(audit[1].contains(u" | "_s + second + u" | Batch remediation: "_s));

    const QStringList lines = log();
    QVERIFY(lines.contains(u"[B] Batch Remediate"_s));
    QVERIFY(lines.contains(u"━━━ Remediating: "_s + user + u" ━━━"_s));
    QVERIFY(lines.contains(u">> gam update user "_s + second + u" password ******** changepassword on"_s));
    QVERIFY(lines.contains(u"  User: robin, Signout Failed: Backend Error"_s));
    QVERIFY(lines.contains(u"  Done: "_s + second));
    QCOMPARE(lines.constLast(), u"Done — 2 of 2 account(s) processed, 1 with problems."_s);
    const QString everything = lines.join(u'\n') + QString::fromUtf8(readBytes(m_records.auditLog));
    for (const QString &secret : {patPassword, robinPassword, u"10293847"_s})
        QVERIFY2(!everything.contains(secret), qPrintable(secret));
    // No password log unless the administrator chose one.
    QVERIFY(evidenceFiles().isEmpty());

    // A later target keeps the batch result; the sheet's Done clears the passwords.
    m_model->setUserInput(third);
    m_model->setTarget();
    QVERIFY(m_model->result(SecurityCheck::batch));
    m_model->dismissPasswordReveal();
    QVERIFY(!m_model->passwordReveal());
}

void SecurityChecksTest::batch_stopMidAccountKeepsRowsAndPasswords() {
    const int next = answerQuietAccount(1);
    m_gam->hang(next);
    startBatch(u"pat.lee, robin.hale, sam.ortiz"_s, 3);
    QTRY_COMPARE(m_gam->runs(), next);
    m_console->stop();
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), next);

    const CheckResult *result = m_model->result(SecurityCheck::batch);
    QVERIFY(result);
    QCOMPARE(flagTexts(result),
             (QStringList{u"Stopped after 1 of 3 account(s). Passwords already reset are shown."_s,
                          second + u": stopped during sign-out; the steps after it did not run."_s}));
    QCOMPARE(tableRows(result->tables[0]),
             (QList<QStringList>{{user, u"✓"_s, u"✓"_s, u"0/0"_s, u"0/0"_s, u"0/0"_s, QString()},
                                 {second, u"✗"_s, u"—"_s, u"—"_s, u"—"_s, u"—"_s, u"Stopped during sign-out"_s}}));
    QCOMPARE(m_model->passwordReveal()->entries.size(), 1);
    QCOMPARE(m_model->passwordReveal()->entries[0].user, user);
    const QStringList audit = auditLines();
    QCOMPARE(audit.size(), 2);
    QVERIFY(audit[1].endsWith(u" | "_s + second + u" | Batch remediation stopped during sign-out"_s));
    QVERIFY(log().contains(u"  Stopped by user."_s));
    QCOMPARE(log().constLast(), u"Done — 1 of 3 account(s) processed, 0 with problems."_s);
}

// The passwords are set on the domain whatever the window shows meanwhile: losing
// them would leave the accounts with passwords nobody knows.
void SecurityChecksTest::batch_domainSwitchedMidRunStillShowsPasswords() {
    const int next = answerQuietAccount(1);
    m_gam->hang(next);
    startBatch(u"pat.lee, robin.hale"_s, 2);
    QTRY_COMPARE(m_gam->runs(), next);
    m_model->reset(); // as a switch of the active domain does
    QVERIFY(!m_model->passwordReveal());
    m_console->stop();
    QVERIFY(waitIdle());
    const std::optional<PasswordReveal> &reveal = m_model->passwordReveal();
    QVERIFY(reveal);
    QCOMPARE(reveal->purpose, PasswordReveal::Purpose::batchResult);
    QCOMPARE(reveal->entries.size(), 1);
    QCOMPARE(reveal->entries[0].user, user);
}

void SecurityChecksTest::batch_ownerDestroyedMidRun() {
    m_gam->answer(1, u"User: pat, Signed Out\n"_s);
    m_gam->hang(2);
    startBatch(u"pat.lee"_s, 1);
    QTRY_COMPARE(m_gam->runs(), 2);
    m_model.reset();
    m_console->stop();
    QVERIFY(waitIdle());
    QVERIFY(log().contains(u"  Stopped by user."_s));
    QCOMPARE(auditLines().size(), 1);
}

void SecurityChecksTest::passwordLog_onlyWhereChosenAndOwnerOnly() {
    // "Drive" is not a mode: nothing is written.
    QSettings().setValue(u"security.passwordLogMode"_s, u"Drive"_s);
    answerQuietAccount(1);
    startBatch(u"pat.lee"_s, 1);
    QVERIFY(waitIdle());
    QVERIFY(m_model->result(SecurityCheck::batch)->evidence.isEmpty());
    QVERIFY(evidenceFiles().isEmpty());

    QSettings().setValue(u"security.passwordLogMode"_s, u" local\t"_s);
    answerQuietAccount(8);
    startBatch(u"pat.lee"_s, 1);
    QVERIFY(waitIdle());
    const QString password = m_gam->arguments(9).value(4);
    const QList<EvidenceItem> items = m_model->result(SecurityCheck::batch)->evidence;
    QCOMPARE(items.size(), 1);
    QVERIFY(items[0].localURL);
    const QString path = *items[0].localURL;
    const QString name = QFileInfo(path).fileName();
    QVERIFY2(name.startsWith(u"batch_remediation_"_s) && name.endsWith(u".csv"_s), qPrintable(name));
    QCOMPARE(items[0].label, name + u" (password log — delete when done)"_s);
    QCOMPARE(fileMode(path), 0600);
    QCOMPARE(fileMode(m_records.evidenceFolder), 0700);
    const QList<QStringList> records = parseCSVRecords(QString::fromUtf8(readBytes(path)));
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[1].mid(0, 3), (QStringList{user, u"full_batch_remediation"_s, password}));
    QVERIFY(log().contains(u"  Password log saved (owner-only): "_s + path + u" — delete it when done."_s));
    // The log is no evidence: it is neither checksummed nor named in the log beyond its path.
    QVERIFY(!readBytes(m_records.evidenceFolder + u"/SHA256SUMS"_s).contains(name.toUtf8()));
    QVERIFY(!log().join(u'\n').contains(password));

    // A second batch never replaces the first one's log.
    answerQuietAccount(15);
    startBatch(u"pat.lee"_s, 1);
    QVERIFY(waitIdle());
    QCOMPARE(evidenceFiles(u"batch_remediation_*"_s).size(), 2);
    QVERIFY(readBytes(path).contains(password.toUtf8()));
}

void SecurityChecksTest::passwordLog_uploadedWhenChosen() {
    QSettings().setValue(u"security.passwordLogMode"_s, u"drive"_s);
    DomainProfile profile = m_profiles->activeProfile();
    profile.driveUploadUser = u"admin@lakeside.example.org"_s;
    profile.driveFolderID = folderID;
    m_profiles->update(profile);
    const int next = answerQuietAccount(1);
    m_gam->answer(next, u"1PasswordLog_abcdefghijklmn\n"_s);
    m_gam->answer(next + 1, u"    id: 1PasswordLog_abcdefghijklmn\n"_s);
    startBatch(u"pat.lee"_s, 1);
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), next + 1);
    const QStringList upload = m_gam->arguments(next);
    const QString local = upload.value(5);
    const QString name = QFileInfo(local).fileName();
    QCOMPARE(upload,
             (QStringList{u"user"_s, u"admin@lakeside.example.org"_s, u"create"_s, u"drivefile"_s, u"localfile"_s,
                          local, u"drivefilename"_s, name, u"teamdriveparentid"_s, folderID, u"returnidonly"_s}));
    QVERIFY(!QFile::exists(local));
    const QList<EvidenceItem> items = m_model->result(SecurityCheck::batch)->evidence;
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0].label, u"Shared Drive: "_s + name + u" (password log)"_s);
    QVERIFY(!items[0].localURL);
}

void SecurityChecksTest::passwordLog_failureIsAWarningAndThePasswordsStillShow() {
    QSettings().setValue(u"security.passwordLogMode"_s, u"local"_s);
    QFile blocker(m_records.evidenceFolder);
    QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    answerQuietAccount(1);
    startBatch(u"pat.lee"_s, 1);
    QVERIFY(waitIdle());
    const QStringList lines = log();
    QVERIFY(std::any_of(lines.cbegin(), lines.cend(), [](const QString &line) {
        return line.startsWith(u"  WARNING: Couldn't save the password log: "_s);
    }));
    QVERIFY(m_model->result(SecurityCheck::batch)->evidence.isEmpty());
    QCOMPARE(m_model->passwordReveal()->entries.size(), 1);
}

// ---- Triage ----

void SecurityChecksTest::triage_countsFlagsAndEvidence() {
    m_gam->answer(1, u"User,id\npat,F1\npat,F2\n"_s);
    m_gam->answer(2, u"User,forwardingEmail\npat,x@evil.example\n"_s);
    m_gam->answer(3, u"user,clientId\npat,c1\n"_s);
    m_gam->answer(4, u"name,ipAddress\nrisky_sensitive_action_allowed,203.0.113.66\nlogin_success,1.2.3.4\n"_s);
    m_gam->answer(5, u"User,id\n"_s);
    m_gam->answer(6, u"User,forwardingEmail\n"_s);
    m_gam->answer(7, u"user,clientId\n"_s);
    m_gam->answer(8, u"name\n"_s);
    m_model->setTriageUsersText(u"pat.lee\n\nRobin.Hale\n"_s);
    m_model->run(SecurityCheck::batchTriage);
    QVERIFY(!m_console->alert());
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), 8);
    QCOMPARE(m_gam->arguments(1), onUser(user, {u"print"_s, u"filters"_s}));
    QCOMPARE(m_gam->arguments(2), onUser(user, {u"print"_s, u"forwardingaddress"_s}));
    QCOMPARE(m_gam->arguments(3), onUser(user, {u"print"_s, u"tokens"_s}));
    QCOMPARE(m_gam->arguments(4), (QStringList{u"report"_s, u"login"_s, u"user"_s, user}));
    QCOMPARE(m_gam->arguments(8), (QStringList{u"report"_s, u"login"_s, u"user"_s, second}));

    const CheckResult *result = m_model->result(SecurityCheck::batchTriage);
    QCOMPARE(flagTexts(result),
             (QStringList{user + u": persistence pattern (1 match(es))."_s, user + u": 1 forwarding address(es)."_s}));
    QCOMPARE(result->tables[0].title, u"Triage summary"_s);
    QCOMPARE(result->tables[0].headers,
             (QStringList{u"User"_s, u"Filters"_s, u"Forwarding"_s, u"Apps"_s, u"Login events"_s, u"Persistence"_s}));
    QCOMPARE(tableRows(result->tables[0]), (QList<QStringList>{{user, u"2"_s, u"1"_s, u"1"_s, u"2"_s, u"1"_s},
                                                               {second, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s}}));
    QCOMPARE(result->evidence.size(), 8);
    const QStringList files = evidenceFiles();
    for (const QString &account : {u"pat.lee_"_s, u"robin.hale_"_s})
        for (const QString &category : {u"filters"_s, u"forwarding"_s, u"apps"_s, u"logins"_s})
            QVERIFY2(std::any_of(files.cbegin(), files.cend(),
                                 [&](const QString &f) {
                                     return f.startsWith(account) && f.endsWith(u'_' + category + u".csv"_s);
                                 }),
                     qPrintable(account + category));
    QVERIFY(!QFile::exists(m_records.auditLog));
    QVERIFY(log().contains(u"━━━ Triaging: "_s + second + u" ━━━"_s));

    // Accounts without findings say so.
    for (int run = 9; run <= 12; ++run)
        m_gam->answer(run, u"User,id\n"_s);
    m_model->setTriageUsersText(u"sam.ortiz"_s);
    m_model->run(SecurityCheck::batchTriage);
    QVERIFY(waitIdle());
    QCOMPARE(flagTexts(m_model->result(SecurityCheck::batchTriage)),
             QStringList{u"No forwarding or persistence patterns found. Review the counts below."_s});
}

void SecurityChecksTest::triage_stopLeavesNoResult() {
    m_gam->answer(1, u"User,id\n"_s);
    m_gam->hang(2);
    m_model->setTriageUsersText(u"pat.lee, robin.hale"_s);
    m_model->run(SecurityCheck::batchTriage);
    QTRY_COMPARE(m_gam->runs(), 2);
    m_console->stop();
    QVERIFY(waitIdle());
    QVERIFY(!m_model->result(SecurityCheck::batchTriage));
    QVERIFY(log().contains(u"  Stopped by user."_s));
}

// ---- Domain search ----

void SecurityChecksTest::domainSearch_takesOneAddressInAnyForm() {
    m_model->setSearchIndicator(u" \n"_s);
    m_model->run(SecurityCheck::iocSearch);
    QCOMPARE(m_console->alert()->title, u"No Indicator"_s);
    QCOMPARE(m_console->alert()->message, u"Enter an IP address to search for across the domain."_s);
    for (const QString &typed : {u"evil.example"_s, u"203.0.113.0/24"_s, u"203.0.113"_s}) {
        m_console->setAlert(std::nullopt);
        m_model->setSearchIndicator(typed);
        m_model->run(SecurityCheck::iocSearch);
        QCOMPARE(m_console->alert()->title, u"Not an IP Address"_s);
        QVERIFY(m_console->alert()->message.startsWith(u"“"_s + typed + u"” isn't an IP address."_s));
    }
    QCOMPARE(m_gam->runs(), 0);

    m_gam->answer(1, u"name,actor.email,ipAddress\nlogin_failure,zed@x.org,2001:db8::1"_s);
    m_gam->answer(2, u"name,emailAddress,ipAddress\nview,amy@x.org,2001:db8::1\n"_s);
    m_model->setSearchIndicator(u"\t2001:DB8:0:0:0:0:0:1 \n"_s);
    m_model->run(SecurityCheck::iocSearch);
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->arguments(1),
             (QStringList{u"report"_s, u"login"_s, u"user"_s, u"all"_s, u"ip"_s, u"2001:db8::1"_s}));
    QCOMPARE(m_gam->arguments(2),
             (QStringList{u"report"_s, u"drive"_s, u"user"_s, u"all"_s, u"ip"_s, u"2001:db8::1"_s}));
    QVERIFY(log().contains(u"[16] Domain IOC Search"_s));
    QVERIFY(log().contains(u"  Searching all logins and Drive activity domain-wide (this can take a while)…"_s));
    const CheckResult *result = m_model->result(SecurityCheck::iocSearch);
    QCOMPARE(flagTexts(result), QStringList{u"1 login and 1 Drive event(s) from 2001:db8::1 across 2 account(s): "
                                            u"amy@x.org, zed@x.org"_s});
    QCOMPARE(result->tables[0].title, u"Login events from 2001:db8::1"_s);
    QCOMPARE(evidenceFiles().size(), 1);
    QVERIFY(evidenceFiles()[0].startsWith(u"domain_wide_search_"_s));
    QVERIFY(evidenceFiles()[0].endsWith(u"_domainwide_ioc_search.csv"_s));
    QCOMPARE(readBytes(*result->evidence[0].localURL),
             QByteArray("name,actor.email,ipAddress\nlogin_failure,zed@x.org,2001:db8::1\n"
                        "name,emailAddress,ipAddress\nview,amy@x.org,2001:db8::1\n"));
    QVERIFY(readBytes(m_records.evidenceFolder + u"/SHA256SUMS"_s).contains(evidenceFiles()[0].toUtf8()));
    // The field keeps what was typed.
    QCOMPARE(m_model->searchIndicator(), u"\t2001:DB8:0:0:0:0:0:1 \n"_s);

    // With a target, the evidence is filed under it; empty reports save nothing.
    setTarget();
    m_gam->answer(3, u"name\n"_s);
    m_gam->answer(4, u"name\n"_s);
    m_model->setSearchIndicator(u"203.0.113.66"_s);
    m_model->run(SecurityCheck::iocSearch);
    QVERIFY(waitIdle());
    QCOMPARE(flagTexts(m_model->result(SecurityCheck::iocSearch)),
             QStringList{u"No login or Drive activity from 203.0.113.66."_s});
    const QStringList files = evidenceFiles();
    QVERIFY2(std::any_of(files.cbegin(), files.cend(),
                         [](const QString &f) { return f.startsWith(u"pat.lee_lakeside.example.org_"_s); }),
             qPrintable(files.join(u", "_s)));
}

// ---- The known-indicator list ----

void SecurityChecksTest::indicators_addReloadExportAndOpen() {
    QCOMPARE(m_model->indicatorFilePath(), m_iocFile);
    m_model->exportIndicators();
    QVERIFY(waitIdle());
    QVERIFY(log().contains(u"  The indicator list is empty — nothing to export."_s));
    QVERIFY(evidenceFiles().isEmpty());
    QVERIFY(QFile::exists(m_iocFile)); // the reload wrote the template

    m_model->addIndicator(u" 10.0.0.5 \n"_s);
    QCOMPARE(log().constLast(), u"Added to known indicator list: 10.0.0.5"_s);
    QCOMPARE(m_model->indicators(), QStringList{u"10.0.0.5"_s});
    m_model->addIndicator(u"10.0.0.5"_s);
    QCOMPARE(log().constLast(), u"Already in the known indicator list: 10.0.0.5"_s);
    m_model->addIndicator(u"\t"_s);
    QCOMPARE(log().constLast(), u"Already in the known indicator list: 10.0.0.5"_s);

    const QByteArray before = readBytes(m_iocFile);
    m_model->addIndicator(u"#"_s);
    QCOMPARE(m_console->alert()->title, u"Not Added"_s);
    QCOMPARE(readBytes(m_iocFile), before);

    m_model->exportIndicators();
    QVERIFY(waitIdle());
    QCOMPARE(evidenceFiles().size(), 1);
    QVERIFY(evidenceFiles()[0].startsWith(u"known_indicators_reference_list_"_s));
    QVERIFY(evidenceFiles()[0].endsWith(u"_indicator_list.csv"_s));
    QCOMPARE(readBytes(m_records.evidenceFolder + u'/' + evidenceFiles()[0]), QByteArray("indicator\n10.0.0.5\n"));

    m_model->openIndicatorFile();
    QCOMPARE(m_desktop.openedPaths, QStringList{m_iocFile});

    // A list that cannot be written is an alert, and the list stays as it was.
    QSettings().setValue(u"security.iocFile"_s, m_files.filePath(u"missing/iocs.txt"_s));
    m_console->setAlert(std::nullopt);
    m_model->addIndicator(u"evil.example"_s);
    QCOMPARE(m_console->alert()->title, u"Couldn't Update Indicator List"_s);
    QVERIFY(m_model->indicators().isEmpty());
}

QTEST_GUILESS_MAIN(SecurityChecksTest)
#include "tst_securitychecks.moc"
