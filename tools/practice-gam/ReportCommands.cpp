// gam report login|drive user U|all [ip I] / gam print alerts
#include "Context.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace {

void report(Context &ctx, Args &args) {
    const QString app = args.nextChoice({u"login"_s, u"logins"_s, u"drive"_s, u"docs"_s});
    const bool login = app.startsWith(u"login"_s);
    QString user, ip;
    QStringList events;
    while (!args.atEnd()) {
        if (args.take(u"user"_s) || args.take(u"users"_s)) {
            const QString who = args.next(u"<UserItem>"_s);
            user = who.compare(u"all"_s, Qt::CaseInsensitive) == 0 ? QString() : ctx.fullEmail(who);
        } else if (args.take(u"ip"_s)) {
            ip = args.next(u"<IPAddress>"_s);
        } else if (args.take(u"event"_s) || args.take(u"events"_s)) {
            events = args.next(u"<EventNameList>"_s).split(u',', Qt::SkipEmptyParts);
        } else if (args.take(u"start"_s) || args.take(u"end"_s) || args.take(u"range"_s) || args.take(u"filter"_s) ||
                   args.take(u"maxresults"_s) || args.take(u"maxactivities"_s)) {
            args.next(u"<Value>"_s);
        } else if (args.take(u"notimesort"_s) || args.take(u"shownoactivities"_s)) {
        } else {
            args.unknown();
        }
    }
    QList<QJsonObject> chosen;
    for (const QJsonValue &value : ctx.store.array(login ? u"loginEvents"_s : u"driveEvents"_s)) {
        const QJsonObject event = value.toObject();
        if (!user.isEmpty() && event.value(u"user"_s).toString().compare(user, Qt::CaseInsensitive) != 0)
            continue;
        if (!ip.isEmpty() && event.value(u"ipAddress"_s).toString() != ip)
            continue;
        if (!events.isEmpty() && !events.contains(event.value(u"name"_s).toString()))
            continue;
        chosen.append(event);
    }
    std::sort(chosen.begin(), chosen.end(), [](const QJsonObject &a, const QJsonObject &b) {
        return a.value(u"time"_s).toString() > b.value(u"time"_s).toString();
    });
    CsvTable table;
    table.sortTitles = {u"name"_s};
    table.nodataTitles = {u"name"_s};
    const QString customer = ctx.store.root().value(u"customerId"_s).toString();
    for (const QJsonObject &event : std::as_const(chosen)) {
        CsvRow row{{u"name"_s, event.value(u"name"_s).toString()},
                   {u"actor.callerType"_s, QString()},
                   {u"actor.email"_s, event.value(u"user"_s).toString()},
                   {u"actor.profileId"_s, event.value(u"profileId"_s).toString()},
                   {u"id.applicationName"_s, login ? u"login"_s : u"drive"_s},
                   {u"id.customerId"_s, customer},
                   {u"id.time"_s, event.value(u"time"_s).toString()},
                   {u"id.uniqueQualifier"_s, event.value(u"uniqueQualifier"_s).toString()},
                   {u"ipAddress"_s, event.value(u"ipAddress"_s).toString()},
                   {u"type"_s, event.value(u"type"_s).toString()}};
        const QJsonObject params = event.value(u"params"_s).toObject();
        for (auto it = params.begin(); it != params.end(); ++it)
            row.insert(it.key(), cellText(it.value()));
        table.rows.append(row);
    }
    ctx.gettingGot(u"Getting all Activities for "_s + (user.isEmpty() ? u"all users"_s : user), table.rows.size(), 1000,
                   [](qsizetype n) -> QString { return u"Got "_s + QString::number(n) + u" Activities..."_s; });
    ctx.out.csv(table);
}

void printAlerts(Context &ctx, Args &args) {
    while (!args.atEnd()) {
        if (args.take(u"filter"_s) || args.take(u"orderby"_s))
            args.next(u"<Value>"_s);
        else
            args.unknown();
    }
    CsvTable table;
    table.sortTitles = {u"alertId"_s,    u"createTime"_s, u"startTime"_s, u"endTime"_s,
                        u"customerId"_s, u"type"_s,       u"source"_s,    u"deleted"_s};
    table.nodataTitles = {u"alertId"_s, u"createTime"_s};
    for (const QJsonValue &value : ctx.store.array(u"alerts"_s)) {
        CsvRow row;
        flattenInto(row, QString(), value);
        table.rows.append(row);
    }
    ctx.out.csv(table);
}

} // namespace

bool reportCommand(Context &ctx, Args &args) {
    const QString first = args.peekKeyword();
    if (first == u"report"_s || first == u"reports"_s) {
        args.next(QString());
        report(ctx, args);
        return true;
    }
    if (first == u"print"_s && keyword(args.all().value(args.pos() + 1)) == u"alerts"_s) {
        args.next(QString());
        args.next(QString());
        printAlerts(ctx, args);
        return true;
    }
    return false;
}
