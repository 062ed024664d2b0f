#include "security/SecurityTables.h"

#include "core/SpaceTrim.h"

SecurityTable tableFromCSV(const QString &output, const std::optional<QString> &title) {
    return tableFromCSV(parseCSV(output), title);
}

SecurityTable tableFromCSV(const CSVTable &csv, const std::optional<QString> &title) {
    SecurityTable table;
    table.title = title;
    table.headers = csv.header;
    table.rows.reserve(csv.rows.size());
    for (const CSVRow &row : csv.rows) {
        QStringList cells;
        cells.reserve(csv.header.size());
        for (const QString &header : csv.header)
            cells.append(row.value(header));
        table.rows.append(cells);
    }
    return table;
}

SecurityTable matchingTable(const CSVTable &csv, const QList<CSVRow> &rows, const QString &title) {
    return tableFromCSV(CSVTable{csv.header, rows}, title);
}

QStringList columnValues(const QString &output, const QStringList &candidates) {
    return columnValues(parseCSV(output), candidates);
}

QStringList columnValues(const CSVTable &csv, const QStringList &candidates) {
    const auto column = std::find_if(candidates.cbegin(), candidates.cend(),
                                     [&csv](const QString &candidate) { return csv.header.contains(candidate); });
    if (column == candidates.cend())
        return {};
    QStringList values;
    for (const CSVRow &row : csv.rows) {
        const QString value = trimSpacesAndTabs(row.value(*column));
        if (!value.isEmpty())
            values.append(value);
    }
    return values;
}
