#include "assistant/InlineMarkdown.h"

#include <array>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

enum Style : quint8 { bold = 1, italic = 2, strikethrough = 4, code = 8 };

struct Node {
    QString text;
    quint8 style = 0;
    QString link = {};
    // A run of *, _ or ~ that may still pair up; its text is what is left of it.
    bool delimiter = false;
    QChar delimiterChar = {};
    bool canOpen = false;
    bool canClose = false;
};

bool isPunctuation(QChar c) {
    return c.isPunct() || c.isSymbol();
}

bool isASCIIPunctuation(QChar c) {
    return c.unicode() < 128 && isPunctuation(c);
}

// The character before or after a delimiter run; the line's ends count as white space.
QChar around(QStringView line, qsizetype index) {
    return index < 0 || index >= line.size() ? QChar(u' ') : line.at(index);
}

// Bounds on how far a link is looked for, so a long line with many brackets
// stays linear. CommonMark limits link labels to 999 characters too.
constexpr qsizetype maxLabelLength = 1000;
constexpr qsizetype maxAddressLength = 2048;

class Parser {
public:
    explicit Parser(QStringView line)
        : m_line(line) {}

    QList<InlineRun> parse() {
        qsizetype i = 0;
        while (i < m_line.size())
            i = step(i);
        flushText();
        pairDelimiters();
        return runs();
    }

private:
    qsizetype step(qsizetype i) {
        const QChar c = m_line.at(i);
        if (c == u'\\' && i + 1 < m_line.size() && isASCIIPunctuation(m_line.at(i + 1))) {
            m_text.append(m_line.at(i + 1));
            return i + 2;
        }
        if (c == u'`')
            return codeSpan(i);
        if (c == u'*' || c == u'_' || c == u'~')
            return delimiterRun(i);
        if (c == u'[') {
            if (const qsizetype end = link(i); end > i)
                return end;
        }
        if (c == u'<') {
            if (const qsizetype end = autolink(i); end > i)
                return end;
        }
        if (c == u'h' || c == u'w') {
            if (const qsizetype end = bareAddress(i); end > i)
                return end;
        }
        m_text.append(c);
        return i + 1;
    }

    qsizetype runLength(qsizetype i, QChar c) const {
        qsizetype end = i;
        while (end < m_line.size() && m_line.at(end) == c)
            ++end;
        return end - i;
    }

    qsizetype codeSpan(qsizetype i) {
        const qsizetype length = runLength(i, u'`');
        qsizetype search = i + length;
        while (search < m_line.size()) {
            const qsizetype close = m_line.indexOf(u'`', search);
            if (close < 0)
                break;
            const qsizetype closeLength = runLength(close, u'`');
            if (closeLength == length) {
                QString content = m_line.sliced(i + length, close - i - length).toString();
                const bool padded = content.size() >= 2 && content.startsWith(u' ') && content.endsWith(u' ') &&
                                    !content.trimmed().isEmpty();
                if (padded)
                    content = content.sliced(1, content.size() - 2);
                appendNode({content, code});
                return close + closeLength;
            }
            search = close + closeLength;
        }
        m_text.append(m_line.sliced(i, length));
        return i + length;
    }

    qsizetype delimiterRun(qsizetype i) {
        const QChar c = m_line.at(i);
        const qsizetype length = runLength(i, c);
        // Only a double tilde strikes through; other tilde runs are text.
        if (c == u'~' && length != 2) {
            m_text.append(m_line.sliced(i, length));
            return i + length;
        }
        const QChar before = around(m_line, i - 1);
        const QChar after = around(m_line, i + length);
        const bool leftFlanking =
            !after.isSpace() && (!isPunctuation(after) || before.isSpace() || isPunctuation(before));
        const bool rightFlanking =
            !before.isSpace() && (!isPunctuation(before) || after.isSpace() || isPunctuation(after));
        Node node{m_line.sliced(i, length).toString()};
        node.delimiter = true;
        node.delimiterChar = c;
        if (c == u'_') {
            // No emphasis inside words, as in snake_case_names.
            node.canOpen = leftFlanking && (!rightFlanking || isPunctuation(before));
            node.canClose = rightFlanking && (!leftFlanking || isPunctuation(after));
        } else {
            node.canOpen = leftFlanking;
            node.canClose = rightFlanking;
        }
        appendNode(std::move(node));
        return i + length;
    }

