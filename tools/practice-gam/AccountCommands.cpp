// Accounts and organizational units: signout, backup codes, print users, info user,
// update user, print orgs.
#include "Context.h"
#include "Queries.h"

#include <QJsonArray>
#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace {

void showBackupCodes(Output &out, const QString &user, const QJsonArray &codes) {
    out.out(u"User: "_s + user + u", Show "_s + QString::number(codes.size()) + u" Backup Verification Code"_s +
            (codes.size() == 1 ? QString() : u"s"_s));
    for (qsizetype k = 0; k < codes.size(); ++k)
        out.out(u"  "_s + QString::number(k + 1).rightJustified(2, u' ') + u": "_s + codes.at(k).toString());
    if (codes.isEmpty())
        out.setRC(60);
}

const QHash<QString, QString> userFields = {
    {u"primaryemail"_s, u"primaryEmail"_s},
    {u"email"_s, u"primaryEmail"_s},
    {u"firstname"_s, u"name.givenName"_s},
    {u"givenname"_s, u"name.givenName"_s},
    {u"lastname"_s, u"name.familyName"_s},
    {u"familyname"_s, u"name.familyName"_s},
    {u"fullname"_s, u"name.fullName"_s},
    {u"suspended"_s, u"suspended"_s},
    {u"ou"_s, u"orgUnitPath"_s},
    {u"orgunitpath"_s, u"orgUnitPath"_s},
    {u"isadmin"_s, u"isAdmin"_s},
    {u"admin"_s, u"isAdmin"_s},
    {u"creationtime"_s, u"creationTime"_s},
    {u"lastlogintime"_s, u"lastLoginTime"_s},
    {u"id"_s, u"id"_s},
    {u"isenrolledin2sv"_s, u"isEnrolledIn2Sv"_s},
    {u"isenforcedin2sv"_s, u"isEnforcedIn2Sv"_s},
    {u"recoveryemail"_s, u"recoveryEmail"_s},
    {u"recoveryphone"_s, u"recoveryPhone"_s},
    {u"changepasswordatnextlogin"_s, u"changePasswordAtNextLogin"_s},
};

QString userValue(const QJsonObject &u, const QString &field) {
    if (field == u"name.givenName"_s)
        return u.value(u"givenName"_s).toString();
    if (field == u"name.familyName"_s)
        return u.value(u"familyName"_s).toString();
    if (field == u"name.fullName"_s)
        return u.value(u"givenName"_s).toString() + u' ' + u.value(u"familyName"_s).toString();
    return cellText(u.value(field));
}

void printUsers(Context &ctx, Args &args) {
    QString query, domain;
    QStringList fields{u"primaryEmail"_s};
    while (!args.atEnd()) {
        if (args.take(u"query"_s) || args.take(u"queries"_s))
            query = args.next(u"<QueryUser>"_s);
        else if (args.take(u"domain"_s))
            domain = args.next(u"<DomainName>"_s).toLower();
        else if (args.take(u"allfields"_s) || args.take(u"basic"_s) || args.take(u"full"_s))
            fields = {u"primaryEmail"_s,    u"id"_s,
                      u"name.givenName"_s,  u"name.familyName"_s,
                      u"name.fullName"_s,   u"orgUnitPath"_s,
                      u"suspended"_s,       u"isAdmin"_s,
                      u"creationTime"_s,    u"lastLoginTime"_s,
                      u"isEnrolledIn2Sv"_s, u"isEnforcedIn2Sv"_s};
        else if (args.take(u"fields"_s)) {
            const QStringList names = args.next(u"<UserFieldNameList>"_s).split(u',', Qt::SkipEmptyParts);
            for (const QString &name : names) {
                const QString kw = keyword(name);
                if (kw == u"name"_s)
                    fields += {u"name.givenName"_s, u"name.familyName"_s, u"name.fullName"_s};
                else if (userFields.contains(kw))
                    fields.append(userFields.value(kw));
                else
                    throw UsageError{u"Invalid choice ("_s + name + u"): Expected <"_s + userFields.keys().join(u'|') +
                                         u'>',
                                     args.pos() - 1};
            }
            fields.removeDuplicates();
        } else if (userFields.contains(args.peekKeyword())) {
            fields.append(userFields.value(args.peekKeyword()));
            args.next(QString());
            fields.removeDuplicates();
        } else
            args.unknown();
    }
    std::optional<UserPredicate> predicate = parseUserQuery(query);
    if (!predicate)
        throw UsageError{u"Invalid query"_s, int(args.all().indexOf(query))};
    CsvTable table;
    table.sortTitles = {u"primaryEmail"_s};
    table.nodataTitles = {u"primaryEmail"_s};
    for (const QJsonValue &value : ctx.store.array(u"users"_s)) {
        const QJsonObject u = value.toObject();
        if (!domain.isEmpty() && !u.value(u"primaryEmail"_s).toString().endsWith(u'@' + domain))
            continue;
        if (!(*predicate)(u))
            continue;
        CsvRow row;
        for (const QString &field : std::as_const(fields))
            row.insert(field, userValue(u, field));
        table.rows.append(row);
    }
    const QString match = query.isEmpty() ? QString() : u" that match query ("_s + query + u')';
    ctx.gettingGot(u"Getting all Users"_s + match + u", may take some time on a large Google Workspace Account..."_s,
                   table.rows.size(), 500,
                   [&](qsizetype n) -> QString { return u"Got "_s + QString::number(n) + u" Users"_s + u"..."_s; });
    std::sort(table.rows.begin(), table.rows.end(),
              [](const CsvRow &a, const CsvRow &b) { return a.value(u"primaryEmail"_s) < b.value(u"primaryEmail"_s); });
    ctx.out.csv(table);
}

