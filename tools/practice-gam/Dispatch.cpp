#include "Dispatch.h"

#include "Context.h"
#include "Entities.h"
#include "Seed.h"
#include "SetupCommands.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>

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
    const bool batched = selection.multi && settings.autoBatchMin > 0 && n >= settings.autoBatchMin;
    auto runOne = [&](const QString &email, qsizetype i, qsizetype total) {
        if (verb != u"check"_s && ctx.store.userIndex(email) < 0) {
            ctx.out.err(u"User: "_s + email + u", Does not exist"_s + counter(i, total));
            ctx.out.setRC(56);
            return;
        }
        cmd->run(email, i, total);
    };
    if (!batched) {
        for (qsizetype i = 0; i < n; ++i)
            runOne(selection.emails.at(i), i + 1, n);
    } else {
        // Children finish in no particular order, and their exit codes never reach the parent.
        std::shuffle(selection.emails.begin(), selection.emails.end(), *QRandomGenerator::global());
        const QString total = QString::number(n);
        ctx.out.err(batchStamp() + u",0/"_s + total + u",Using "_s +
                    QString::number(std::min<qsizetype>(settings.numThreads, n)) + u" processes..."_s);
        for (qsizetype i = 0; i < n; ++i) {
            ctx.batchItem = i + 1;
            runOne(selection.emails.at(i), 1, 1);
            if ((i + 1) % 100 == 0 || i + 1 == n)
                ctx.out.err(batchStamp() + u",0,Processing item "_s + QString::number(i + 1) + u'/' + total);
        }
        ctx.out.err(batchStamp() + u",0/"_s + total + u",Processing complete"_s);
        ctx.out.setRC(0);
    }
    if (cmd->csv)
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
