#include "TestSupport.h"

#include "security/BatchRules.h"
#include "security/InvestigationRules.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString user = u"pat.lee@lakeside.example.org"_s;

QList<SecurityFlag::Kind> flagKinds(const CheckResult &result) {
    QList<SecurityFlag::Kind> kinds;
    for (const SecurityFlag &flag : result.flags)
        kinds.append(flag.kind);
    return kinds;
}

QStringList titles(const CheckResult &result) {
    QStringList texts;
    for (const SecurityTable &table : result.tables)
        texts.append(table.title.value_or(QString()));
    return texts;
}

using Kind = SecurityFlag::Kind;

} // namespace

// The investigation checks' and the batch operations' rules as data: flags,
// tables, texts and plans from gam's output, and the account lists.
class InvestigationRulesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void logins_persistenceCountsRecordsOnce();
    void logins_withoutMatchesOrEvents();
    void suspicious_trueInAnyCaseOnly();
    void passwordHistory_anyColumnAnyCase();
    void ioc_matchesAndTheEmptyList();
    void twoStep_textCodesAndPlan();
    void alertCenter_blankOutputMentionsAndCase();
    void sharingAndSites_countRows();
    void accountList_separatorsAndResolution();
    void remediation_confirmationRowsAndAudit();
    void passwordLog_csv();
    void domainSearch_accountsAndFlags();
};

void InvestigationRulesTest::logins_persistenceCountsRecordsOnce() {
    const QString report =
        u"name,actor.email,ipAddress,sensitive_action_name,type\n"
        u"login_success,pat.lee@lakeside.example.org,198.51.100.4,,login\n"
        u"risky_sensitive_action_allowed,pat.lee@lakeside.example.org,203.0.113.66,"
        u"note risky_sensitive_action_allowed twice,account_warning\n"
        u"account_warning,pat.lee@lakeside.example.org,203.0.113.66,was_risky_sensitive_action_allowed_x,w\n"
        u"RISKY_SENSITIVE_ACTION_ALLOWED,pat.lee@lakeside.example.org,203.0.113.66,,account_warning\n"_s;
    const CheckResult result = loginsResult(u"User: pat.lee@lakeside.example.org\n"_s, report);
    QCOMPARE(flagTexts(result), QStringList{u"PERSISTENCE PATTERN DETECTED (2 match(es)) — silent re-auth plus a "
                                            u"sensitive action."_s});
    QCOMPARE(flagKinds(result), QList<Kind>{Kind::danger});
    QCOMPARE(titles(result), (QStringList{u"Persistence pattern matches"_s, u"Login history"_s}));
    QCOMPARE(result.tables[0].rowCount(), 2);
    QCOMPARE(result.tables[0].row(1).value(3), u"was_risky_sensitive_action_allowed_x"_s);
    QCOMPARE(result.tables[1].rowCount(), 4);
    QCOMPARE(result.tables[1].headers.size(), 5);
    QCOMPARE(result.text, u"User: pat.lee@lakeside.example.org\n"_s);
}

void InvestigationRulesTest::logins_withoutMatchesOrEvents() {
    const CheckResult some = loginsResult(QString(), u"name,ipAddress\nlogin_success,1.2.3.4\nlogout,1.2.3.4\n"_s);
    QCOMPARE(flagTexts(some), QStringList{u"2 login event(s), no persistence pattern found."_s});
    QCOMPARE(flagKinds(some), QList<Kind>{Kind::ok});
    QCOMPARE(titles(some), QStringList{u"Login history"_s});

    const CheckResult none = loginsResult(QString(), u"name\n"_s);
    QCOMPARE(flagTexts(none), QStringList{u"No login events returned."_s});
    QCOMPARE(flagKinds(none), QList<Kind>{Kind::note});
    QCOMPARE(none.tables[0].rowCount(), 0);
    QCOMPARE(loginsResult(QString(), QString()).tables.size(), 1);
}

