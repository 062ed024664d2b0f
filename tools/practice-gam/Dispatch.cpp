#include "Dispatch.h"

#include "Context.h"
#include "Entities.h"
#include "Seed.h"
#include "SetupCommands.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <list>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// gam.cfg variables that "config" accepts before the command.
const QStringList configVariables = {u"customerid"_s,
                                     u"domain"_s,
                                     u"configdir"_s,
                                     u"autobatchmin"_s,
                                     u"numthreads"_s,
                                     u"showgettings"_s,
                                     u"showgettingsgotnl"_s,
                                     u"showcountsmin"_s,
                                     u"timezone"_s,
                                     u"cachedir"_s,
                                     u"drivedir"_s,
                                     u"adminemail"_s,
                                     u"nobrowser"_s,
                                     u"processwaitlimit"_s,
                                     u"messagebatchsize"_s,
                                     u"csvoutputlineterminator"_s,
                                     u"csvoutputfielddelimiter"_s,
                                     u"oauth2txt"_s,
                                     u"oauth2servicejson"_s,
                                     u"clientsecretsjson"_s,
                                     u"section"_s,
                                     u"debuglevel"_s,
                                     u"noverifyssl"_s,
                                     u"csvoutputheaderfilter"_s};

// The gam.cfg spelling of a variable keyword: auto_batch_min, customer_id, ...
QString cfgName(const QString &token) {
    return token.toLower();
}

bool truthy(const QString &value) {
    const QString v = value.toLower();
    return v == u"true"_s || v == u"on"_s || v == u"yes"_s || v == u"1"_s;
}

void credentialError(Output &out, const QString &label, const QString &path, const QString &detail,
                     const QStringList &fix) {
    out.err(QString());
    out.err(u"ERROR: "_s + label + u": "_s + path + u", Does not exist or has invalid format, "_s + detail);
    out.err(QString());
    out.err(u"Please run"_s);
    out.err(QString());
    for (const QString &line : fix)
        out.err(line);
    out.err(QString());
    out.setRC(16);
}

// Checks the credentials a domain command needs and opens the domain's state.
bool openDomain(Output &out, const GamConfig &config, Store &store, bool serviceAccount) {
    if (!config.sectionFound) {
        out.err(u"ERROR: Config File: "_s + config.cfgFile + u", Section: "_s + config.section + u", Not Found"_s);
        out.setRC(13);
        return false;
    }
    const QString token = config.oauth2Path();
    if (!QFileInfo::exists(token)) {
        credentialError(out, u"Client OAuth2 File"_s, token,
                        u"[Errno 2] No such file or directory: '"_s + token + u"'"_s,
                        {u"gam oauth delete"_s, u"gam oauth create"_s});
        return false;
    }
    if (!isPracticeToken(token)) {
        credentialError(out, u"Client OAuth2 File"_s, token,
                        u"not a practice-domain token (this simulated gam never uses real credentials)"_s,
                        {u"gam oauth delete"_s, u"gam oauth create"_s});
        return false;
    }
    if (serviceAccount && !QFileInfo::exists(config.serviceAccountPath())) {
        credentialError(out, u"Service Account OAuth2 File"_s, config.serviceAccountPath(),
                        u"[Errno 2] No such file or directory"_s, {u"gam create project"_s});
        return false;
    }
    switch (store.open(config.statePath())) {
    case Store::OpenResult::Ok:
        return true;
    case Store::OpenResult::Locked:
        out.err(u"ERROR: Practice domain: "_s + config.statePath() + u", Locked by another run"_s);
        out.setRC(1);
        return false;
    case Store::OpenResult::Missing:
    case Store::OpenResult::Invalid:
        break;
    }
    out.err(u"ERROR: Practice domain: "_s + config.statePath() +
            u", Does not exist or has invalid format. Seed one with: gam practice seed "_s + config.configDir +
            u" --domain example.org"_s);
    out.setRC(16);
    return false;
}

struct RunSettings {
    QString section;
    int autoBatchMin = 0;
    int numThreads = 5;
    bool showGettings = true;
    bool gotNewline = false;
};

std::optional<UserCommand> userCommand(Context &ctx, Args &args, const QString &verb) {
    static const QStringList withObject = {u"print"_s, u"show"_s,   u"delete"_s, u"purge"_s, u"trash"_s,
                                           u"info"_s,  u"create"_s, u"update"_s, u"check"_s};
    const QString object = withObject.contains(verb) ? keyword(args.next(u"<object>"_s)) : QString();
    for (auto family : {gmailCommand, driveCommand, securityCommand, accountCommand, setupUserCommand}) {
        UserCommand cmd = family(ctx, args, verb, object);
        if (cmd.run)
            return cmd;
    }
    return std::nullopt;
}

QString batchStamp() {
    return QDateTime::currentDateTimeUtc().toString(u"yyyy-MM-ddTHH:mm:ss.zzz"_s) + u"+00:00"_s;
}

