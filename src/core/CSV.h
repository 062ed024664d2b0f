#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringList>
#include <memory>
#include <optional>

// Reading gam's CSV output and writing the application's own CSV exports.
// Reading never fails: malformed input yields whatever the rules produce.

struct CSVData;

// One record keyed by the header's column names. Rows of one parse share the
// input text and decode a field when it is looked up, so a row is cheap to copy.
class CSVRow {
public:
    CSVRow() = default;
    CSVRow(const QStringList &header, const QStringList &record);

    // The field of the column named key, else of a column whose name equals key
    // ignoring case; nothing when there is no such column. A column the record
    // was too short for gives the empty text. Of two equal names the later wins.
    std::optional<QString> operator[](const QString &key) const;
    // operator[] with the empty text for a missing column.
    QString value(const QString &key) const;

    // Column name -> field, the form of the record keyed by name.
    QHash<QString, QString> values() const;

    // The column operator[] reads for key. Rows of one table share their columns,
    // so a pass over many rows looks a key up once and reads fields by position.
    std::optional<qsizetype> column(const QString &key) const;
    // The field at column; empty past the end of the record.
    QString field(qsizetype column) const;

private:
    friend struct CSVData;

    std::shared_ptr<const CSVData> m_data;
    qsizetype m_row = 0;
};

struct CSVTable {
    QStringList header;
    QList<CSVRow> rows;
};

// Records and their fields, untrimmed, in gam's dialect: a backslash gives the
// unit after it as it stands (gam doubles every backslash it writes), while
// quotes alone decide where fields end. CR outside quotes is dropped, a leading
// byte-order mark is skipped. The UTF-8 forms decode each field on its own,
// invalid sequences becoming U+FFFD, which gives the fields decoding the whole
// text first would.
QList<QStringList> parseCSVRecords(const QString &text);
QList<QStringList> parseCSVRecords(const QByteArray &utf8);

// The first record is the header; blank lines (nothing but CRs, so a quoted
// empty field is a row) are skipped; fields beyond the header are dropped. The rows keep a shallow copy of the input.
CSVTable parseCSV(const QString &text);
CSVTable parseCSV(const QByteArray &utf8);

// parseCSV of a file's bytes, read in one go and kept by the rows.
// Throws Error when the file cannot be read.
CSVTable parseCSVFile(const QString &path);

// Header and rows as CSV for spreadsheets and other readers: fields holding a
// comma, quote, CR or LF or starting with a byte-order mark are quoted with
// inner quotes doubled, and so is a record's only field when it is empty;
// backslashes stay single; every record ends with a line feed.
QString csvText(const QStringList &header, const QList<QStringList> &rows);
