#include "security/SecurityTableModel.h"

SecurityTableModel::SecurityTableModel(SecurityTable table, QObject *parent)
    : QAbstractTableModel(parent)
    , m_table(std::move(table)) {}

int SecurityTableModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_table.rowCount());
}

int SecurityTableModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_table.headers.size());
}

QVariant SecurityTableModel::data(const QModelIndex &index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return m_table.cell(index.row(), index.column());
}

QVariant SecurityTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_table.headers.size())
        return m_table.headers[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}
