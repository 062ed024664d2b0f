#include "security/ui/CheckList.h"

#include "security/SecurityModel.h"
#include "security/ui/SecuritySymbols.h"

#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

enum Column { titleColumn, doneColumn };
constexpr int doneRole = Qt::UserRole + 1;
constexpr int markSize = 16;

// The "Done" mark: green, white on the selected row.
class DoneMarkDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        QStyleOptionViewItem plain = option;
        initStyleOption(&plain, index);
        plain.text.clear();
        plain.icon = QIcon();
        const QWidget *view = option.widget;
        view->style()->drawControl(QStyle::CE_ItemViewItem, &plain, painter, view);
        if (!index.data(doneRole).toBool())
            return;
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const QPixmap mark = SecuritySymbols::tinted(u"checkmark.circle.fill"_s,
                                                     selected ? QColor(Qt::white) : SecuritySymbols::ok(), markSize);
        const QRect target(option.rect.center() - QPoint(markSize / 2, markSize / 2), QSize(markSize, markSize));
        painter->drawPixmap(target, mark);
    }
};

// Every row's icon in the same square, so the titles line up whatever size the theme offers.
QIcon squareIcon(const QString &symbol, int size) {
    QPixmap square(size, size);
    square.fill(Qt::transparent);
    const QPixmap drawn = SecuritySymbols::icon(symbol).pixmap(size, size);
    QPainter painter(&square);
    const QSize shown = drawn.deviceIndependentSize().toSize();
    painter.drawPixmap((size - shown.width()) / 2, (size - shown.height()) / 2, drawn);
    return QIcon(square);
}

QWidget *groupHeader(CheckGroup group) {
    auto *header = new QWidget;
    auto *layout = new QVBoxLayout(header);
    layout->setContentsMargins(6, 10, 6, 4);
    layout->setSpacing(0);
    auto *title = new QLabel(groupTitle(group));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto *subtitle = new QLabel(groupSubtitle(group));
    subtitle->setWordWrap(true);
    QFont small = subtitle->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    subtitle->setFont(small);
    QPalette dimmed = subtitle->palette();
    dimmed.setColor(QPalette::WindowText, dimmed.color(QPalette::PlaceholderText));
    subtitle->setPalette(dimmed);
    layout->addWidget(title);
    layout->addWidget(subtitle);
    return header;
}

} // namespace

CheckList::CheckList(SecurityModel *model, QWidget *parent)
    : QTreeWidget(parent)
    , m_model(model) {
    setObjectName(u"checkList"_s);
    setAccessibleName(u"Checks"_s);
    setColumnCount(2);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setUniformRowHeights(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(18, 18));
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(titleColumn, QHeaderView::Stretch);
    header()->setSectionResizeMode(doneColumn, QHeaderView::Fixed);
    header()->resizeSection(doneColumn, markSize + 12);
    setItemDelegateForColumn(doneColumn, new DoneMarkDelegate(this));

    addGroup(CheckGroup::immediateResponse);
    addGroup(CheckGroup::investigation);
    expandAll();

    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *current) {
        if (!current)
            return;
        const QVariant check = current->data(titleColumn, Qt::UserRole);
        if (check.isValid())
            m_model->setSelection(SecurityCheck(check.toInt()));
    });
    connect(model, &SecurityModel::selectionChanged, this, &CheckList::showSelection);
    connect(model, &SecurityModel::resultChanged, this, &CheckList::refreshDone);
    for (const SecurityCheckInfo &info : securityCatalogue())
        refreshDone(info.check);
    showSelection();
}

void CheckList::addGroup(CheckGroup group) {
    auto *groupItem = new QTreeWidgetItem(this);
    groupItem->setFlags(Qt::ItemIsEnabled);
    groupItem->setFirstColumnSpanned(true);
    groupItem->setData(titleColumn, Qt::AccessibleTextRole,
                       QString(groupTitle(group) + u", "_s + groupSubtitle(group)));
    setItemWidget(groupItem, titleColumn, groupHeader(group));
    for (const SecurityCheckInfo &info : securityCatalogue()) {
        if (info.group != group)
            continue;
        auto *item = new QTreeWidgetItem(groupItem);
        item->setText(titleColumn, info.number + u". "_s + info.title);
        item->setIcon(titleColumn, squareIcon(info.icon, iconSize().width()));
        item->setData(titleColumn, Qt::UserRole, int(info.check));
        item->setToolTip(titleColumn, info.description);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        m_items.insert(info.check, item);
    }
}

QModelIndex CheckList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex next = QTreeWidget::moveCursor(action, modifiers);
    if (!next.isValid() || next.data(Qt::UserRole).isValid())
        return next;
    // A section header: step past it, or stay where the list ends.
    const bool upwards = action == MoveUp || action == MovePrevious || action == MovePageUp || action == MoveHome;
    const QModelIndex beyond = upwards && next.row() > 0 ? indexAbove(next) : indexBelow(next);
    return beyond.isValid() && beyond.data(Qt::UserRole).isValid() ? beyond : currentIndex();
}

void CheckList::refreshDone(SecurityCheck check) {
    QTreeWidgetItem *item = m_items.value(check);
    const bool done = m_model->completed().contains(check);
    item->setData(doneColumn, doneRole, done);
    item->setData(doneColumn, Qt::AccessibleTextRole, done ? u"Done"_s : QString());
}

void CheckList::showSelection() {
    const std::optional<SecurityCheck> selection = m_model->selection();
    QTreeWidgetItem *item = selection ? m_items.value(*selection) : nullptr;
    if (item != currentItem())
        setCurrentItem(item);
    if (!item)
        clearSelection();
}
