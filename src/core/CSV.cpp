#include "core/CSV.h"

#include "core/Error.h"
#include "core/Utf8.h"

#include <QFile>
#include <algorithm>
#include <bit>
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

// The first of the ASCII characters Needles at or after p, or end. Memory up
// to limit may be read, so a short rest takes one vector load too.
template <char... Needles> const char *findAny(const char *p, const char *end, const char *limit = nullptr) {
#if defined(__SSE2__)
    const auto hitsAt = [](const char *at) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        __m128i hits = _mm_setzero_si128();
        ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(chunk, _mm_set1_epi8(Needles)))), ...);
        return unsigned(_mm_movemask_epi8(hits));
    };
    for (; end - p >= 16; p += 16) {
        if (const unsigned mask = hitsAt(p))
            return p + std::countr_zero(mask);
    }
    if (p < end && limit && limit - p >= 16) {
        const unsigned mask = hitsAt(p) & ((1u << (end - p)) - 1);
        return mask ? p + std::countr_zero(mask) : end;
    }
#endif
    while (p < end && ((unit(*p) != Needles) && ...))
        ++p;
    return p;
}

template <char... Needles> const QChar *findAny(const QChar *p, const QChar *end, const QChar *limit = nullptr) {
#if defined(__SSE2__)
    const auto hitsAt = [](const QChar *at) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        __m128i hits = _mm_setzero_si128();
        ((hits = _mm_or_si128(hits, _mm_cmpeq_epi16(chunk, _mm_set1_epi16(Needles)))), ...);
        return unsigned(_mm_movemask_epi8(hits)); // two bits a unit
    };
    for (; end - p >= 8; p += 8) {
        if (const unsigned mask = hitsAt(p))
            return p + std::countr_zero(mask) / 2;
    }
    if (p < end && limit && limit - p >= 8) {
        const unsigned mask = hitsAt(p) & ((1u << 2 * (end - p)) - 1);
        return mask ? p + std::countr_zero(mask) / 2 : end;
    }
#endif
    while (p < end && ((unit(*p) != Needles) && ...))
        ++p;
    return p;
}

// Whether [p, end) is ASCII; memory up to limit may be read.
bool isAscii(const char *p, const char *end, const char *limit) {
#if defined(__SSE2__)
    const auto highBits = [](const char *at) {
        return unsigned(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(at))));
    };
    for (; end - p >= 16; p += 16) {
        if (highBits(p))
            return false;
    }
    if (p < end && limit && limit - p >= 16)
        return (highBits(p) & ((1u << (end - p)) - 1)) == 0;
#endif
    return std::all_of(p, end, [](char c) { return uchar(c) < 0x80; });
}

// ASCII is widened directly, much cheaper than decoding UTF-8.
QString decode(const char *begin, qsizetype size, const char *limit) {
    if (isAscii(begin, begin + size, limit))
        return QString::fromLatin1(begin, size);
    return textOfUtf8(QByteArrayView(begin, size));
}
QString decode(const QChar *begin, qsizetype size, const QChar *) {
    return QString(begin, size);
}

// The text of a field without quotes, CRs or backslashes, or none when it has
// any: one pass that also tells ASCII from UTF-8. Memory up to limit may be read.
inline std::optional<QString> plainFieldText(const char *begin, const char *end, const char *limit) {
#if defined(__SSE2__)
    unsigned high = 0;
    const auto scan = [&](const char *at, unsigned valid) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        const __m128i special = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('"')), _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\r'))),
            _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\\')));
        high |= unsigned(_mm_movemask_epi8(chunk)) & valid;
        return (unsigned(_mm_movemask_epi8(special)) & valid) == 0;
    };
    const char *p = begin;
    for (; end - p >= 16; p += 16) {
        if (!scan(p, 0xFFFF))
            return std::nullopt;
    }
    if (p < end) {
        if (!limit || limit - p < 16)
            return std::nullopt; // rare: the end of the input, read one unit at a time elsewhere
        if (!scan(p, (1u << (end - p)) - 1))
            return std::nullopt;
    }
    if (high == 0)
        return QString::fromLatin1(begin, end - begin);
    return textOfUtf8(QByteArrayView(begin, end - begin));