// A batch worker's rows go back to the parent as a JSON array of objects.
void writeWorkerRows(const QString &path, const CsvTable &table) {
    QJsonArray rows;
    for (const CsvRow &row : table.rows) {
        QJsonObject object;
        for (auto it = row.cbegin(); it != row.cend(); ++it)
            object.insert(it.key(), it.value());
        rows.append(object);
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(rows).toJson(QJsonDocument::Compact));
        file.commit();
    }
}

QList<CsvRow> readWorkerRows(const QString &path) {
    QList<CsvRow> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    for (const QJsonValue &value : QJsonDocument::fromJson(file.readAll()).array()) {
        const QJsonObject object = value.toObject();
        CsvRow row;
        for (auto it = object.constBegin(); it != object.constEnd(); ++it)
            row.insert(it.key(), it.value().toString());
        rows.append(row);
    }
    return rows;
}

// What a worker is told beyond its user and command: the section and the progress-line settings.
QStringList workerSettings(const RunSettings &settings) {
    QStringList words;
    if (!settings.section.isEmpty())
        words << u"select"_s << settings.section;
    if (!settings.showGettings || settings.gotNewline)
        words << u"config"_s << u"show_gettings"_s << (settings.showGettings ? u"true"_s : u"false"_s)
              << u"show_gettings_got_nl"_s << (settings.gotNewline ? u"true"_s : u"false"_s);
    return words;
}

// GAM's multiprocess pool: one gam per user, up to num_threads at once, each a process
// of its own that writes straight to this run's standard output and error. A worker
// sends its rows back through a file, as GAM's workers send theirs to the CSV
// collector; its exit code is dropped. Workers finish in no particular order.
void runWorkers(Context &ctx, const QStringList &command, QStringList emails, const RunSettings &settings) {
    std::shuffle(emails.begin(), emails.end(), *QRandomGenerator::global());
    const qsizetype n = emails.size();
    const qsizetype poolSize = std::min<qsizetype>(settings.numThreads, n);
    const QString total = QString::number(n);
    ctx.out.err(batchStamp() + u",0/"_s + total + u",Using "_s + QString::number(poolSize) + u" processes..."_s);
    // The workers read and change the domain themselves.
    ctx.store.release();
    QTemporaryDir rowFiles;
    const QString batchWords = QCoreApplication::arguments().mid(1).join(u' ');
    struct Worker {
        std::unique_ptr<QProcess> process;
        QString rows;
    };
    std::list<Worker> running;
    qsizetype started = 0, finished = 0;
    while (finished < n) {
        while (started < n && qsizetype(running.size()) < poolSize) {
            Worker worker{std::make_unique<QProcess>(), rowFiles.filePath(QString::number(started) + u".json"_s)};
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(u"PRACTICE_GAM_BATCH_ITEM"_s, QString::number(started + 1));
            environment.insert(u"PRACTICE_GAM_BATCH_ROWS"_s, worker.rows);
            environment.insert(u"PRACTICE_GAM_BATCH_WORDS"_s, batchWords);
            worker.process->setProcessEnvironment(environment);
            worker.process->setProcessChannelMode(QProcess::ForwardedChannels);
            worker.process->start(QCoreApplication::applicationFilePath(),
                                  workerSettings(settings) + QStringList{u"user"_s, emails.at(started)} + command);
            running.push_back(std::move(worker));
            ++started;
        }
        for (auto it = running.begin(); it != running.end();) {
            if (it->process->state() != QProcess::NotRunning && !it->process->waitForFinished(10)) {
                ++it;
                continue;
            }
            ctx.table.rows += readWorkerRows(it->rows);
            it = running.erase(it);
            if (++finished % 100 == 0 || finished == n)
                ctx.out.err(batchStamp() + u",0,Processing item "_s + QString::number(finished) + u'/' + total);
        }
    }
    ctx.out.err(batchStamp() + u",0/"_s + total + u",Processing complete"_s);
    ctx.out.setRC(0);
}

void runForUsers(Context &ctx, Args &args, const RunSettings &settings) {
    UserSelection selection = selectUsers(ctx, args);
    const int verbAt = args.pos();
    const QString verb = keyword(args.next(u"<UserCommand>"_s));
    std::optional<UserCommand> cmd = userCommand(ctx, args, verb);
    if (!cmd)
        throw UsageError{u"Unknown argument"_s, verbAt};
    if (!args.atEnd())
        args.unknown();
    if (selection.failed)
        return;
    const qsizetype n = selection.emails.size();
    if (selection.multi && settings.autoBatchMin > 0 && n >= settings.autoBatchMin) {
        runWorkers(ctx, args.all().mid(verbAt), selection.emails, settings);
    } else {
        // A batch worker counts 1 of 1 and knows its place in the batch.
        ctx.batchItem = qEnvironmentVariableIntValue("PRACTICE_GAM_BATCH_ITEM");
        for (qsizetype i = 0; i < n; ++i) {
            const QString &email = selection.emails.at(i);
            if (verb != u"check"_s && ctx.store.userIndex(email) < 0) {
                ctx.out.err(u"User: "_s + email + u", Does not exist"_s + counter(i + 1, n));
                ctx.out.setRC(56);
                continue;
            }
            cmd->run(email, i + 1, n);
        }
    }
    if (!cmd->csv)
        return;
    if (const QString workerRows = qEnvironmentVariable("PRACTICE_GAM_BATCH_ROWS"); !workerRows.isEmpty())
        writeWorkerRows(workerRows, ctx.table);
    else
        ctx.out.csv(ctx.table);
}

} // namespace

