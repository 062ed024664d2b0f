#include "security/IndicatorMatching.h"

#include <QHash>
#include <QHostAddress>
#include <algorithm>
#include <bitset>
#include <unordered_map>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using Address = std::array<quint8, 16>;

bool isLineBreak(QChar c) {
    return c == u'\n' || c == u'\r';
}

// A character that can be part of a written address.
bool isAddressCharacter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F') || u == u'.' || u == u':';
}

// Calls onLine for every line of text (split at LF, CR and CRLF), empty ones skipped.
template <typename OnLine> void forEachLine(QStringView text, OnLine onLine) {
    const QChar *p = text.data();
    const QChar *end = p + text.size();
    while (p < end) {
        const QChar *lineEnd = p;
        while (lineEnd < end && !isLineBreak(*lineEnd))
            ++lineEnd;
        if (lineEnd > p)
            onLine(QStringView(p, lineEnd));
        p = lineEnd + 1;
    }
}

std::optional<quint32> parseIPv4(QStringView text) {
    quint32 value = 0;
    int parts = 0;
    for (const QStringView part : text.tokenize(u'.')) {
        if (++parts > 4 || part.isEmpty() || part.size() > 3 || (part.size() > 1 && part.front() == u'0'))
            return std::nullopt;
        int number = 0;
        for (const QChar c : part) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
            number = number * 10 + (c.unicode() - u'0');
        }
        if (number > 255)
            return std::nullopt;
        value = value << 8 | quint32(number);
    }
    if (parts != 4)
        return std::nullopt;
    return value;
}

Address mappedIPv4(quint32 value) {
    Address address{};
    address[10] = address[11] = 0xff;
    for (int i = 0; i < 4; ++i)
        address[size_t(12 + i)] = quint8(value >> (24 - 8 * i));
    return address;
}

bool isMappedIPv4(const Address &address) {
    return std::all_of(address.begin(), address.begin() + 10, [](quint8 b) { return b == 0; }) && address[10] == 0xff &&
           address[11] == 0xff;
}

Address masked(Address address, int prefixLength) {
    for (int bit = prefixLength; bit < 128; ++bit)
        address[size_t(bit / 8)] &= quint8(~(0x80u >> (bit % 8)));
    return address;
}

// A prefix length written as a decimal number without leading zeros.
std::optional<int> parsePrefixLength(QStringView text, int maximum) {
    if (text.isEmpty() || text.size() > 3 || (text.size() > 1 && text.front() == u'0'))
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value <= maximum ? std::optional(value) : std::nullopt;
}

struct RangeKey {
    Address network;
    int prefixLength;
    bool operator==(const RangeKey &) const = default;
};

struct RangeKeyHash {
    size_t operator()(const RangeKey &key) const noexcept {
        return qHashBits(key.network.data(), key.network.size(), size_t(key.prefixLength));
    }
};

// Lets a QString-keyed map be searched with a view of the text.
struct ViewHash {
    using is_transparent = void;
    size_t operator()(QStringView text) const noexcept { return qHash(text); }
};
struct ViewEqual {
    using is_transparent = void;
    bool operator()(QStringView a, QStringView b) const noexcept { return a == b; }
};

// The address a candidate run of address characters spells, tolerating what
// surrounds addresses in prose and logs: a trailing "." or ":", and a port after IPv4.
std::optional<Address> addressIn(QStringView run) {
    if (const auto address = parseIPAddress(run))
        return address;
    QStringView trimmed = run;
    while (!trimmed.isEmpty() && (trimmed.back() == u'.' || trimmed.back() == u':'))
        trimmed.chop(1);
    if (trimmed.size() != run.size())
        if (const auto address = parseIPAddress(trimmed))
            return address;
    const qsizetype colon = trimmed.indexOf(u':');
    if (colon > 0)
        if (const auto ipv4 = parseIPv4(trimmed.first(colon)))
            return mappedIPv4(*ipv4);
    return std::nullopt;
}