void InvestigationRulesTest::suspicious_trueInAnyCaseOnly() {
    const QString report = u"name,Is_Suspicious,id\n"
                           u"a,True,1\n"
                           u"b, TRUE \t,2\n"
                           u"c,true,3\n"
                           u"d,yes,4\n"
                           u"e,False,5\n"
                           u"f,,6\n"_s;
    const CheckResult result = suspiciousResult(report);
    QCOMPARE(flagTexts(result), QStringList{u"3 suspicious login(s)."_s});
    QCOMPARE(titles(result), QStringList{u"Suspicious logins"_s});
    QCOMPARE(tableCSV(result.tables[0]), u"name,Is_Suspicious,id\na,True,1\nb, TRUE \t,2\nc,true,3\n"_s);

    const CheckResult none = suspiciousResult(u"name,id\nx,1\n"_s);
    QCOMPARE(flagTexts(none), QStringList{u"No suspicious logins found."_s});
    QCOMPARE(flagKinds(none), QList<Kind>{Kind::ok});
    QVERIFY(none.tables.isEmpty());
}

void InvestigationRulesTest::passwordHistory_anyColumnAnyCase() {
    const QString report = u"name,detail\n"
                           u"PASSWORD_CHANGE,\n"
                           u"login_success,after password_reset by admin\n"
                           u"password_edit,\n"
                           u"login_success,passwordedit\n"_s;
    const CheckResult result = passwordHistoryResult(report);
    QCOMPARE(flagTexts(result), QStringList{u"Confirm these match when YOU reset the password. An unexplained "
                                            u"change after your reset means continued access."_s});
    QCOMPARE(flagKinds(result), QList<Kind>{Kind::note});
    QCOMPARE(titles(result), QStringList{u"Password change events"_s});
    QCOMPARE(result.tables[0].rowCount(), 3);

    const CheckResult none = passwordHistoryResult(u"name\nlogin_success\n"_s);
    QCOMPARE(flagTexts(none), QStringList{u"No password change events found in available login history."_s});
    QVERIFY(none.tables.isEmpty());
}

void InvestigationRulesTest::ioc_matchesAndTheEmptyList() {
    const QString logins = u"name,ipAddress\nlogin_success,10.0.0.55\nlogin_failure,10.0.0.55\n"_s;
    const QString drive = u"name,ipAddress,doc_title\nview,10.0.0.55,x\nview,10.0.0.5,evil.example.com\n"_s;
    const CheckResult result = iocResult({u"10.0.0.5"_s, u"10.0.0.55"_s, u"evil.example.com"_s}, logins, drive);
    QCOMPARE(flagTexts(result), (QStringList{u"MATCH: 10.0.0.5 — 0 login event(s), 1 Drive event(s)."_s,
                                             u"MATCH: 10.0.0.55 — 2 login event(s), 1 Drive event(s)."_s,
                                             u"MATCH: evil.example.com — 0 login event(s), 1 Drive event(s)."_s}));
    QCOMPARE(result.tables[0].title, u"Indicators checked"_s);
    QCOMPARE(result.tables[0].headers, (QStringList{u"Indicator"_s, u"Login events"_s, u"Drive events"_s}));
    QCOMPARE(result.tables[0].row(1), (QStringList{u"10.0.0.55"_s, u"2"_s, u"1"_s}));

    const CheckResult clean = iocResult({u"192.0.2.1"_s, u"bad.example"_s}, logins, drive);
    QCOMPARE(flagTexts(clean), QStringList{u"No matches against 2 known indicator(s)."_s});
    QCOMPARE(flagKinds(clean), QList<Kind>{Kind::ok});
    QCOMPARE(clean.tables[0].rowCount(), 2);

    const CheckResult empty = iocResult({}, logins, drive);
    QCOMPARE(flagTexts(empty),
             QStringList{u"Your indicator list is empty. Add IPs or domains from your incidents below."_s});
    QCOMPARE(flagKinds(empty), QList<Kind>{Kind::note});
    QCOMPARE(empty.tables[0].headers.size(), 3);
    QCOMPARE(empty.tables[0].rowCount(), 0);
}

