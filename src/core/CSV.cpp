#include "core/CSV.h"

#include "core/Error.h"
#include "core/Utf8.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(Q_OS_UNIX)
#include <sys/mman.h>
#endif

namespace {

constexpr char16_t unit(char c) {
    return static_cast<unsigned char>(c);
}
constexpr char16_t unit(QChar c) {
    return c.unicode();
}

// The first of the ASCII characters Needles at or after p, or end.
template <char... Needles> const char *findAny(const char *p, const char *end) {
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        __m128i hits = _mm_setzero_si128();
        ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(chunk, _mm_set1_epi8(Needles)))), ...);
        if (const int mask = _mm_movemask_epi8(hits))
            return p + __builtin_ctz(unsigned(mask));
    }
#endif
    while (p < end && ((unit(*p) != Needles) && ...))
        ++p;
    return p;
}

template <char... Needles> const QChar *findAny(const QChar *p, const QChar *end) {
#if defined(__SSE2__)
    for (; end - p >= 8; p += 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        __m128i hits = _mm_setzero_si128();
        ((hits = _mm_or_si128(hits, _mm_cmpeq_epi16(chunk, _mm_set1_epi16(Needles)))), ...);
        if (const int mask = _mm_movemask_epi8(hits))
            return p + __builtin_ctz(unsigned(mask)) / 2;
    }
#endif
    while (p < end && ((unit(*p) != Needles) && ...))
        ++p;
    return p;
}

const char *nextQuote(const char *from, const char *end) {
    const void *quote = std::memchr(from, '"', size_t(end - from));
    return quote ? static_cast<const char *>(quote) : end;
}
const QChar *nextQuote(const QChar *from, const QChar *end) {
    const qsizetype at = QStringView(from, end).indexOf(u'"');
    return at < 0 ? end : from + at;
}

QString decode(const char *begin, qsizetype size) {
    return textOfUtf8(QByteArrayView(begin, size));
}
QString decode(const QChar *begin, qsizetype size) {
    return QString(begin, size);
}

// The text of the field whose raw input is [begin, end): the input between
// the separators around it. Every quote toggles the quoted state, so a doubled
// quote inside quotes keeps one quote and stays quoted; CR outside quotes is
// dropped. The pieces between those are decoded one by one: joining UTF-8
// bytes around a dropped quote could turn invalid sequences into a valid one.
template <typename Char> QString fieldText(const Char *begin, const Char *end) {
    const Char *p = findAny<'"', '\r'>(begin, end);
    if (p == end)
        return decode(begin, end - begin);
    // Quoted as a whole with no quote inside: nearly every quoted field.
    if (p == begin && unit(*p) == u'"' && end - begin >= 2 && unit(end[-1]) == u'"' &&
        nextQuote(begin + 1, end) == end - 1)
        return decode(begin + 1, end - begin - 2);

    QString text;
    auto add = [&](const Char *from, const Char *to) {
        if (from != to)
            text += decode(from, to - from);
    };
    const Char *stretch = begin; // start of the input not yet added
    for (; p < end; p = findAny<'"', '\r'>(p, end)) {
        add(stretch, p);
        stretch = p + 1;
        if (unit(*p) == u'"') {
            for (;;) {
                const Char *quote = nextQuote(stretch, end);
                if (quote == end) { // never closed: the field runs to the end of the input
                    add(stretch, end);
                    return text;
                }
                const bool doubled = quote + 1 < end && unit(quote[1]) == u'"';
                add(stretch, quote + (doubled ? 1 : 0));
                stretch = quote + (doubled ? 2 : 1);
                if (!doubled) {
                    p = quote;
                    break;
                }
            }
        }
        ++p;
    }
    add(stretch, end);
    return text;
}

// Whether the raw field [begin, end) is a blank line's: nothing but carriage
// returns. A quoted empty field is a field.
template <typename Char> bool isBlank(const Char *begin, const Char *end) {
    return std::all_of(begin, end, [](Char c) { return unit(c) == u'\r'; });
}

// One pass over [begin, end), handing each field's raw input and each record's
// end to sink. Only quotes matter for where fields end: a comma or line feed
// ends a field unless an odd number of quotes precedes it in the field.
template <typename Char, typename Sink> void readRecords(const Char *begin, const Char *end, Sink &sink) {
    const Char *field = begin;
    qsizetype recordFields = 0;
    for (const Char *p = findAny<',', '\n', '"'>(begin, end); p < end; p = findAny<',', '\n', '"'>(p, end)) {
        if (unit(*p) == u'"') {
            p = nextQuote(p + 1, end);
            if (p < end)
                ++p;
            continue;
        }
        sink.field(field, p, ++recordFields);
        field = p + 1;
        if (unit(*p) == u'\n') {
            sink.record(recordFields);
            recordFields = 0;
        }
        ++p;
    }
    if (recordFields > 0 || !isBlank(field, end)) {
        sink.field(field, end, ++recordFields);
        sink.record(recordFields);
    }
}

