#include "assistant/ReplySegment.h"

#include "core/SpaceTrim.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

QList<ReplySegment> ReplySplitter::split(const QString &text) {
    if (!text.startsWith(QStringView(m_text).first(m_read)))
        *this = ReplySplitter();
    const qsizetype end = text.lastIndexOf(u'\n') + 1;
    qsizetype start = m_read;
    while (start < end) {
        const qsizetype lineFeed = text.indexOf(u'\n', start);
        addLine(QStringView(text).sliced(start, lineFeed - start));
        start = lineFeed + 1;
    }
    m_text = text;
    m_read = end;
    // The unfinished last line is read on a copy, so it is read again once complete.
    ReplySplitter withTail = *this;
    withTail.addLine(QStringView(text).sliced(end));
    return std::move(withTail).finished();
}

void ReplySplitter::addLine(QStringView line) {
    if (trimSpacesAndTabs(line.toString()).startsWith("```"_L1)) {
        if (m_codeOpen) {
            closeCode();
        } else {
            flushProse();
            m_codeOpen = true;
        }
        return;
    }
    if (m_codeOpen) {
        m_code.append(line.toString());
        return;
    }
    m_prose.append(line);
    m_prose.append(u'\n');
}

void ReplySplitter::flushProse() {
    const QString text = m_prose.trimmed();
    if (!text.isEmpty())
        m_segments.append(ReplySegment::prose(text));
    m_prose.clear();
}

void ReplySplitter::closeCode() {
    QStringList lines;
    for (const QString &line : std::as_const(m_code)) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines.append(trimmed);
    }
    if (!lines.isEmpty())
        m_segments.append(ReplySegment::code(lines));
    m_code.clear();
    m_codeOpen = false;
}

QList<ReplySegment> ReplySplitter::finished() && {
    if (m_codeOpen)
        closeCode();
    flushProse();
    return std::move(m_segments);
}

QList<ReplySegment> replySegments(const QString &text) {
    return ReplySplitter().split(text);
}

bool isGAMCommand(QStringView line) {
    return line == "gam"_L1 || line.startsWith("gam "_L1);
}

bool changesData(QStringView line) {
    static const QRegularExpression pattern(
        u"\\b(delete|purge|update|doit|wipe|signout|suspend|deprovision|trash|remove|clear|transfer|turnoff2sv|undelete)\\b"_s,
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return pattern.match(line).hasMatch();
}
