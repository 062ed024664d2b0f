#pragma once

#include "core/Console.h"

#include <QAbstractTableModel>

// A results table for a table view: one column per header entry; cells a row
// lacks are empty and cells beyond the header are not shown.
class ResultsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultsTableModel(QObject *parent = nullptr);

    void setTable(const ResultsTable &table);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QStringList m_columns;
    QList<QStringList> m_rows;
};