    // [label](address "title"): returns the index after it, or i when it is not a link.
    qsizetype link(qsizetype i) {
        int depth = 0;
        qsizetype close = -1;
        const qsizetype labelEnd = std::min(m_line.size(), i + maxLabelLength);
        for (qsizetype j = i; j < labelEnd && close < 0; ++j) {
            const QChar c = m_line.at(j);
            if (c == u'\\')
                ++j;
            else if (c == u'[')
                ++depth;
            else if (c == u']' && --depth == 0)
                close = j;
        }
        if (close < 0 || close + 1 >= m_line.size() || m_line.at(close + 1) != u'(')
            return i;
        qsizetype j = close + 2;
        while (j < m_line.size() && m_line.at(j) == u' ')
            ++j;
        QString address;
        if (j < m_line.size() && m_line.at(j) == u'<') {
            const qsizetype end = closingAngle(j);
            if (end < 0)
                return i;
            address = m_line.sliced(j + 1, end - j - 1).toString();
            j = end + 1;
        } else {
            int parentheses = 0;
            const qsizetype start = j;
            const qsizetype addressEnd = std::min(m_line.size(), j + maxAddressLength);
            for (; j < addressEnd; ++j) {
                const QChar c = m_line.at(j);
                if (c.isSpace() || (c == u')' && parentheses == 0))
                    break;
                if (c == u'(')
                    ++parentheses;
                else if (c == u')')
                    --parentheses;
            }
            address = m_line.sliced(start, j - start).toString();
        }
        while (j < m_line.size() && m_line.at(j) == u' ')
            ++j;
        if (j < m_line.size() && (m_line.at(j) == u'"' || m_line.at(j) == u'\'')) {
            const qsizetype end =
                m_line.first(std::min(m_line.size(), j + maxAddressLength)).indexOf(m_line.at(j), j + 1);
            if (end < 0)
                return i;
            j = end + 1;
            while (j < m_line.size() && m_line.at(j) == u' ')
                ++j;
        }
        if (j >= m_line.size() || m_line.at(j) != u')' || address.isEmpty())
            return i;
        for (InlineRun &run : inlineMarkdown(m_line.sliced(i + 1, close - i - 1))) {
            Node node{std::move(run.text)};
            node.style = quint8((run.bold ? bold : 0) | (run.italic ? italic : 0) |
                                (run.strikethrough ? strikethrough : 0) | (run.code ? code : 0));
            node.link = address;
            appendNode(std::move(node));
        }
        return j + 1;
    }

    // The '>' closing an address that starts at i, if it is near enough to be one.
    qsizetype closingAngle(qsizetype i) const {
        return m_line.first(std::min(m_line.size(), i + maxAddressLength)).indexOf(u'>', i);
    }

