#include "TestSupport.h"

#include "profiles/DomainProfile.h"
#include "security/CheckResult.h"
#include "security/ResponseRules.h"
#include "security/SecurityCheck.h"
#include "security/SecurityTables.h"
#include "security/UserResolution.h"

#include <QtTest>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

const QString user = u"morgan.ellis@example.org"_s;

QString aclRows(int shares) {
    QString csv = u"primaryEmail,calendarId,id,role,scope.type,scope.value\n"_s;
    for (int i = 1; i <= shares; ++i)
        csv += user + u',' + user + u",user:p"_s + QString::number(i) + u"@example.net,reader,user,p"_s +
               QString::number(i) + u"@example.net\n"_s;
    return csv;
}

} // namespace

// The Security tab's rules as data: the catalogue, target resolution, tables
// from gam's CSV, and what each response action makes of gam's answers.
class SecurityRulesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void catalogue_orderNumbersGroupsAndTargets();
    void resolution_domainAndUserRules_data();
    void resolution_domainAndUserRules();
    void tables_oneCellPerHeaderAndColumnValues();
    void inspect_flagsTablesAndPlans();
    void inspect_forwardingAlwaysOffersToSwitchOff();
    void inspect_delegateColumnCandidatesInOrder();
    void calendar_onlyRemovableSharesAndTheConfirmationList();
    void calendar_noSharesKeepsTheFullListing();
    void signature_textPlanAndEvidence();
    void confirmations_exactEvidenceRows();
    void passwordLogMode_exactWordsOnly();
};

void SecurityRulesTest::catalogue_orderNumbersGroupsAndTargets() {
    const QList<SecurityCheckInfo> &all = securityCatalogue();
    QCOMPARE(all.size(), 19);
    QStringList numbers;
    for (qsizetype i = 0; i < all.size(); ++i) {
        QCOMPARE(int(all[i].check), int(i));
        QCOMPARE(&checkInfo(all[i].check), &all[i]);
        numbers.append(all[i].number);
    }
    QCOMPARE(numbers, (QStringList{u"B"_s, u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"7"_s, u"8"_s, u"9"_s,
                                   u"10"_s, u"11"_s, u"12"_s, u"13"_s, u"14"_s, u"15"_s, u"16"_s, u"17"_s, u"18"_s}));
    // Immediate Response runs from batch to delegates; only batch, iocSearch and batchTriage need no target.
    for (const SecurityCheckInfo &info : all) {
        const bool immediate = int(info.check) <= int(SecurityCheck::delegates);
        QCOMPARE(info.group == CheckGroup::immediateResponse, immediate);
        const bool targetless = info.check == SecurityCheck::batch || info.check == SecurityCheck::iocSearch ||
                                info.check == SecurityCheck::batchTriage;
        QCOMPARE(info.needsTarget, !targetless);
        QVERIFY(!info.title.isEmpty() && !info.description.isEmpty() && !info.actionTitle.isEmpty());
    }
    QCOMPARE(groupBadge(CheckGroup::immediateResponse), u"Changes accounts"_s);
    QVERIFY(groupBadge(CheckGroup::investigation).isEmpty());
    QCOMPARE(checkInfo(SecurityCheck::signOut).actionTitle, u"Sign Out All Sessions…"_s);
    QCOMPARE(checkInfo(SecurityCheck::sites).title, u"Google Sites"_s);
}

void SecurityRulesTest::resolution_domainAndUserRules_data() {
    QTest::addColumn<QString>("profileDomain");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("resolved"); // empty: no user

    QTest::newRow("bare name, messy domain")
        << u" @Example.ORG@ \t"_s << u"  Morgan.Ellis \n"_s << u"morgan.ellis@example.org"_s;
    QTest::newRow("full address kept") << u"example.org"_s << u"\tM.E@Other.NET "_s << u"m.e@other.net"_s;
    QTest::newRow("address without domain setting") << QString() << u"a@b.org"_s << u"a@b.org"_s;
    QTest::newRow("bare name without domain") << u" @ "_s << u"bob"_s << QString();
    QTest::newRow("only spaces") << u"example.org"_s << u" \t "_s << QString();
}

void SecurityRulesTest::resolution_domainAndUserRules() {
    QFETCH(QString, profileDomain);
    QFETCH(QString, input);
    QFETCH(QString, resolved);
    DomainProfile profile;
    profile.domain = profileDomain;
    const std::optional<QString> user = resolveUser(input, defaultDomain(profile));
    QCOMPARE(user.value_or(QString()), resolved);
}