void infoUser(Context &ctx, Args &args) {
    const QString email = ctx.fullEmail(args.next(u"<UserItem>"_s));
    while (!args.atEnd())
        args.next(QString()); // display options: everything is shown
    const qsizetype index = ctx.store.userIndex(email);
    if (index < 0) {
        ctx.out.err(u"User: "_s + email + u", Does not exist"_s);
        ctx.out.setRC(56);
        return;
    }
    const QJsonObject u = ctx.store.user(index);
    Output &out = ctx.out;
    auto flag = [&u](const char *key) { return u.value(QLatin1StringView(key)).toBool() ? u"True"_s : u"False"_s; };
    out.out(u"User: "_s + email);
    out.out(u"  Settings:"_s);
    out.out(u"    First Name: "_s + u.value(u"givenName"_s).toString());
    out.out(u"    Last Name: "_s + u.value(u"familyName"_s).toString());
    out.out(u"    Full Name: "_s + u.value(u"givenName"_s).toString() + u' ' + u.value(u"familyName"_s).toString());
    out.out(u"    Languages: en"_s);
    out.out(u"    Is a Super Admin: "_s + flag("isAdmin"));
    out.out(u"    Is Delegated Admin: False"_s);
    out.out(u"    2-step enrolled: "_s + flag("isEnrolledIn2Sv"));
    out.out(u"    2-step enforced: "_s + flag("isEnforcedIn2Sv"));
    out.out(u"    Has Agreed to Terms: True"_s);
    out.out(u"    IP Whitelisted: False"_s);
    out.out(u"    Account Suspended: "_s + flag("suspended"));
    if (u.value(u"suspended"_s).toBool())
        out.out(u"    Suspension Reason: "_s + u.value(u"suspensionReason"_s).toString(u"ADMIN"_s));
    out.out(u"    Is Archived: False"_s);
    out.out(u"    Must Change Password: "_s + flag("changePasswordAtNextLogin"));
    out.out(u"    Google Unique ID: "_s + u.value(u"id"_s).toString());
    out.out(u"    Customer ID: "_s + ctx.store.root().value(u"customerId"_s).toString());
    out.out(u"    Mailbox is setup: True"_s);
    out.out(u"    Included in GAL: True"_s);
    out.out(u"    Creation Time: "_s + u.value(u"creationTime"_s).toString());
    out.out(u"    Last login time: "_s + u.value(u"lastLoginTime"_s).toString());
    out.out(u"    Google Org Unit Path: "_s + u.value(u"orgUnitPath"_s).toString());
    if (u.contains(u"recoveryEmail"_s))
        out.out(u"    Recovery Email: "_s + u.value(u"recoveryEmail"_s).toString());
    if (u.contains(u"recoveryPhone"_s))
        out.out(u"    Recovery Phone: "_s + u.value(u"recoveryPhone"_s).toString());
    out.out(u"  Email Aliases:"_s);
    out.out(u"  Groups: (0)"_s);
    out.out(u"  Licenses: (1)"_s);
    out.out(u"    Google Workspace for Education Fundamentals"_s);
}

