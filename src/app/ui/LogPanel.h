#pragma once

#include <QWidget>

class BusySpinner;
class Console;
class LogListModel;
class QLabel;
class QTableView;
class QPushButton;

// The output log at the bottom of the main window: a header row with the busy
// state and the export and clear buttons, and the coloured list of entries.
class LogPanel : public QWidget {
    Q_OBJECT
public:
    explicit LogPanel(Console *console, QWidget *parent = nullptr);

    QTableView *listView() const { return m_list; }
    // The selected lines' whole text, oldest first, joined with line feeds.
    QString selectedText() const;
    void copySelection();

private:
    void updateBusy();
    void widenForRows(int first, int last);

    Console *m_console;
    LogListModel *m_model;
    QTableView *m_list;
    BusySpinner *m_spinner;
    QLabel *m_busyLabel;
    QPushButton *m_stop;
    qsizetype m_widestLine = 0; // in characters shown
};