void runGam(const QStringList &argv, Output &out, const Hooks &hooks) {
    Args args(argv);
    RunSettings settings;
    QList<QPair<QString, QString>> configVars;
    bool saveRequested = false, verifyRequested = false;
    try {
        // Meta commands come first, in any order: select, config, redirect.
        for (;;) {
            const QString kw = args.peekKeyword();
            if (args.take(u"select"_s)) {
                settings.section = args.next(u"<Section>"_s);
                if (args.take(u"save"_s))
                    configVars.append({u"section"_s, settings.section}), saveRequested = true;
                args.take(u"verify"_s);
            } else if (args.take(u"config"_s)) {
                while (configVariables.contains(args.peekKeyword())) {
                    const QString name = cfgName(args.next(u"<VariableName>"_s));
                    const QString value = args.next(u"<Value>"_s);
                    const QString kwName = keyword(name);
                    if (kwName == u"autobatchmin"_s)
                        settings.autoBatchMin = value.toInt();
                    else if (kwName == u"numthreads"_s)
                        settings.numThreads = std::max(1, value.toInt());
                    else if (kwName == u"showgettings"_s)
                        settings.showGettings = truthy(value);
                    else if (kwName == u"showgettingsgotnl"_s)
                        settings.gotNewline = truthy(value);
                    configVars.append({name, value});
                }
                while (args.peekKeyword() == u"save"_s || args.peekKeyword() == u"verify"_s) {
                    if (args.take(u"save"_s))
                        saveRequested = true;
                    else if (args.take(u"verify"_s))
                        verifyRequested = true;
                }
            } else if (args.take(u"redirect"_s)) {
                const QString what = args.nextChoice({u"csv"_s, u"stdout"_s, u"stderr"_s});
                QString path = args.next(u"<FileName>"_s);
                bool append = false;
                while (args.peekKeyword() == u"multiprocess"_s || args.peekKeyword() == u"append"_s)
                    append = keyword(args.next(QString())) == u"append"_s || append;
                if (what == u"csv"_s)
                    out.setCsvRedirect(path, append);
                else if (path != u"-"_s)
                    out.redirect(what == u"stdout"_s ? Output::Out : Output::Err, path);
            } else if (kw == u"multiprocess"_s) {
                args.next(QString());
            } else {
                break;
            }
        }
        const GamConfig config = GamConfig::locate(settings.section);
        if (saveRequested)
            saveConfig(out, config, configVars);
        if (verifyRequested)
            verifyConfig(out, GamConfig::locate(settings.section));
        if (args.atEnd()) {
            if (!saveRequested && !verifyRequested && configVars.isEmpty())
                versionCommand(out, config, args, true);
            return;
        }
        const QString command = args.peekKeyword();
        if (command == u"version"_s || command == u"help"_s) {
            args.next(QString());
            versionCommand(out, config, args, command == u"help"_s);
            return;
        }
        if (command == u"practice"_s) {
            args.next(QString());
            practiceCommand(out, args);
            return;
        }
        if (command == u"create"_s && keyword(argv.value(args.pos() + 1)) == u"project"_s) {
            args.next(QString());
            args.next(QString());
            createProject(out, config, args);
            return;
        }
        if (command == u"oauth"_s) {
            args.next(QString());
            args.nextChoice({u"create"_s});
            oauthCreate(out, config, args);
            return;
        }
        Store store;
        if (!openDomain(out, config, store, isUserEntity(command)))
            return;
        Context ctx{out, store, config, hooks, {}, settings.showGettings, settings.gotNewline};
        if (command == u"info"_s && keyword(argv.value(args.pos() + 1)) == u"domain"_s) {
            args.next(QString());
            args.next(QString());
            infoDomain(ctx);
        } else if (isUserEntity(command) &&
                   !(command == u"all"_s && keyword(argv.value(args.pos() + 1)) != u"users"_s)) {
            runForUsers(ctx, args, settings);
        } else if (!userAdminCommand(ctx, args) && !classroomCommand(ctx, args) && !reportCommand(ctx, args)) {
            args.unknown();
        }
        QString error;
        if (!store.save(&error)) {
            out.err(u"ERROR: Practice domain: "_s + config.statePath() + u", Save Failed: "_s + error);
            out.setRC(1);
        }
    } catch (const UsageError &usage) {
        printUsageError(out, argv, usage.index, usage.message);
    }
}