void updateUser(Context &ctx, Args &args) {
    const QString email = ctx.fullEmail(args.next(u"<UserItem>"_s));
    QJsonObject changes;
    while (!args.atEnd()) {
        if (args.take(u"password"_s)) {
            args.next(u"<Password>"_s); // never stored, never echoed
            changes[u"passwordChanged"_s] = true;
        } else if (args.take(u"changepassword"_s) || args.take(u"changepasswordatnextlogin"_s)) {
            const QString v =
                args.nextChoice({u"on"_s, u"off"_s, u"true"_s, u"false"_s, u"yes"_s, u"no"_s, u"1"_s, u"0"_s});
            changes[u"changePasswordAtNextLogin"_s] = v == u"on"_s || v == u"true"_s || v == u"yes"_s || v == u"1"_s;
        } else if (args.take(u"suspended"_s)) {
            const QString v = args.nextChoice({u"on"_s, u"off"_s, u"true"_s, u"false"_s});
            changes[u"suspended"_s] = v == u"on"_s || v == u"true"_s;
        } else if (args.take(u"ou"_s) || args.take(u"org"_s)) {
            changes[u"orgUnitPath"_s] = args.next(u"<OrgUnitPath>"_s);
        } else {
            args.unknown();
        }
    }
    const qsizetype index = ctx.store.userIndex(email);
    if (index < 0) {
        ctx.out.err(u"User: "_s + email + u", Update Failed: Resource Not Found: userKey"_s);
        ctx.out.setRC(50);
        return;
    }
    QJsonObject u = ctx.store.user(index);
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        if (it.key() == u"passwordChanged"_s)
            u[u"passwordVersion"_s] = u.value(u"passwordVersion"_s).toInt() + 1;
        else
            u[it.key()] = it.value();
    }
    ctx.store.setUser(index, u);
    ctx.out.out(u"User: "_s + email + u", Updated"_s);
}

void printOrgs(Context &ctx, Args &args) {
    QStringList fields{u"orgUnitPath"_s, u"orgUnitId"_s, u"name"_s, u"parentOrgUnitId"_s};
    bool showParent = false;
    while (!args.atEnd()) {
        if (args.take(u"fields"_s)) {
            fields.clear();
            const QStringList names = args.next(u"<OrgUnitFieldNameList>"_s).split(u',', Qt::SkipEmptyParts);
            for (const QString &name : names) {
                static const QHash<QString, QString> map = {{u"orgunitpath"_s, u"orgUnitPath"_s},
                                                            {u"path"_s, u"orgUnitPath"_s},
                                                            {u"name"_s, u"name"_s},
                                                            {u"orgunitid"_s, u"orgUnitId"_s},
                                                            {u"id"_s, u"orgUnitId"_s},
                                                            {u"description"_s, u"description"_s},
                                                            {u"parentorgunitpath"_s, u"parentOrgUnitPath"_s},
                                                            {u"parentorgunitid"_s, u"parentOrgUnitId"_s}};
                if (!map.contains(keyword(name)))
                    throw UsageError{u"Invalid choice ("_s + name + u")"_s, args.pos() - 1};
                fields.append(map.value(keyword(name)));
            }
        } else if (args.take(u"showparent"_s)) {
            showParent = true;
        } else if (args.take(u"allfields"_s)) {
            fields = {u"orgUnitPath"_s, u"orgUnitId"_s,         u"name"_s,
                      u"description"_s, u"parentOrgUnitPath"_s, u"parentOrgUnitId"_s};
        } else {
            args.unknown();
        }
    }
    CsvTable table;
    table.sortTitles = {u"orgUnitPath"_s,     u"orgUnitId"_s,       u"name"_s, u"description"_s, u"parentOrgUnitPath"_s,
                        u"parentOrgUnitId"_s, u"blockInheritance"_s};
    table.nodataTitles = fields;
    QHash<QString, QString> ids{{u"/"_s, u"id:03ph0root"_s}};
    const QJsonArray &orgs = ctx.store.array(u"orgs"_s);
    for (const QJsonValue &org : orgs)
        ids.insert(org.toObject().value(u"orgUnitPath"_s).toString(), org.toObject().value(u"orgUnitId"_s).toString());
    QList<QJsonObject> all;
    if (showParent)
        all.append(QJsonObject{
            {u"orgUnitPath"_s, u"/"_s}, {u"orgUnitId"_s, ids.value(u"/"_s)}, {u"name"_s, u"Practice District"_s}});
    for (const QJsonValue &org : orgs)
        all.append(org.toObject());
    std::sort(all.begin(), all.end(), [](const QJsonObject &a, const QJsonObject &b) {
        return a.value(u"orgUnitPath"_s).toString() < b.value(u"orgUnitPath"_s).toString();
    });
    for (const QJsonObject &org : std::as_const(all)) {
        CsvRow row;
        for (const QString &field : std::as_const(fields))
            row.insert(field, field == u"parentOrgUnitId"_s ? ids.value(org.value(u"parentOrgUnitPath"_s).toString())
                                                            : org.value(field).toString());
        table.rows.append(row);
    }
    ctx.getting(u"Getting all Organizational Units, may take some time on a large Google Workspace Account..."_s);
    ctx.getting(u"Got "_s + QString::number(table.rows.size()) + u" Organizational Units"_s);
    ctx.out.csv(table);
}

} // namespace

