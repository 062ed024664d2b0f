#include "assistant/ui/FormattedText.h"

#include "assistant/InlineMarkdown.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QTextBlock>
#include <QtMath>

using namespace Qt::StringLiterals;

FormattedText::FormattedText(QWidget *parent)
    : QTextBrowser(parent) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setUndoRedoEnabled(false);
    setOpenLinks(false);
    setTextInteractionFlags(Qt::TextBrowserInteraction);
    // Mouse selection is enough; Tab moves between the panel's buttons instead.
    setFocusPolicy(Qt::ClickFocus);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setStyleSheet(u"QTextBrowser { background: transparent; }"_s);
    document()->setDocumentMargin(0);
    QTextOption option = document()->defaultTextOption();
    option.setTextDirection(Qt::LayoutDirectionAuto);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document()->setDefaultTextOption(option);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            [this] { updateGeometry(); });
    connect(this, &QTextBrowser::anchorClicked, this, &FormattedText::linkActivated);
}

void FormattedText::setPlain(const QString &text) {
    if (!m_markdown && text == m_source && !document()->isEmpty())
        return;
    m_markdown = false;
    m_source = text;
    document()->setPlainText(text);
    m_naturalWidth = 0;
    for (const QStringView line : QStringView(text).split(u'\n'))
        m_naturalWidth = std::max(m_naturalWidth, fontMetrics().horizontalAdvance(line.toString()));
    updateGeometry();
}

void FormattedText::setMarkdown(const QString &text) {
    if (m_markdown && text == m_source)
        return;
    // Lines before the first difference keep their blocks.
    qsizetype kept = 0;
    int keptLines = 0;
    if (m_markdown) {
        const qsizetype common =
            std::mismatch(m_source.cbegin(), m_source.cend(), text.cbegin(), text.cend()).first - m_source.cbegin();
        kept = QStringView(m_source).first(common).lastIndexOf(u'\n') + 1;
        keptLines = int(QStringView(m_source).first(kept).count(u'\n'));
    }
    m_markdown = true;
    m_source = text;

    // From the start of the first changed line to the end; that line's block stays, empty.
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.setPosition(document()->findBlockByNumber(keptLines).position());
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    bool first = true;
    for (const QStringView line : QStringView(text).sliced(kept).split(u'\n')) {
        if (!first)
            cursor.insertBlock();
        first = false;
        insertLine(cursor, line);
    }
    cursor.endEditBlock();
}

void FormattedText::insertLine(QTextCursor &cursor, QStringView line) const {
    const QTextCharFormat plain;
    for (const InlineRun &run : inlineMarkdown(line)) {
        QTextCharFormat format = plain;
        if (run.bold)
            format.setFontWeight(QFont::Bold);
        if (run.italic)
            format.setFontItalic(true);
        if (run.strikethrough)
            format.setFontStrikeOut(true);
        if (run.code) {
            format.setFontFamilies({QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
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

int FormattedText::heightForWidth(int width) const {
    QTextDocument *text = document();
    const qreal textWidth = std::max(1, width - 2 * frameWidth());
    // Changing the width lays the whole document out again, so only when it differs.
    if (!qFuzzyCompare(text->textWidth(), textWidth))
        text->setTextWidth(textWidth);
    return qCeil(text->size().height()) + 2 * frameWidth();
}

QSize FormattedText::sizeHint() const {
    const int width = m_markdown ? 400 : std::max(m_naturalWidth + 4, 40);
    return {width, heightForWidth(width)};
}

QSize FormattedText::minimumSizeHint() const {
    return {40, fontMetrics().lineSpacing()};
}

void FormattedText::changeEvent(QEvent *event) {
    QTextBrowser::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        rerender();
}

void FormattedText::rerender() {
    const QString text = m_source;
    if (m_markdown) {
        // Links and code spans take their colours from the palette.
        m_markdown = false;
        setMarkdown(text);
    } else {
        setPlain(text);
    }
}