#else
    if (findAny<'"', '\r', '\\'>(begin, end) != end)
        return std::nullopt;
    return decode(begin, end - begin, limit);
#endif
}
std::optional<QString> plainFieldText(const QChar *begin, const QChar *end, const QChar *limit) {
    if (findAny<'"', '\r', '\\'>(begin, end, limit) != end)
        return std::nullopt;
    return QString(begin, end - begin);
}

// fieldText of a field holding a quote, CR or backslash. Every quote toggles
// the quoted state, so a doubled quote inside quotes keeps one quote and stays
// quoted; CR outside quotes is dropped. A backslash gives the unit after it as
// it stands: gam's CSV writer escapes its escape character, so a backslash in
// a name arrives doubled. The pieces between those are decoded one by one:
// joining UTF-8 bytes around a dropped quote could turn invalid sequences into
// a valid one. Out of line, so the common plain field pays for none of this.
template <typename Char>
[[gnu::noinline]] QString quotedFieldText(const Char *begin, const Char *end, const Char *limit) {
    const Char *p = findAny<'"', '\r', '\\'>(begin, end, limit);
    // Quoted as a whole with no quote or backslash inside: nearly every quoted field.
    if (p == begin && unit(*p) == u'"' && end - begin >= 2 && unit(end[-1]) == u'"' &&
        findAny<'"', '\\'>(begin + 1, end, limit) == end - 1)
        return decode(begin + 1, end - begin - 2, limit);

    QString text;
    text.reserve(end - begin);
    const Char *stretch = begin; // start of the input not yet added
    auto add = [&](const Char *to) {
        if (stretch != to)
            text += decode(stretch, to - stretch, limit);
    };
    // Drops the backslash and returns where to look on from, past the unit it
    // escapes; a backslash that ends the field stays.
    auto escape = [&](const Char *backslash) {
        add(backslash);
        stretch = backslash + 1 < end ? backslash + 1 : backslash;
        return std::min(backslash + 2, end);
    };
    while (p < end) {
        if (unit(*p) == u'\\') {
            p = findAny<'"', '\r', '\\'>(escape(p), end);
            continue;
        }
        add(p);
        stretch = p + 1;
        if (unit(*p) == u'"') {
            for (const Char *from = stretch;;) {
                const Char *mark = findAny<'"', '\\'>(from, end);
                if (mark == end) { // never closed: the field runs to the end of the input
                    add(end);
                    return text;
                }
                if (unit(*mark) == u'\\') {
                    from = escape(mark);
                    continue;
                }
                const bool doubled = mark + 1 < end && unit(mark[1]) == u'"';
                add(mark + (doubled ? 1 : 0));
                stretch = from = mark + (doubled ? 2 : 1);
                if (!doubled) {
                    p = mark;
                    break;
                }
            }
        }
        p = findAny<'"', '\r', '\\'>(p + 1, end);
    }
    add(end);
    return text;
}

// The text of the field whose raw input is [begin, end): the input between
// the separators around it. Memory up to limit may be read.
template <typename Char> QString fieldText(const Char *begin, const Char *end, const Char *limit = nullptr) {
    if (std::optional<QString> plain = plainFieldText(begin, end, limit))
        return *std::move(plain);
    return quotedFieldText(begin, end, limit);
}

// Whether the raw field [begin, end) is a blank line's: nothing but carriage
// returns. A quoted empty field is a field.
template <typename Char> bool isBlank(const Char *begin, const Char *end) {
    return std::all_of(begin, end, [](Char c) { return unit(c) == u'\r'; });
}