// A run of token characters as its first character and its length (longer ones share the last slot).
size_t runShape(const QChar *run, qsizetype length) {
    return size_t(run->unicode()) * 32 + size_t(std::min<qsizetype>(length, 31));
}

} // namespace

bool isTokenCharacter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'_';
}

bool containsWholeToken(QStringView line, QStringView indicator) {
    if (indicator.isEmpty())
        return false;
    for (qsizetype at = line.indexOf(indicator); at >= 0; at = line.indexOf(indicator, at + 1)) {
        const qsizetype after = at + indicator.size();
        if ((at == 0 || !isTokenCharacter(line[at - 1])) && (after == line.size() || !isTokenCharacter(line[after])))
            return true;
    }
    return false;
}

qsizetype wholeTokenLineCount(QStringView text, QStringView indicator) {
    qsizetype count = 0;
    forEachLine(text, [&](QStringView line) {
        if (containsWholeToken(line, indicator))
            ++count;
    });
    return count;
}

bool IPRange::contains(const Address &address) const {
    return masked(address, prefixLength) == network;
}

std::optional<Address> parseIPAddress(QStringView text) {
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), isAddressCharacter))
        return std::nullopt;
    if (!text.contains(u':')) {
        if (const auto ipv4 = parseIPv4(text))
            return mappedIPv4(*ipv4);
        return std::nullopt;
    }
    QHostAddress host;
    if (!host.setAddress(text.toString()) || host.protocol() != QAbstractSocket::IPv6Protocol)
        return std::nullopt;
    const Q_IPV6ADDR bytes = host.toIPv6Address();
    Address address;
    std::copy(std::begin(bytes.c), std::end(bytes.c), address.begin());
    return address;
}

std::optional<IPRange> parseIPRange(QStringView text) {
    const qsizetype slash = text.indexOf(u'/');
    const auto address = parseIPAddress(slash < 0 ? text : text.first(slash));
    if (!address)
        return std::nullopt;
    if (slash < 0)
        return IPRange{*address, 128};
    // An IPv4 range is written with IPv4's prefix length, also for a mapped address.
    const bool ipv4 = !text.first(slash).contains(u':');
    const auto length = parsePrefixLength(text.sliced(slash + 1), ipv4 ? 32 : 128);
    if (!length)
        return std::nullopt;
    const int prefixLength = ipv4 ? 96 + *length : *length;
    return IPRange{masked(*address, prefixLength), prefixLength};
}

QString canonicalIPAddress(const Address &address) {
    if (isMappedIPv4(address))
        return u"%1.%2.%3.%4"_s.arg(address[12]).arg(address[13]).arg(address[14]).arg(address[15]);
    Q_IPV6ADDR bytes;
    std::copy(address.begin(), address.end(), std::begin(bytes.c));
    return QHostAddress(bytes).toString().toLower();
}

struct IndicatorMatcher::Index {
    QStringList indicators;
    // Indicators that begin with a token character: a whole occurrence can only
    // begin where a run of token characters begins, and that run is then the
    // indicator's own first run. For each first run, the lengths of the
    // indicators that begin with it; then every such indicator by its text.
    std::unordered_map<QString, std::vector<qsizetype>, ViewHash, ViewEqual> lengthsByFirstRun;
    std::unordered_map<QString, std::vector<qsizetype>, ViewHash, ViewEqual> byText;
    // Which (first character, length) pairs some first run has: most runs of a
    // report are looked up in no table at all.
    std::bitset<128 * 32> firstRunShapes;
    // The rest, searched for in every line.
    std::vector<qsizetype> unanchored;
    // Addresses and ranges by their masked network, and the prefix lengths in use.
    std::unordered_map<RangeKey, std::vector<qsizetype>, RangeKeyHash> ranges;
    std::vector<int> prefixLengths;
};

