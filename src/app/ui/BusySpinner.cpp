#include "app/ui/BusySpinner.h"

#include <QPainter>

BusySpinner::BusySpinner(QWidget *parent)
    : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + 30) % 360;
        update();
    });
}

QSize BusySpinner::sizeHint() const {
    return {14, 14};
}

void BusySpinner::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(palette().color(QPalette::WindowText), 2, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    const QRectF circle = QRectF(rect()).adjusted(2, 2, -2, -2);
    painter.drawArc(circle, -m_angle * 16, 270 * 16);
}

void BusySpinner::showEvent(QShowEvent *) {
    m_timer.start();
}

void BusySpinner::hideEvent(QHideEvent *) {
    m_timer.stop();
}
