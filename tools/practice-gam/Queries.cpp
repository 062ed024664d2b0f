#include "Queries.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Splits at blanks outside double quotes; parentheses become their own tokens.
QStringList gmailTokens(const QString &query) {
    QStringList tokens;
    QString current;
    bool quoted = false;
    for (const QChar c : query) {
        if (c == u'"') {
            quoted = !quoted;
            current += c;
        } else if (!quoted && (c == u'(' || c == u')')) {
            if (!current.isEmpty())
                tokens.append(std::exchange(current, QString()));
        } else if (!quoted && c.isSpace()) {
            if (!current.isEmpty())
                tokens.append(std::exchange(current, QString()));
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        tokens.append(current);
    return tokens;
}

QString unquote(QString s) {
    if (s.size() >= 2 && s.startsWith(u'"') && s.endsWith(u'"'))
        s = s.mid(1, s.size() - 2);
    return s;
}

qint64 gmailDate(const QString &value) {
    const QDate date = QDate::fromString(value.left(10).replace(u'-', u'/'), u"yyyy/MM/dd"_s);
    return date.isValid() ? QDateTime(date, QTime(0, 0), Qt::UTC).toSecsSinceEpoch() : 0;
}

bool gmailTerm(const QString &term, const QJsonObject &m) {
    if (term.startsWith(u'-') && term.size() > 1)
        return !gmailTerm(term.mid(1), m);
    const qsizetype colon = term.indexOf(u':');
    const QString op = colon > 0 && !term.startsWith(u'"') ? term.left(colon).toLower() : QString();
    const QString value = unquote(colon > 0 && !op.isEmpty() ? term.mid(colon + 1) : term);
    auto has = [&](const char *field) {
        return m.value(QLatin1StringView(field)).toString().contains(value, Qt::CaseInsensitive);
    };
    const qint64 when = m.value(u"internalDate"_s).toInteger();
    if (op == u"from"_s)
        return has("from");
    if (op == u"to"_s)
        return has("to");
    if (op == u"subject"_s)
        return has("subject");
    if (op == u"rfc822msgid"_s) {
        auto bare = [](QString id) { return id.remove(u'<').remove(u'>').trimmed(); };
        return bare(m.value(u"messageId"_s).toString()).compare(bare(value), Qt::CaseInsensitive) == 0;
    }
    if (op == u"after"_s)
        return when >= gmailDate(value);
    if (op == u"before"_s)
        return when < gmailDate(value);
    if (op == u"newer_than"_s || op == u"older_than"_s) {
        const qint64 limit = QDateTime::currentSecsSinceEpoch() - value.chopped(1).toLongLong() * 86400;
        return op == u"newer_than"_s ? when >= limit : when < limit;
    }
    if (op == u"in"_s || op == u"is"_s || op == u"has"_s || op == u"label"_s)
        return true;
    return has("subject") || has("snippet");
}

} // namespace

bool gmailMatches(const QString &query, const QJsonObject &message) {
    const QStringList tokens = gmailTokens(query);
    // A sequence of terms, each term possibly a chain joined by OR; all must hold.
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        bool any = gmailTerm(tokens.at(i), message);
        while (i + 2 < tokens.size() && tokens.at(i + 1) == u"OR"_s) {
            any = any || gmailTerm(tokens.at(i + 2), message);
            i += 2;
        }
        if (!any)
            return false;
    }
    return true;
}

namespace {

// Recursive-descent parser for the Drive query language subset.
class DriveParser {
public:
    DriveParser(const QString &q, QString me)
        : m_q(q)
        , m_me(std::move(me)) {}

