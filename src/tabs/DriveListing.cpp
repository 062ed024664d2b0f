#include "tabs/DriveListing.h"

#include "tabs/DriveQuery.h"

#include <QSet>
#include <span>

using namespace Qt::StringLiterals;

namespace {

QString nameOrUnknown(const CSVRow &row) {
    const QString name = row.value(u"name"_s);
    return name.isEmpty() ? u"(unknown)"_s : name;
}

} // namespace

FoundFiles describeFoundFiles(const CSVTable &listing, const DomainNamePattern *keep, qsizetype first,
                              qsizetype count) {
    FoundFiles found;
    if (listing.rows.isEmpty())
        return found;
    // Looked up once: every row of the listing has the same columns.
    const CSVRow &head = listing.rows.first();
    const auto column = [&head](const QString &key) { return head.column(key).value_or(-1); };
    const qsizetype nameAt = column(u"name"_s), idAt = column(u"id"_s), ownerAt = column(u"owner"_s),
                    mimeAt = column(u"mimeType"_s), sizeAt = column(u"size"_s), modifiedAt = column(u"modifiedTime"_s);
    found.hasOwner = ownerAt >= 0;
    const qsizetype available = listing.rows.size() - first;
    const std::span<const CSVRow> rows(listing.rows.constData() + first,
                                       size_t(count < 0 ? available : std::min(count, available)));
    found.cells.reserve(rows.size());
    found.logLines.reserve(rows.size() * 72);
    for (const CSVRow &row : rows) {
        const QString name = row.field(nameAt);
        if (keep && !keep->matches(name))
            continue;
        QStringList cells;
        cells.reserve(6);
        cells.append(name);
        if (found.hasOwner)
            cells.append(row.field(ownerAt));
        cells.append(row.field(mimeAt));
        cells.append(row.field(sizeAt));
        cells.append(row.field(modifiedAt));
        cells.append(row.field(idAt));

        if (!found.logLines.isEmpty())
            found.logLines += u'\n';
        found.logLines += u"    "_s;
        found.logLines += name.isEmpty() ? u"(unknown)"_s : name;
        found.logLines += u"  ("_s;
        found.logLines += cells.constLast();
        found.logLines += u')';
        if (found.hasOwner) {
            found.logLines += u"  owner: "_s;
            found.logLines += cells.at(1);
        }
        found.cells.append(std::move(cells));
    }
    return found;
}

void appendFoundFiles(FoundFiles &into, FoundFiles part) {
    if (part.cells.isEmpty())
        return;
    if (!into.logLines.isEmpty())
        into.logLines += u'\n';
    into.logLines += part.logLines;
    into.cells.append(std::move(part.cells));
    into.hasOwner = into.hasOwner || part.hasOwner;
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
