// Mailbox settings an attacker leaves behind: tokens, filters, forwarding, delegates,
// calendar shares and the signature.
#include "Context.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace {

using UserRun = std::function<void(const QString &user, QJsonObject &account)>;

// Wraps a per-user body that may change the account; saves the account when it did.
UserCommand forAccount(Context &ctx, UserRun body, bool csv = false) {
    return {[&ctx, body](const QString &user, qsizetype, qsizetype) {
                const qsizetype index = ctx.store.userIndex(user);
                QJsonObject account = ctx.store.user(index);
                const QJsonObject before = account;
                body(user, account);
                if (account != before)
                    ctx.store.setUser(index, account);
            },
            csv};
}

// Removes the entries of account[key] whose field equals value (case-insensitive); returns how many.
qsizetype removeWhere(QJsonObject &account, const QString &key, const QString &field, const QString &value) {
    QJsonArray list = account.value(key).toArray();
    qsizetype removed = 0;
    for (qsizetype k = list.size() - 1; k >= 0; --k)
        if (list.at(k).toObject().value(field).toString().compare(value, Qt::CaseInsensitive) == 0) {
            list.removeAt(k);
            ++removed;
        }
    account[key] = list;
    return removed;
}

QString filterValue(const QJsonObject &filter, const QString &column) {
    const QJsonObject criteria = filter.value(u"criteria"_s).toObject();
    const QJsonObject action = filter.value(u"action"_s).toObject();
    if (criteria.contains(column))
        return column + u' ' + criteria.value(column).toString();
    if (!action.contains(column))
        return QString();
    const QJsonValue v = action.value(column);
    return v.isBool() ? (v.toBool() ? column : QString()) : column + u' ' + v.toString();
}

UserCommand deleteOne(Context &ctx, Args &args, const QString &entity, const QString &key, const QString &field,
                      const QString &expected) {
    const QString value = args.next(expected);
    if (!args.atEnd())
        args.unknown();
    return forAccount(ctx, [&ctx, entity, key, field, value](const QString &user, QJsonObject &account) {
        ctx.out.out(u"User: "_s + user + u", Delete 1 "_s + entity);
        if (removeWhere(account, key, field, value) == 0) {
            ctx.out.err(u"  User: "_s + user + u", "_s + entity + u": "_s + value + u", Delete Failed: Not Found"_s);
            ctx.out.setRC(50);
            return;
        }
        ctx.out.out(u"  User: "_s + user + u", "_s + entity + u": "_s + value + u", Deleted"_s);
    });
}

} // namespace

// `print forwardingaddresses` and `print delegates`: one row per entry of an account array,
// with the user and two of the entry's fields.
UserCommand printAccountEntries(Context &ctx, Args &args, const QString &gettingPrefix, const QString &key,
                                const QString &first, const QString &second) {
    while (!args.atEnd())
        args.unknown();
    ctx.table.sortTitles = {u"User"_s, first, second};
    ctx.table.nodataTitles = ctx.table.sortTitles;
    return forAccount(
        ctx,
        [&ctx, gettingPrefix, key, first, second](const QString &user, QJsonObject &account) {
            ctx.getting(gettingPrefix + user);
            for (const QJsonValue &value : account.value(key).toArray()) {
                const QJsonObject entry = value.toObject();
                ctx.table.rows.append({{u"User"_s, user},
                                       {first, entry.value(first).toString()},
                                       {second, entry.value(second).toString()}});
            }
        },
        true);
}