#if defined(__SSE2__)
// 64 input units loaded once as bytes and compared several times. UTF-16 units
// are narrowed with saturation, so only Latin-1 units can equal an ASCII byte.
class Block {
public:
    explicit Block(const char *p) {
        for (int k = 0; k < 4; ++k)
            m_bytes[k] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p) + k);
    }
    explicit Block(const QChar *p) {
        const auto *units = reinterpret_cast<const __m128i *>(p);
        for (int k = 0; k < 4; ++k)
            m_bytes[k] = _mm_packus_epi16(_mm_loadu_si128(units + 2 * k), _mm_loadu_si128(units + 2 * k + 1));
    }

    // Bit i set where unit i is c.
    quint64 matches(char c) const {
        const __m128i needle = _mm_set1_epi8(c);
        return bits(_mm_cmpeq_epi8(m_bytes[0], needle), _mm_cmpeq_epi8(m_bytes[1], needle),
                    _mm_cmpeq_epi8(m_bytes[2], needle), _mm_cmpeq_epi8(m_bytes[3], needle));
    }
    // Bit i set where unit i is a or b.
    quint64 matches(char a, char b) const {
        const __m128i first = _mm_set1_epi8(a), second = _mm_set1_epi8(b);
        const auto either = [&](__m128i bytes) {
            return _mm_or_si128(_mm_cmpeq_epi8(bytes, first), _mm_cmpeq_epi8(bytes, second));
        };
        return bits(either(m_bytes[0]), either(m_bytes[1]), either(m_bytes[2]), either(m_bytes[3]));
    }

private:
    static quint64 bits(__m128i a, __m128i b, __m128i c, __m128i d) {
        return quint64(unsigned(_mm_movemask_epi8(a))) | quint64(unsigned(_mm_movemask_epi8(b))) << 16 |
               quint64(unsigned(_mm_movemask_epi8(c))) << 32 | quint64(unsigned(_mm_movemask_epi8(d))) << 48;
    }

    __m128i m_bytes[4];
};

// Bit i set when an odd number of the bits up to i are set.
quint64 prefixParity(quint64 bits) {
    bits ^= bits << 1;
    bits ^= bits << 2;
    bits ^= bits << 4;
    bits ^= bits << 8;
    bits ^= bits << 16;
    return bits ^ bits << 32;
}

// Calls onSeparator for every comma and line feed outside quotes, in order,
// and returns the end of the input. The input starting at begin arrives
// through more(), which returns the end of what has arrived so far and the same
// end again once everything has (a file is scanned piece by piece while what
// was just read is still in the cache). Sixty-four units at a time: the
// quotes' running parity masks the separators inside quoted stretches, so a
// short field costs a few instructions.
template <typename Char, typename More, typename OnSeparator>
const Char *forEachSeparator(const Char *begin, More &&more, OnSeparator &&onSeparator) {
    quint64 quoted = 0; // all ones while a quoted stretch runs on from the previous block
    Char rest[64];      // the last units, padded with units that match nothing
    const Char *end = more();
    for (const Char *p = begin;; p += 64) {
        const Char *units = p;
        if (end - p < 64) {
            for (const Char *further = end; end - p < 64 && (further = more()) != end;)
                end = further;
            if (end - p < 64) {
                if (p == end)
                    break;
                std::fill(std::copy(p, end, rest), std::end(rest), Char());
                units = rest;
            }
        }
        const Block block(units);
        quint64 separators = block.matches(',', '\n');
        if (const quint64 quotes = block.matches('"')) {
            const quint64 inside = prefixParity(quotes) ^ quoted;
            quoted = quint64(qint64(inside) >> 63);
            separators &= ~inside;
        } else {
            separators &= ~quoted;
        }
        for (; separators; separators &= separators - 1)
            onSeparator(p + std::countr_zero(separators));
        if (units == rest)
            break;
    }
    return end;
}
#else
const char *nextQuote(const char *from, const char *end) {
    const void *quote = std::memchr(from, '"', size_t(end - from));
    return quote ? static_cast<const char *>(quote) : end;
}
const QChar *nextQuote(const QChar *from, const QChar *end) {
    const qsizetype at = QStringView(from, end).indexOf(u'"');
    return at < 0 ? end : from + at;
}

template <typename Char, typename More, typename OnSeparator>
const Char *forEachSeparator(const Char *begin, More &&more, OnSeparator &&onSeparator) {
    const Char *end = more();
    for (const Char *further = more(); further != end; further = more())
        end = further;
    for (const Char *p = findAny<',', '\n', '"'>(begin, end); p < end; p = findAny<',', '\n', '"'>(p, end)) {
        if (unit(*p) == u'"') {
            p = nextQuote(p + 1, end);
            if (p < end)
                ++p;
            continue;
        }
        onSeparator(p++);
    }
    return end;
}
#endif

