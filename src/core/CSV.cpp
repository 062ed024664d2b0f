#include "core/CSV.h"

#include <QStringDecoder>
#include <cstring>
#include <string>

namespace {

QString decode(const char *begin, qsizetype size) {
    const QByteArrayView bytes(begin, size);
    // QString::fromUtf8 would drop a byte-order mark that begins a field.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom).decode(bytes);
    return QString::fromUtf8(bytes);
}
QString decode(const char16_t *begin, qsizetype size) {
    return QString(reinterpret_cast<const QChar *>(begin), size);
}

const char *findQuote(const char *from, const char *end) {
    return static_cast<const char *>(std::memchr(from, '"', size_t(end - from)));
}
const char16_t *findQuote(const char16_t *from, const char16_t *end) {
    const qsizetype at = QStringView(from, end).indexOf(u'"');
    return at < 0 ? nullptr : from + at;
}

// The characters that end an unquoted stretch: , " CR LF.
constexpr bool isSpecial(char16_t c) {
    return c == u',' || c == u'"' || c == u'\n' || c == u'\r';
}
struct SpecialBytes {
    bool table[256] = {};
    constexpr SpecialBytes() {
        for (int c = 0; c < 128; ++c)
            table[c] = isSpecial(char16_t(c));
    }
};
constexpr SpecialBytes specialBytes;

bool isSpecial(char c) {
    return specialBytes.table[static_cast<unsigned char>(c)];
}

// Gathers one field from stretches of the input. Most fields are a single
// stretch and are decoded straight from the input; only fields split by quotes
// or a dropped CR are copied together first.
template <typename Char> class FieldBuilder {
public:
    void add(const Char *begin, const Char *end) {
        if (begin == end)
            return;
        if (!m_joining && !m_begin) {
            m_begin = begin;
            m_end = end;
            return;
        }
        if (!m_joining) {
            m_joined.assign(m_begin, m_end);
            m_joining = true;
        }
        m_joined.append(begin, end);
    }

    bool isEmpty() const { return !m_begin && !m_joining; }

    QString take() {
        QString field;
        if (m_joining)
            field = decode(m_joined.data(), qsizetype(m_joined.size()));
        else if (m_begin)
            field = decode(m_begin, m_end - m_begin);
        m_begin = m_end = nullptr;
        m_joining = false;
        m_joined.clear();
        return field;
    }

private:
    const Char *m_begin = nullptr;
    const Char *m_end = nullptr;
    bool m_joining = false;
    std::basic_string<Char> m_joined;
};

// One pass over the input, handing each finished record to sink. Every quote
// toggles the quoted state, so a doubled quote inside quotes keeps one quote
// and stays quoted.
template <typename Char, typename Sink> void readRecords(const Char *p, const Char *end, Sink &&sink) {
    QStringList record;
    FieldBuilder<Char> field;
    const Char *stretch = p; // start of the input not yet given to field
    qsizetype width = 0;     // fields in the previous record, to size the next

    while (p < end) {
        while (p < end && !isSpecial(*p))
            ++p;
        if (p == end)
            break;
        field.add(stretch, p);
        stretch = p + 1;
        switch (*p) {
        case u'"':
            for (;;) {
                const Char *quote = findQuote(stretch, end);
                if (!quote) { // unterminated: the field runs to the end of the input
                    p = end;
                    break;
                }
                if (quote + 1 < end && quote[1] == u'"') {
                    field.add(stretch, quote + 1);
                    stretch = quote + 2;
                    continue;
                }
                field.add(stretch, quote);
                stretch = quote + 1;
                p = quote;
                break;
            }
            break;
        case u',':
            record.append(field.take());
            break;
        case u'\n':
            record.append(field.take());
            width = record.size();
            sink(std::move(record));
            record = QStringList();
            record.reserve(width);
            break;
        default: // CR outside quotes is dropped
            break;
        }
        if (p < end)
            ++p;
    }
    field.add(stretch, end);
    if (!field.isEmpty() || !record.isEmpty()) {
        record.append(field.take());
        sink(std::move(record));
    }
}

template <typename Char> QList<QStringList> recordsOf(const Char *begin, const Char *end) {
    QList<QStringList> records;
    readRecords(begin, end, [&](QStringList &&record) { records.append(std::move(record)); });
    return records;
}

template <typename Char> CSVTable tableOf(const Char *begin, const Char *end) {
    CSVTable table;
    std::shared_ptr<const CSVColumns> columns;
    readRecords(begin, end, [&](QStringList &&record) {
        if (!columns) {
            table.header = record;
            columns = std::make_shared<const CSVColumns>(std::move(record));
            return;
        }
        if (record.size() == 1 && record.front().isEmpty())
            return; // blank line
        table.rows.append(CSVRow(columns, std::move(record)));
    });
    return table;
}

QStringView withoutByteOrderMark(QStringView text) {
    return text.startsWith(u'\uFEFF') ? text.sliced(1) : text;
}

QByteArrayView withoutByteOrderMark(QByteArrayView utf8) {
    return utf8.startsWith("\xEF\xBB\xBF") ? utf8.sliced(3) : utf8;
}

bool needsQuotes(const QString &field) {
    for (QChar c : field) {
        if (c.unicode() < 128 && isSpecial(c.unicode()))
            return true;
    }
    return false;
}

void appendField(QString &out, const QString &field) {
    if (!needsQuotes(field)) {
        out += field;
        return;
    }
    out += u'"';
    qsizetype from = 0;
    for (qsizetype quote = field.indexOf(u'"'); quote >= 0; quote = field.indexOf(u'"', quote + 1)) {
        out += QStringView(field).sliced(from, quote + 1 - from);
        out += u'"';
        from = quote + 1;
    }
    out += QStringView(field).sliced(from);
    out += u'"';
}

void appendRecord(QString &out, const QStringList &record) {
    for (qsizetype i = 0; i < record.size(); ++i) {
        if (i > 0)
            out += u',';
        appendField(out, record[i]);
    }
    out += u'\n';
}

qsizetype estimatedSize(const QStringList &record) {
    qsizetype size = 1;
    for (const QString &field : record)
        size += field.size() + 1;
    return size;
}

} // namespace

