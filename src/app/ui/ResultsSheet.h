#pragma once

#include "core/Console.h"

#include <QDialog>
#include <QPointer>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QTableView;
class ResultsTableModel;

// The sheet that shows Console::results() over its parent window while it is
// set; closing it clears the results. A table's action becomes a button beside
// the exports.
class ResultsSheet : public QDialog {
    Q_OBJECT
public:
    ResultsSheet(Console *console, QWidget *parent);

    QTableView *tableView() const { return m_table; }

private:
    void showResults();
    void showAction(const std::optional<ResultsAction> &action);
    void copySelection();

    Console *m_console;
    ResultsTableModel *m_model;
    QLabel *m_title;
    QLabel *m_query;
    QLabel *m_summary;
    QTableView *m_table;
    QHBoxLayout *m_buttons;
    QPointer<QPushButton> m_action;
};
