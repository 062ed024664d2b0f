// gam <users> print messages / delete messages
#include "Context.h"
#include "Queries.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace {

const QHash<QString, QString> canonicalHeaders = {{u"date"_s, u"Date"_s},
                                                  {u"subject"_s, u"Subject"_s},
                                                  {u"from"_s, u"From"_s},
                                                  {u"replyto"_s, u"Reply-To"_s},
                                                  {u"to"_s, u"To"_s},
                                                  {u"deliveredto"_s, u"Delivered-To"_s},
                                                  {u"cc"_s, u"Cc"_s},
                                                  {u"contenttype"_s, u"Content-Type"_s},
                                                  {u"messageid"_s, u"Message-ID"_s}};

QString headerValue(const QJsonObject &m, const QString &header) {
    if (header == u"Date"_s)
        return m.value(u"date"_s).toString();
    if (header == u"Subject"_s)
        return m.value(u"subject"_s).toString();
    if (header == u"From"_s)
        return m.value(u"from"_s).toString();
    if (header == u"To"_s || header == u"Delivered-To"_s)
        return m.value(u"to"_s).toString();
    if (header == u"Content-Type"_s)
        return u"text/html; charset=\"UTF-8\""_s;
    if (header == u"Message-ID"_s)
        return m.value(u"messageId"_s).toString();
    return QString();
}

struct MessageOptions {
    QStringList queries;
    QStringList headers;
    int max = 0;
    bool doit = false;
    bool quick = true;
    bool showLabels = false, showSnippet = false, showSize = false;

    QString query() const {
        QStringList parts;
        for (const QString &q : queries)
            parts.append(u'(' + q + u')');
        return parts.join(u' ');
    }
};

QString plural(qsizetype n, const QString &one, const QString &many) {
    return n == 1 ? one : many;
}

// Indexes of the user's messages that match, in mailbox order (newest first).
QList<qsizetype> matching(const QJsonArray &messages, const QString &query) {
    QList<qsizetype> found;
    for (qsizetype k = messages.size() - 1; k >= 0; --k)
        if (query.isEmpty() || gmailMatches(query, messages.at(k).toObject()))
            found.append(k);
    return found;
}

} // namespace