// One pass over the input (see forEachSeparator), handing each field's raw
// input and each record's end to sink; returns the end of the input. Only
// quotes matter for where fields end: a comma or line feed ends a field unless
// an odd number of quotes precedes it in the field.
template <typename Char, typename More, typename Sink>
const Char *readRecords(const Char *begin, More &&more, Sink &sink) {
    const Char *field = begin;
    qsizetype recordFields = 0;
    const Char *end = forEachSeparator(begin, more, [&](const Char *separator) {
        sink.field(field, separator, ++recordFields);
        field = separator + 1;
        if (unit(*separator) == u'\n') {
            sink.record(recordFields);
            recordFields = 0;
        }
    });
    if (recordFields > 0 || !isBlank(field, end)) {
        sink.field(field, end, ++recordFields);
        sink.record(recordFields);
    }
    return end;
}

// Input that is all there already.
template <typename Char> auto allOf(const Char *end) {
    return [end] { return end; };
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
        QList<CSVRow> rows(qsizetype(data->rowStarts.size()) - 1);
        qsizetype index = 0;
        for (CSVRow &row : rows) { // filled in place: hundreds of thousands of rows are common
            row.m_data = data;
            row.m_row = index++;
        }
        return rows;
    }

    qsizetype start(qsizetype index) const { return starts.empty() ? wideStarts[index] : starts[index]; }

    // Field column of row; the empty text when the record was shorter.
    QString field(qsizetype row, qsizetype column) const {
        const qsizetype index = rowStarts[row] + column;
        if (index + 1 >= rowStarts[row + 1])
            return QString();
        const qsizetype begin = start(index), end = start(index + 1) - 1;
        if (isUtf8)
            return fieldText(utf8.constData() + begin, utf8.constData() + end, utf8.constData() + utf8.size());
        return fieldText(text.constData() + begin, text.constData() + end, text.constData() + text.size());
    }

    // The column that answers key, or -1.
    int column(const QString &key) const;

    QStringList names;
    QHash<QString, int> exact;  // the later column wins for a repeated name
    QHash<QString, int> folded; // case-folded name -> the column exact gives the leftmost such name
    // Callers mostly look fields up with the header's own strings: those are
    // found by the address of their text, hashed in a table of twice the
    // header's size, before any hashing of text.
    struct Known {
        const QChar *address = nullptr;
        qsizetype size = 0;
        int column = -1;
    };
    std::vector<Known> known;
    size_t knownMask = 0; // known.size() - 1, a power of two less one
    size_t slot(const QChar *address) const {
        return size_t((quintptr(address) >> 3) * 0x9E3779B97F4A7C15ULL >> 32) & knownMask;
    }

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

// The header, and each row's field offsets into starts and rowStarts; returns
// the end of the input (see forEachSeparator). size bounds the input's length.
template <typename Char, typename Offset, typename More>
const Char *readTable(const Char *begin, qsizetype size, More &&more, std::vector<Offset> &starts,
                      std::vector<qsizetype> &rowStarts, QStringList &header) {
    // Generous guesses cost only address space: pages nobody writes stay unused.
    starts.reserve(size_t(size / 16));
    rowStarts.reserve(size_t(size / 128));
    Table<Char, Offset> table{begin, starts, rowStarts, {}};
    const Char *end = readRecords(begin, more, table);
    header = std::move(table.header);
    return end;
}

// The table in the input at begin (see readTable); keep(data, end) gives the
// rows' data what the input lies in.
template <typename Char, typename More, typename Keep>
CSVTable tableOf(const Char *begin, qsizetype size, More &&more, Keep &&keep) {
    std::vector<quint32> starts;
    std::vector<qint64> wideStarts;
    std::vector<qsizetype> rowStarts = {0};
    QStringList header;
    const Char *end = size < qsizetype(std::numeric_limits<quint32>::max())
                          ? readTable(begin, size, more, starts, rowStarts, header)
                          : readTable(begin, size, more, wideStarts, rowStarts, header);
    if (header.isEmpty())
        return {};
    auto data = std::make_shared<CSVData>(header);
    data->starts = std::move(starts);
    data->wideStarts = std::move(wideStarts);
    data->rowStarts = std::move(rowStarts);
    keep(*data, end);
    return {header, CSVData::rowsOf(data)};
}

