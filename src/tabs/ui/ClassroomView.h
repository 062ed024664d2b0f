#pragma once

#include <QWidget>

class ClassroomModel;
class Console;
class HintText;
class QButtonGroup;
class QLayout;
class QLineEdit;
class QPushButton;
class QTableView;

// The Classroom tab: the search form and its action bar, the status line, the
// course table with multiple selection, and the export, selection and delete buttons.
class ClassroomView : public QWidget {
    Q_OBJECT
public:
    ClassroomView(ClassroomModel *model, Console *console, QWidget *parent = nullptr);

    QTableView *table() const { return m_table; }

private:
    QWidget *buildForm();
    QLayout *buildTable();
    QWidget *buildTableButtons();
    void fitColumnsToCourses();
    void refreshFields();
    void refreshDeleteEnabled();

    ClassroomModel *m_model;
    Console *m_console;
    QLineEdit *m_teacher;
    QLineEdit *m_courseName;
    QButtonGroup *m_states;
    HintText *m_status;
    QTableView *m_table;
    QPushButton *m_find;
    QPushButton *m_delete;
};
