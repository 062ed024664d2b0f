#include "tabs/DriveQuery.h"

#include <QList>

#include <fnmatch.h>

using namespace Qt::StringLiterals;

namespace {

qsizetype characterCount(QStringView text) {
    return text.toUcs4().size();
}

} // namespace

QString escapeDriveQueryValue(const QString &text) {
    QString escaped = text;
    escaped.replace(u"\\"_s, u"\\\\"_s);
    escaped.replace(u"'"_s, u"\\'"_s);
    return escaped;
}

QString nameContainsQuery(const QString &name) {
    return u"name contains '"_s + escapeDriveQueryValue(name) + u"'"_s;
}

DomainNamePattern::DomainNamePattern(const QString &pattern)
    : m_lowerPattern(pattern.toLower().toUtf8()) {
    m_wildcard = pattern.contains(u'*') || pattern.contains(u'?');
    if (!m_wildcard) {
        m_literal = pattern;
        m_query = u"name = '"_s + escapeDriveQueryValue(pattern) + u"'"_s;
        return;
    }
    qsizetype longest = 0;
    for (const QStringView piece : QStringView(pattern).tokenize(u'*')) {
        for (const QStringView literal : piece.tokenize(u'?')) {
            // The first of equally long pieces wins.
            if (characterCount(literal) > longest) {
                longest = characterCount(literal);
                m_literal = literal.toString();
            }
        }
    }
    m_query = nameContainsQuery(m_literal);
}

bool DomainNamePattern::isTooBroad() const {
    return m_wildcard && characterCount(m_literal) < 3;
}

bool DomainNamePattern::matches(const QString &name) const {
    return fnmatch(m_lowerPattern.constData(), name.toLower().toUtf8().constData(), 0) == 0;
}