CSVTable tableOf(QByteArray utf8) {
    const char *end = utf8.constData() + utf8.size();
    return tableOf(utf8.constData(), utf8.size(), allOf(end), [&utf8](CSVData &data, const char *) {
        data.isUtf8 = true;
        data.utf8 = std::move(utf8);
    });
}

CSVTable tableOf(QString text) {
    const QChar *end = text.constData() + text.size();
    return tableOf(text.constData(), text.size(), allOf(end),
                   [&text](CSVData &data, const QChar *) { data.text = std::move(text); });
}

template <typename Text> QList<QStringList> recordsOf(const Text &input) {
    using Char = std::remove_cv_t<std::remove_pointer_t<decltype(input.constData())>>;
    RecordList<Char> list;
    readRecords(input.constData(), allOf(input.constData() + input.size()), list);
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
    known.resize(std::bit_ceil(size_t(names.size()) * 2 + 1));
    knownMask = known.size() - 1;
    for (const QString &name : std::as_const(names)) {
        size_t at = slot(name.constData());
        while (known[at].address && known[at].address != name.constData())
            at = (at + 1) & knownMask;
        known[at] = Known{name.constData(), name.size(), exact.value(name)};
    }
}

int CSVData::column(const QString &key) const {
    for (size_t at = slot(key.constData()); known[at].address; at = (at + 1) & knownMask) {
        if (known[at].address == key.constData() && known[at].size == key.size())
            return known[at].column;
    }
    if (const auto found = exact.constFind(key); found != exact.cend())
        return *found;
    if (const auto found = folded.constFind(key.toCaseFolded()); found != folded.cend())
        return *found;
    return -1;
}

CSVRow::CSVRow(const QStringList &header, const QStringList &record) {
    // The record written as one CSV line, so that its fields read back as given.
    auto data = std::make_shared<CSVData>(header);
    for (qsizetype i = 0; i < std::min(header.size(), record.size()); ++i) {
        data->starts.push_back(quint32(data->text.size()));
        appendField(data->text, QString(record[i]).replace(u'\\', QStringLiteral("\\\\")));
        data->text += u',';
    }
    data->starts.push_back(quint32(data->text.size()));
    data->rowStarts.push_back(qsizetype(data->starts.size()));
    m_data = std::move(data);
}

QString CSVRow::field(qsizetype column) const {
    if (!m_data || column < 0)
        return QString();
    return m_data->field(m_row, column); // empty when the record was shorter
}

std::optional<qsizetype> CSVRow::column(const QString &key) const {
    const int column = m_data ? m_data->column(key) : -1;
    if (column < 0)
        return std::nullopt;
    return column;
}

std::optional<QString> CSVRow::operator[](const QString &key) const {
    const int column = m_data ? m_data->column(key) : -1;
    if (column < 0)
        return std::nullopt;
    return m_data->field(m_row, column);
}

QString CSVRow::value(const QString &key) const {
    // Straight to the data: this runs for every field of listings hundreds of
    // thousands of rows long.
    const int column = m_data ? m_data->column(key) : -1;
    return column < 0 ? QString() : m_data->field(m_row, column);
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
    // Reads the next piece, small enough to be parsed while still in the cache,
    // and returns the end of what has been read. At the end of the file (or
    // when it shrank while being read) the end stays where it is.
    const auto more = [&]() -> const char * {
        constexpr qint64 piece = 512 << 10;
        const qint64 read = length < size ? file.read(buffer.get() + length, std::min(piece, size - length)) : 0;
        if (read < 0)
            throw Error(QStringLiteral("Could not read %1: %2").arg(path, file.errorString()));
        length += read;
        return buffer.get() + length;
    };
    for (qint64 before = -1; length < std::min<qint64>(size, 3) && length != before;) {
        before = length;
        more();
    }
    const qsizetype mark = QByteArrayView(buffer.get(), length).startsWith("\xEF\xBB\xBF") ? 3 : 0;
    // The rows keep the buffer; their byte array only looks into it.
    return tableOf(static_cast<const char *>(buffer.get()) + mark, size - mark, more,
                   [&buffer, mark](CSVData &data, const char *end) {
                       const char *begin = buffer.get() + mark;
                       data.isUtf8 = true;
                       data.storage = buffer;
                       data.utf8 = QByteArray::fromRawData(begin, end - begin);
                   });
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
