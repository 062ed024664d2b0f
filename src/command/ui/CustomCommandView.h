#pragma once

#include <QWidget>

class Console;
class CustomCommandModel;
class QLineEdit;
class QMenu;
class QPushButton;
class QVBoxLayout;

// The Custom Command tab: a command field with its recent commands and Run.
// The syntax assistant's panel goes below the command box.
class CustomCommandView : public QWidget {
    Q_OBJECT
public:
    CustomCommandView(CustomCommandModel *model, Console *console, QWidget *parent = nullptr);

    // Where the assistant panel joins, under the command box.
    QVBoxLayout *panelArea() const { return m_panelArea; }

private:
    void rebuildRecentMenu();

    CustomCommandModel *m_model;
    QLineEdit *m_field;
    QMenu *m_recent;
    QPushButton *m_run;
    QVBoxLayout *m_panelArea;
};