UserCommand accountCommand(Context &ctx, Args &args, const QString &verb, const QString &object) {
    Output &out = ctx.out;
    if (verb == u"signout"_s) {
        if (!args.atEnd())
            args.unknown();
        return {[&ctx, &out](const QString &user, qsizetype i, qsizetype n) {
                    const qsizetype index = ctx.store.userIndex(user);
                    QJsonObject u = ctx.store.user(index);
                    u[u"signedOutAt"_s] = ctx.nowIso();
                    ctx.store.setUser(index, u);
                    out.out(u"User: "_s + user + u", Signed Out"_s + counter(i, n));
                },
                false};
    }
    if ((verb == u"show"_s || verb == u"print"_s || verb == u"update"_s) && object == u"backupcodes"_s) {
        if (!args.atEnd())
            args.unknown();
        const bool update = verb == u"update"_s;
        return {[&ctx, &out, update](const QString &user, qsizetype, qsizetype) {
                    const qsizetype index = ctx.store.userIndex(user);
                    QJsonObject u = ctx.store.user(index);
                    if (update) {
                        if (u.value(u"suspended"_s).toBool()) {
                            out.err(u"User: "_s + user +
                                    u", Backup Verification Codes Not Updated: User is suspended. "
                                    u"You must unsuspend to process backupcodes"_s);
                            out.setRC(51);
                            return;
                        }
                        QJsonArray codes;
                        for (int k = 0; k < 10; ++k)
                            codes.append(QString::number(QRandomGenerator::global()->bounded(10000000, 99999999)));
                        u[u"backupCodes"_s] = codes;
                        ctx.store.setUser(index, u);
                    }
                    showBackupCodes(out, user, u.value(u"backupCodes"_s).toArray());
                },
                false};
    }
    return {};
}

bool userAdminCommand(Context &ctx, Args &args) {
    const QString first = args.peekKeyword();
    const QString second = keyword(args.all().value(args.pos() + 1));
    auto consume = [&args] {
        args.next(QString());
        args.next(QString());
    };
    if (first == u"print"_s && second == u"users"_s) {
        consume();
        printUsers(ctx, args);
    } else if (first == u"info"_s && second == u"user"_s) {
        consume();
        infoUser(ctx, args);
    } else if (first == u"update"_s && second == u"user"_s) {
        consume();
        updateUser(ctx, args);
    } else if (first == u"print"_s && (second == u"orgs"_s || second == u"ous"_s)) {
        consume();
        printOrgs(ctx, args);
    } else {
        return false;
    }
    return true;
}
