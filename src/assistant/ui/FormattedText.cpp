#include "assistant/ui/FormattedText.h"

#include <QAbstractTextDocumentLayout>
#include <QResizeEvent>
#include <QTextBlock>
#include <QtMath>

namespace {

// Until the widget has a width of its own.
constexpr int initialWidth = 400;

} // namespace

FormattedText::FormattedText(QWidget *parent)
    : QTextBrowser(parent) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // The wrap width is set from resizeEvent, and only when it changes.
    setLineWrapMode(QTextEdit::FixedPixelWidth);
    setLineWrapColumnOrWidth(initialWidth);
    setUndoRedoEnabled(false);
    setOpenLinks(false);
    setTextInteractionFlags(Qt::TextBrowserInteraction);
    // Mouse selection is enough; Tab moves between the panel's buttons instead.
    setFocusPolicy(Qt::ClickFocus);
    QPalette transparent = palette();
    transparent.setColor(QPalette::Base, Qt::transparent);
    setPalette(transparent);
    viewport()->setAutoFillBackground(false);
    document()->setDocumentMargin(0);
    QTextOption option = document()->defaultTextOption();
    option.setTextDirection(Qt::LayoutDirectionAuto);
    document()->setDefaultTextOption(option);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &FormattedText::fitHeight);
    connect(this, &QTextBrowser::anchorClicked, this, &FormattedText::linkActivated);
    fitHeight({});
}

void FormattedText::setExpectedWidth(int width) {
    if (width > 0 && width != lineWrapColumnOrWidth())
        setLineWrapColumnOrWidth(width);
}

void FormattedText::setPlain(const QString &text) {
    document()->setPlainText(text);
    m_naturalWidth = 0;
    for (const QStringView line : QStringView(text).split(u'\n'))
        m_naturalWidth = std::max(m_naturalWidth, fontMetrics().horizontalAdvance(line.toString()));
    updateGeometry();
}

void FormattedText::fitHeight(const QSizeF &documentSize) {
    // The layout leaves out the last block's bottom margin, which holds the lower
    // edge of a code box that ends the reply.
    const qreal bottomMargin = document()->lastBlock().blockFormat().bottomMargin();
    const int height = std::max(qCeil(documentSize.height() + bottomMargin), fontMetrics().lineSpacing());
    if (height != this->height() || minimumHeight() != height)
        setFixedHeight(height);
}

QSize FormattedText::sizeHint() const {
    return {m_naturalWidth > 0 ? m_naturalWidth + 4 : 200, height()};
}

QSize FormattedText::minimumSizeHint() const {
    return {40, height()};
}

void FormattedText::resizeEvent(QResizeEvent *event) {
    setExpectedWidth(event->size().width());
    QTextBrowser::resizeEvent(event);
}
