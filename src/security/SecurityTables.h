#pragma once

#include "core/CSV.h"
#include "security/CheckResult.h"

// gam's CSV output as a result table: the header record, then one cell per
// header for every record ("" where a record has no value).
SecurityTable tableFromCSV(const QString &output, const std::optional<QString> &title);
SecurityTable tableFromCSV(const CSVTable &csv, const std::optional<QString> &title);
// Only the given records of a parsed output, under its header.
SecurityTable matchingTable(const CSVTable &csv, const QList<CSVRow> &rows, const QString &title);

// The values of the first candidate column the output has (exact name), trimmed
// of spaces and tabs, empty ones dropped, order and repeats kept.
QStringList columnValues(const QString &output, const QStringList &candidates);
QStringList columnValues(const CSVTable &csv, const QStringList &candidates);
