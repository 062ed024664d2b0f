// The practice domain must behave like GAM7 where Tarnwick relies on it: exit codes,
// CSV shapes, stdout versus stderr, state that persists between runs, and the config
// folder and section it reads.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::NormalExit;
    QByteArray out, err;
    QString outText() const { return QString::fromUtf8(out); }
    QString errText() const { return QString::fromUtf8(err); }
    QStringList lines() const { return outText().split(u'\n', Qt::SkipEmptyParts); }
};

Run gam(const QStringList &args, const QString &cfgDir, const QString &section = {},
        const QHash<QString, QString> &extra = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"GAMCFGDIR"_s, cfgDir);
    if (section.isEmpty())
        env.remove(u"GAMCFGSECTION"_s);
    else
        env.insert(u"GAMCFGSECTION"_s, section);
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        env.insert(it.key(), it.value());
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral(PRACTICE_GAM_PATH), args);
    Run run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitCode();
    run.status = process.exitStatus();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace

class TestPracticeGam : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_dir; // a seeded district of its own: example.org
    const QString m_victim = u"morgan.ellis@example.org"_s;

    QString seedFresh(const QString &name, const QString &domain, int users = 60) {
        const QString dir = m_tmp.filePath(name);
        const Run run =
            gam({u"practice"_s, u"seed"_s, dir, u"--domain"_s, domain, u"--users"_s, QString::number(users)}, dir);
        if (run.exitCode != 0)
            qWarning() << run.errText();
        return dir;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(QFile::exists(QStringLiteral(PRACTICE_GAM_PATH)));
        QVERIFY(m_tmp.isValid());
        m_dir = seedFresh(u"district"_s, u"example.org"_s);
    }

    void versionSaysSimulationAndClassifiesAsGAM7() {
        const Run run = gam({u"version"_s}, m_dir);
        QCOMPARE(run.exitCode, 0);
        const QString first = run.lines().value(0);
        QVERIFY(first.startsWith(u"GAM 7."_s));
        QVERIFY(first.contains(u"SIMULATION"_s));
    }

    void infoDomainNamesThePrimaryDomain() {
        const Run run = gam({u"info"_s, u"domain"_s}, m_dir);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.lines().value(0).startsWith(u"Customer ID: C0"_s));
        QCOMPARE(run.lines().value(1), u"Primary Domain: example.org"_s);
    }

    void missingCredentialsExit16() {
        const Run run = gam({u"info"_s, u"domain"_s}, m_tmp.filePath(u"empty"_s));
        QCOMPARE(run.exitCode, 16);
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.errText().contains(u"ERROR: Client OAuth2 File: "_s));
    }

    void printUsersIsCsvOnStdoutProgressOnStderr() {
        const Run run = gam({u"print"_s, u"users"_s, u"query"_s, u"orgUnitPath='/Staff/Teachers'"_s, u"fields"_s,
                             u"primaryemail,suspended"_s},
                            m_dir);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines().value(0), u"primaryEmail,suspended"_s);
        QVERIFY(run.outText().contains(m_victim + u",False"_s));
        // "Getting" ends in a newline; page counters are rewritten with carriage returns.
        QVERIFY(run.errText().startsWith(u"Getting all Users that match query (orgUnitPath='/Staff/Teachers')"_s));
        QVERIFY(run.err.contains("\rGot "));
        QVERIFY(run.err.endsWith("\r\n"));
    }

    void printMessagesHeaderAndNoMatchCode() {
        const QStringList base = {u"user"_s, m_victim, u"print"_s, u"messages"_s, u"query"_s};
        const QStringList tail = {u"headers"_s, u"Subject,From,Date"_s, u"max_to_print"_s, u"50"_s};
        Run run = gam(base + QStringList{u"from:helpdesk@secure-login.example.net"_s} + tail, m_dir);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines().value(0), u"User,threadId,id,Subject,From,Date"_s);
        QCOMPARE(run.lines().size(), 2);
        QVERIFY(run.errText().contains(u"match query ((from:helpdesk@secure-login.example.net))"_s));
        run = gam(base + QStringList{u"from:nobody@example.net"_s} + tail, m_dir);
        QCOMPARE(run.exitCode, 60);
        QCOMPARE(run.lines(), QStringList{u"User,threadId,id,Subject,From,Date"_s});
    }

    void deleteMessagesPreviewDefaultsAndDoit() {
        const QString dir = seedFresh(u"gmail"_s, u"example.org"_s);
        const QStringList base = {u"user"_s, m_victim, u"delete"_s, u"messages"_s, u"query"_s, u"in:anywhere"_s};
        Run run = gam(base, dir);
        QCOMPARE(run.exitCode, 51);
        QVERIFY(run.out.isEmpty());
        // Quick listing with the default maximum of one: the preview only ever sees one message.
        QVERIFY(run.errText().contains(u"User: "_s + m_victim +
                                       u", Message: 1, Not Deleted: Use the \"doit\" argument to perform action"_s));
        run = gam(base + QStringList{u"doit"_s}, dir);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.outText().startsWith(u"User: "_s + m_victim + u", Delete 1 Message\n"_s));
        run = gam(base + QStringList{u"notquick"_s, u"max_to_delete"_s, u"2"_s}, dir);
        QCOMPARE(run.exitCode, 51);
        QVERIFY(run.errText().contains(u"exceeds maximum to Delete 2"_s));
        run = gam(base + QStringList{u"max_to_delete"_s, u"0"_s, u"doit"_s}, dir);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.outText().contains(u"Deleted (1/"_s));
        run = gam(base, dir);
        QCOMPARE(run.exitCode, 60);
        QVERIFY(run.errText().contains(u"Messages: 0, Not Deleted: No Messages matched"_s));
    }

    void domainWideDeleteBySenderPersists() {
        const QString dir = seedFresh(u"domainwide"_s, u"example.org"_s);
        const QStringList vector = {u"domains_ns"_s, u"example.org"_s, u"delete"_s,
                                    u"messages"_s,   u"query"_s,       u"from:helpdesk@secure-login.example.net"_s};
        Run run = gam(vector, dir);
        // A multi-user run exits with the last warning's code: the last mailbox matched nothing.
        QCOMPARE(run.exitCode, 60);
        QVERIFY(run.errText().contains(u"Not Deleted: Use the \"doit\" argument"_s));
        QVERIFY(run.errText().contains(u"Getting all Users that match query (isSuspended=False) for example.org"_s));
        run = gam(vector + QStringList{u"doit"_s}, dir);
        QVERIFY(run.outText().contains(u", Deleted"_s));
        run = gam(vector, dir);
        QCOMPARE(run.exitCode, 60);
        QVERIFY(!run.errText().contains(u"doit"_s));
    }

    void courseDeleteForms() {
        const QString dir = seedFresh(u"classroom"_s, u"example.org"_s);
        const QStringList print = {u"print"_s,    u"courses"_s, u"states"_s,
                                   u"ARCHIVED"_s, u"fields"_s,  u"id,name,owneremail,coursestate"_s};
        Run run = gam(print, dir);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines().value(0), u"id,name,courseState,ownerEmail,ownerId"_s);
        const QString id = run.lines().value(1).section(u',', 0, 0);
        QVERIFY(!id.isEmpty());

        run = gam({u"course"_s, id, u"delete"_s}, dir);
        QCOMPARE(run.exitCode, 2);
        const QStringList err = run.errText().split(u'\n');
        QCOMPARE(err.value(0), u"Command: gam course "_s + id + u" delete >>><<<"_s);
        QCOMPARE(err.value(1), QString());
        QVERIFY(err.value(2).startsWith(u"ERROR: Missing argument: Expected <"_s));
        QVERIFY(err.value(3).startsWith(u"Help: Syntax in file "_s));
        QCOMPARE(err.value(4), u"Help: Documentation is at https://github.com/GAM-team/GAM/wiki"_s);
        QVERIFY(gam(print, dir).outText().contains(id));

        run = gam({u"delete"_s, u"course"_s, id}, dir);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.outText(), u"Course: "_s + id + u", Deleted\n"_s);
        QVERIFY(!gam(print, dir).outText().contains(id));
    }

    void driveDeleteTrashesAndPurgeRemoves() {
        const QString dir = seedFresh(u"drive"_s, u"example.org"_s);
        const QStringList find = {u"user"_s,     m_victim,
                                  u"print"_s,    u"filelist"_s,
                                  u"query"_s,    u"name contains '63783'"_s,
                                  u"fields"_s,   u"id,name,mimeType,size,modifiedTime"_s,
                                  u"maxfiles"_s, u"100"_s};
        Run run = gam(find, dir);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines().value(0), u"Owner,id,name,mimeType,modifiedTime,size"_s);
        const QString id = run.lines().value(1).section(u',', 1, 1);
        run = gam({u"user"_s, m_victim, u"delete"_s, u"drivefile"_s, id}, dir);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.outText().contains(u"63783.html, Trashed"_s));
        run = gam({u"user"_s, m_victim, u"info"_s, u"drivefile"_s, id}, dir);
        QVERIFY(run.outText().contains(u"trashed: True"_s));
        run = gam({u"user"_s, m_victim, u"purge"_s, u"drivefile"_s, id}, dir);
        QVERIFY(run.outText().contains(id + u", Purged"_s));
        run = gam(find, dir);
        QCOMPARE(run.exitCode, 60);
        QCOMPARE(run.lines(), QStringList{u"Owner,id,name,mimeType,modifiedTime,size"_s});
    }

    void sharedDriveSelection() {
        const QStringList head = {u"user"_s, m_victim, u"print"_s, u"filelist"_s};
        Run run = gam(head + QStringList{u"teamdriveid"_s, u"0AAxyz"_s, u"fields"_s, u"id,name"_s}, m_dir);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.errText().contains(u">>>0AAxyz<<<"_s));
        QVERIFY(run.errText().contains(u"ERROR: Unknown argument"_s));
        QFile state(m_dir + u"/practice-domain.json"_s);
        QVERIFY(state.open(QIODevice::ReadOnly));
        const QString drive = QJsonDocument::fromJson(state.readAll())
                                  .object()[u"sharedDrives"_s]
                                  .toArray()
                                  .at(0)
                                  .toObject()[u"id"_s]
                                  .toString();
        run = gam(head + QStringList{u"select"_s, u"teamdriveid"_s, drive, u"fields"_s, u"id,name"_s}, m_dir);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.lines().size() > 1);
        QVERIFY(run.errText().contains(u"on Shared Drive ID: "_s + drive));

        // A query before the selection, or GAM's own shared-drive query after it, narrows the listing;
        // the shared drive's files have no owner, so "'me' in owners" is not part of the query.
        for (const QStringList &words :
             {QStringList{u"query"_s, u"name contains 'Handbook'"_s, u"select"_s, u"shareddriveid"_s, drive},
              QStringList{u"select"_s, u"teamdriveid:"_s + drive, u"teamdrivequery"_s,
                          u"name contains 'Handbook'"_s}}) {
            run = gam(head + words + QStringList{u"fields"_s, u"id,name"_s}, m_dir);
            QCOMPARE(run.exitCode, 0);
            QCOMPARE(run.lines().size(), 2);
            QVERIFY(run.lines().at(1).endsWith(u",Handbook"_s));
            QVERIFY2(run.errText().contains(u"match query ((name contains 'Handbook')) for "_s + m_victim +
                                            u" on Shared Drive ID: "_s + drive),
                     qPrintable(run.errText()));
        }
        run = gam(head + QStringList{u"select"_s, u"shareddriveid"_s, u"0AAnone"_s, u"fields"_s, u"id,name"_s}, m_dir);
        QCOMPARE(run.exitCode, 56);
        QVERIFY(run.errText().contains(u"User: "_s + m_victim + u", Shared Drive ID: 0AAnone, Does not exist"_s));
    }

    void batchedScanOfUnknownOUWritesNothing() {
        const QString csv = m_tmp.filePath(u"unknown-ou.csv"_s);
        const Run run = gam({u"config"_s, u"auto_batch_min"_s, u"1"_s, u"redirect"_s, u"csv"_s, csv, u"multiprocess"_s,
                             u"ou_and_children"_s, u"/No Such OU"_s, u"print"_s, u"filelist"_s, u"fields"_s, u"id"_s},
                            m_dir);
        QCOMPARE(run.exitCode, 56);
        QVERIFY(run.errText().contains(u"Org Unit: /No Such OU, Does not exist"_s));
        QVERIFY(!QFile::exists(csv));
    }

    void batchedRateLimitFailsEveryKthUserYetExitsZero() {
        const QString csv = m_tmp.filePath(u"ratelimited.csv"_s);
        const Run run = gam({u"config"_s, u"auto_batch_min"_s, u"1"_s, u"redirect"_s, u"csv"_s, csv, u"multiprocess"_s,
                             u"ou_and_children"_s, u"/Staff"_s, u"print"_s, u"filelist"_s, u"fields"_s, u"id"_s},
                            m_dir, {}, {{u"PRACTICE_GAM_FAULT"_s, u"ratelimit:2@multiprocess"_s}});
        // The pattern names the batch; its workers answer to it too.
        QCOMPARE(run.exitCode, 0);
        const qsizetype users = QRegularExpression(u"Got (\\d+) Users"_s).match(run.errText()).captured(1).toInt();
        QVERIFY(users >= 2);
        QCOMPARE(run.errText().count(u"Print Failed: Rate Limit Exceeded"_s), users / 2);
    }

    void batchedScanWritesOneCsvAndExitsZero() {
        const QString csv = m_tmp.filePath(u"scan.csv"_s);
        const QString log = m_tmp.filePath(u"batch-runs.jsonl"_s);
        const Run run =
            gam({u"config"_s, u"auto_batch_min"_s, u"1"_s, u"num_threads"_s, u"20"_s, u"redirect"_s, u"csv"_s, csv,
                 u"multiprocess"_s, u"all"_s, u"users"_s, u"print"_s, u"filelist"_s, u"query"_s,
                 u"name contains 'nothing-has-this-name'"_s, u"fields"_s, u"id,name"_s, u"maxfiles"_s, u"500"_s},
                m_dir, {}, {{u"PRACTICE_GAM_LOG"_s, log}});
        // Every child found nothing (60), but the batch parent still exits 0.
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.errText().contains(u",Processing complete"_s));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("Owner,id,name\n"));

        // As in GAM, each user is done by a worker process of its own.
        const qsizetype users = QRegularExpression(u"Got (\\d+) Users"_s).match(run.errText()).captured(1).toInt();
        QFile runs(log);
        QVERIFY(runs.open(QIODevice::ReadOnly));
        QSet<qint64> workers;
        qint64 parent = 0;
        for (const QByteArray &line : runs.readAll().split('\n')) {
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            if (entry.isEmpty())
                continue;
            const QStringList argv = entry[u"argv"_s].toVariant().toStringList();
            if (!entry[u"worker"_s].toBool()) {
                parent = entry[u"pid"_s].toInteger();
                continue;
            }
            QCOMPARE(argv.mid(0, 1), QStringList{u"user"_s});
            QCOMPARE(argv.mid(2, 3), (QStringList{u"print"_s, u"filelist"_s, u"query"_s}));
            workers.insert(entry[u"pid"_s].toInteger());
        }
        QVERIFY(users > 20);
        QCOMPARE(workers.size(), users);
        QVERIFY(parent != 0 && !workers.contains(parent));
    }

    void securityListingsAndRemovalPersist() {
        const QString dir = seedFresh(u"security"_s, u"example.org"_s);
        Run run = gam({u"user"_s, m_victim, u"print"_s, u"delegates"_s}, dir);
        QCOMPARE(run.lines().value(0), u"User,delegateAddress,delegationStatus"_s);
        QCOMPARE(run.lines().size(), 2);
        run = gam({u"user"_s, m_victim, u"print"_s, u"tokens"_s}, dir);
        QCOMPARE(run.lines().value(0), u"user,clientId,displayText,anonymous,nativeApp,userKey,scopes"_s);
        const QString client = run.lines().value(1).section(u',', 1, 1);
        run = gam({u"user"_s, m_victim, u"delete"_s, u"token"_s, u"clientid"_s, client}, dir);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(!gam({u"user"_s, m_victim, u"print"_s, u"tokens"_s}, dir).outText().contains(client));
        run = gam({u"user"_s, m_victim, u"delete"_s, u"token"_s, u"clientid"_s, client}, dir);
        QCOMPARE(run.exitCode, 50);
        run = gam({u"report"_s, u"login"_s, u"user"_s, m_victim}, dir);
        QVERIFY(run.lines().value(0).startsWith(u"name,"_s));
        QVERIFY(run.outText().contains(u"risky_sensitive_action_allowed"_s));
        QVERIFY(run.outText().contains(u"203.0.113.66"_s));
        run = gam({u"user"_s, m_victim, u"show"_s, u"backupcodes"_s}, dir);
        QVERIFY(run.lines().value(0).startsWith(u"User: "_s + m_victim + u", Show "_s));
    }

    void sectionsOfOneCfgAreSeparateDomains() {
        const QString shared = m_tmp.filePath(u"shared"_s);
        QCOMPARE(gam({u"practice"_s, u"seed"_s, shared, u"--domain"_s, u"north.example.net"_s, u"--users"_s, u"20"_s,
                      u"--section"_s, u"north"_s},
                     shared)
                     .exitCode,
                 0);
        QCOMPARE(gam({u"practice"_s, u"seed"_s, shared, u"--domain"_s, u"south.example.net"_s, u"--users"_s, u"20"_s,
                      u"--section"_s, u"south"_s},
                     shared)
                     .exitCode,
                 0);
        QCOMPARE(gam({u"info"_s, u"domain"_s}, shared, u"north"_s).lines().value(1),
                 u"Primary Domain: north.example.net"_s);
        QCOMPARE(gam({u"info"_s, u"domain"_s}, shared, u"south"_s).lines().value(1),
                 u"Primary Domain: south.example.net"_s);
        QCOMPARE(gam({u"select"_s, u"south"_s, u"info"_s, u"domain"_s}, shared).lines().value(1),
                 u"Primary Domain: south.example.net"_s);
        QCOMPARE(gam({u"info"_s, u"domain"_s}, shared, u"west"_s).exitCode, 13);
        QVERIFY(QFile::exists(shared + u"/north/oauth2.txt"_s));
    }

    void setupStepsWorkOnAFreshFolder() {
        const QString dir = m_tmp.filePath(u"wizard"_s);
        const QString admin = u"admin@district-b.example.org"_s;
        QCOMPARE(gam({u"create"_s, u"project"_s, admin}, dir).exitCode, 0);
        QCOMPARE(gam({u"create"_s, u"project"_s, admin}, dir).exitCode, 17);
        QCOMPARE(gam({u"oauth"_s, u"create"_s, admin}, dir).exitCode, 0);
        for (const char *file : {"client_secrets.json", "oauth2.txt", "oauth2service.json", "gam.cfg"})
            QVERIFY2(QFile::exists(dir + u'/' + QLatin1StringView(file)), file);
        QCOMPARE(gam({u"info"_s, u"domain"_s}, dir).lines().value(1), u"Primary Domain: district-b.example.org"_s);
        const Run save =
            gam({u"config"_s, u"customer_id"_s, u"C0abc"_s, u"domain"_s, u"district-b.example.org"_s, u"save"_s}, dir);
        QCOMPARE(save.outText(), u"Config File: "_s + dir + u"/gam.cfg, Saved\n"_s);
        // Delegation is not approved the first time, as with a new real project.
        QCOMPARE(gam({u"user"_s, admin, u"check"_s, u"serviceaccount"_s}, dir).exitCode, 10);
        QCOMPARE(gam({u"user"_s, admin, u"check"_s, u"serviceaccount"_s}, dir).exitCode, 0);
        QCOMPARE(gam({u"create"_s, u"project"_s, u"admin@real-district.org"_s}, m_tmp.filePath(u"real"_s)).exitCode, 2);
    }

    void invocationLogRecordsVectorAndEnvironment() {
        const QString log = m_tmp.filePath(u"invocations.jsonl"_s);
        gam({u"print"_s, u"orgs"_s, u"fields"_s, u"orgUnitPath,name"_s}, m_dir, u"DEFAULT"_s,
            {{u"PRACTICE_GAM_LOG"_s, log}});
        gam({u"version"_s}, m_dir, {}, {{u"PRACTICE_GAM_LOG"_s, log}});
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 3);
        const QJsonObject first = QJsonDocument::fromJson(lines.at(0)).object();
        QCOMPARE(first[u"argv"_s].toArray().toVariantList(),
                 (QVariantList{u"print"_s, u"orgs"_s, u"fields"_s, u"orgUnitPath,name"_s}));
        QCOMPARE(first[u"GAMCFGDIR"_s].toString(), m_dir);
        QCOMPARE(first[u"GAMCFGSECTION"_s].toString(), u"DEFAULT"_s);
        QVERIFY(QJsonDocument::fromJson(lines.at(1)).object()[u"GAMCFGSECTION"_s].isNull());
    }

    void faultHooks() {
        const QStringList orgs = {u"print"_s, u"orgs"_s};
        Run run = gam(orgs, m_dir, {}, {{u"PRACTICE_GAM_FAULT"_s, u"exit:73@print orgs"_s}});
        QCOMPARE(run.exitCode, 73);
        QVERIFY(run.outText().startsWith(u"orgUnitPath,"_s));
        QCOMPARE(gam({u"version"_s}, m_dir, {}, {{u"PRACTICE_GAM_FAULT"_s, u"exit:73@print orgs"_s}}).exitCode, 0);
        run = gam(orgs, m_dir, {}, {{u"PRACTICE_GAM_FAULT"_s, u"crash"_s}});
        QCOMPARE(run.status, QProcess::CrashExit);
        run = gam(orgs, m_dir, {}, {{u"PRACTICE_GAM_FAULT"_s, u"invalid-utf8"_s}});
        QVERIFY(run.out.contains("\xff\xfe"));
        run = gam({u"user"_s, m_victim, u"print"_s, u"messages"_s}, m_dir, {},
                  {{u"PRACTICE_GAM_FAULT"_s, u"ratelimit"_s}});
        QCOMPARE(run.exitCode, 50);
        QVERIFY(run.errText().contains(u"Rate Limit Exceeded"_s));
        run = gam(orgs, m_dir, {}, {{u"PRACTICE_GAM_FAULT"_s, u"huge:5000"_s}});
        QVERIFY(run.lines().size() > 5000);
    }

    void hangFaultNeedsTermination() {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"GAMCFGDIR"_s, m_dir);
        env.insert(u"PRACTICE_GAM_FAULT"_s, u"hang"_s);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(PRACTICE_GAM_PATH), {u"version"_s});
        QVERIFY(process.waitForStarted());
        QVERIFY(!process.waitForFinished(500));
        process.terminate();
        QVERIFY(process.waitForFinished(5000));
    }

    void outputStreamsWhileTheCommandStillWorks() {
        const QString dir = seedFresh(u"streaming"_s, u"example.net"_s, 30);
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"GAMCFGDIR"_s, dir);
        env.insert(u"PRACTICE_GAM_LINE_DELAY_MS"_s, u"3000"_s);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(PRACTICE_GAM_PATH), {u"print"_s, u"users"_s});
        QVERIFY(process.waitForReadyRead(30000));
        QVERIFY(process.readAll().startsWith("Getting all Users"));
        // The run still holds its domain: the line left before the command was done.
        QLockFile lock(dir + u"/practice-domain.json.lock"_s);
        QVERIFY(!lock.tryLock(0));
        process.kill();
        QVERIFY(process.waitForFinished(5000));
    }

    void concurrentRunsKeepEveryChange() {
        const QString dir = seedFresh(u"concurrent"_s, u"example.org"_s, 120);
        const Run listing = gam({u"print"_s, u"users"_s, u"query"_s, u"isSuspended=false"_s}, dir);
        const QStringList users = listing.lines().mid(1, 8);
        QCOMPARE(users.size(), 8);
        QList<QProcess *> processes;
        for (const QString &user : users) {
            auto *process = new QProcess(this);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(u"GAMCFGDIR"_s, dir);
            process->setProcessEnvironment(env);
            process->start(QStringLiteral(PRACTICE_GAM_PATH),
                           {u"user"_s, user, u"delete"_s, u"messages"_s, u"query"_s, u"in:anywhere"_s,
                            u"max_to_delete"_s, u"0"_s, u"doit"_s});
            processes.append(process);
        }
        for (QProcess *process : std::as_const(processes)) {
            QVERIFY(process->waitForFinished(60000));
            QCOMPARE(process->exitCode(), 0);
        }
        qDeleteAll(processes);
        for (const QString &user : users)
            QCOMPARE(gam({u"user"_s, user, u"delete"_s, u"messages"_s, u"query"_s, u"in:anywhere"_s}, dir).exitCode,
                     60);
    }

    void seedsFiveThousandUsers() {
        const QString dir = seedFresh(u"large"_s, u"example.com"_s, 5000);
        const Run run = gam({u"print"_s, u"users"_s}, dir);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines().size(), 5001);
    }
};

QTEST_GUILESS_MAIN(TestPracticeGam)
#include "tst_practice_gam.moc"