void InvestigationRulesTest::twoStep_textCodesAndPlan() {
    const QString info = u"User: pat.lee@lakeside.example.org\r\n"
                         u"    2-step enrolled: True\r\n"
                         u"    2-step enforced: False\r\n"
                         u"    Recovery Phone: +15555550100\r\n"
                         u"    Is Enrolled In 2SV: True\r\n"_s;
    const QString codes = u"User: pat.lee@lakeside.example.org, Show 2 Backup Verification Codes\n   1: 41758203\n"_s;
    const CheckResult result = twoStepResult(user, info, codes);
    QCOMPARE(result.text, u"    2-step enrolled: True\n    2-step enforced: False\n    Is Enrolled In 2SV: True"
                          u"\n\nRecovery phone on file:\n    Recovery Phone: +15555550100"_s);
    QCOMPARE(result.sensitiveText, codes);
    QCOMPARE(flagKinds(result), QList<Kind>{Kind::note});
    QVERIFY(result.tables.isEmpty());
    QVERIFY(result.plan);
    QCOMPARE(result.plan->buttonTitle, u"Regenerate Backup Codes…"_s);
    QCOMPARE(result.plan->confirmMessage,
             u"Regenerate backup codes for "_s + user + u"? This invalidates old or leaked codes."_s);
    QCOMPARE(result.plan->steps, (QList<QStringList>{{u"user"_s, user, u"update"_s, u"backupcodes"_s}}));
    QCOMPARE(result.plan->auditAction, u"Regenerated backup codes"_s);
    QCOMPARE(result.plan->followUp, (QStringList{u"user"_s, user, u"show"_s, u"backupcodes"_s}));

    QCOMPARE(twoStepResult(user, u"User: x\n  Full Name: X\n"_s, QString()).text,
             u"No 2-Step Verification fields found.\n\nRecovery phone on file:\nNo recovery phone found."_s);
}

void InvestigationRulesTest::alertCenter_blankOutputMentionsAndCase() {
    const CheckResult blank = alertCenterResult(user, u" \n\t\r\n"_s);
    QCOMPARE(flagTexts(blank), QStringList{u"No output returned — check that Alert Center access is authorized for "
                                           u"your GAM project."_s});
    QVERIFY(blank.tables.isEmpty());

    const QString alerts = u"alertId,type,data.email\n"
                           u"a1,Suspicious login,PAT.LEE@Lakeside.Example.org\n"
                           u"a2,Device compromised,admin@lakeside.example.org\n"_s;
    const CheckResult result = alertCenterResult(user, alerts);
    QCOMPARE(flagTexts(result), QStringList{u"1 Alert Center event(s) mention this account."_s});
    QCOMPARE(titles(result), QStringList{u"Alerts mentioning "_s + user});
    QCOMPARE(result.tables[0].row(0).value(0), u"a1"_s);

    const CheckResult none = alertCenterResult(user, u"alertId,createTime\n"_s);
    QCOMPARE(flagTexts(none), QStringList{u"No Alert Center events mention this account."_s});
    QCOMPARE(flagKinds(none), QList<Kind>{Kind::ok});
}

