#include "assistant/ui/QuestionField.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QtMath>

QuestionField::QuestionField(QWidget *parent)
    : QTextEdit(parent) {
    setAcceptRichText(false);
    setTabChangesFocus(true);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &QuestionField::fitHeight);
    fitHeight();
}

int QuestionField::heightForLines(int lines) const {
    const int margins =
        2 * int(document()->documentMargin()) + 2 * frameWidth() + contentsMargins().top() + contentsMargins().bottom();
    return lines * fontMetrics().lineSpacing() + margins;
}

QSize QuestionField::sizeHint() const {
    return {QTextEdit::sizeHint().width(), height()};
}

QSize QuestionField::minimumSizeHint() const {
    return {QTextEdit::minimumSizeHint().width(), heightForLines(1)};
}

void QuestionField::fitHeight() {
    const int contentHeight =
        qCeil(document()->size().height()) + 2 * frameWidth() + contentsMargins().top() + contentsMargins().bottom();
    const int height = std::clamp(contentHeight, heightForLines(1), heightForLines(maximumLines));
    if (height != this->height())
        setFixedHeight(height);
}

void QuestionField::keyPressEvent(QKeyEvent *event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !(event->modifiers() & Qt::ShiftModifier)) {
        event->accept();
        Q_EMIT submitted();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void QuestionField::resizeEvent(QResizeEvent *event) {
    QTextEdit::resizeEvent(event);
    fitHeight();
}
