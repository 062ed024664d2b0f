#pragma once

#include "core/CSV.h"
#include "core/Console.h"

#include <QList>
#include <QStringList>
#include <optional>

class DomainNamePattern;

// What a find shows of gam's file listing: one log line and one table row per
// file, built in one pass so a domain-wide listing can be prepared off the main thread.
struct FoundFiles {
    bool hasOwner = false; // the first row has an "owner" field
    QString logLines;      // joined by line feeds
    QList<QStringList> cells;
};

// The rows first to first + count of the listing (count -1: to the end), only those
// whose "name" matches the pattern when one is given. Parts of one listing described
// apart and joined with appendFoundFiles give what describing it whole gives.
FoundFiles describeFoundFiles(const CSVTable &listing, const DomainNamePattern *keep = nullptr, qsizetype first = 0,
                              qsizetype count = -1);
void appendFoundFiles(FoundFiles &into, FoundFiles part);

// The results sheet's table of found files; `limit` is gam's maxfiles when it caps what is shown.
ResultsTable foundFilesTable(FoundFiles found, const QString &query, std::optional<int> limit);

// One file to trash or purge, acted on as its owner.
struct DeleteTarget {
    QString owner;
    QString id;
    QString label; // "name (id)"
};

// The files of a delete listing. With `owner` every row belongs to that user;
// without, each row's "owner" field says whose drive it was listed from. Rows
// lacking an id or an owner are skipped, and a file listed again (a shared
// drive seen by several users) is acted on once.
QList<DeleteTarget> deleteTargets(const QList<CSVRow> &rows, const std::optional<QString> &owner);
