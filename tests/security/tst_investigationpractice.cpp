#include "TestSupport.h"

#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "security/SecurityModel.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString victim = u"morgan.ellis@example.org"_s;
const QString admin = u"admin@example.org"_s;
const QString attacker = u"203.0.113.66"_s;

QStringList titles(const CheckResult *result) {
    QStringList texts;
    for (const SecurityTable &table : result->tables)
        texts.append(table.title.value_or(QString()));
    return texts;
}

// Whether the secret appears in the text as a whole token (codes are digits among other digits).
bool holds(const QString &text, const QString &secret) {
    return QRegularExpression(u"(?<![A-Za-z0-9])"_s + QRegularExpression::escape(secret) + u"(?![A-Za-z0-9])"_s)
        .match(text)
        .hasMatch();
}

} // namespace

// The investigation checks, the domain search, triage and batch remediation on
// the practice domain's compromised teacher, counted against the district's own
// records, and a scan of everything written for the passwords and backup codes.
class InvestigationPracticeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void investigation_findsWhatTheAttackerLeft();
    void iocCheck_matchesAddressesInAnyFormAndRanges();
    void domainSearch_findsTheAttackerInLoginsAndDrive();
    void triage_countsPerAccount();
    void batchAndBackupCodes_secretsStayOnScreen();

private:
    bool waitIdle() const {
        return QTest::qWaitFor([this] { return !m_console->isBusy(); }, 120000);
    }
    QString log() const { return logLines(*m_console).join(u'\n'); }
    const CheckResult *check(SecurityCheck check);
    void confirm(const QString &button);
    QJsonObject state() const {
        return QJsonDocument::fromJson(readBytes(m_district.filePath(u"practice-domain.json"_s))).object();
    }
    QJsonObject account(const QString &email) const;
    // The district's events of one kind that match, counted as the reports would list them.
    qsizetype events(const QString &kind, const QString &user, const QString &ip) const;
    void writeIndicators(const QByteArray &content);

    QTemporaryDir m_district;
    QTemporaryDir m_files;
    SecurityRecords m_records;
    QString m_iocFile;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<ProfileStore> m_profiles;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<SecurityModel> m_model;
};

void InvestigationPracticeTest::initTestCase() {
    if (!QFile::exists(QStringLiteral(PRACTICE_GAM_PATH)))
        QSKIP("the practice gam is not part of this build");
    QVERIFY(seedPracticeDomain(m_district.path(), u"example.org"_s, 30));
    m_settings = std::make_unique<IsolatedSettings>();
    QSettings().setValue(u"gamPath"_s, QStringLiteral(PRACTICE_GAM_PATH));
    m_iocFile = m_files.filePath(u"known_iocs.txt"_s);
    QSettings().setValue(u"security.iocFile"_s, m_iocFile);
    m_profiles = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_profiles, m_district.path(), u"example.org"_s);
    m_records = keepSecurityRecordsIn(*m_profiles, m_files.filePath(u"records"_s));
    m_console = std::make_unique<Console>(nullptr);
    m_model = std::make_unique<SecurityModel>(m_console.get());
    m_model->setUserInput(u"Morgan.Ellis"_s);
    m_model->setTarget();
    QCOMPARE(m_model->targetUser(), victim);
}

void InvestigationPracticeTest::cleanupTestCase() {
    m_model.reset();
    m_console.reset();
}

const CheckResult *InvestigationPracticeTest::check(SecurityCheck check) {
    m_model->run(check);
    if (!waitIdle())
        return nullptr;
    return m_model->result(check);
}

void InvestigationPracticeTest::confirm(const QString &button) {
    QVERIFY(m_console->alert());
    const AlertItem alert = *m_console->alert();
    QCOMPARE(alert.confirmTitle, button);
    m_console->setAlert(std::nullopt);
    alert.onConfirm();
}

QJsonObject InvestigationPracticeTest::account(const QString &email) const {
    for (const QJsonValue &user : state().value(u"users"_s).toArray())
        if (user.toObject().value(u"primaryEmail"_s).toString() == email)
            return user.toObject();
    return {};
}

qsizetype InvestigationPracticeTest::events(const QString &kind, const QString &user, const QString &ip) const {
    qsizetype count = 0;
    for (const QJsonValue &value : state().value(kind).toArray()) {
        const QJsonObject event = value.toObject();
        if ((user.isEmpty() || event.value(u"user"_s).toString() == user) &&
            (ip.isEmpty() || event.value(u"ipAddress"_s).toString() == ip))
            ++count;
    }
    return count;
}

