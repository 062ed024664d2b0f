#include "tabs/GmailQuery.h"

#include "core/SpaceTrim.h"

#include <QRegularExpression>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

QString fromTerm(const QString &from) {
    QString value = trimSpacesAndTabs(from);
    if (value.startsWith(u"from:"_s, Qt::CaseInsensitive))
        value = trimSpacesAndTabs(value.mid(5));
    return value.isEmpty() ? QString() : u"from:"_s + value;
}

QString keywordsTerm(const QString &keywords) {
    // A pasted search operator ("subject:", "has:") in front of the phrase is dropped.
    static const QRegularExpression leadingOperator(u"^\\w+:"_s, QRegularExpression::UseUnicodePropertiesOption);
    QString value = keywords.trimmed();
    value.remove(leadingOperator);
    value = normalizeKeywords(value.trimmed());
    return value.isEmpty() ? QString() : u"\""_s + value + u"\""_s;
}

} // namespace

QString normalizeKeywords(const QString &keywords) {
    static const QRegularExpression extension(u"\\.(docx?|xlsx?|pptx?|pdf|csv|txt|zip|msg)\\b"_s,
                                              QRegularExpression::CaseInsensitiveOption |
                                                  QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression whitespaceRun(u"\\s{2,}"_s, QRegularExpression::UseUnicodePropertiesOption);
    QString value = trimSpacesAndTabs(keywords);
    value.remove(u'"');
    value.remove(u'\'');
    value.replace(u'_', u' ');
    value.remove(extension);
    value.replace(whitespaceRun, u" "_s);
    return trimSpacesAndTabs(value);
}

QString gmailDate(const QDateTime &moment) {
    const QDate day = moment.toLocalTime().date();
    return QString::asprintf("%04d/%02d/%02d", day.year(), day.month(), day.day());
}

QString buildGmailQuery(const QString &from, const QString &keywords, const std::optional<QDateTime> &after,
                        const std::optional<QDateTime> &before) {
    QStringList terms;
    if (const QString term = fromTerm(from); !term.isEmpty())
        terms.append(term);
    if (const QString term = keywordsTerm(keywords); !term.isEmpty())
        terms.append(term);
    if (after)
        terms.append(u"after:"_s + gmailDate(*after));
    if (before)
        terms.append(u"before:"_s + gmailDate(*before));
    return terms.join(u' ');
}