UserCommand securityCommand(Context &ctx, Args &args, const QString &verb, const QString &object) {
    Output &out = ctx.out;
    if ((verb == u"print"_s || verb == u"show"_s) && (object == u"tokens"_s || object == u"token"_s)) {
        while (!args.atEnd())
            args.unknown();
        ctx.table.sortTitles = {u"user"_s,      u"clientId"_s, u"displayText"_s, u"anonymous"_s,
                                u"nativeApp"_s, u"userKey"_s,  u"scopes"_s};
        ctx.table.nodataTitles = ctx.table.sortTitles;
        return forAccount(
            ctx,
            [&ctx](const QString &user, QJsonObject &account) {
                ctx.getting(u"Getting Access Tokens for "_s + user);
                for (const QJsonValue &value : account.value(u"tokens"_s).toArray()) {
                    const QJsonObject token = value.toObject();
                    QStringList scopes;
                    for (const QJsonValue &scope : token.value(u"scopes"_s).toArray())
                        scopes.append(scope.toString());
                    ctx.table.rows.append({{u"user"_s, user},
                                           {u"clientId"_s, token.value(u"clientId"_s).toString()},
                                           {u"displayText"_s, token.value(u"displayText"_s).toString()},
                                           {u"anonymous"_s, cellText(token.value(u"anonymous"_s))},
                                           {u"nativeApp"_s, cellText(token.value(u"nativeApp"_s))},
                                           {u"userKey"_s, account.value(u"id"_s).toString()},
                                           {u"scopes"_s, scopes.join(u' ')}});
                }
            },
            true);
    }
    if (verb == u"delete"_s && (object == u"token"_s || object == u"tokens"_s)) {
        args.nextChoice({u"clientid"_s});
        const QString client = args.next(u"<ClientID>"_s);
        if (!args.atEnd())
            args.unknown();
        return forAccount(ctx, [&out, client](const QString &user, QJsonObject &account) {
            if (removeWhere(account, u"tokens"_s, u"clientId"_s, client) == 0) {
                out.err(u"User: "_s + user + u", Access Token: "_s + client + u", Delete Failed: Not Found"_s);
                out.setRC(50);
                return;
            }
            out.out(u"User: "_s + user + u", Access Token: "_s + client + u", Deleted"_s);
        });
    }
    if ((verb == u"print"_s || verb == u"show"_s) && (object == u"filters"_s || object == u"filter"_s)) {
        while (!args.atEnd())
            args.unknown();
        ctx.table.sortTitles = {u"User"_s,         u"id"_s,    u"from"_s,         u"to"_s,
                                u"subject"_s,      u"query"_s, u"negatedQuery"_s, u"hasAttachment"_s,
                                u"excludeChats"_s, u"size"_s,  u"forward"_s,      u"archive"_s,
                                u"important"_s,    u"label"_s, u"markread"_s,     u"star"_s};
        ctx.table.nodataTitles = {u"User"_s, u"id"_s};
        return forAccount(
            ctx,
            [&ctx](const QString &user, QJsonObject &account) {
                ctx.getting(u"Getting Filters for "_s + user);
                for (const QJsonValue &value : account.value(u"filters"_s).toArray()) {
                    const QJsonObject filter = value.toObject();
                    CsvRow row{{u"User"_s, user}, {u"id"_s, filter.value(u"id"_s).toString()}};
                    for (const QString &column : {u"from"_s, u"to"_s, u"subject"_s, u"query"_s, u"forward"_s,
                                                  u"archive"_s, u"markread"_s, u"label"_s, u"trash"_s, u"star"_s}) {
                        const QString text = filterValue(filter, column);
                        if (!text.isEmpty())
                            row.insert(column, text);
                    }
                    ctx.table.rows.append(row);
                }
            },
            true);
    }
    if (verb == u"delete"_s && (object == u"filter"_s || object == u"filters"_s))
        return deleteOne(ctx, args, u"Filter"_s, u"filters"_s, u"id"_s, u"<FilterID>"_s);
    if (verb == u"forward"_s) {
        const QString state = args.nextChoice({u"off"_s, u"on"_s, u"true"_s, u"false"_s});
        const bool on = state == u"on"_s || state == u"true"_s;
        QString address, disposition = u"keep"_s;
        if (on) {
            address = args.next(u"<EmailAddress>"_s);
            if (!args.atEnd())
                disposition = args.nextChoice(
                    {u"archive"_s, u"delete"_s, u"keep"_s, u"leaveininbox"_s, u"markread"_s, u"trash"_s});
        }
        if (!args.atEnd())
            args.unknown();
        return forAccount(ctx, [&out, on, address, disposition](const QString &user, QJsonObject &account) {
            if (!on) {
                account[u"forwarding"_s] = QJsonObject{{u"enabled"_s, false}};
                out.out(u"User: "_s + user + u", Forward Enabled: False"_s);
                return;
            }
            account[u"forwarding"_s] =
                QJsonObject{{u"enabled"_s, true}, {u"forwardTo"_s, address}, {u"disposition"_s, disposition}};
            out.out(u"User: "_s + user + u", Forward Enabled: True, Forwarding Address: "_s + address +
                    u", Action: "_s + disposition);
        });
    }
    if ((verb == u"print"_s || verb == u"show"_s) && object == u"forward"_s) {
        ctx.table.sortTitles = {u"User"_s, u"forwardEnabled"_s, u"forwardTo"_s, u"disposition"_s};
        ctx.table.nodataTitles = ctx.table.sortTitles;
        return forAccount(
            ctx,
            [&ctx](const QString &user, QJsonObject &account) {
                const QJsonObject f = account.value(u"forwarding"_s).toObject();
                CsvRow row{{u"User"_s, user},
                           {u"forwardEnabled"_s, f.value(u"enabled"_s).toBool() ? u"True"_s : u"False"_s}};
                if (f.value(u"enabled"_s).toBool()) {
                    row.insert(u"forwardTo"_s, f.value(u"forwardTo"_s).toString());
                    row.insert(u"disposition"_s, f.value(u"disposition"_s).toString());
                }
                ctx.table.rows.append(row);
            },
            true);
    }
    if ((verb == u"print"_s || verb == u"show"_s) &&
        (object == u"forwardingaddress"_s || object == u"forwardingaddresses"_s)) {
        return printAccountEntries(ctx, args, u"Getting Forwarding Addresses for "_s, u"forwardingAddresses"_s,
                                   u"forwardingEmail"_s, u"verificationStatus"_s);
    }
    if (verb == u"delete"_s && (object == u"forwardingaddress"_s || object == u"forwardingaddresses"_s))
        return deleteOne(ctx, args, u"Forwarding Address"_s, u"forwardingAddresses"_s, u"forwardingEmail"_s,
                         u"<EmailAddress>"_s);
    if ((verb == u"print"_s || verb == u"show"_s) && (object == u"delegates"_s || object == u"delegate"_s)) {
        return printAccountEntries(ctx, args, u"Getting all Delegates for "_s, u"delegates"_s, u"delegateAddress"_s,
                                   u"delegationStatus"_s);
    }
    if (verb == u"delete"_s && (object == u"delegate"_s || object == u"delegates"_s))
        return deleteOne(ctx, args, u"Delegate"_s, u"delegates"_s, u"delegateAddress"_s, u"<EmailAddress>"_s);
    if ((verb == u"print"_s || verb == u"show"_s) && (object == u"calendaracls"_s || object == u"calendaracl"_s)) {
        while (!args.atEnd())
            args.unknown();
        ctx.table.sortTitles = {u"primaryEmail"_s, u"calendarId"_s};
        ctx.table.nodataTitles = {u"primaryEmail"_s, u"calendarId"_s};
        return forAccount(
            ctx,
            [&ctx](const QString &user, QJsonObject &account) {
                ctx.getting(u"Getting Calendar ACLs for "_s + user);
                auto row = [&](const QString &id, const QString &role, const QString &type, const QString &value) {
                    ctx.table.rows.append({{u"primaryEmail"_s, user},
                                           {u"calendarId"_s, user},
                                           {u"id"_s, id},
                                           {u"role"_s, role},
                                           {u"scope.type"_s, type},
                                           {u"scope.value"_s, value}});
                };
                row(u"user:"_s + user, u"owner"_s, u"user"_s, user);
                for (const QJsonValue &value : account.value(u"calendarAcls"_s).toArray()) {
                    const QJsonObject acl = value.toObject();
                    row(acl.value(u"id"_s).toString(), acl.value(u"role"_s).toString(),
                        acl.value(u"scopeType"_s).toString(), acl.value(u"scopeValue"_s).toString());
                }
            },
            true);
    }
    if (verb == u"delete"_s && (object == u"calendaracl"_s || object == u"calendaracls"_s)) {
        const QString calendar = args.next(u"<UserCalendarEntity>"_s);
        const QString aclId = args.next(u"<CalendarACLScope>"_s);
        if (!args.atEnd())
            args.unknown();
        return forAccount(ctx, [&out, calendar, aclId](const QString &user, QJsonObject &account) {
            const QString calendarId = calendar.compare(u"primary"_s, Qt::CaseInsensitive) == 0 ? user : calendar;
            out.out(u"User: "_s + user + u", Delete Calendar ACLs from 1 Calendar"_s);
            out.out(u"  Calendar: "_s + calendarId + u", Delete 1 Calendar ACL"_s);
            const QString line = u"    Calendar: "_s + calendarId + u", Calendar ACL: (Scope: "_s + aclId + u"), "_s;
            if (calendarId.compare(user, Qt::CaseInsensitive) != 0 ||
                removeWhere(account, u"calendarAcls"_s, u"id"_s, aclId) == 0) {
                out.err(line + u"Delete Failed: Not Found"_s);
                out.setRC(50);
                return;
            }
            out.out(line + u"Deleted"_s);
        });
    }
    if (verb == u"show"_s && (object == u"signature"_s || object == u"sig"_s)) {
        bool compact = false;
        while (!args.atEnd()) {
            if (args.take(u"compact"_s) || args.take(u"format"_s))
                compact = true;
            else
                args.unknown();
        }
        return forAccount(ctx, [&out, compact](const QString &user, QJsonObject &account) {
            const QString name =
                account.value(u"givenName"_s).toString() + u' ' + account.value(u"familyName"_s).toString();
            const QString signature = account.contains(u"signature"_s)
                                          ? account.value(u"signature"_s).toString()
                                          : u"<div dir=\"ltr\">"_s + name + u"<br>Practice School District</div>"_s;
            out.out(u"SendAs Address: "_s + name + u" <"_s + user + u'>');
            out.out(u"  IsPrimary: True"_s);
            out.out(u"  Default: True"_s);
            if (compact)
                out.out(u"  Signature: "_s + (signature.isEmpty() ? u"None"_s : signature));
            else {
                out.out(u"  Signature:"_s);
                out.out(u"    "_s + (signature.isEmpty() ? u"None"_s : signature));
            }
        });
    }
    if (verb == u"signature"_s || verb == u"sig"_s) {
        const QString text = args.next(u"<String>"_s);
        while (!args.atEnd())
            args.next(QString()); // replyto, name and the like change nothing here
        return forAccount(ctx, [&out, text](const QString &user, QJsonObject &account) {
            account[u"signature"_s] = text;
            out.out(u"User: "_s + user + u", Signature: "_s + user + u", Set"_s);
        });
    }
    return {};
}
