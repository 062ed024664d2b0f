#include "core/CSV.h"

#include <QStringDecoder>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Where one field lies: [begin, end) in the input, or, for a field that had to
// be put together from pieces (around quotes or a dropped CR), [~begin, end) in
// the joined buffer.
struct Span {
    qsizetype begin;
    qsizetype end;
};

QString decode(const char *begin, qsizetype size) {
    const QByteArrayView bytes(begin, size);
    // QString::fromUtf8 would drop a byte-order mark that begins a field.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QStringDecoder(QStringDecoder::Utf8,
                              QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless)
            .decode(bytes);
    return QString::fromUtf8(bytes);
}
QString decode(const QChar *begin, qsizetype size) {
    return QString(begin, size);
}

// The input (QByteArray for UTF-8, QString for decoded text) and the decoded
// text of the fields that had to be joined.
template <typename Text> struct Fields {
    Text input;
    QString joined;
    std::vector<Span> spans;

    QString field(Span span) const {
        if (span.begin < 0)
            return joined.sliced(~span.begin, span.end - ~span.begin);
        return decode(input.constData() + span.begin, span.end - span.begin);
    }
};

} // namespace

// The header's lookup indexes and every row's fields for one parse.
struct CSVData {
    explicit CSVData(QStringList columnNames);

    static QList<CSVRow> rowsOf(const std::shared_ptr<const CSVData> &data) {
        QList<CSVRow> rows;
        rows.reserve(data->rowBounds.size() - 1);
        for (qsizetype row = 0; row + 1 < data->rowBounds.size(); ++row)
            rows.append(CSVRow(data, row));
        return rows;
    }

    QString field(qsizetype index) const {
        return utf8 ? utf8->field(utf8->spans[index]) : text.field(text.spans[index]);
    }

    QStringList names;
    QHash<QString, int> exact;  // the later column wins for a repeated name
    QHash<QString, int> folded; // case-folded name -> the column exact gives the leftmost such name

    std::optional<Fields<QByteArray>> utf8;
    Fields<QString> text;
    QList<qsizetype> rowBounds = {0}; // row r owns spans rowBounds[r] up to rowBounds[r + 1]
};

namespace {

// The characters that end an unquoted stretch: , " CR LF.
constexpr bool isSpecial(char16_t c) {
    return c == u',' || c == u'"' || c == u'\n' || c == u'\r';
}

constexpr char16_t unit(char c) {
    return static_cast<unsigned char>(c);
}
constexpr char16_t unit(QChar c) {
    return c.unicode();
}

// The first special character at or after p, or end.
const char *nextSpecial(const char *p, const char *end) {
#if defined(__SSE2__)
    const __m128i comma = _mm_set1_epi8(','), quote = _mm_set1_epi8('"');
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    for (; end - p >= 16; p += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, comma), _mm_cmpeq_epi8(chunk, quote)),
                                          _mm_or_si128(_mm_cmpeq_epi8(chunk, lf), _mm_cmpeq_epi8(chunk, cr)));
        if (const int mask = _mm_movemask_epi8(hits))
            return p + __builtin_ctz(unsigned(mask));
    }
#endif
    while (p < end && !isSpecial(unit(*p)))
        ++p;
    return p;
}

const QChar *nextSpecial(const QChar *p, const QChar *end) {
#if defined(__SSE2__)
    const __m128i comma = _mm_set1_epi16(','), quote = _mm_set1_epi16('"');
    const __m128i lf = _mm_set1_epi16('\n'), cr = _mm_set1_epi16('\r');
    for (; end - p >= 8; p += 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(chunk, comma), _mm_cmpeq_epi16(chunk, quote)),
                                          _mm_or_si128(_mm_cmpeq_epi16(chunk, lf), _mm_cmpeq_epi16(chunk, cr)));
        if (const int mask = _mm_movemask_epi8(hits))
            return p + __builtin_ctz(unsigned(mask)) / 2;
    }
#endif
    while (p < end && !isSpecial(unit(*p)))
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

// Collects one field from pieces of the input. A field in one piece (nearly
// all of them, quoted ones included) is only a span of the input; pieces are
// decoded into the joined buffer only when a second one arrives. Pieces are
// decoded one by one: joining UTF-8 bytes around a dropped quote could turn
// invalid sequences into a valid one.
template <typename Text> class FieldBuilder {
public:
    using Char = std::remove_cv_t<std::remove_pointer_t<decltype(Text().constData())>>;

    FieldBuilder(const Text &input, QString &joined)
        : m_input(input.constData())
        , m_joined(joined) {}

    void add(const Char *begin, const Char *end) {
        if (begin == end)
            return;
        if (!m_pieces++) {
            m_span = {begin - m_input, end - m_input};
            return;
        }
        if (m_span.begin >= 0) { // the second piece: start joining
            const qsizetype at = m_joined.size();
            m_joined.append(decode(m_input + m_span.begin, m_span.end - m_span.begin));
            m_span.begin = ~at;
        }
        m_joined.append(decode(begin, end - begin));
        m_span.end = m_joined.size();
    }

    bool isEmpty() const { return m_pieces == 0; }

    Span take() {
        const Span span = m_pieces ? m_span : Span{0, 0};
        m_pieces = 0;
        return span;
    }

    // Forgets a field that was taken last, freeing its joined text.
    void drop(Span span) {
        if (span.begin < 0)
            m_joined.truncate(~span.begin);
    }

private:
    const Char *m_input;
    QString &m_joined;
    Span m_span{0, 0};
    int m_pieces = 0;
};

