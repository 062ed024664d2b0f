#include "core/InlineText.h"

#include <algorithm>

namespace {

constexpr char16_t leftToRightMark = 0x200E;
constexpr char16_t firstStrongIsolate = 0x2068;
constexpr char16_t popDirectionalIsolate = 0x2069;

bool isLineBreak(char16_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// LRE, RLE, PDF, LRO, RLO and LRI, RLI, FSI, PDI.
bool isDirectionalControl(char16_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool isRightToLeft(char32_t c) {
    const QChar::Direction direction = QChar::direction(c);
    return direction == QChar::DirR || direction == QChar::DirAL;
}

} // namespace

QString oneLine(const QString &text) {
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return isLineBreak(c.unicode()); }))
        return text;
    QString line;
    line.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!isLineBreak(c.unicode())) {
            line.append(c);
            continue;
        }
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        line.append(u' ');
    }
    return line;
}

QString inlineIsolated(const QString &text) {
    QString line = oneLine(text);
    line.removeIf([](QChar c) { return isDirectionalControl(c.unicode()); });
    for (qsizetype i = 0; i < line.size(); ++i) {
        char32_t c = line.at(i).unicode();
        if (line.at(i).isHighSurrogate() && i + 1 < line.size() && line.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(line.at(i), line.at(i + 1));
            ++i;
        }
        if (isRightToLeft(c))
            return QChar(leftToRightMark) + QChar(firstStrongIsolate) + line + QChar(popDirectionalIsolate);
    }
    return line;
}
