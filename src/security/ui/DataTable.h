#pragma once

#include "security/CheckResult.h"

#include <QTableView>

// One result table: a column per header, as tall as its rows up to a limit,
// then scrolling.
class DataTable : public QTableView {
    Q_OBJECT
public:
    explicit DataTable(const SecurityTable &table, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    // A new width may bring or take away the horizontal scroll bar.
    void resizeEvent(QResizeEvent *event) override;
};