    std::optional<DriveFilePredicate> parse() {
        auto result = orExpr();
        skip();
        if (!result || m_pos != m_q.size())
            return std::nullopt;
        return result;
    }

private:
    void skip() {
        while (m_pos < m_q.size() && m_q.at(m_pos).isSpace())
            ++m_pos;
    }
    bool word(const QString &w) {
        skip();
        if (m_q.mid(m_pos, w.size()).compare(w, Qt::CaseInsensitive) != 0)
            return false;
        const qsizetype end = m_pos + w.size();
        if (end < m_q.size() && (m_q.at(end).isLetterOrNumber() || m_q.at(end) == u'_'))
            return false;
        m_pos = end;
        return true;
    }
    bool symbol(const QString &s) {
        skip();
        if (!m_q.mid(m_pos).startsWith(s))
            return false;
        m_pos += s.size();
        return true;
    }
    std::optional<QString> string() {
        skip();
        if (m_pos >= m_q.size() || (m_q.at(m_pos) != u'\'' && m_q.at(m_pos) != u'"'))
            return std::nullopt;
        const QChar quote = m_q.at(m_pos++);
        QString value;
        while (m_pos < m_q.size() && m_q.at(m_pos) != quote) {
            if (m_q.at(m_pos) == u'\\' && m_pos + 1 < m_q.size())
                ++m_pos;
            value += m_q.at(m_pos++);
        }
        if (m_pos >= m_q.size())
            return std::nullopt;
        ++m_pos;
        return value;
    }
    QString identifier() {
        skip();
        const qsizetype start = m_pos;
        while (m_pos < m_q.size() && (m_q.at(m_pos).isLetterOrNumber() || m_q.at(m_pos) == u'_'))
            ++m_pos;
        return m_q.mid(start, m_pos - start);
    }
    std::optional<DriveFilePredicate> orExpr() {
        auto left = andExpr();
        while (left && word(u"or"_s)) {
            auto right = andExpr();
            if (!right)
                return std::nullopt;
            left = [l = *left, r = *right](const QJsonObject &f) { return l(f) || r(f); };
        }
        return left;
    }
    std::optional<DriveFilePredicate> andExpr() {
        auto left = unary();
        while (left && word(u"and"_s)) {
            auto right = unary();
            if (!right)
                return std::nullopt;
            left = [l = *left, r = *right](const QJsonObject &f) { return l(f) && r(f); };
        }
        return left;
    }
    std::optional<DriveFilePredicate> unary() {
        if (word(u"not"_s)) {
            auto inner = unary();
            if (!inner)
                return std::nullopt;
            return [i = *inner](const QJsonObject &f) { return !i(f); };
        }
        if (symbol(u"("_s)) {
            auto inner = orExpr();
            if (!inner || !symbol(u")"_s))
                return std::nullopt;
            return inner;
        }
        return term();
    }
    std::optional<DriveFilePredicate> term() {
        skip();
        if (m_pos < m_q.size() && (m_q.at(m_pos) == u'\'' || m_q.at(m_pos) == u'"')) {
            const auto who = string();
            if (!who || !word(u"in"_s))
                return std::nullopt;
            const QString field = identifier();
            QString email = *who == u"me"_s ? m_me : *who;
            if (field == u"owners"_s)
                return [email](const QJsonObject &f) {
                    return f.value(u"owner"_s).toString().compare(email, Qt::CaseInsensitive) == 0;
                };
            if (field == u"parents"_s)
                return [email](const QJsonObject &f) { return f.value(u"parent"_s).toString() == email; };
            if (field == u"writers"_s || field == u"readers"_s)
                return [](const QJsonObject &) { return false; };
            return std::nullopt;
        }
        const QString field = identifier();
        if (field.isEmpty())
            return std::nullopt;
        QString op;
        if (word(u"contains"_s))
            op = u"contains"_s;
        else if (symbol(u"!="_s))
            op = u"!="_s;
        else if (symbol(u"="_s))
            op = u"="_s;
        else
            return std::nullopt;
        skip();
        QString value;
        if (auto s = string())
            value = *s;
        else
            value = identifier(); // true / false
        if (value.isEmpty() && op != u"="_s && op != u"!="_s)
            return std::nullopt;
        const bool negate = op == u"!="_s;
        auto cmp = [negate](bool r) { return negate ? !r : r; };
        if (field == u"name"_s || field == u"title"_s || field == u"fullText"_s) {
            if (op == u"contains"_s)
                return [value](const QJsonObject &f) {
                    return f.value(u"name"_s).toString().contains(value, Qt::CaseInsensitive);
                };
            return [value, cmp](const QJsonObject &f) {
                return cmp(f.value(u"name"_s).toString().compare(value, Qt::CaseInsensitive) == 0);
            };
        }
        if (field == u"mimeType"_s || field == u"visibility"_s) {
            if (op == u"contains"_s)
                return [field, value](const QJsonObject &f) { return f.value(field).toString().contains(value); };
            return [field, value, cmp](const QJsonObject &f) { return cmp(f.value(field).toString() == value); };
        }
        if (field == u"trashed"_s || field == u"starred"_s) {
            const bool wanted = value.compare(u"true"_s, Qt::CaseInsensitive) == 0;
            return [field, wanted, cmp](const QJsonObject &f) { return cmp(f.value(field).toBool() == wanted); };
        }
        if (field == u"modifiedTime"_s || field == u"createdTime"_s)
            return [value, op](const QJsonObject &f) {
                return op == u"="_s ? f.value(u"modifiedTime"_s).toString() == value : true;
            };
        return std::nullopt;
    }

