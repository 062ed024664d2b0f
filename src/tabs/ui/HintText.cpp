#include "tabs/ui/HintText.h"

#include <QApplication>
#include <QEvent>

HintText::HintText(const QString &text, QWidget *parent)
    : QLabel(text, parent) {
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    applyStyle();
}

void HintText::changeEvent(QEvent *event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::ApplicationFontChange || event->type() == QEvent::ApplicationPaletteChange)
        applyStyle();
}

void HintText::applyStyle() {
    QFont caption = QApplication::font(this);
    caption.setPointSizeF(caption.pointSizeF() * 0.9);
    setFont(caption);
    QPalette dimmed = palette();
    dimmed.setColor(QPalette::WindowText, dimmed.color(QPalette::PlaceholderText));
    setPalette(dimmed);
}