void SecurityRulesTest::tables_oneCellPerHeaderAndColumnValues() {
    const QString csv = u"User,id,from\nu@x.org, F1 ,from a\nu@x.org\nu@x.org,\t,x\nu@x.org,F1,\n"_s;
    const SecurityTable table = tableFromCSV(csv, u"Gmail filters"_s);
    QCOMPARE(table.title, u"Gmail filters"_s);
    QCOMPARE(table.headers, (QStringList{u"User"_s, u"id"_s, u"from"_s}));
    QCOMPARE(table.rowCount(), 4);
    QCOMPARE(table.row(1), (QStringList{u"u@x.org"_s, QString(), QString()}));
    // Values are trimmed, blanks dropped, repeats and order kept.
    QCOMPARE(columnValues(csv, {u"id"_s}), (QStringList{u"F1"_s, u"F1"_s}));
    // The first candidate present wins, by exact name only.
    QCOMPARE(columnValues(csv, {u"ID"_s, u"from"_s}), (QStringList{u"from a"_s, u"x"_s}));
    QVERIFY(columnValues(csv, {u"clientId"_s}).isEmpty());
    QVERIFY(tableFromCSV(QString(), std::nullopt).headers.isEmpty());
}

void SecurityRulesTest::inspect_flagsTablesAndPlans() {
    const QString tokens =
        u"user,clientId,displayText\n"_s + user + u",111.apps,Mail Backup\n"_s + user + u",222.apps,Chrome\n"_s;
    const CheckResult apps = inspectResult(inspectListing(SecurityCheck::revokeApps), user, tokens);
    QCOMPARE(apps.flags.size(), 1);
    QCOMPARE(apps.flags[0].kind, SecurityFlag::Kind::note);
    QCOMPARE(apps.flags[0].text, u"2 connected app token(s). Revoke any you don't recognize — or all of them."_s);
    QCOMPARE(apps.tables.size(), 1);
    QCOMPARE(apps.tables[0].title, u"Connected apps"_s);
    QCOMPARE(apps.tables[0].rowCount(), 2);
    QVERIFY(apps.plan);
    QCOMPARE(apps.plan->buttonTitle, u"Revoke All 2 App Token(s)…"_s);
    QCOMPARE(apps.plan->confirmMessage, u"Revoke ALL 2 app token(s) for "_s + user + u'?');
    QCOMPARE(apps.plan->steps,
             (QList<QStringList>{{u"user"_s, user, u"delete"_s, u"token"_s, u"clientid"_s, u"111.apps"_s},
                                 {u"user"_s, user, u"delete"_s, u"token"_s, u"clientid"_s, u"222.apps"_s}}));
    QCOMPARE(apps.plan->auditAction, u"Revoked all app tokens"_s);
    QVERIFY(!apps.plan->followUp);

    const CheckResult filters = inspectResult(inspectListing(SecurityCheck::filters), user,
                                              u"User,id,forward\n"_s + user + u",F9,forward x\n"_s);
    QCOMPARE(filters.flags[0].kind, SecurityFlag::Kind::danger);
    QCOMPARE(filters.flags[0].text, u"1 filter(s). Look for filters that archive, delete, or forward replies."_s);
    QCOMPARE(filters.plan->steps, (QList<QStringList>{{u"user"_s, user, u"delete"_s, u"filter"_s, u"F9"_s}}));
    QCOMPARE(filters.plan->buttonTitle, u"Delete All 1 Filter(s)…"_s);
    QCOMPARE(filters.plan->confirmMessage, u"Delete ALL 1 Gmail filter(s) for "_s + user + u'?');

    // Nothing found: an ok flag, the header-only table, no plan.
    const CheckResult none = inspectResult(inspectListing(SecurityCheck::filters), user, u"User,id\n"_s);
    QCOMPARE(flagTexts(none), QStringList{u"No Gmail filters."_s});
    QCOMPARE(none.flags[0].kind, SecurityFlag::Kind::ok);
    QCOMPARE(none.tables[0].headers, (QStringList{u"User"_s, u"id"_s}));
    QVERIFY(!none.plan);
    // A failed listing printed nothing at all.
    QCOMPARE(flagTexts(inspectResult(inspectListing(SecurityCheck::revokeApps), user, QString())),
             QStringList{u"No connected app tokens."_s});
    QCOMPARE(listingCommand(inspectListing(SecurityCheck::delegates), user),
             (QStringList{u"user"_s, user, u"print"_s, u"delegates"_s}));
}