// One pass over fields.input, handing each field's span and each record's end to
// consumer. Every quote toggles the quoted state, so a doubled quote inside
// quotes keeps one quote and stays quoted.
template <typename Text, typename Consumer> void readRecords(Fields<Text> &fields, Consumer &consumer) {
    const auto *p = fields.input.constData();
    const auto *const end = p + fields.input.size();
    FieldBuilder<Text> field(fields.input, fields.joined);
    const auto *stretch = p; // start of the input not yet given to field
    qsizetype recordFields = 0;

    for (p = nextSpecial(p, end); p < end; p = nextSpecial(p, end)) {
        field.add(stretch, p);
        stretch = p + 1;
        switch (unit(*p)) {
        case u'"':
            for (;;) {
                const auto *quote = nextQuote(stretch, end);
                if (quote == end) { // never closed: the field runs to the end of the input
                    field.add(stretch, end);
                    stretch = p = end;
                    break;
                }
                const bool doubled = quote + 1 < end && unit(quote[1]) == u'"';
                field.add(stretch, quote + (doubled ? 1 : 0));
                stretch = quote + (doubled ? 2 : 1);
                if (!doubled) {
                    p = quote;
                    break;
                }
            }
            break;
        case u',':
            consumer.field(field, ++recordFields);
            break;
        case u'\n':
            consumer.field(field, ++recordFields);
            consumer.record();
            recordFields = 0;
            break;
        default: // CR outside quotes is dropped
            break;
        }
        if (p < end)
            ++p;
    }
    if (stretch < end)
        field.add(stretch, end);
    if (!field.isEmpty() || recordFields > 0) {
        consumer.field(field, ++recordFields);
        consumer.record();
    }
}

// Every record as a list of fields.
template <typename Text> struct RecordList {
    const Fields<Text> &fields;
    QList<QStringList> records;
    QStringList current;

    void field(FieldBuilder<Text> &builder, qsizetype) {
        const Span span = builder.take();
        current.append(fields.field(span));
        builder.drop(span);
    }
    void record() {
        const qsizetype width = current.size();
        records.append(std::move(current));
        current = QStringList();
        current.reserve(width);
    }
};

// The first record as the header, the others as rows.
template <typename Text> struct Table {
    const Fields<Text> &fields;
    std::vector<Span> &spans;
    QStringList header;
    std::shared_ptr<CSVData> data;
    bool blank = false;

    void field(FieldBuilder<Text> &builder, qsizetype recordFields) {
        const Span span = builder.take();
        blank = recordFields == 1 && span.begin == span.end;
        if (!data) {
            header.append(fields.field(span));
            builder.drop(span);
        } else if (recordFields <= header.size()) {
            spans.push_back(span);
        } else {
            builder.drop(span); // beyond the header
        }
    }
    void record() {
        if (!data) {
            data = std::make_shared<CSVData>(header);
        } else if (blank) {
            spans.pop_back(); // a blank line is not a row
        } else {
            data->rowBounds.append(qsizetype(spans.size()));
        }
    }
};

template <typename Text> QList<QStringList> recordsOf(Text input) {
    Fields<Text> fields{std::move(input), {}, {}};
    RecordList<Text> list{fields, {}, {}};
    readRecords(fields, list);
    return std::move(list.records);
}

template <typename Text> CSVTable tableOf(Text input) {
    Fields<Text> fields{std::move(input), {}, {}};
    fields.spans.reserve(size_t(fields.input.size() / 16));
    Table<Text> table{fields, fields.spans, {}, {}};
    readRecords(fields, table);
    if (!table.data)
        return {};
    if constexpr (std::is_same_v<Text, QByteArray>)
        table.data->utf8 = std::move(fields);
    else
        table.data->text = std::move(fields);
    return {std::move(table.header), CSVData::rowsOf(table.data)};
}

// The input without a leading byte-order mark, sharing its storage.
QString withoutByteOrderMark(const QString &text) {
    return text.startsWith(u'\uFEFF') ? text.sliced(1) : text;
}
QByteArray withoutByteOrderMark(const QByteArray &utf8) {
    return utf8.startsWith("\xEF\xBB\xBF") ? utf8.sliced(3) : utf8;
}

bool needsQuotes(const QString &field) {
    return nextSpecial(field.constBegin(), field.constEnd()) != field.constEnd();
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
    auto data = std::make_shared<CSVData>(header);
    for (qsizetype i = 0; i < std::min(header.size(), record.size()); ++i) {
        const qsizetype begin = data->text.input.size();
        data->text.input += record[i];
        data->text.spans.push_back({begin, data->text.input.size()});
    }
    data->rowBounds.append(qsizetype(data->text.spans.size()));
    m_data = std::move(data);
}

QString CSVRow::field(qsizetype column) const {
    const qsizetype first = m_data->rowBounds[m_row];
    if (column >= m_data->rowBounds[m_row + 1] - first)
        return QString(); // the record was shorter than the header
    return m_data->field(first + column);
}

std::optional<QString> CSVRow::operator[](const QString &key) const {
    if (!m_data)
        return std::nullopt;
    auto column = m_data->exact.constFind(key);
    if (column == m_data->exact.cend()) {
        column = m_data->folded.constFind(key.toCaseFolded());
        if (column == m_data->folded.cend())
            return std::nullopt;
    }
    return field(*column);
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
