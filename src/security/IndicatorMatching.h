#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <optional>

// Finding known indicators in gam's output. A token character is "_" or an
// ASCII letter or digit; an indicator is found as a whole token when the
// characters around it (if any) are not token characters.

bool isTokenCharacter(QChar c);
// Whether the line holds the indicator (case-sensitive) as a whole token at least once.
bool containsWholeToken(QStringView line, QStringView indicator);
// How many lines of the text (split at line breaks) hold the indicator as a whole token.
qsizetype wholeTokenLineCount(QStringView text, QStringView indicator);

// An IPv4 or IPv6 address range. IPv4 is kept in its IPv4-mapped IPv6 form
// (::ffff:a.b.c.d, prefix 96 + n), so both spellings of one address are equal.
struct IPRange {
    std::array<quint8, 16> network{};
    int prefixLength = 128;

    bool contains(const std::array<quint8, 16> &address) const;
};

// A single address: IPv4 as four decimal numbers without leading zeros, or
// IPv6 in any textual form (compressed or not, any letter case).
std::optional<std::array<quint8, 16>> parseIPAddress(QStringView text);
// An address, or a CIDR range ("203.0.113.0/24", "2001:db8::/32"); host bits of a range are ignored.
std::optional<IPRange> parseIPRange(QStringView text);
// The address in the form GAM reports addresses: dotted IPv4 (also for an
// IPv4-mapped IPv6 address), compressed lower-case IPv6.
QString canonicalIPAddress(const std::array<quint8, 16> &address);

// Counts many indicators over a text in one pass. Every indicator counts a
// line that holds it as a whole token; an address or range also counts a line
// that holds any address inside it, in any textual form.
class IndicatorMatcher {
public:
    explicit IndicatorMatcher(const QStringList &indicators);
    ~IndicatorMatcher();
    IndicatorMatcher(const IndicatorMatcher &) = delete;
    IndicatorMatcher &operator=(const IndicatorMatcher &) = delete;

    // For each indicator, in order, the number of lines that hold it.
    QList<qsizetype> lineCounts(QStringView text) const;

private:
    struct Index;
    std::unique_ptr<const Index> m_index;
};
