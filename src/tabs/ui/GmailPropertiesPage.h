#pragma once

#include <QWidget>

class Console;
class GmailModel;
class GmailPropertiesForm;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;

// The form of the properties mode, with the live Gmail query.
class GmailPropertiesPage : public QWidget {
    Q_OBJECT
public:
    GmailPropertiesPage(GmailModel *model, Console *console, QWidget *parent = nullptr);

private:
    void refresh();

    GmailPropertiesForm *m_form;
    QLineEdit *m_from;
    QLineEdit *m_keywords;
    QCheckBox *m_useAfter;
    QDateEdit *m_after;
    QCheckBox *m_useBefore;
    QDateEdit *m_before;
    QLabel *m_query;
};
