#pragma once

#include <QGroupBox>

class HintText;
class MailTargetFields;
class QFormLayout;
class QLineEdit;
class QRadioButton;

// The "Target" section of the Gmail forms, bound both ways to one MailTargetFields.
// `manyMailboxes`, when given, is shown below the field for the domain and all-users targets.
class MailTargetSection : public QGroupBox {
    Q_OBJECT
public:
    explicit MailTargetSection(MailTargetFields *fields, QWidget *manyMailboxes = nullptr, QWidget *parent = nullptr);

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
    QWidget *m_manyMailboxes;
};
