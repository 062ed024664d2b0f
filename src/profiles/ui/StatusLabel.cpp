#include "profiles/ui/StatusLabel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

using namespace Qt::StringLiterals;

namespace {

constexpr int symbolSize = 16;

} // namespace

StatusLabel::StatusLabel(QWidget *parent)
    : QWidget(parent)
    , m_symbol(new QLabel(this))
    , m_text(new QLabel(this)) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_symbol->setFixedSize(symbolSize, symbolSize);
    m_symbol->setAlignment(Qt::AlignTop);
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);
    layout->addWidget(m_symbol, 0, Qt::AlignTop);
    layout->addWidget(m_text, 1);
    setVisible(false);
}

void StatusLabel::display(Icons::Symbol symbol, Tone tone, const QString &text) {
    m_symbolName = symbol;
    m_tone = tone;
    m_text->setText(text);
    setAccessibleDescription(text);
    applyTone();
    setVisible(!text.isEmpty());
}

void StatusLabel::clear() {
    m_text->clear();
    setAccessibleDescription(QString());
    setVisible(false);
}

QString StatusLabel::text() const {
    return m_text->text();
}

void StatusLabel::setSelectable(bool selectable) {
    m_text->setTextInteractionFlags(selectable ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                               : Qt::NoTextInteraction);
}

QColor StatusLabel::colour(Tone tone, const QPalette &palette) {
    switch (tone) {
    case Tone::success:
        return QColor(0x26, 0xa2, 0x69);
    case Tone::warning:
        return QColor(0xc6, 0x46, 0x00);
    case Tone::failure:
        return QColor(0xc0, 0x1c, 0x28);
    case Tone::secondary:
        break;
    }
    return palette.color(QPalette::PlaceholderText);
}

void StatusLabel::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        applyTone();
}

void StatusLabel::applyTone() {
    const QColor colour = StatusLabel::colour(m_tone, palette());
    m_symbol->setPixmap(Icons::tinted(m_symbolName, colour, symbolSize));
    QPalette textPalette = m_text->palette();
    textPalette.setColor(QPalette::WindowText, colour);
    m_text->setPalette(textPalette);
}
