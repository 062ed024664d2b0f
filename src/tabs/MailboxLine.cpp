#include "tabs/MailboxLine.h"

using namespace Qt::StringLiterals;

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QStringView trimmed(QStringView text) {
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool isNumber(QStringView text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// GAM's counter after an item: " (i/N)", or " (first-last/N)" for a batch of messages.
QStringView withoutCounter(QStringView text) {
    if (!text.endsWith(u')'))
        return text;
    const qsizetype open = text.lastIndexOf(u" ("_s);
    if (open < 0)
        return text;
    const QStringView inside = text.sliced(open + 2, text.size() - open - 3);
    const qsizetype slash = inside.indexOf(u'/');
    if (slash < 0 || !isNumber(inside.sliced(slash + 1)))
        return text;
    const QStringView position = inside.first(slash);
    const qsizetype dash = position.indexOf(u'-');
    if (dash < 0 ? !isNumber(position) : !isNumber(position.first(dash)) || !isNumber(position.sliced(dash + 1)))
        return text;
    return trimmed(text.first(open));
}

std::optional<qint64> number(QStringView text) {
    if (!isNumber(text))
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

// "Delete N Messages" / "Delete 1 Message".
std::optional<qint64> deletingCount(QStringView rest) {
    if (!rest.startsWith(u"Delete "_s))
        return std::nullopt;
    rest = rest.sliced(7);
    const qsizetype space = rest.indexOf(u' ');
    if (space < 0)
        return std::nullopt;
    const QStringView noun = rest.sliced(space + 1);
    if (noun != u"Messages"_s && noun != u"Message"_s)
        return std::nullopt;
    return number(rest.first(space));
}

// The reason after "Failed:", GAM's word for an action that went wrong.
std::optional<QStringView> failureReason(QStringView rest) {
    for (qsizetype at = rest.indexOf(u"Failed:"_s); at >= 0; at = rest.indexOf(u"Failed:"_s, at + 1))
        if (at == 0 || rest.at(at - 1) == u' ')
            return trimmed(rest.sliced(at + 7));
    return std::nullopt;
}

// Warnings GAM prints about the user itself rather than its messages.
bool isUserWarning(QStringView rest) {
    return rest == u"Does not exist"_s || rest == u"Service not applicable/Does not exist"_s ||
           rest.endsWith(u" Service/App not enabled"_s);
}

} // namespace

std::optional<MailboxLine> readMailboxLine(QStringView line) {
    QStringView text = withoutCounter(trimmed(line));
    if (!text.startsWith(u"User: "_s))
        return std::nullopt;
    text = text.sliced(6);
    const qsizetype comma = text.indexOf(u", "_s);
    if (comma <= 0)
        return std::nullopt;

    MailboxLine result;
    result.mailbox = trimmed(text.first(comma)).toString();
    const QStringView rest = text.sliced(comma + 2);

    if (const auto count = deletingCount(rest)) {
        result.kind = MailboxLine::Kind::deleting;
        result.count = *count;
        return result;
    }
    const bool messages = rest.startsWith(u"Messages: "_s);
    if (messages || rest.startsWith(u"Message: "_s)) {
        if (rest.endsWith(u", Deleted"_s)) {
            result.kind = MailboxLine::Kind::deleted;
            return result;
        }
        const QStringView counted = rest.sliced(messages ? 10 : 9);
        const qsizetype notDeleted = counted.indexOf(u", Not Deleted:"_s);
        if (const auto count = notDeleted < 0 ? std::nullopt : number(counted.first(notDeleted))) {
            const QStringView reason = trimmed(counted.sliced(notDeleted + 14));
            result.count = *count;
            if (reason.startsWith(u"Use the \"doit\" argument"_s)) {
                result.kind = MailboxLine::Kind::heldForDoit;
            } else if (reason == u"No Messages matched"_s) {
                result.kind = MailboxLine::Kind::noMatch;
            } else {
                result.kind = MailboxLine::Kind::failed;
                result.reason = reason.toString();
            }
            return result;
        }
    }
    if (const auto reason = failureReason(rest)) {
        result.kind = MailboxLine::Kind::failed;
        result.reason = reason->toString();
        return result;
    }
    if (isUserWarning(rest)) {
        result.kind = MailboxLine::Kind::failed;
        result.reason = rest.toString();
        return result;
    }
    return std::nullopt;
}
