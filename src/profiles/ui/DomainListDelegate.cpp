#include "profiles/ui/DomainListDelegate.h"

#include <QApplication>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {

constexpr int margin = 6;
constexpr int gap = 6;

} // namespace

QFont DomainListDelegate::captionFont(const QFont &base) {
    QFont caption = base;
    caption.setPointSizeF(base.pointSizeF() * 0.85);
    return caption;
}

QSize DomainListDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const {
    const QFontMetrics name(option.font);
    const QFontMetrics caption(captionFont(option.font));
    int height = name.height() + 2 * margin;
    if (!index.data(DomainRole).toString().isEmpty())
        height += caption.height();
    // The list's width decides; long names are shortened with an ellipsis.
    return {2 * margin, height};
}

void DomainListDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
    const QColor text = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor dimmed = text;
    if (!selected)
        dimmed = option.palette.color(group, QPalette::PlaceholderText);

    const QRect area = option.rect.adjusted(margin, margin, -margin, -margin);
    const QFontMetrics nameMetrics(option.font);
    const QFont caption = captionFont(option.font);
    const QFontMetrics captionMetrics(caption);

    QString name = index.data().toString();
    const bool active = index.data(ActiveRole).toBool();
    QFont activeFont = caption;
    activeFont.setBold(true);
    const QString activeText = u"Active"_s;
    const int activeWidth = active ? QFontMetrics(activeFont).horizontalAdvance(activeText) + gap : 0;
    name = nameMetrics.elidedText(name, Qt::ElideRight, area.width() - activeWidth);

    painter->save();
    painter->setPen(text);
    painter->setFont(option.font);
    const QRect nameRect(area.left(), area.top(), area.width(), nameMetrics.height());
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter, name);
    if (active) {
        painter->setFont(activeFont);
        painter->setPen(dimmed);
        const QRect activeRect(area.left() + nameMetrics.horizontalAdvance(name) + gap, area.top(), activeWidth,
                               nameMetrics.height());
        painter->drawText(activeRect, Qt::AlignLeft | Qt::AlignVCenter, activeText);
    }
    const QString domain = index.data(DomainRole).toString();
    if (!domain.isEmpty()) {
        painter->setFont(caption);
        painter->setPen(dimmed);
        const QRect domainRect(area.left(), nameRect.bottom() + 1, area.width(), captionMetrics.height());
        painter->drawText(domainRect, Qt::AlignLeft | Qt::AlignVCenter,
                          captionMetrics.elidedText(domain, Qt::ElideRight, area.width()));
    }
    painter->restore();
}
