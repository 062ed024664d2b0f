#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// The Gmail search string for the properties form: a From term, the keywords
// as one quoted phrase, then the date window. Empty when no field contributes.
QString buildGmailQuery(const QString &from, const QString &keywords, const std::optional<QDateTime> &after,
                        const std::optional<QDateTime> &before);

// Keywords as Gmail should search them: no quotes or apostrophes, underscores
// as spaces, file extensions (".pdf", ".docx", ...) dropped, single spaces.
QString normalizeKeywords(const QString &keywords);

// The local calendar day of a moment as Gmail's "yyyy/mm/dd".
QString gmailDate(const QDateTime &moment);