IndicatorMatcher::IndicatorMatcher(const QStringList &indicators) {
    auto index = std::make_unique<Index>();
    index->indicators = indicators;
    for (qsizetype i = 0; i < indicators.size(); ++i) {
        const QString &indicator = indicators[i];
        if (indicator.isEmpty())
            continue;
        if (isTokenCharacter(indicator.front())) {
            const qsizetype run =
                std::find_if_not(indicator.begin(), indicator.end(), isTokenCharacter) - indicator.begin();
            index->firstRunShapes.set(runShape(indicator.constData(), run));
            std::vector<qsizetype> &lengths = index->lengthsByFirstRun[indicator.first(run)];
            if (std::find(lengths.begin(), lengths.end(), indicator.size()) == lengths.end())
                lengths.push_back(indicator.size());
            index->byText[indicator].push_back(i);
        } else {
            index->unanchored.push_back(i);
        }
        if (const auto range = parseIPRange(indicator)) {
            index->ranges[RangeKey{range->network, range->prefixLength}].push_back(i);
            if (std::find(index->prefixLengths.begin(), index->prefixLengths.end(), range->prefixLength) ==
                index->prefixLengths.end())
                index->prefixLengths.push_back(range->prefixLength);
        }
    }
    m_index = std::move(index);
}

IndicatorMatcher::~IndicatorMatcher() = default;

QList<qsizetype> IndicatorMatcher::lineCounts(QStringView text) const {
    const Index &index = *m_index;
    QList<qsizetype> counts(index.indicators.size(), 0);
    // The last line each indicator was counted on, so a line counts once.
    std::vector<qsizetype> countedOn(size_t(index.indicators.size()), -1);
    qsizetype lineNumber = 0;
    auto count = [&](qsizetype indicator) {
        if (countedOn[size_t(indicator)] == lineNumber)
            return;
        countedOn[size_t(indicator)] = lineNumber;
        ++counts[indicator];
    };

    forEachLine(text, [&](QStringView line) {
        ++lineNumber;
        const QChar *begin = line.data();
        const QChar *end = begin + line.size();
        if (!index.byText.empty()) {
            for (const QChar *p = begin; p < end;) {
                if (!isTokenCharacter(*p)) {
                    ++p;
                    continue;
                }
                const QChar *runEnd = std::find_if_not(p, end, isTokenCharacter);
                if (!index.firstRunShapes.test(runShape(p, runEnd - p))) {
                    p = runEnd;
                    continue;
                }
                const auto lengths = index.lengthsByFirstRun.find(QStringView(p, runEnd));
                if (lengths != index.lengthsByFirstRun.end()) {
                    for (const qsizetype length : lengths->second) {
                        if (length > end - p || (length < end - p && isTokenCharacter(p[length])))
                            continue;
                        const auto found = index.byText.find(QStringView(p, length));
                        if (found != index.byText.end())
                            for (const qsizetype i : found->second)
                                count(i);
                    }
                }
                p = runEnd;
            }
        }
        for (const qsizetype i : index.unanchored)
            if (countedOn[size_t(i)] != lineNumber && containsWholeToken(line, index.indicators[i]))
                count(i);
        if (index.ranges.empty())
            return;
        for (const QChar *p = begin; p < end;) {
            if (!isAddressCharacter(*p)) {
                ++p;
                continue;
            }
            const QChar *runEnd = std::find_if_not(p, end, isAddressCharacter);
            // A separator glued to the front ("ip:203.0.113.7") is not part of the address; "::" may be.
            const QChar *start = p;
            while (start < runEnd && (*start == u'.' || (*start == u':' && (start + 1 == runEnd || start[1] != u':'))))
                ++start;
            const QStringView run(start, runEnd);
            const bool whole =
                (start == begin || !isTokenCharacter(start[-1])) && (runEnd == end || !isTokenCharacter(*runEnd));
            if (whole && run.size() >= 2 && (run.contains(u'.') || run.contains(u':'))) {
                if (const auto address = addressIn(run)) {
                    for (const int prefixLength : index.prefixLengths) {
                        const auto found = index.ranges.find(RangeKey{masked(*address, prefixLength), prefixLength});
                        if (found != index.ranges.end())
                            for (const qsizetype i : found->second)
                                count(i);
                    }
                }
            }
            p = runEnd;
        }
    });
    return counts;
}