void SecurityRulesTest::inspect_forwardingAlwaysOffersToSwitchOff() {
    const InspectListing &listing = inspectListing(SecurityCheck::forwarding);
    const CheckResult none = inspectResult(listing, user, u"User,forwardingEmail,verificationStatus\n"_s);
    QCOMPARE(flagTexts(none), QStringList{u"No forwarding addresses."_s});
    QVERIFY(none.plan);
    QCOMPARE(none.plan->buttonTitle, u"Disable Forwarding…"_s);
    QCOMPARE(none.plan->confirmMessage, u"Disable forwarding for "_s + user + u'?');
    QCOMPARE(none.plan->steps, (QList<QStringList>{{u"user"_s, user, u"forward"_s, u"off"_s}}));
    QCOMPARE(none.plan->auditAction, u"Removed forwarding and disabled"_s);

    const CheckResult two = inspectResult(listing, user,
                                          u"User,forwardingEmail,verificationStatus\n"_s + user +
                                              u",a@example.net,accepted\n"_s + user + u",b@example.net,pending\n"_s);
    QCOMPARE(two.flags[0].text, u"2 forwarding address(es) — confirm each is legitimate."_s);
    QCOMPARE(two.plan->buttonTitle, u"Disable Forwarding and Remove 2 Address(es)…"_s);
    QCOMPARE(two.plan->confirmMessage,
             u"Disable forwarding for "_s + user + u" and remove:\n\na@example.net\nb@example.net"_s);
    QCOMPARE(two.plan->steps,
             (QList<QStringList>{{u"user"_s, user, u"forward"_s, u"off"_s},
                                 {u"user"_s, user, u"delete"_s, u"forwardingaddress"_s, u"a@example.net"_s},
                                 {u"user"_s, user, u"delete"_s, u"forwardingaddress"_s, u"b@example.net"_s}}));
}

void SecurityRulesTest::inspect_delegateColumnCandidatesInOrder() {
    const InspectListing &listing = inspectListing(SecurityCheck::delegates);
    const CheckResult byEmail = inspectResult(
        listing, user, u"User,delegateEmail,delegationStatus\n"_s + user + u",d@example.org,accepted\n"_s);
    QCOMPARE(byEmail.plan->steps,
             (QList<QStringList>{{u"user"_s, user, u"delete"_s, u"delegate"_s, u"d@example.org"_s}}));
    QCOMPARE(byEmail.plan->confirmMessage, u"Remove ALL delegates from "_s + user + u"?\n\nd@example.org"_s);
    QCOMPARE(byEmail.plan->buttonTitle, u"Remove All 1 Delegate(s)…"_s);
    QCOMPARE(byEmail.flags[0].text, u"1 delegate(s) can read this mailbox."_s);

    const CheckResult both = inspectResult(
        listing, user, u"User,delegateEmail,delegateAddress\n"_s + user + u",wrong@example.org,right@example.org\n"_s);
    QCOMPARE(both.plan->steps.constFirst().constLast(), u"right@example.org"_s);
}

void SecurityRulesTest::calendar_onlyRemovableSharesAndTheConfirmationList() {
    QString csv = aclRows(12);
    csv += user + u',' + user + u",user:"_s + user + u",owner,user,"_s + user.toUpper() + u'\n'; // the owner, any case
    csv += user + u',' + user + u",domain:example.org,reader,domain,example.org\n"_s;
    csv += user + u',' + user + u",,reader,user,noid@example.net\n"_s;
    csv += u"x,team@group.calendar.example.org,user:team@group.calendar.example.org,owner,user,"_s
           u"TEAM@group.calendar.example.org\n"_s;
    const CheckResult result = calendarResult(user, csv);
    QCOMPARE(flagTexts(result), QStringList{u"12 calendar share(s) would be removed."_s});
    QCOMPARE(result.tables.size(), 2);
    QCOMPARE(result.tables[0].title, u"Shares that would be removed"_s);
    QCOMPARE(result.tables[0].headers, (QStringList{u"Calendar"_s, u"ACL"_s, u"Role"_s, u"Shared with"_s}));
    QCOMPARE(result.tables[0].row(0), (QStringList{user, u"user:p1@example.net"_s, u"reader"_s, u"p1@example.net"_s}));
    QCOMPARE(result.tables[1].title, u"All calendar sharing"_s);
    QCOMPARE(result.tables[1].rowCount(), 16);

    const RemovalPlan &plan = *result.plan;
    QCOMPARE(plan.buttonTitle, u"Remove 12 Calendar Share(s)…"_s);
    QCOMPARE(plan.auditAction, u"Removed 12 calendar share(s)"_s);
    QCOMPARE(plan.steps.size(), 12);
    QCOMPARE(plan.steps[11],
             (QStringList{u"user"_s, user, u"delete"_s, u"calendaracl"_s, user, u"user:p12@example.net"_s}));
    QStringList expected;
    for (int i = 1; i <= 10; ++i)
        expected.append(u"p"_s + QString::number(i) + u"@example.net (reader)"_s);
    QCOMPARE(plan.confirmMessage, u"Remove these 12 calendar share(s) from "_s + user + u"?\n\n"_s +
                                      expected.join(u'\n') + u"\n… and 2 more"_s);
}

