#pragma once

#include <QWidget>

class HintText;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class SecurityModel;

// The known-indicator list inside the IOC check: what the file holds, where it
// is, and a field to add one more.
class IndicatorListView : public QWidget {
    Q_OBJECT
public:
    explicit IndicatorListView(SecurityModel *model, QWidget *parent = nullptr);

private:
    void refresh();
    void refreshAdd();
    void add();

    SecurityModel *m_model;
    QLabel *m_heading;
    QPlainTextEdit *m_list;
    QLabel *m_empty;
    QLabel *m_problem;
    HintText *m_note;
    QLineEdit *m_field;
    QPushButton *m_add;
};
