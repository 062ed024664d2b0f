#include "core/ResultsTableModel.h"

ResultsTableModel::ResultsTableModel(QObject *parent)
    : QAbstractTableModel(parent) {}

void ResultsTableModel::setTable(const ResultsTable &table) {
    beginResetModel();
    m_columns = table.columns;
    m_rows = table.rows;
    endResetModel();
}

int ResultsTableModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ResultsTableModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ResultsTableModel::data(const QModelIndex &index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return m_rows[index.row()].value(index.column());
}

QVariant ResultsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_columns.size())
        return m_columns[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}
