#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QStringList>
#include <memory>
#include <optional>

// Reading gam's CSV output and writing the application's own CSV exports.
// Reading never fails: malformed input yields whatever the rules produce.

// Column names with their lookup indexes, shared by every row of one parse.
struct CSVColumns {
    explicit CSVColumns(QStringList names);

    QStringList names;
    QHash<QString, int> exact;  // the later column wins for a repeated name
    QHash<QString, int> folded; // case-folded name -> column of exact's choice for the first such name
};

// One record keyed by the header's column names.
class CSVRow {
public:
    CSVRow() = default;
    CSVRow(const QStringList &header, QStringList record);
    CSVRow(std::shared_ptr<const CSVColumns> columns, QStringList record);

    // The field of the column named key, else of a column whose name equals key
    // ignoring case; nothing when there is no such column. A column the record
    // was too short for gives the empty text.
    std::optional<QString> operator[](const QString &key) const;
    // operator[] with the empty text for a missing column.
    QString value(const QString &key) const { return (*this)[key].value_or(QString()); }

    // Column name -> field, the form of the record keyed by name.
    QHash<QString, QString> values() const;

private:
    std::shared_ptr<const CSVColumns> m_columns;
    QStringList m_fields; // at most one per column
};

struct CSVTable {
    QStringList header;
    QList<CSVRow> rows;
};

// Records and their fields, untrimmed. CR outside quotes is dropped, a leading
// byte-order mark is skipped. The UTF-8 forms decode each field once, invalid
// sequences becoming U+FFFD.
QList<QStringList> parseCSVRecords(QStringView text);
QList<QStringList> parseCSVRecords(QByteArrayView utf8);

// The first record is the header; blank lines are skipped; fields beyond the
// header are dropped.
CSVTable parseCSV(QStringView text);
CSVTable parseCSV(QByteArrayView utf8);

// Header and rows as CSV: fields holding a comma, quote, CR or LF are quoted with
// inner quotes doubled; every record ends with a line feed.
QString csvText(const QStringList &header, const QList<QStringList> &rows);