// Every record as a list of fields.
template <typename Char> struct RecordList {
    QList<QStringList> records;
    QStringList current;

    void field(const Char *begin, const Char *end, qsizetype) { current.append(fieldText(begin, end)); }
    void record(qsizetype width) {
        records.append(std::move(current));
        current = QStringList();
        current.reserve(width);
    }
};

} // namespace

// The header's lookup indexes, the input and where every row's fields lie in it.
struct CSVData {
    explicit CSVData(QStringList columnNames);

    static QList<CSVRow> rowsOf(const std::shared_ptr<const CSVData> &data) {
        QList<CSVRow> rows;
        rows.reserve(qsizetype(data->rowStarts.size()) - 1);
        for (qsizetype row = 0; row + 1 < qsizetype(data->rowStarts.size()); ++row)
            rows.append(CSVRow(data, row));
        return rows;
    }

    qsizetype start(qsizetype index) const { return starts.empty() ? wideStarts[index] : starts[index]; }
    qsizetype fieldCount(qsizetype row) const { return rowStarts[row + 1] - rowStarts[row] - 1; }

    // Field column of row; column is below fieldCount(row).
    QString field(qsizetype row, qsizetype column) const {
        const qsizetype index = rowStarts[row] + column;
        const qsizetype begin = start(index), end = start(index + 1) - 1;
        if (isUtf8)
            return fieldText(utf8.constData() + begin, utf8.constData() + end);
        return fieldText(text.constData() + begin, text.constData() + end);
    }

    QStringList names;
    QHash<QString, int> exact;  // the later column wins for a repeated name
    QHash<QString, int> folded; // case-folded name -> the column exact gives the leftmost such name

    bool isUtf8 = false;
    std::shared_ptr<const char[]> storage; // what utf8 lies in when it does not own its bytes
    QByteArray utf8;
    QString text;
    // Each row's fields as the offsets where they begin in the input, then the
    // offset after the separator that ends its last field. Inputs under 4 GiB
    // use starts, larger ones wideStarts.
    std::vector<quint32> starts;
    std::vector<qint64> wideStarts;
    std::vector<qsizetype> rowStarts = {0}; // row r's offsets begin at rowStarts[r]
};

namespace {

// The first record as the header, the others as rows.
template <typename Char, typename Offset> struct Table {
    const Char *input;
    std::vector<Offset> &starts;
    std::vector<qsizetype> &rowStarts;
    QStringList header;
    bool hasHeader = false;
    const Char *fieldEnd = nullptr; // of the last field kept

    void field(const Char *begin, const Char *end, qsizetype recordFields) {
        if (!hasHeader) {
            header.append(fieldText(begin, end));
        } else if (recordFields <= header.size()) {
            starts.push_back(Offset(begin - input));
            fieldEnd = end;
        }
    }
    void record(qsizetype recordFields) {
        if (!hasHeader) {
            hasHeader = true;
        } else if (recordFields == 1 && isBlank(input + starts.back(), fieldEnd)) {
            starts.pop_back(); // a blank line is not a row
        } else {
            starts.push_back(Offset(fieldEnd - input + 1));
            rowStarts.push_back(qsizetype(starts.size()));
        }
    }
};

template <typename Char, typename Offset>
QStringList readTable(const Char *begin, const Char *end, std::vector<Offset> &starts,
                      std::vector<qsizetype> &rowStarts) {
    starts.reserve(size_t((end - begin) / 32));
    Table<Char, Offset> table{begin, starts, rowStarts, {}};
    readRecords(begin, end, table);
    return table.header;
}

template <typename Text> CSVTable tableOf(Text input, std::shared_ptr<const char[]> storage = {}) {
    const auto *begin = input.constData();
    const auto *end = begin + input.size();
    std::vector<quint32> starts;
    std::vector<qint64> wideStarts;
    std::vector<qsizetype> rowStarts = {0};
    const QStringList header = input.size() < qsizetype(std::numeric_limits<quint32>::max())
                                   ? readTable(begin, end, starts, rowStarts)
                                   : readTable(begin, end, wideStarts, rowStarts);
    if (header.isEmpty())
        return {};
    auto data = std::make_shared<CSVData>(header);
    data->starts = std::move(starts);
    data->wideStarts = std::move(wideStarts);
    data->rowStarts = std::move(rowStarts);
    if constexpr (std::is_same_v<Text, QByteArray>) {
        data->isUtf8 = true;
        data->storage = std::move(storage);
        data->utf8 = std::move(input);
    } else {
        data->text = std::move(input);
    }
    return {header, CSVData::rowsOf(data)};
}

template <typename Text> QList<QStringList> recordsOf(const Text &input) {
    using Char = std::remove_cv_t<std::remove_pointer_t<decltype(input.constData())>>;
    RecordList<Char> list;
    readRecords(input.constData(), input.constData() + input.size(), list);
    return std::move(list.records);
}

// A buffer for a whole file. Large ones are asked for in huge pages: a fresh
// buffer of tens of megabytes otherwise costs more in page faults than parsing.
std::shared_ptr<char[]> fileBuffer(qint64 size) {
#if defined(Q_OS_UNIX) && defined(MADV_HUGEPAGE)
    constexpr size_t hugePage = 2 << 20;
    if (size >= qint64(hugePage)) {
        const size_t capacity = (size_t(size) + hugePage - 1) & ~(hugePage - 1);
        void *memory = mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory != MAP_FAILED) {
            madvise(memory, capacity, MADV_HUGEPAGE);
            return {static_cast<char *>(memory), [capacity](char *buffer) { munmap(buffer, capacity); }};
        }
    }
#endif
    return std::shared_ptr<char[]>(new char[size_t(size)]);
}