CSVColumns::CSVColumns(QStringList columnNames)
    : names(std::move(columnNames)) {
    exact.reserve(names.size());
    for (qsizetype i = 0; i < names.size(); ++i)
        exact.insert(names[i], int(i));
    // Several names equal ignoring case: the leftmost name decides.
    for (const QString &name : std::as_const(names)) {
        const QString key = name.toCaseFolded();
        if (!folded.contains(key))
            folded.insert(key, exact.value(name));
    }
}

CSVRow::CSVRow(const QStringList &header, QStringList record)
    : CSVRow(std::make_shared<const CSVColumns>(header), std::move(record)) {}

CSVRow::CSVRow(std::shared_ptr<const CSVColumns> columns, QStringList record)
    : m_columns(std::move(columns))
    , m_fields(std::move(record)) {
    if (m_fields.size() > m_columns->names.size())
        m_fields.resize(m_columns->names.size());
}

std::optional<QString> CSVRow::operator[](const QString &key) const {
    if (!m_columns)
        return std::nullopt;
    auto column = m_columns->exact.constFind(key);
    if (column == m_columns->exact.cend()) {
        column = m_columns->folded.constFind(key.toCaseFolded());
        if (column == m_columns->folded.cend())
            return std::nullopt;
    }
    return m_fields.value(*column);
}

QHash<QString, QString> CSVRow::values() const {
    QHash<QString, QString> values;
    if (!m_columns)
        return values;
    for (auto it = m_columns->exact.cbegin(); it != m_columns->exact.cend(); ++it)
        values.insert(it.key(), m_fields.value(it.value()));
    return values;
}

QList<QStringList> parseCSVRecords(QStringView text) {
    text = withoutByteOrderMark(text);
    return recordsOf(text.utf16(), text.utf16() + text.size());
}

QList<QStringList> parseCSVRecords(QByteArrayView utf8) {
    utf8 = withoutByteOrderMark(utf8);
    return recordsOf(utf8.data(), utf8.data() + utf8.size());
}

CSVTable parseCSV(QStringView text) {
    text = withoutByteOrderMark(text);
    return tableOf(text.utf16(), text.utf16() + text.size());
}

CSVTable parseCSV(QByteArrayView utf8) {
    utf8 = withoutByteOrderMark(utf8);
    return tableOf(utf8.data(), utf8.data() + utf8.size());
}

QString csvText(const QStringList &header, const QList<QStringList> &rows) {
    qsizetype size = estimatedSize(header);
    for (const QStringList &row : rows)
        size += estimatedSize(row);
    QString out;
    out.reserve(size + size / 16);
    appendRecord(out, header);
    for (const QStringList &row : rows)
        appendRecord(out, row);
    return out;
}