void InvestigationRulesTest::sharingAndSites_countRows() {
    const QString shared = u"Owner,id,name,shared\npat@x,1,a,True\npat@x,2,b,True\n"_s;
    const CheckResult external = externalSharingResult(shared);
    QCOMPARE(flagTexts(external), QStringList{u"2 file(s) shared externally or by public link."_s});
    QCOMPARE(titles(external), QStringList{u"Externally shared files"_s});
    QCOMPARE(flagTexts(externalSharingResult(QString())),
             QStringList{u"No files shared externally or by public link."_s});
    QCOMPARE(externalSharingCommand(user),
             (QStringList{u"user"_s, user, u"print"_s, u"filelist"_s, u"query"_s,
                          u"visibility='anyoneWithLink' or visibility='anyoneCanFind' or visibility='externalUsers'"_s,
                          u"fields"_s, u"id,title,shared,owners,permissions"_s}));

    const CheckResult sites =
        sitesResult(user, u"Owner,id,name,shared,webViewLink\npat@x,9,Sign-in,True,https://s\n"_s);
    QCOMPARE(flagTexts(sites),
             (QStringList{u"1 Google Site(s) found. Confirm each is legitimate and not impersonating a login page."_s,
                          u"To delete one: gam user "_s + user +
                              u" delete drivefile <id> purge (use the Custom Command tab)."_s}));
    QCOMPARE(flagKinds(sites), (QList<Kind>{Kind::danger, Kind::note}));
    QVERIFY(!sites.plan);
    const CheckResult noSites = sitesResult(user, u"Owner,id,name\n"_s);
    QCOMPARE(flagTexts(noSites), QStringList{u"No Google Sites found."_s});
    QCOMPARE(noSites.tables[0].rowCount(), 0);
}

void InvestigationRulesTest::accountList_separatorsAndResolution() {
    const QString typed = u"Bob, carol\nDave,,\r\n"_s;
    QCOMPARE(parseAccountList(typed), (QStringList{u"Bob"_s, u"carol"_s, u"Dave"_s}));
    QCOMPARE(
        resolveAccounts(parseAccountList(typed), u"lakeside.example.org"_s),
        (QStringList{u"bob@lakeside.example.org"_s, u"carol@lakeside.example.org"_s, u"dave@lakeside.example.org"_s}));
    QCOMPARE(resolveAccounts(parseAccountList(typed), QString()), std::nullopt);
    QCOMPARE(resolveAccounts({u"Ann@Other.example"_s}, QString()), QStringList{u"ann@other.example"_s});
    // Every kind of line break separates; order and repeats stay.
    QCOMPARE(parseAccountList(u"a\vb\fc\u0085d\u2028e\u2029f\rg\t, a ,"_s),
             (QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s, u"g"_s, u"a"_s}));
    QVERIFY(parseAccountList(u" ,\n\t,"_s).isEmpty());
}

void InvestigationRulesTest::remediation_confirmationRowsAndAudit() {
    QCOMPARE(remediationConfirmMessage({u"a@x.org"_s, u"b@x.org"_s}, u"Lakeside"_s),
             u"This will do ALL of the following on 2 account(s):\n\n• Force sign-out (all sessions)\n• Reset to a "
             u"unique random password (change required)\n• Revoke all connected app tokens\n• Regenerate backup "
             u"codes\n• Delete all mail filters\n• Disable forwarding and remove forwarding addresses\n\na@x.org\n"
             u"b@x.org\n\nThis cannot be undone.\n\nDomain: Lakeside"_s);

    RemediationRow done;
    done.user = u"a@x.org"_s;
    done.reached = RemediationStep::finished;
    done.signedOut = false;
    done.passwordReset = true;
    done.tokensFound = 2;
    done.tokensRevoked = 1;
    done.problems = {u"sign-out"_s, u"forwarding off"_s};
    QCOMPARE(remediationCells(done), (QStringList{u"a@x.org"_s, u"✗"_s, u"✓"_s, u"1/2"_s, u"0/0"_s, u"0/0"_s,
                                                  u"Failed: sign-out, forwarding off"_s}));
    QCOMPARE(remediationAuditAction(done),
             u"Batch remediation: signout + password reset + tokens + backup codes + filters + forwarding"_s);
    done.problems.clear();
    QCOMPARE(remediationCells(done).last(), QString());

    RemediationRow stopped;
    stopped.user = u"b@x.org"_s;
    stopped.reached = RemediationStep::tokens;
    stopped.signedOut = true;
    stopped.passwordReset = true;
    QCOMPARE(remediationCells(stopped),
             (QStringList{u"b@x.org"_s, u"✓"_s, u"✓"_s, u"0/0"_s, u"—"_s, u"—"_s, u"Stopped during app tokens"_s}));
    QCOMPARE(remediationAuditAction(stopped),
             u"Batch remediation stopped during app tokens: signout + password reset"_s);
    stopped.reached = RemediationStep::signOut;
    stopped.problems = {u"sign-out"_s};
    QCOMPARE(remediationCells(stopped).last(), u"Failed: sign-out; Stopped during sign-out"_s);
    QCOMPARE(remediationAuditAction(stopped), u"Batch remediation stopped during sign-out"_s);
    QCOMPARE(remediationHeaders(), (QStringList{u"User"_s, u"Signed out"_s, u"Password"_s, u"Tokens"_s, u"Filters"_s,
                                                u"Forwarding"_s, u"Problems"_s}));
}