    QString m_q;
    QString m_me;
    qsizetype m_pos = 0;
};

} // namespace

std::optional<DriveFilePredicate> parseDriveQuery(const QString &query, const QString &me) {
    return DriveParser(query, me).parse();
}

std::optional<UserPredicate> parseUserQuery(const QString &query) {
    QList<UserPredicate> terms;
    // Terms are separated by blanks outside quotes.
    QStringList parts;
    QString current;
    QChar quote;
    for (const QChar c : query) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            current += c;
        } else if (c == u'\'' || c == u'"') {
            quote = c;
            current += c;
        } else if (c.isSpace()) {
            if (!current.isEmpty())
                parts.append(std::exchange(current, QString()));
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        parts.append(current);
    for (const QString &part : std::as_const(parts)) {
        const qsizetype eq = part.indexOf(u'=');
        const qsizetype colon = part.indexOf(u':');
        const qsizetype sep = eq < 0 ? colon : (colon < 0 ? eq : std::min(eq, colon));
        if (sep <= 0)
            return std::nullopt;
        const QString field = part.left(sep).toLower();
        QString value = part.mid(sep + 1);
        if (value.size() >= 2 && (value.startsWith(u'\'') || value.startsWith(u'"')))
            value = value.mid(1, value.size() - 2);
        auto flag = [&](const char *key) -> std::optional<UserPredicate> {
            if (value.compare(u"true"_s, Qt::CaseInsensitive) != 0 &&
                value.compare(u"false"_s, Qt::CaseInsensitive) != 0)
                return std::nullopt;
            const bool wanted = value.compare(u"true"_s, Qt::CaseInsensitive) == 0;
            const QString k = QLatin1StringView(key);
            return [k, wanted](const QJsonObject &u) { return u.value(k).toBool() == wanted; };
        };
        auto text = [&](const char *key) -> UserPredicate {
            const QString k = QLatin1StringView(key);
            const bool prefix = value.endsWith(u'*');
            const QString v = prefix ? value.chopped(1) : value;
            return [k, v, prefix](const QJsonObject &u) {
                const QString s = u.value(k).toString();
                return prefix ? s.startsWith(v, Qt::CaseInsensitive) : s.compare(v, Qt::CaseInsensitive) == 0;
            };
        };
        std::optional<UserPredicate> term;
        if (field == u"issuspended"_s)
            term = flag("suspended");
        else if (field == u"isadmin"_s)
            term = flag("isAdmin");
        else if (field == u"isenrolledin2sv"_s)
            term = flag("isEnrolledIn2Sv");
        else if (field == u"orgunitpath"_s)
            term = [value](const QJsonObject &u) {
                const QString ou = u.value(u"orgUnitPath"_s).toString();
                return value == u"/"_s || ou.compare(value, Qt::CaseInsensitive) == 0 ||
                       ou.startsWith(value + u'/', Qt::CaseInsensitive);
            };
        else if (field == u"email"_s)
            term = text("primaryEmail");
        else if (field == u"givenname"_s)
            term = text("givenName");
        else if (field == u"familyname"_s)
            term = text("familyName");
        if (!term)
            return std::nullopt;
        terms.append(*term);
    }
    return [terms](const QJsonObject &u) {
        return std::all_of(terms.cbegin(), terms.cend(), [&u](const UserPredicate &t) { return t(u); });
    };
}
