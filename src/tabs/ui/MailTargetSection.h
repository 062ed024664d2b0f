#pragma once

#include <QGroupBox>

class HintText;
class MailTargetFields;
class QFormLayout;
class QLineEdit;
class QRadioButton;

// The "Target" section of the Gmail forms, bound both ways to one MailTargetFields.
class MailTargetSection : public QGroupBox {
    Q_OBJECT
public:
    explicit MailTargetSection(MailTargetFields *fields, QWidget *parent = nullptr);

private:
    void refresh();

    MailTargetFields *m_fields;
    QRadioButton *m_specific;
    QRadioButton *m_domainChoice;
    QRadioButton *m_all;
    QFormLayout *m_form;
    QLineEdit *m_email;
    QLineEdit *m_domain;
    HintText *m_allCaption;
};
