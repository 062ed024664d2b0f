// The CSV reader against a plain one-character-at-a-time reading of the same
// rules (fields split where quotes allow, then each decoded): the UTF-8 and
// UTF-16 readers, parseCSV's rows and lookups and parseCSVFile all agree with
// it, and csvText of any records, written as gam writes, reads back.
#include "Require.h"
#include "core/CSV.h"
#include "core/Utf8.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>

namespace {

struct Reference {
    QList<QStringList> records;
    QList<bool> blank; // a line holding nothing but carriage returns
};

// A field's text from its raw input: a backslash gives the unit after it (one
// that ends the field stays), every other quote toggles the quoted state with a
// doubled quote inside quotes giving one, and CR outside quotes is dropped.
QString referenceField(QStringView raw) {
    QString field;
    bool inQuotes = false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c == u'\\') {
            field += i + 1 < raw.size() ? raw[++i] : c;
        } else if (c == u'"') {
            if (inQuotes && i + 1 < raw.size() && raw[i + 1] == u'"') {
                field += c;
                ++i;
            } else {
                inQuotes = !inQuotes;
            }
        } else if (inQuotes || c != u'\r') {
            field += c;
        }
    }
    return field;
}

// Fields end at a comma or line feed outside quotes, where every quote toggles.
Reference referenceRead(QStringView text) {
    if (text.startsWith(u'\uFEFF'))
        text = text.sliced(1);
    Reference out;
    QStringList record;
    qsizetype fieldStart = 0;
    bool inQuotes = false;
    auto endField = [&](qsizetype end) {
        record.append(referenceField(text.sliced(fieldStart, end - fieldStart)));
        fieldStart = end + 1;
    };
    // A blank line: one field of nothing but carriage returns.
    auto isBlank = [](QStringView raw) {
        return std::all_of(raw.begin(), raw.end(), [](QChar c) { return c == u'\r'; });
    };
    qsizetype recordStart = 0;
    auto endRecord = [&](qsizetype end) {
        out.blank.append(record.size() == 1 && isBlank(text.sliced(recordStart, end - recordStart)));
        out.records.append(record);
        record.clear();
        recordStart = end + 1;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            inQuotes = !inQuotes;
        } else if (!inQuotes && c == u',') {
            endField(i);
        } else if (!inQuotes && c == u'\n') {
            endField(i);
            endRecord(i);
        }
    }
    if (!record.isEmpty() || !isBlank(text.sliced(fieldStart))) {
        endField(text.size());
        endRecord(text.size());
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

// The records as gam's writer holds them before quoting: backslashes doubled.
QList<QStringList> withBackslashesDoubled(QList<QStringList> records) {
    for (QStringList &record : records) {
        for (QString &field : record)
            field.replace(u'\\', QStringLiteral("\\\\"));
    }
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

    // Writing as gam does (csvText with every backslash doubled): what was read,
    // and any records at all, read back unchanged.
    if (!reference.records.isEmpty()) {
        const QList<QStringList> escaped = withBackslashesDoubled(reference.records);
        const QString written = csvText(escaped[0], escaped.mid(1));
        require(parseCSVRecords(written) == reference.records, "csvText of read records reads back", written);
    }
    const QList<QStringList> records = anyRecords(text);
    const QList<QStringList> escaped = withBackslashesDoubled(records);
    const QString written = csvText(escaped[0], escaped.mid(1));
    require(parseCSVRecords(written) == records, "csvText of any records reads back", records, written);
    require(parseCSVRecords(written.toUtf8()) == records, "csvText as UTF-8 reads back", records, written);
    return 0;
}
