#pragma once

#include <QJsonObject>
#include <QString>
#include <functional>
#include <optional>

// Gmail search: from:, to:, subject:, rfc822msgid:, after:, before:, newer_than:/older_than: (days),
// "phrases" and words (subject or body), OR, a leading "-" to negate; in:/is:/has: are accepted.
bool gmailMatches(const QString &query, const QJsonObject &message);

// Drive search: name contains/=, fullText contains, mimeType =/!=, visibility =, trashed =,
// 'x' in owners, combined with and/or/not and parentheses. No value means the query is invalid.
using DriveFilePredicate = std::function<bool(const QJsonObject &file)>;
std::optional<DriveFilePredicate> parseDriveQuery(const QString &query, const QString &me);

// Directory user search: isSuspended=, isAdmin=, orgUnitPath= (with sub-units), email:,
// givenName:, familyName: (prefixes with *). No value means the query is invalid.
using UserPredicate = std::function<bool(const QJsonObject &user)>;
std::optional<UserPredicate> parseUserQuery(const QString &query);