    // <scheme:address>
    qsizetype autolink(qsizetype i) {
        const qsizetype end = closingAngle(i);
        if (end < 0)
            return i;
        const QStringView address = m_line.sliced(i + 1, end - i - 1);
        const qsizetype colon = address.indexOf(u':');
        if (colon < 2 || !address.first(colon).front().isLetter())
            return i;
        for (const QChar c : address) {
            if (c.isSpace() || c == u'<')
                return i;
        }
        for (const QChar c : address.first(colon)) {
            if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'+' && c != u'.' && c != u'-')
                return i;
        }
        appendNode({address.toString(), 0, address.toString()});
        return end + 1;
    }

    // https://…, http://… and www.… at the start of a word.
    qsizetype bareAddress(qsizetype i) {
        const QStringView rest = m_line.sliced(i);
        const bool web = rest.startsWith("https://"_L1) || rest.startsWith("http://"_L1) || rest.startsWith("www."_L1);
        const QChar before = around(m_line, i - 1);
        if (!web || !(before.isSpace() || before == u'(' || before == u'*' || before == u'_' || before == u'~'))
            return i;
        qsizetype end = i;
        while (end < m_line.size() && !m_line.at(end).isSpace() && m_line.at(end) != u'<')
            ++end;
        // Trailing punctuation ends the sentence, not the address; so does a ')' that opens nowhere.
        while (end > i) {
            const QChar last = m_line.at(end - 1);
            const QStringView address = m_line.sliced(i, end - i);
            if (QStringView(u"?!.,:*_~'\"").contains(last) ||
                (last == u')' && address.count(u')') > address.count(u'(')))
                --end;
            else
                break;
        }
        const QString address = m_line.sliced(i, end - i).toString();
        if (!address.contains(u'.') || address.endsWith("//"_L1))
            return i;
        appendNode({address, 0, address.startsWith("www."_L1) ? "http://"_L1 + address : address});
        return end;
    }

    void flushText() {
        if (m_text.isEmpty())
            return;
        m_nodes.push_back(Node{m_text});
        m_text.clear();
    }

    void appendNode(Node node) {
        flushText();
        m_nodes.push_back(std::move(node));
    }

    // CommonMark's emphasis pairing: each closer takes the nearest opener of its
    // kind. Delimiters form a linked list so pairing stays linear on long lines.
    void pairDelimiters() {
        constexpr size_t none = size_t(-1);
        std::vector<size_t> delimiters;
        for (size_t i = 0; i < m_nodes.size(); ++i) {
            if (m_nodes[i].delimiter)
                delimiters.push_back(i);
        }
        const size_t count = delimiters.size();
        std::vector<size_t> previous(count);
        std::vector<size_t> next(count);
        for (size_t d = 0; d < count; ++d) {
            previous[d] = d == 0 ? none : d - 1;
            next[d] = d + 1 == count ? none : d + 1;
        }
        const auto unlink = [&](size_t d) {
            if (previous[d] != none)
                next[previous[d]] = next[d];
            if (next[d] != none)
                previous[next[d]] = previous[d];
        };
        // Below these, an earlier search found no opener for a closer of that kind.
        std::array<size_t, 3 * 2 * 3> openersBottom;
        openersBottom.fill(none);
        std::vector<std::array<int, 3>> depth(m_nodes.size() + 1);

        for (size_t d = count == 0 ? none : 0; d != none;) {
            Node &close = m_nodes[delimiters[d]];
            if (!close.canClose || close.text.isEmpty()) {
                d = next[d];
                continue;
            }
            const size_t kind = (close.delimiterChar == u'*'   ? 0
                                 : close.delimiterChar == u'_' ? 1
                                                               : 2) *
                                    6 +
                                (close.canOpen ? 3 : 0) + size_t(close.text.size() % 3);
            size_t opener = previous[d];
            while (opener != none && (openersBottom[kind] == none || opener > openersBottom[kind]) &&
                   !pairs(m_nodes[delimiters[opener]], close))
                opener = previous[opener];
            if (opener == none || (openersBottom[kind] != none && opener <= openersBottom[kind])) {
                openersBottom[kind] = previous[d];
                const size_t after = next[d];
                if (!close.canOpen)
                    unlink(d);
                d = after;
                continue;
            }
            Node &open = m_nodes[delimiters[opener]];
            qsizetype used = 2;
            int style = 2; // strikethrough
            if (close.delimiterChar != u'~') {
                used = open.text.size() >= 2 && close.text.size() >= 2 ? 2 : 1;
                style = used == 2 ? 0 : 1; // bold : italic
            }
            ++depth[delimiters[opener] + 1][size_t(style)];
            --depth[delimiters[d]][size_t(style)];
            open.text.chop(used);
            close.text.remove(0, used);
            // Delimiters between the pair can no longer pair; they stay as text.
            next[opener] = d;
            previous[d] = opener;
            if (open.text.isEmpty())
                unlink(opener);
            if (close.text.isEmpty()) {
                const size_t after = next[d];
                unlink(d);
                d = after;
            }
        }
        std::array<int, 3> inside{};
        for (size_t i = 0; i < m_nodes.size(); ++i) {
            for (size_t style = 0; style < 3; ++style)
                inside[style] += depth[i][style];
            if (inside[0] > 0)
                m_nodes[i].style |= bold;
            if (inside[1] > 0)
                m_nodes[i].style |= italic;
            if (inside[2] > 0)
                m_nodes[i].style |= strikethrough;
        }
    }

    static bool pairs(const Node &open, const Node &close) {
        if (!open.canOpen || open.text.isEmpty() || open.delimiterChar != close.delimiterChar)
            return false;
        if (close.delimiterChar == u'~')
            return open.text.size() == 2 && close.text.size() == 2;
        // CommonMark's rule of three, so "*a **b** c*" pairs as written.
        const bool bothWays = (open.canOpen && open.canClose) || (close.canOpen && close.canClose);
        const qsizetype openLength = open.text.size();
        const qsizetype closeLength = close.text.size();
        return !(bothWays && (openLength + closeLength) % 3 == 0 && (openLength % 3 != 0 || closeLength % 3 != 0));
    }

    QList<InlineRun> runs() const {
        QList<InlineRun> result;
        for (const Node &node : m_nodes) {
            if (node.text.isEmpty())
                continue;
            InlineRun run{node.text,
                          (node.style & bold) != 0,
                          (node.style & italic) != 0,
                          (node.style & strikethrough) != 0,
                          (node.style & code) != 0,
                          node.link};
            if (!result.isEmpty()) {
                InlineRun &last = result.last();
                if (last.bold == run.bold && last.italic == run.italic && last.strikethrough == run.strikethrough &&
                    last.code == run.code && last.link == run.link) {
                    last.text += run.text;
                    continue;
                }
            }
            result.append(std::move(run));
        }
        return result;
    }

    QStringView m_line;
    QString m_text;
    std::vector<Node> m_nodes;
};

} // namespace

QList<InlineRun> inlineMarkdown(QStringView line) {
    return Parser(line).parse();
}
