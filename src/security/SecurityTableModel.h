#pragma once

#include "security/CheckResult.h"

#include <QAbstractTableModel>

// A result table for a table view: one column per header. Cells are read from
// the table as they are shown, never copied in bulk.
class SecurityTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SecurityTableModel(SecurityTable table, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    SecurityTable m_table;
};
