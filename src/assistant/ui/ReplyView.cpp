#include "assistant/ui/ReplyView.h"

#include "assistant/InlineMarkdown.h"
#include "assistant/ui/AssistantColors.h"
#include "assistant/ui/CodeBlock.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QPaintEvent>
#include <QPainter>
#include <QTextBlock>

ReplyView::ReplyView(QWidget *parent)
    : FormattedText(parent) {
    setObjectName(QStringLiteral("replyText"));
    m_placeTimer.setSingleShot(true);
    m_placeTimer.setInterval(0);
    connect(&m_placeTimer, &QTimer::timeout, this, &ReplyView::placeControls);
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, &m_placeTimer,
            qOverload<>(&QTimer::start));
}

void ReplyView::setSegments(const QList<ReplySegment> &segments) {
    const QList<Line> lines = linesOf(segments);
    qsizetype from = 0;
    while (from < lines.size() && from < m_lines.size() && lines.at(from) == m_lines.at(from))
        ++from;
    if (from == lines.size() && from == m_lines.size())
        return;
    const qsizetype shown = m_lines.size();
    m_lines = lines;
    render(from, shown);
    updateCodeBlocks(segments);
    m_placeTimer.start();
}

QList<ReplyView::Line> ReplyView::linesOf(const QList<ReplySegment> &segments) {
    QList<Line> lines;
    for (qsizetype s = 0; s < segments.size(); ++s) {
        const ReplySegment &segment = segments.at(s);
        const QStringList texts =
            segment.kind == ReplySegment::Kind::code ? segment.lines : segment.text.split(QLatin1Char('\n'));
        const bool afterCode = s > 0 && segments.at(s - 1).kind == ReplySegment::Kind::code;
        for (qsizetype i = 0; i < texts.size(); ++i)
            lines.append(
                Line{segment.kind, texts.at(i), i == 0, i == texts.size() - 1, i == 0 && s > 0, i == 0 && afterCode});
    }
    return lines;
}

void ReplyView::render(qsizetype from, qsizetype shown) {
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    if (from < shown) {
        // From the start of the first changed line to the end; that block stays, empty,
        // unless no line takes its place.
        if (from == m_lines.size() && from > 0) {
            const QTextBlock last = document()->findBlockByNumber(int(from) - 1);
            cursor.setPosition(last.position() + last.length() - 1);
        } else {
            cursor.setPosition(document()->findBlockByNumber(int(from)).position());
        }
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    } else {
        cursor.movePosition(QTextCursor::End);
    }
    for (qsizetype i = from; i < m_lines.size(); ++i) {
        // The first line goes into the emptied block, or the empty document's only one.
        if (i == from && (from < shown || from == 0))
            cursor.setBlockFormat(blockFormat(m_lines.at(i)));
        else
            cursor.insertBlock(blockFormat(m_lines.at(i)), QTextCharFormat());
        insertLine(cursor, m_lines.at(i));
    }
    cursor.endEditBlock();
}

// Margins of neighbouring blocks overlap rather than add up, so each top margin
// covers the space the block above keeps below it too.
QTextBlockFormat ReplyView::blockFormat(const Line &line) const {
    QTextBlockFormat format;
    const qreal codeBottom = CodeBlock::padding + commandSpacing();
    const qreal gap = (line.afterSegment ? segmentGap : 0) + (line.afterCode ? codeBottom : 0);
    if (line.kind == ReplySegment::Kind::text) {
        format.setTopMargin(gap);
        return format;
    }
    const bool command = isGAMCommand(line.text);
    const qreal around = command ? commandSpacing() : 1;
    format.setTopMargin(gap + (line.opensSegment ? CodeBlock::padding : 0) + around);
    format.setBottomMargin(line.closesSegment ? codeBottom : around);
    format.setLeftMargin(CodeBlock::padding + 4);
    format.setRightMargin(CodeBlock::padding + (command ? CodeBlock::controlsWidth(this, changesData(line.text)) : 0));
    format.setProperty(CodeBlock::gapProperty, gap);
    return format;
}

