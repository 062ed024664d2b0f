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

// The characters of text as they read after a Latin letter and before a quote.
// Qt splits characters by their surroundings: syllables in Indic and a few
// other scripts, the default Unicode rules elsewhere, and only the default rules
// join a quote or space to its neighbour (a mark to the one before it, a
// prepended mark such as U+0600 to the one after it). Quoting worked out here
// therefore holds wherever an argument stands in a line.
struct Characters {
    QList<QStringView> list;
    bool firstClingsToWhatPrecedes = false;
    bool lastClingsToWhatFollows = false;
};

Characters charactersOf(QStringView text) {
    const QString set = u'x' + text + u'\'';
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, set);
    Characters characters;
    finder.setPosition(1);
    characters.firstClingsToWhatPrecedes = !text.isEmpty() && !finder.isAtBoundary();
    finder.setPosition(set.size() - 1);
    characters.lastClingsToWhatFollows = !text.isEmpty() && !finder.isAtBoundary();
    finder.toStart();
    qsizetype start = 0; // in text
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        const qsizetype textEnd = std::min(end - 1, text.size());
        if (textEnd > start) {
            characters.list.append(text.sliced(start, textEnd - start));
            start = textEnd;
        }
    }
    return characters;
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

    // tokenize reads characters, not scalars: a quote only counts when it is a
    // character of its own. So a leading mark goes before the opening quote, a
    // trailing prepended mark after the closing one, and a quote carrying a mark
    // is double-quoted. A POSIX shell reads all of these the same way.
    Characters characters = charactersOf(argument);
    QString quoted;
    if (characters.firstClingsToWhatPrecedes)
        quoted += characters.list.takeFirst();
    QStringView trailing;
    if (characters.lastClingsToWhatFollows && !characters.list.isEmpty())
        trailing = characters.list.takeLast();
    quoted += u'\'';
    for (const QStringView character : std::as_const(characters.list)) {
        if (character == u"'")
            quoted += u"'\\''";
        else if (character.contains(u'\''))
            quoted += u"'\"" + character + u"\"'";
        else
            quoted += character;
    }
    return quoted + u'\'' + trailing;
}

QString displayCommand(const QStringList &arguments) {
    QString line = QStringLiteral("gam");
    bool lastClings = false;
    for (const QString &argument : arguments) {
        // A tab separates characters where a space would be joined to a neighbour.
        const QString quoted = shellQuote(argument);
        const Characters characters = charactersOf(quoted);
        line += lastClings || characters.firstClingsToWhatPrecedes ? u'\t' : u' ';
        line += quoted;
        lastClings = characters.lastClingsToWhatFollows;
    }
    return line;
}
