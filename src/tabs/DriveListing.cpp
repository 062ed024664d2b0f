#include "tabs/DriveListing.h"

#include "tabs/DriveQuery.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace {

QString nameOrUnknown(const CSVRow &row) {
    const QString name = row.value(u"name"_s);
    return name.isEmpty() ? u"(unknown)"_s : name;
}

} // namespace

FoundFiles describeFoundFiles(const QList<CSVRow> &rows) {
    FoundFiles found;
    if (rows.isEmpty())
        return found;
    found.hasOwner = rows.first()[u"owner"_s].has_value();
    found.cells.reserve(rows.size());
    for (const CSVRow &row : rows) {
        const QString name = row.value(u"name"_s);
        const QString id = row.value(u"id"_s);
        QStringList cells{name};
        if (found.hasOwner)
            cells.append(row.value(u"owner"_s));
        cells << row.value(u"mimeType"_s) << row.value(u"size"_s) << row.value(u"modifiedTime"_s) << id;

        if (!found.logLines.isEmpty())
            found.logLines += u'\n';
        found.logLines += u"    "_s + nameOrUnknown(row) + u"  ("_s + id + u')';
        if (found.hasOwner)
            found.logLines += u"  owner: "_s + cells.at(1);
        found.cells.append(std::move(cells));
    }
    return found;
}

ResultsTable foundFilesTable(FoundFiles found, const QString &query, std::optional<int> limit) {
    const QString count = QString::number(found.cells.size());
    ResultsTable table;
    table.title = u"Found Files — "_s + count + u" result(s)"_s;
    table.query = query;
    table.summary = count + u" file(s) matched"_s;
    if (limit)
        table.summary += u"  •  max "_s + QString::number(*limit) + u" shown"_s;
    table.columns = {u"File Name"_s};
    if (found.hasOwner)
        table.columns.append(u"Owner / Drive"_s);
    table.columns << u"MIME Type"_s << u"Size (bytes)"_s << u"Modified Time"_s << u"File ID"_s;
    table.rows = std::move(found.cells);
    table.exportName = u"drive_results"_s;
    return table;
}

QList<CSVRow> keepMatching(const QList<CSVRow> &rows, const DomainNamePattern &pattern) {
    QList<CSVRow> kept;
    for (const CSVRow &row : rows)
        if (pattern.matches(row.value(u"name"_s)))
            kept.append(row);
    return kept;
}

QList<DeleteTarget> deleteTargets(const QList<CSVRow> &rows, const std::optional<QString> &owner) {
    QList<DeleteTarget> targets;
    QSet<QString> seen;
    for (const CSVRow &row : rows) {
        const QString id = row.value(u"id"_s);
        const QString rowOwner = owner.value_or(row.value(u"owner"_s));
        if (id.isEmpty() || rowOwner.isEmpty() || seen.contains(id))
            continue;
        seen.insert(id);
        targets.append({rowOwner, id, nameOrUnknown(row) + u" ("_s + id + u')'});
    }
    return targets;
}
