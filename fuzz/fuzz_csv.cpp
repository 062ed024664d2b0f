// The CSV reader against a plain one-character-at-a-time reading of the same
// rules: the UTF-8 and UTF-16 readers, parseCSV's rows and lookups and
// parseCSVFile all agree with it, and csvText of any records reads back.
#include "Require.h"
#include "core/CSV.h"
#include "core/Utf8.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

namespace {

struct Reference {
    QList<QStringList> records;
    QList<bool> blank; // a line holding nothing but carriage returns
};

Reference referenceRead(QStringView text) {
    if (text.startsWith(u'\uFEFF'))
        text = text.sliced(1);
    Reference out;
    QStringList record;
    QString field;
    bool inQuotes = false;
    bool touched = false; // the field's input holds more than carriage returns
    auto endField = [&] {
        record.append(field);
        field.clear();
    };
    auto endRecord = [&] {
        out.blank.append(record.size() == 1 && !touched);
        out.records.append(record);
        record.clear();
        touched = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                inQuotes = false;
            } else {
                field += c;
            }
        } else if (c == u'\n') {
            endField();
            endRecord();
        } else if (c == u'\r') {
            // dropped outside quotes
        } else if (c == u'"') {
            inQuotes = true;
            touched = true;
        } else if (c == u',') {
            endField();
            touched = true;
        } else {
            field += c;
            touched = true;
        }
    }
    if (!record.isEmpty() || touched) {
        endField();
        endRecord();
    }
    return out;
}

// The table parseCSV must give for the reference records.
void requireTable(const CSVTable &table, const Reference &reference, const char *reader) {
    const QStringList header = reference.records.value(0);
    require(table.header == header, reader, "header", table.header, header);
    QList<QStringList> rows;
    for (qsizetype r = 1; r < reference.records.size(); ++r) {
        if (!reference.blank[r])
            rows.append(reference.records[r]);
    }
    require(table.rows.size() == rows.size(), reader, "row count", table.rows.size(), rows.size());
    for (qsizetype r = 0; r < rows.size(); ++r) {
        for (qsizetype c = 0; c < header.size(); ++c) {
            const qsizetype answering = header.lastIndexOf(header[c]); // the later of equal names wins
            const QString expected = rows[r].value(answering);
            const QString copy(header[c].constData(), header[c].size()); // found by text, not by address
            require(table.rows[r].value(header[c]) == expected && table.rows[r].value(copy) == expected, reader,
                    "field", r, header[c], table.rows[r].value(header[c]), expected);
        }
    }
}

// Records made of any fields: the input split at U+001E into records and at
// U+001F into fields.
QList<QStringList> anyRecords(const QString &text) {
    QList<QStringList> records;
    for (const QString &record : text.split(QChar(0x1E)))
        records.append(record.split(QChar(0x1F)));
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static QTemporaryDir folder;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = textOfUtf8(bytes);
    const Reference reference = referenceRead(text);

    require(parseCSVRecords(bytes) == reference.records, "UTF-8 records", parseCSVRecords(bytes), reference.records);
    require(parseCSVRecords(text) == reference.records, "UTF-16 records", parseCSVRecords(text), reference.records);
    requireTable(parseCSV(bytes), reference, "parseCSV(UTF-8)");
    requireTable(parseCSV(text), reference, "parseCSV(UTF-16)");

    const QString path = folder.filePath(QStringLiteral("listing.csv"));
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(), "file written");
    file.close();
    requireTable(parseCSVFile(path), reference, "parseCSVFile");

    // Writing: what was read, and any records at all, read back unchanged.
    if (!reference.records.isEmpty()) {
        const QString written = csvText(reference.records[0], reference.records.mid(1));
        require(parseCSVRecords(written) == reference.records, "csvText of read records reads back", written);
    }
    const QList<QStringList> records = anyRecords(text);
    const QString written = csvText(records[0], records.mid(1));
    require(parseCSVRecords(written) == records, "csvText of any records reads back", records, written);
    require(parseCSVRecords(written.toUtf8()) == records, "csvText as UTF-8 reads back", records, written);
    return 0;
}
