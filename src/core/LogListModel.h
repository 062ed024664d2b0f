#pragma once

#include "core/Console.h"

#include <QAbstractListModel>
#include <QColor>

// The console's log as a list model. Rows are inserted in the batches the
// console announces, so a burst of output costs one insertion. A very long line
// shows its first displayedLength characters and how many more it has; the
// console keeps the whole line for copying and export.
class LogListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { KindRole = Qt::UserRole + 1, IdRole };
    static constexpr qsizetype displayedLength = 10'000;

    explicit LogListModel(Console *console, QObject *parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The text colour of each kind, on the log's dark background.
    static QColor colour(LogKind kind);
    static QColor background();

private:
    QString displayText(int row) const;

    Console *m_console;
    int m_rows = 0;
};