qreal ReplyView::commandSpacing() const {
    return std::max(1.0, CodeBlock::insertHeight(this) + 4 - QFontMetricsF(codeFont()).lineSpacing());
}

QFont ReplyView::codeFont() const {
    QFont code = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    code.setPointSizeF(font().pointSizeF() * 0.92);
    return code;
}

void ReplyView::insertLine(QTextCursor &cursor, const Line &line) const {
    const QString monospace = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    if (line.kind == ReplySegment::Kind::code) {
        QTextCharFormat code;
        code.setFont(codeFont());
        cursor.insertText(line.text, code);
        return;
    }
    for (const InlineRun &run : inlineMarkdown(line.text)) {
        QTextCharFormat format;
        if (run.bold)
            format.setFontWeight(QFont::Bold);
        if (run.italic)
            format.setFontItalic(true);
        if (run.strikethrough)
            format.setFontStrikeOut(true);
        if (run.code) {
            format.setFontFamilies({monospace});
            // Grey at partial strength reads on light and dark palettes alike.
            format.setBackground(QColor(128, 128, 128, 48));
        }
        if (!run.link.isEmpty()) {
            format.setAnchor(true);
            format.setAnchorHref(run.link);
            format.setForeground(palette().brush(QPalette::Link));
            format.setFontUnderline(true);
            format.setToolTip(run.link);
        }
        cursor.insertText(run.text, format);
    }
}

void ReplyView::updateCodeBlocks(const QList<ReplySegment> &segments) {
    qsizetype block = 0;
    qsizetype code = 0;
    for (const ReplySegment &segment : segments) {
        if (segment.kind == ReplySegment::Kind::code) {
            // A block that moved, and every one after it, starts over.
            if (code < m_codeBlocks.size() && m_codeBlocks.at(code)->firstBlock() != block) {
                while (m_codeBlocks.size() > code)
                    delete m_codeBlocks.takeLast();
            }
            if (code == m_codeBlocks.size()) {
                auto *codeBlock = new CodeBlock(int(block), viewport(), this);
                connect(codeBlock, &CodeBlock::insertRequested, this, &ReplyView::insertRequested);
                connect(codeBlock, &CodeBlock::insertAdded, this, &ReplyView::insertAdded);
                m_codeBlocks.append(codeBlock);
            }
            m_codeBlocks.at(code)->setLines(segment.lines);
            ++code;
            block += segment.lines.size();
        } else {
            block += segment.text.count(QLatin1Char('\n')) + 1;
        }
    }
    while (m_codeBlocks.size() > code)
        delete m_codeBlocks.takeLast();
}

void ReplyView::placeControls() {
    for (const CodeBlock *codeBlock : std::as_const(m_codeBlocks))
        codeBlock->place(document());
}

void ReplyView::paintEvent(QPaintEvent *event) {
    {
        QPainter painter(viewport());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Mid), 1));
        painter.setBrush(AssistantColors::codeBackground(palette()));
        for (const CodeBlock *codeBlock : std::as_const(m_codeBlocks)) {
            const QRectF box = codeBlock->box(document());
            if (box.intersects(event->rect()))
                painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        }
    }
    FormattedText::paintEvent(event);
}

void ReplyView::resizeEvent(QResizeEvent *event) {
    FormattedText::resizeEvent(event);
    m_placeTimer.start();
}

void ReplyView::changeEvent(QEvent *event) {
    FormattedText::changeEvent(event);
    if (event->type() != QEvent::PaletteChange && event->type() != QEvent::FontChange)
        return;
    // Links take their colour from the palette, and the controls' room from the font.
    render(0, m_lines.size());
    for (CodeBlock *codeBlock : std::as_const(m_codeBlocks))
        codeBlock->restyle();
    m_placeTimer.start();
}