// The input without a leading byte-order mark, sharing its storage.
QString withoutByteOrderMark(const QString &text) {
    return text.startsWith(u'\uFEFF') ? text.sliced(1) : text;
}
QByteArray withoutByteOrderMark(const QByteArray &utf8) {
    return utf8.startsWith("\xEF\xBB\xBF") ? utf8.sliced(3) : utf8;
}

// A leading byte-order mark would be skipped by a reader when the field opens
// the text, so it is quoted too.
bool needsQuotes(const QString &field) {
    return findAny<',', '"', '\n', '\r'>(field.constBegin(), field.constEnd()) != field.constEnd() ||
           field.startsWith(u'\uFEFF');
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
    if (record.size() == 1 && record[0].isEmpty()) {
        out += u"\"\"\n"; // a bare empty line would read as a blank line, not a row
        return;
    }
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

CSVData::CSVData(QStringList columnNames)
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

CSVRow::CSVRow(const QStringList &header, const QStringList &record) {
    // The record written as one CSV line, so that its fields read back as given.
    auto data = std::make_shared<CSVData>(header);
    for (qsizetype i = 0; i < std::min(header.size(), record.size()); ++i) {
        data->starts.push_back(quint32(data->text.size()));
        appendField(data->text, record[i]);
        data->text += u',';
    }
    data->starts.push_back(quint32(data->text.size()));
    data->rowStarts.push_back(qsizetype(data->starts.size()));
    m_data = std::move(data);
}

QString CSVRow::field(qsizetype column) const {
    if (!m_data || column < 0 || column >= m_data->fieldCount(m_row))
        return QString(); // the record was shorter than the header
    return m_data->field(m_row, column);
}

std::optional<qsizetype> CSVRow::column(const QString &key) const {
    if (!m_data)
        return std::nullopt;
    auto column = m_data->exact.constFind(key);
    if (column == m_data->exact.cend()) {
        column = m_data->folded.constFind(key.toCaseFolded());
        if (column == m_data->folded.cend())
            return std::nullopt;
    }
    return *column;
}

std::optional<QString> CSVRow::operator[](const QString &key) const {
    const std::optional<qsizetype> at = column(key);
    if (!at)
        return std::nullopt;
    return field(*at);
}

QHash<QString, QString> CSVRow::values() const {
    QHash<QString, QString> values;
    if (!m_data)
        return values;
    for (auto it = m_data->exact.cbegin(); it != m_data->exact.cend(); ++it)
        values.insert(it.key(), field(it.value()));
    return values;
}

QList<QStringList> parseCSVRecords(const QString &text) {
    return recordsOf(withoutByteOrderMark(text));
}

QList<QStringList> parseCSVRecords(const QByteArray &utf8) {
    return recordsOf(withoutByteOrderMark(utf8));
}

CSVTable parseCSV(const QString &text) {
    return tableOf(withoutByteOrderMark(text));
}

CSVTable parseCSV(const QByteArray &utf8) {
    return tableOf(withoutByteOrderMark(utf8));
}

CSVTable parseCSVFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw Error(QStringLiteral("Could not read %1: %2").arg(path, file.errorString()));
    const qint64 size = file.size();
    if (size == 0) // empty, or a pipe whose size is unknown
        return parseCSV(file.readAll());
    const std::shared_ptr<char[]> buffer = fileBuffer(size);
    qint64 length = 0;
    while (length < size) {
        const qint64 read = file.read(buffer.get() + length, size - length);
        if (read < 0)
            throw Error(QStringLiteral("Could not read %1: %2").arg(path, file.errorString()));
        if (read == 0)
            break; // the file shrank while being read
        length += read;
    }
    // The rows keep the buffer; the byte array only looks into it.
    return tableOf(withoutByteOrderMark(QByteArray::fromRawData(buffer.get(), length)), buffer);
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
