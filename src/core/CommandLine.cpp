#include "core/CommandLine.h"
#include "core/UnicodeCategories.h"

#include <QTextBoundaryFinder>

namespace {

// Characters with the Unicode White_Space property.
bool isWhiteSpaceScalar(char32_t c) {
    switch (c) {
    case U' ':
    case U'\t':
    case U'\n':
    case U'\r':
    case U'\v':
    case U'\f':
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
        return true;
    default:
        return c >= 0x2000 && c <= 0x200A;
    }
}

// One grapheme cluster is white space when it is a single white-space scalar or
// CR LF; white space carrying a combining mark is an ordinary character.
bool isWhiteSpace(QStringView character) {
    if (character == u"\r\n")
        return true;
    if (character.size() != 1)
        return false;
    return isWhiteSpaceScalar(character.front().unicode());
}

bool isSafeScalar(char32_t c) {
    return isLetterMarkOrNumber(c) || (c < 0x80 && QStringView(u"@%+=:,./-_").contains(QChar(char16_t(c))));
}

QList<QStringView> graphemeClusters(const QString &text) {
    QList<QStringView> clusters;
    clusters.reserve(text.size());
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        if (end > start)
            clusters.append(QStringView(text).sliced(start, end - start));
        start = end;
    }
    return clusters;
}

} // namespace

QStringList tokenize(const QString &line) {
    const QList<QStringView> characters = graphemeClusters(line);
    QStringList tokens;
    QString current;
    bool inToken = false;
    QChar quote; // null when outside quotes

    for (qsizetype i = 0; i < characters.size(); ++i) {
        const QStringView c = characters[i];
        const bool single = c.size() == 1;
        if (!quote.isNull()) {
            if (single && c.front() == quote) {
                quote = QChar();
            } else if (single && c.front() == u'\\' && quote == u'"') {
                if (++i == characters.size()) {
                    current += u'\\';
                    break; // still inside the quotes: reported below
                }
                const QStringView next = characters[i];
                if (!(next == u"\"" || next == u"\\" || next == u"$" || next == u"`"))
                    current += u'\\';
                current += next;
            } else {
                current += c;
            }
            continue;
        }
        if (single && (c.front() == u'\'' || c.front() == u'"')) {
            inToken = true;
            quote = c.front();
            if (i + 1 == characters.size())
                throw UnbalancedQuote();
        } else if (single && c.front() == u'\\') {
            inToken = true;
            if (++i < characters.size())
                current += characters[i];
        } else if (isWhiteSpace(c)) {
            if (inToken) {
                tokens.append(std::move(current));
                current.clear();
                inToken = false;
            }
        } else {
            current += c;
            inToken = true;
        }
    }
    if (!quote.isNull())
        throw UnbalancedQuote();
    if (inToken)
        tokens.append(std::move(current));
    return tokens;
}

QString shellQuote(const QString &argument) {
    bool safe = !argument.isEmpty();
    const QList<uint> scalars = argument.toUcs4(); // a lone surrogate becomes U+FFFD, which is not safe
    for (qsizetype i = 0; safe && i < scalars.size(); ++i)
        safe = isSafeScalar(scalars[i]);
    if (safe)
        return argument;
    QString quoted = argument;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

QString displayCommand(const QStringList &arguments) {
    QString line = QStringLiteral("gam");
    for (const QString &argument : arguments)
        line += u' ' + shellQuote(argument);
    return line;
}
