#pragma once

#include <QString>

// The Drive query language's quoting: each backslash and each apostrophe gets a
// backslash before it. A bare backslash would escape the character after it, so
// Drive would match (and a delete would trash) other names than the one shown.
QString escapeDriveQueryValue(const QString &text);

// "name contains '…'", the query of user and OU searches.
QString nameContainsQuery(const QString &name);

// A domain-wide name search. Drive queries have no wildcards, so a pattern with
// "*" or "?" asks for names containing its longest literal piece and the rows
// that come back are matched against the pattern here.
class DomainNamePattern {
public:
    explicit DomainNamePattern(const QString &pattern);

    QString query() const { return m_query; }
    bool isWildcard() const { return m_wildcard; }
    QString literal() const { return m_literal; }
    // A wildcard whose literal is shorter than three characters would scan nearly every file.
    bool isTooBroad() const;
    // The name matches the pattern under fnmatch, both lower-cased. Safe on any thread.
    bool matches(const QString &name) const;

private:
    QByteArray m_lowerPattern;
    QString m_query;
    QString m_literal;
    bool m_wildcard = false;
};
