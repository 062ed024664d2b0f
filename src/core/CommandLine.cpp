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

// Whether text's first character would cling to a quote or space before it
// (a combining mark, a joiner), making that quote or space ordinary text.
bool clingsToWhatPrecedes(QStringView text) {
    const QString withQuote = u'\'' + text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, withQuote);
    finder.setPosition(1);
    return !text.isEmpty() && !finder.isAtBoundary();
}

// Whether text's last character would cling to a quote or space after it
// (prepended concatenation marks such as U+0600).
bool clingsToWhatFollows(QStringView text) {
    const QString withQuote = text + u'\'';
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, withQuote);
    finder.setPosition(text.size());
    return !text.isEmpty() && !finder.isAtBoundary();
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
    QList<QStringView> characters = graphemeClusters(argument);
    QString quoted;
    if (!characters.isEmpty() && clingsToWhatPrecedes(characters.front()))
        quoted += characters.takeFirst();
    QStringView trailing;
    if (!characters.isEmpty() && clingsToWhatFollows(characters.back()))
        trailing = characters.takeLast();
    quoted += u'\'';
    for (const QStringView character : std::as_const(characters)) {
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
    QString previous = line;
    for (const QString &argument : arguments) {
        // A tab separates characters where a space would be joined to a neighbour.
        QString quoted = shellQuote(argument);
        line += clingsToWhatFollows(previous) || clingsToWhatPrecedes(quoted) ? u'\t' : u' ';
        line += quoted;
        previous = std::move(quoted);
    }
    return line;
}