void SecurityRulesTest::calendar_noSharesKeepsTheFullListing() {
    const QString csv = u"primaryEmail,calendarId,id,role,scope.type,scope.value\n"_s + user + u',' + user +
                        u",user:"_s + user + u",owner,user,"_s + user + u'\n';
    const CheckResult result = calendarResult(user, csv);
    QCOMPARE(flagTexts(result),
             QStringList{u"No calendar shares to remove (only owner, calendar, and domain entries)."_s});
    QCOMPARE(result.flags[0].kind, SecurityFlag::Kind::ok);
    QVERIFY(!result.plan);
    QCOMPARE(result.tables.size(), 1);
    QCOMPARE(result.tables[0].rowCount(), 1);
    // Ten shares list all ten, without a tail.
    QVERIFY(!calendarResult(user, aclRows(10)).plan->confirmMessage.contains(u"more"_s));
}

void SecurityRulesTest::signature_textPlanAndEvidence() {
    QCOMPARE(signatureText(u"\n  SendAs Address: x\n"_s, u" warn\n\n"_s), u"SendAs Address: x\n warn"_s);
    const CheckResult empty = signatureResult(user, signatureText(u" \n"_s, QString()));
    QCOMPARE(empty.text, u"(no output)"_s);
    QCOMPARE(flagTexts(empty),
             QStringList{u"Check for links or instructions an attacker may have added to the signature."_s});
    QCOMPARE(empty.plan->steps, (QList<QStringList>{{u"user"_s, user, u"signature"_s, QString()}}));
    QCOMPARE(empty.plan->buttonTitle, u"Clear Signature…"_s);
    QCOMPARE(empty.plan->confirmMessage,
             u"Clear the email signature for "_s + user + u"? It has been saved as evidence."_s);
    QCOMPARE(empty.plan->auditAction, u"Cleared email signature"_s);
    QCOMPARE(signatureEvidence(user, QString()), u"user,signature_html\n"_s + user + u",\n"_s);
    QCOMPARE(signatureEvidence(user, u"<a href=\"x\">Hi, there</a>"_s),
             u"user,signature_html\n"_s + user + u",\"<a href=\"\"x\"\">Hi, there</a>\"\n"_s);
}

void SecurityRulesTest::confirmations_exactEvidenceRows() {
    qputenv("TZ", "UTC0");
    tzset();
    const QDateTime time(QDate(2024, 3, 7), QTime(9, 5, 42));
    QCOMPARE(signOutEvidence(user, time),
             u"user,action,timestamp\n"_s + user + u",forced_signout_all_sessions,2024-03-07 09:05:42 UTC\n"_s);
    QCOMPARE(passwordResetEvidence(user, time),
             u"user,action,timestamp,note\n"_s + user +
                 u",password_reset,2024-03-07 09:05:42 UTC,random_password_applied\n"_s);
    QCOMPARE(maskedResetCommand(user), u"gam update user "_s + user + u" password ******** changepassword on"_s);
}

void SecurityRulesTest::passwordLogMode_exactWordsOnly() {
    QCOMPARE(passwordLogMode(u" local\t"_s), PasswordLogMode::local);
    QCOMPARE(passwordLogMode(u"drive"_s), PasswordLogMode::drive);
    QCOMPARE(passwordLogMode(u"Drive"_s), PasswordLogMode::none);
    QCOMPARE(passwordLogMode(QString()), PasswordLogMode::none);
    QCOMPARE(passwordLogMode(u"none"_s), PasswordLogMode::none);
}

QTEST_GUILESS_MAIN(SecurityRulesTest)
#include "tst_securityrules.moc"