UserCommand gmailCommand(Context &ctx, Args &args, const QString &verb, const QString &object) {
    const bool print = (verb == u"print"_s || verb == u"show"_s) && object == u"messages"_s;
    const bool remove = verb == u"delete"_s && object == u"messages"_s;
    if (!print && !remove)
        return {};
    auto options = std::make_shared<MessageOptions>();
    options->max = remove ? 1 : 0; // GAM deletes one message per mailbox unless told otherwise
    while (!args.atEnd()) {
        const QString kw = args.peekKeyword();
        if (args.take(u"query"_s))
            options->queries.append(args.next(u"<QueryGmail>"_s));
        else if (remove && args.take(u"doit"_s))
            options->doit = true;
        else if (remove && args.take(u"maxtodelete"_s))
            options->max = args.nextInt(u"<Number>"_s);
        else if (print && args.take(u"maxtoprint"_s))
            options->max = args.nextInt(u"<Number>"_s);
        else if (args.take(u"quick"_s))
            options->quick = true;
        else if (args.take(u"notquick"_s))
            options->quick = false;
        else if (print && args.take(u"headers"_s)) {
            const QStringList names = args.next(u"<SMTPHeaderList>"_s).split(u',', Qt::SkipEmptyParts);
            for (const QString &name : names)
                options->headers.append(canonicalHeaders.value(keyword(name).remove(u'-'), name.trimmed()));
        } else if (print && args.take(u"showlabels"_s))
            options->showLabels = true;
        else if (print && args.take(u"showsnippet"_s))
            options->showSnippet = true;
        else if (print && args.take(u"showsize"_s))
            options->showSize = true;
        else if (kw == u"inbox"_s || kw == u"includespamtrash"_s)
            args.next(QString());
        else
            args.unknown();
    }
    if (print && options->headers.isEmpty())
        options->headers = {u"Date"_s, u"Subject"_s,      u"From"_s,         u"Reply-To"_s,
                            u"To"_s,   u"Delivered-To"_s, u"Content-Type"_s, u"Message-ID"_s};
    if (print) {
        ctx.table.sortTitles = QStringList{u"User"_s, u"threadId"_s, u"id"_s} + options->headers;
        if (options->showSize)
            ctx.table.sortTitles.append(u"SizeEstimate"_s);
        if (options->showLabels)
            ctx.table.sortTitles += QStringList{u"LabelsCount"_s, u"Labels"_s};
        if (options->showSnippet)
            ctx.table.sortTitles.append(u"Snippet"_s);
        ctx.table.nodataTitles = ctx.table.sortTitles;
    }
    auto printed = std::make_shared<qsizetype>(0);
    return {[&ctx, options, print, printed](const QString &user, qsizetype i, qsizetype n) {
                Output &out = ctx.out;
                const QString query = options->query();
                const QString matchText = query.isEmpty() ? QString() : u" that match query ("_s + query + u')';
                const QString matchedText = query.isEmpty() ? QString() : u" that matched query ("_s + query + u')';
                if (ctx.rateLimited(i)) {
                    out.err(u"User: "_s + user + u", "_s + (print ? u"Print"_s : u"Delete"_s) +
                            u" Failed: Rate Limit Exceeded: User-rate limit exceeded. Retry after "_s +
                            QDateTime::currentDateTimeUtc().addSecs(900).toString(Qt::ISODate) + counter(i, n));
                    out.setRC(50);
                    return;
                }
                const qsizetype index = ctx.store.userIndex(user);
                QJsonObject account = ctx.store.user(index);
                QJsonArray messages = account.value(u"messages"_s).toArray();
                const QList<qsizetype> found = matching(messages, query);
                const qsizetype listed =
                    options->quick && options->max > 0 ? std::min<qsizetype>(found.size(), options->max) : found.size();
                ctx.gettingGot(u"Getting all Messages"_s + matchText + u" for "_s + user + counter(i, n), listed, 500,
                               [&](qsizetype k) -> QString {
                                   return u"Got "_s + QString::number(k) + plural(k, u" Message"_s, u" Messages"_s) +
                                          matchedText + u" for "_s + user + u"..."_s;
                               });
                if (print) {
                    for (qsizetype k = 0; k < listed; ++k) {
                        const QJsonObject m = messages.at(found.at(k)).toObject();
                        CsvRow row{{u"User"_s, user},
                                   {u"threadId"_s, m.value(u"threadId"_s).toString()},
                                   {u"id"_s, m.value(u"id"_s).toString()}};
                        for (const QString &header : std::as_const(options->headers))
                            row.insert(header, headerValue(m, header));
                        if (options->showSize)
                            row.insert(u"SizeEstimate"_s,
                                       QString::number(2048 + m.value(u"snippet"_s).toString().size() * 40));
                        if (options->showLabels) {
                            const QJsonArray labels = m.value(u"labels"_s).toArray();
                            row.insert(u"LabelsCount"_s, QString::number(labels.size()));
                            QStringList names;
                            for (const QJsonValue &label : labels)
                                names.append(label.toString());
                            row.insert(u"Labels"_s, names.join(u' '));
                        }
                        if (options->showSnippet)
                            row.insert(u"Snippet"_s, m.value(u"snippet"_s).toString());
                        ctx.table.rows.append(row);
                    }
                    *printed += listed;
                    if (listed == 0)
                        out.setRC(60);
                    return;
                }
                const QString who = u"User: "_s + user + u", "_s;
                const QString count = plural(listed, u"Message: "_s, u"Messages: "_s) + QString::number(listed);
                if (listed == 0) {
                    out.err(who + u"Messages: 0, Not Deleted: No Messages matched"_s + counter(i, n));
                    out.setRC(60);
                    return;
                }
                if (options->max > 0 && listed > options->max) {
                    out.err(who + count + u", Not Deleted: Count "_s + QString::number(listed) +
                            u" exceeds maximum to Delete "_s + QString::number(options->max) + counter(i, n));
                    out.setRC(51);
                    return;
                }
                if (!options->doit) {
                    out.err(who + count + u", Not Deleted: Use the \"doit\" argument to perform action"_s +
                            counter(i, n));
                    out.setRC(51);
                    return;
                }
                out.out(who + u"Delete "_s + QString::number(listed) + plural(listed, u" Message"_s, u" Messages"_s) +
                        counter(i, n));
                QList<qsizetype> doomed = found.mid(0, listed);
                for (qsizetype k = 0; k < doomed.size(); ++k)
                    out.out(u"  "_s + who + u"Message: "_s +
                            messages.at(doomed.at(k)).toObject().value(u"id"_s).toString() + u", Deleted"_s +
                            counter(k + 1, doomed.size()));
                std::sort(doomed.begin(), doomed.end(), std::greater<>());
                for (qsizetype k : std::as_const(doomed))
                    messages.removeAt(k);
                account[u"messages"_s] = messages;
                ctx.store.setUser(index, account);
            },
            print};
}