void InvestigationPracticeTest::writeIndicators(const QByteArray &content) {
    QFile file(m_iocFile);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

void InvestigationPracticeTest::investigation_findsWhatTheAttackerLeft() {
    const qsizetype logins = events(u"loginEvents"_s, victim, QString());
    QVERIFY(logins >= 6);

    const CheckResult *history = check(SecurityCheck::logins);
    QCOMPARE(flagTexts(history), QStringList{u"PERSISTENCE PATTERN DETECTED (2 match(es)) — silent re-auth plus a "
                                             u"sensitive action."_s});
    QCOMPARE(titles(history), (QStringList{u"Persistence pattern matches"_s, u"Login history"_s}));
    QCOMPARE(history->tables[0].rowCount(), 2);
    QCOMPARE(history->tables[1].rowCount(), logins);
    QVERIFY(history->text->startsWith(u"User: "_s + victim));
    QVERIFY(history->evidence.constFirst().label.endsWith(u"_logins.csv"_s));

    const CheckResult *suspicious = check(SecurityCheck::suspicious);
    QCOMPARE(flagTexts(suspicious), QStringList{u"2 suspicious login(s)."_s});
    QVERIFY(suspicious->evidence.constFirst().label.endsWith(u"_suspicious_logins.csv"_s));

    // The attacker changed the password after the takeover.
    const CheckResult *passwords = check(SecurityCheck::passwordHistory);
    QCOMPARE(passwords->tables.constFirst().rowCount(), 1);
    QCOMPARE(passwords->tables.constFirst().row(0).constFirst(), u"password_edit"_s);

    qsizetype shared = 0;
    qsizetype sites = 0;
    for (const QJsonValue &value : state().value(u"files"_s).toArray()) {
        const QJsonObject file = value.toObject();
        if (file.value(u"owner"_s).toString() != victim)
            continue;
        const QString visibility = file.value(u"visibility"_s).toString();
        if (visibility == u"anyoneWithLink"_s || visibility == u"anyoneCanFind"_s || visibility == u"externalUsers"_s)
            ++shared;
        if (file.value(u"mimeType"_s).toString() == u"application/vnd.google-apps.site"_s)
            ++sites;
    }
    QVERIFY(shared >= 2);
    QCOMPARE(flagTexts(check(SecurityCheck::externalSharing)),
             QStringList{QString::number(shared) + u" file(s) shared externally or by public link."_s});
    const CheckResult *siteResult = check(SecurityCheck::sites);
    QCOMPARE(siteResult->tables.constFirst().rowCount(), sites);
    QVERIFY(flagTexts(siteResult).constFirst().startsWith(QString::number(sites) + u" Google Site(s) found."_s));
    QVERIFY(siteResult->evidence.constFirst().label.endsWith(u"_google_sites.csv"_s));

    const CheckResult *twoStep = check(SecurityCheck::twoStep);
    QCOMPARE(twoStep->text, u"    2-step enrolled: False\n    2-step enforced: False\n\nRecovery phone on file:\n"
                            u"    Recovery Phone: +15550199999"_s);
    QVERIFY(twoStep->sensitiveText->contains(u" 1: 41758203"_s));

    const CheckResult *alerts = check(SecurityCheck::alertCenter);
    QCOMPARE(flagTexts(alerts), QStringList{u"2 Alert Center event(s) mention this account."_s});
    QCOMPARE(titles(alerts), QStringList{u"Alerts mentioning "_s + victim});

    // Investigations change nothing.
    QVERIFY(!QFile::exists(m_records.auditLog));
}

void InvestigationPracticeTest::iocCheck_matchesAddressesInAnyFormAndRanges() {
    const qsizetype loginsFromIPv4 = events(u"loginEvents"_s, victim, attacker);
    const qsizetype loginsFromIPv6 = events(u"loginEvents"_s, victim, u"2001:db8:bad::66"_s);
    const qsizetype driveFromIPv4 = events(u"driveEvents"_s, victim, attacker);
    QCOMPARE(loginsFromIPv6, 1);
    QVERIFY(loginsFromIPv4 >= 4 && driveFromIPv4 >= 1);
    writeIndicators("# from the March incident\r\n2001:0DB8:0BAD:0000:0000:0000:0000:0066\r\n203.0.113.0/24\r\n"
                    "secure-login.example.net\r\n198.51.100.0/24\r\n192.0.2.1\r\n");
    const CheckResult *result = check(SecurityCheck::iocCheck);
    const QString v4 = QString::number(loginsFromIPv4);
    const QString drive = QString::number(driveFromIPv4);
    QCOMPARE(
        flagTexts(result).mid(0, 2),
        (QStringList{u"MATCH: 2001:0DB8:0BAD:0000:0000:0000:0000:0066 — 1 login event(s), 0 Drive event(s)."_s,
                     u"MATCH: 203.0.113.0/24 — "_s + v4 + u" login event(s), "_s + drive + u" Drive event(s)."_s}));
    // The teacher's home network is there too; the last address is not.
    QVERIFY(flagTexts(result).constLast().startsWith(u"MATCH: 198.51.100.0/24 — "_s));
    QCOMPARE(result->tables.constFirst().row(4), (QStringList{u"192.0.2.1"_s, u"0"_s, u"0"_s}));
}

void InvestigationPracticeTest::domainSearch_findsTheAttackerInLoginsAndDrive() {
    const qsizetype logins = events(u"loginEvents"_s, QString(), attacker);
    const qsizetype drive = events(u"driveEvents"_s, QString(), attacker);
    QVERIFY(logins > 4 && drive > 0);
    QStringList accounts;
    for (const QString &kind : {u"loginEvents"_s, u"driveEvents"_s})
        for (const QJsonValue &value : state().value(kind).toArray())
            if (value.toObject().value(u"ipAddress"_s).toString() == attacker)
                accounts.append(value.toObject().value(u"user"_s).toString());
    accounts.removeDuplicates();
    std::sort(accounts.begin(), accounts.end());
    QVERIFY(accounts.size() > 1 && accounts.contains(victim));

    m_model->setSearchIndicator(u" 203.0.113.66 "_s);
    const CheckResult *result = check(SecurityCheck::iocSearch);
    QCOMPARE(flagTexts(result),
             QStringList{QString::number(logins) + u" login and "_s + QString::number(drive) +
                         u" Drive event(s) from 203.0.113.66 across "_s + QString::number(accounts.size()) +
                         u" account(s): "_s + accounts.join(u", "_s)});
    QCOMPARE(result->tables[0].rowCount(), logins);
    QCOMPARE(result->tables[1].rowCount(), drive);
    QVERIFY(result->evidence.constFirst().label.startsWith(u"morgan.ellis_example.org_"_s));
    QVERIFY(result->evidence.constFirst().label.endsWith(u"_domainwide_ioc_search.csv"_s));

    // The IPv6 sign-in is found however the address is typed.
    m_model->setSearchIndicator(u"2001:DB8:BAD:0:0:0:0:66"_s);
    result = check(SecurityCheck::iocSearch);
    QCOMPARE(flagTexts(result),
             QStringList{u"1 login and 0 Drive event(s) from 2001:db8:bad::66 across 1 account(s): "_s + victim});
}

void InvestigationPracticeTest::triage_countsPerAccount() {
    m_model->setTriageUsersText(u"morgan.ellis, admin"_s);
    const CheckResult *result = check(SecurityCheck::batchTriage);
    QVERIFY(result);
    const QString logins = QString::number(events(u"loginEvents"_s, victim, QString()));
    QCOMPARE(result->tables.constFirst().row(0), (QStringList{victim, u"2"_s, u"1"_s, u"2"_s, logins, u"2"_s}));
    QCOMPARE(result->tables.constFirst().row(1).mid(0, 4), (QStringList{admin, u"0"_s, u"0"_s, u"0"_s}));
    QCOMPARE(flagTexts(result), (QStringList{victim + u": persistence pattern (2 match(es))."_s,
                                             victim + u": 1 forwarding address(es)."_s}));
    QCOMPARE(result->evidence.size(), 8);
}

void InvestigationPracticeTest::batchAndBackupCodes_secretsStayOnScreen() {
    QSettings().setValue(u"security.passwordLogMode"_s, u"local"_s);
    // Regenerated backup codes are shown, never kept.
    check(SecurityCheck::twoStep);
    m_model->confirmPlan(SecurityCheck::twoStep);
    confirm(u"Continue"_s);
    QVERIFY(waitIdle());
    const QString shown = *m_model->result(SecurityCheck::twoStep)->sensitiveText;
    QStringList secrets;
    for (const QJsonValue &code : account(victim).value(u"backupCodes"_s).toArray())
        secrets.append(code.toString());
    QCOMPARE(secrets.size(), 10);
    for (const QString &code : secrets)
        QVERIFY(shown.contains(code));
    secrets += {u"41758203"_s, u"90366142"_s, u"27715930"_s};

    // Three accounts; the third one's sign-out fails.
    QString third;
    for (const QJsonValue &value : state().value(u"users"_s).toArray()) {
        const QJsonObject user = value.toObject();
        const QString email = user.value(u"primaryEmail"_s).toString();
        if (email != victim && email != admin && !user.value(u"suspended"_s).toBool()) {
            third = email;
            break;
        }
    }
    QVERIFY(!third.isEmpty());
    qputenv("PRACTICE_GAM_FAULT", (u"exit:50@"_s + third + u" signout"_s).toUtf8());
    m_model->setBatchUsersText(u"morgan.ellis\n"_s + admin + u",\n"_s + third.toUpper());
    m_model->run(SecurityCheck::batch);
    confirm(u"Remediate 3 Account(s)"_s);
    QVERIFY(waitIdle());
    qunsetenv("PRACTICE_GAM_FAULT");

    const CheckResult *result = m_model->result(SecurityCheck::batch);
    QVERIFY2(result, qPrintable(log()));
    QCOMPARE(flagTexts(result),
             (QStringList{u"Batch remediation finished for 3 account(s)."_s, third + u": sign-out failed."_s}));
    const SecurityTable &rows = result->tables.constFirst();
    QCOMPARE(rows.row(0), (QStringList{victim, u"✓"_s, u"✓"_s, u"2/2"_s, u"2/2"_s, u"1/1"_s, QString()}));
    QCOMPARE(rows.row(1).mid(0, 3), (QStringList{admin, u"✓"_s, u"✓"_s}));
    QCOMPARE(rows.row(2).mid(0, 3), (QStringList{third, u"✗"_s, u"✓"_s}));
    QCOMPARE(rows.row(2).constLast(), u"Failed: sign-out"_s);

    const QStringList audit = QString::fromUtf8(readBytes(m_records.auditLog)).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(audit.size(), 4);
    QVERIFY(audit[0].endsWith(u" | "_s + victim + u" | Regenerated backup codes"_s));
    for (int i = 1; i <= 3; ++i)
        QVERIFY2(audit[i].contains(u" | Batch remediation: signout + password reset + tokens + backup codes + "
                                   u"filters + forwarding"_s),
                 qPrintable(audit[i]));
    QVERIFY(audit[3].contains(u" | "_s + third + u" | "_s));

    // What the attacker left on the teacher's account is gone.
    const QJsonObject teacher = account(victim);
    QVERIFY(teacher.value(u"tokens"_s).toArray().isEmpty());
    QVERIFY(teacher.value(u"filters"_s).toArray().isEmpty());
    QVERIFY(teacher.value(u"forwardingAddresses"_s).toArray().isEmpty());
    QVERIFY(!teacher.value(u"forwarding"_s).toObject().value(u"enabled"_s).toBool());

    const std::optional<PasswordReveal> reveal = m_model->passwordReveal();
    QVERIFY(reveal && reveal->purpose == PasswordReveal::Purpose::batchResult);
    QCOMPARE(reveal->entries.size(), 3);
    QStringList passwords;
    for (const PasswordReveal::Entry &entry : reveal->entries)
        passwords.append(entry.password);
    // The batch regenerated the codes once more; those are secret too.
    for (const QString &email : {victim, admin, third})
        for (const QJsonValue &code : account(email).value(u"backupCodes"_s).toArray())
            secrets.append(code.toString());

    // The password log holds the passwords, owner-only, where the administrator chose it.
    QCOMPARE(result->evidence.size(), 1);
    const QString passwordLog = *result->evidence.constFirst().localURL;
    QCOMPARE(fileMode(passwordLog), 0600);
    for (const QString &password : passwords)
        QVERIFY(readBytes(passwordLog).contains(password.toUtf8()));

    // Nothing else ever holds a password or a code: the log, the evidence, the audit log.
    const QString logText = log();
    QDirIterator files(m_files.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QStringList scanned;
    while (files.hasNext()) {
        const QString path = files.next();
        if (path != passwordLog)
            scanned.append(path);
    }
    QVERIFY(scanned.size() > 15);
    QVERIFY(scanned.contains(m_records.auditLog));
    for (const QString &secret : passwords + secrets) {
        QVERIFY2(!holds(logText, secret), qPrintable(secret));
        for (const QString &path : std::as_const(scanned))
            QVERIFY2(!holds(QString::fromUtf8(readBytes(path)), secret), qPrintable(path + u": "_s + secret));
    }
}

QTEST_GUILESS_MAIN(InvestigationPracticeTest)
#include "tst_investigationpractice.moc"
