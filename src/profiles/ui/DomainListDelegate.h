#pragma once

#include <QStyledItemDelegate>

// A domain row: the profile's name, a small bold "Active" on the active one, and
// its primary domain below in a smaller, dimmed font.
class DomainListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    enum Role { DomainRole = Qt::UserRole + 1, ActiveRole };

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    static QFont captionFont(const QFont &base);
};
