#pragma once

#include "Args.h"
#include "Config.h"
#include "Csv.h"
#include "Hooks.h"
#include "Output.h"
#include "Store.h"

#include <QJsonObject>
#include <functional>

// Everything one command needs: where to print, the domain's state, gam.cfg and the hooks.
struct Context {
    Output &out;
    Store &store;
    const GamConfig &config;
    const Hooks &hooks;
    CsvTable table; // a listing built across all the users of a run
    bool showGettings = true;
    bool gotNewline = false;

    // "Getting all ..." and the "\rGot n ..." page counters, unless show_gettings is off.
    void getting(const QString &line);
    void gettingGot(const QString &getting, qsizetype total, qsizetype pageSize,
                    const std::function<QString(qsizetype)> &got);
    qsizetype batchItem = 0; // the user's place in a batched run, whose children each count 1 of 1

    // True when the rate-limit fault hits the i-th mailbox of this run (1-based).
    bool rateLimited(qsizetype i) const {
        return hooks.rateLimitEvery > 0 && (batchItem > 0 ? batchItem : i) % hooks.rateLimitEvery == 0;
    }
    QString fullEmail(const QString &name);
    QString nowIso() const;
};

// The per-user part of a command run against an entity ("user X", "domains_ns D", ...).
// run() is called once per user with its position; a listing fills ctx.table.
struct UserCommand {
    std::function<void(const QString &user, qsizetype i, qsizetype n)> run;
    bool csv = false;
};

// Command families. Each parses its own arguments and returns the per-user part, or
// throws UsageError.
UserCommand gmailCommand(Context &ctx, Args &args, const QString &verb, const QString &object);
UserCommand driveCommand(Context &ctx, Args &args, const QString &verb, const QString &object);
UserCommand securityCommand(Context &ctx, Args &args, const QString &verb, const QString &object);
UserCommand accountCommand(Context &ctx, Args &args, const QString &verb, const QString &object);
UserCommand setupUserCommand(Context &ctx, Args &args, const QString &verb, const QString &object);

// Domain-level commands (no user entity). Return false when the words are not theirs.
bool userAdminCommand(Context &ctx, Args &args); // print users, info user, update user, print orgs
bool classroomCommand(Context &ctx, Args &args); // print courses, delete course, course ID ...
bool reportCommand(Context &ctx, Args &args);    // report login/drive, print alerts
void infoDomain(Context &ctx);
