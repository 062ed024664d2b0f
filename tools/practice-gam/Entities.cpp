#include "Entities.h"

#include "Queries.h"

#include <QDateTime>
#include <QJsonArray>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

void Context::getting(const QString &line) {
    if (showGettings)
        out.err(line);
}

void Context::gettingGot(const QString &gettingLine, qsizetype total, qsizetype pageSize,
                         const std::function<QString(qsizetype)> &got) {
    if (!showGettings)
        return;
    if (gotNewline) {
        out.err(gettingLine);
        for (qsizetype shown = std::min(total, pageSize);; shown = std::min(total, shown + pageSize)) {
            out.err(got(shown));
            if (shown >= total)
                break;
        }
        return;
    }
    out.gettingGot(gettingLine, total, pageSize, got);
}

QString Context::fullEmail(const QString &name) {
    const QString trimmed = name.trimmed();
    return trimmed.contains(u'@') ? trimmed.toLower() : trimmed.toLower() + u'@' + store.domain();
}

QString Context::nowIso() const {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

bool isUserEntity(const QString &kw) {
    static const QStringList entities = {u"user"_s, u"users"_s, u"domainsns"_s,     u"domain"_s,  u"query"_s,
                                         u"all"_s,  u"ou"_s,    u"ouandchildren"_s, u"oudirect"_s};
    return entities.contains(kw);
}

UserSelection selectUsers(Context &ctx, Args &args) {
    UserSelection selection;
    const QString kind = args.nextChoice({u"user"_s, u"users"_s, u"domainsns"_s, u"domain"_s, u"query"_s, u"all"_s,
                                          u"ou"_s, u"ouandchildren"_s, u"oudirect"_s});
    const QJsonArray &users = ctx.store.array(u"users"_s);
    auto collect = [&](const std::function<bool(const QJsonObject &)> &wanted) {
        for (const QJsonValue &value : users) {
            const QJsonObject user = value.toObject();
            if (wanted(user))
                selection.emails.append(user.value(u"primaryEmail"_s).toString());
        }
    };
    auto got = [&](const QString &suffix) {
        return [suffix](qsizetype n) -> QString {
            return u"Got "_s + QString::number(n) + u" Users"_s + suffix + u"..."_s;
        };
    };
    if (kind == u"user"_s) {
        selection.emails.append(ctx.fullEmail(args.next(u"<EmailAddress>"_s)));
        return selection;
    }
    if (kind == u"users"_s) {
        // A list is a collection like any other: auto-batching applies to it.
        selection.multi = true;
        const QStringList names =
            args.next(u"<EmailAddressList>"_s).split(QRegularExpression(u"[,\\s]+"_s), Qt::SkipEmptyParts);
        for (const QString &name : names)
            selection.emails.append(ctx.fullEmail(name));
        return selection;
    }
    selection.multi = true;
    if (kind == u"domainsns"_s || kind == u"domain"_s) {
        const QString domain = args.next(u"<DomainName>"_s).trimmed().toLower();
        const bool nonSuspended = kind == u"domainsns"_s;
        const QString query = nonSuspended ? u" that match query (isSuspended=False)"_s : QString();
        collect([&](const QJsonObject &u) {
            return u.value(u"primaryEmail"_s).toString().endsWith(u'@' + domain) &&
                   (!nonSuspended || !u.value(u"suspended"_s).toBool());
        });
        const bool known =
            domain == ctx.store.domain() || domain == ctx.store.root().value(u"studentDomain"_s).toString();
        if (!known) {
            ctx.out.err(u"User: "_s + domain + u", Domain: "_s + domain + u", Does not exist"_s);
            ctx.out.setRC(56);
            selection.emails.clear();
            return selection;
        }
        ctx.gettingGot(u"Getting all Users"_s + query + u" for "_s + domain +
                           u", may take some time on a large Domain..."_s,
                       selection.emails.size(), 500, got(query + u" for "_s + domain));
        return selection;
    }
    if (kind == u"query"_s) {
        const QString query = args.next(u"<QueryUser>"_s);
        const auto predicate = parseUserQuery(query);
        if (!predicate)
            throw UsageError{u"Invalid query"_s, args.pos() - 1};
        collect(*predicate);
        ctx.gettingGot(u"Getting all Users that match query ("_s + query +
                           u"), may take some time on a large Google Workspace Account..."_s,
                       selection.emails.size(), 500, got(QString()));
        return selection;
    }
    if (kind == u"all"_s) {
        args.nextChoice({u"users"_s, u"usersns"_s});
        collect([](const QJsonObject &u) { return !u.value(u"suspended"_s).toBool(); });
        ctx.gettingGot(u"Getting all Users that match query (isSuspended=False isGuest=False), may take some time on a "
                       u"large Google Workspace Account..."_s,
                       selection.emails.size(), 500, got(QString()));
        return selection;
    }
    // ou / ou_and_children / ou_direct
    QString path = args.next(u"<OrgUnitPath>"_s).trimmed();
    if (!path.startsWith(u'/'))
        path.prepend(u'/');
    if (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    const bool children = kind == u"ouandchildren"_s;
    bool exists = path == u"/"_s;
    for (const QJsonValue &org : ctx.store.array(u"orgs"_s))
        exists = exists || org.toObject().value(u"orgUnitPath"_s).toString().compare(path, Qt::CaseInsensitive) == 0;
    if (!exists) {
        ctx.out.err(u"Org Unit: "_s + path + u", Does not exist"_s);
        ctx.out.setRC(56);
        selection.failed = true;
        return selection;
    }
    collect([&](const QJsonObject &u) {
        const QString ou = u.value(u"orgUnitPath"_s).toString();
        return ou.compare(path, Qt::CaseInsensitive) == 0 ||
               (children && (path == u"/"_s || ou.startsWith(path + u'/', Qt::CaseInsensitive)));
    });
    const QString what = u" in the Organizational Unit for "_s + path;
    ctx.gettingGot(u"Getting all Users"_s + what + u", may take some time on a large Organizational Unit..."_s,
                   selection.emails.size(), 500, got(what));
    ctx.getting(u"Got "_s + QString::number(selection.emails.size()) + u" Users"_s + what);
    return selection;
}
