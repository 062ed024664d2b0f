#include "security/ui/DataTable.h"

#include "core/ResultsTableModel.h"

#include <QHeaderView>
#include <QScrollBar>

using namespace Qt::StringLiterals;

namespace {

constexpr int visibleRows = 12;
constexpr int widestColumn = 360;

} // namespace

DataTable::DataTable(const SecurityTable &table, QWidget *parent)
    : QTableView(parent) {
    auto *model = new ResultsTableModel(this);
    ResultsTable contents;
    contents.title = table.title.value_or(QString());
    contents.columns = table.headers;
    contents.rows = table.rows;
    model->setTable(contents);
    setModel(model);
    setObjectName(u"dataTable"_s);
    setAccessibleName(table.title.value_or(u"Table"_s));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(true);
    resizeColumnsToContents();
    for (int column = 0; column < model->columnCount(); ++column)
        setColumnWidth(column, std::min(columnWidth(column) + 8, widestColumn));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize DataTable::sizeHint() const {
    const int rows = std::min(model()->rowCount(), visibleRows);
    // Room for the horizontal scroll bar only when the columns are wider than the view.
    const bool scrolls = horizontalHeader()->length() > viewport()->width();
    const int height = horizontalHeader()->sizeHint().height() + rows * verticalHeader()->defaultSectionSize() +
                       (scrolls ? horizontalScrollBar()->sizeHint().height() : 0) + 2 * frameWidth();
    return {QTableView::sizeHint().width(), height};
}

void DataTable::resizeEvent(QResizeEvent *event) {
    QTableView::resizeEvent(event);
    updateGeometry();
}

QSize DataTable::minimumSizeHint() const {
    return {120, sizeHint().height()};
}