void InvestigationRulesTest::passwordLog_csv() {
    const QDateTime start = QDateTime::currentDateTime();
    const QString text = passwordLogText({{u"a@x.org"_s, u"p,1\"Q"_s}, {u"b@x.org"_s, u"Zz9!"_s}}, start);
    const QList<QStringList> records = parseCSVRecords(text);
    QCOMPARE(records.size(), 3);
    QCOMPARE(records[0], (QStringList{u"user"_s, u"action"_s, u"temporary_password"_s, u"timestamp"_s}));
    QCOMPARE(records[1].mid(0, 3), (QStringList{u"a@x.org"_s, u"full_batch_remediation"_s, u"p,1\"Q"_s}));
    QCOMPARE(records[2][2], u"Zz9!"_s);
    QVERIFY(records[1][3].startsWith(QLocale::c().toString(start, u"yyyy-MM-dd HH:mm:ss"_s)));
}

void InvestigationRulesTest::domainSearch_accountsAndFlags() {
    const QString logins = u"name,actor.email,ipAddress\n"
                           u"login_failure,zed@x.org,203.0.113.66\n"
                           u"login_success,amy@x.org,203.0.113.66\n"
                           u"login_success,zed@x.org,203.0.113.66\n"_s;
    const QString drive = u"name,emailAddress,ipAddress\nview,bo@x.org,203.0.113.66\nview,,203.0.113.66\n"_s;
    const CheckResult result = domainSearchResult(u"203.0.113.66"_s, logins, drive);
    QCOMPARE(flagTexts(result), QStringList{u"3 login and 2 Drive event(s) from 203.0.113.66 across 3 account(s): "
                                            u"amy@x.org, bo@x.org, zed@x.org"_s});
    QCOMPARE(titles(result), (QStringList{u"Login events from 203.0.113.66"_s, u"Drive events from 203.0.113.66"_s}));
    QCOMPARE(result.tables[1].rowCount(), 2);

    const CheckResult nobody = domainSearchResult(u"203.0.113.66"_s, u"name,ipAddress\nx,203.0.113.66\n"_s, QString());
    QCOMPARE(flagTexts(nobody), QStringList{u"1 login and 0 Drive event(s) from 203.0.113.66."_s});

    const CheckResult none = domainSearchResult(u"2001:db8::1"_s, u"name\n"_s, u"name\n"_s);
    QCOMPARE(flagTexts(none), QStringList{u"No login or Drive activity from 2001:db8::1."_s});
    QCOMPARE(flagKinds(none), QList<Kind>{Kind::ok});

    QString many = u"name,actor.email\n"_s;
    for (int i = 0; i < 60; ++i)
        many += u"x,u"_s + QString::number(100 + i) + u"@x.org\n"_s;
    const QString flag = flagTexts(domainSearchResult(u"203.0.113.66"_s, many, QString())).constFirst();
    QVERIFY(flag.startsWith(u"60 login and 0 Drive event(s) from 203.0.113.66 across 60 account(s): u100@x.org, "_s));
    QVERIFY(flag.endsWith(u"u149@x.org … and 10 more (see the tables)"_s));
}

QTEST_GUILESS_MAIN(InvestigationRulesTest)
#include "tst_investigationrules.moc"
