#pragma once

#include <QCoroTask>
#include <QDialog>
#include <QPointer>

class BusySpinner;
class ElidedLabel;
class HintText;
class NewDomainSetup;
class QButtonGroup;
class QFormLayout;
class QHBoxLayout;
class QLineEdit;
class QMessageBox;
class QPushButton;
class StatusLabel;

// The new-domain wizard, shown as a sheet over the Domains pane. It closes when
// the wizard finishes; Escape and Cancel ask first when gam.cfg has been changed.
class DomainSetupSheet : public QDialog {
    Q_OBJECT
public:
    // Takes ownership of the wizard.
    explicit DomainSetupSheet(NewDomainSetup *setup, QWidget *parent = nullptr);

    NewDomainSetup *setup() const { return m_setup; }

public Q_SLOTS:
    void reject() override;

private:
    QLineEdit *addField(QFormLayout *form, const QString &label, const QString &objectName, const QString &placeholder,
                        void (NewDomainSetup::*setter)(const QString &));
    // A folder field and its chooser in row.
    QLineEdit *addFolderField(QFormLayout *form, QHBoxLayout *row, const QString &label, const QString &name,
                              const QString &chooserDescription, void (NewDomainSetup::*setter)(const QString &),
                              QCoro::Task<> (NewDomainSetup::*choose)());
    void refresh();
    void presentCancelQuestion();

    NewDomainSetup *m_setup;
    QButtonGroup *m_layoutGroup;
    QWidget *m_fields;
    QLineEdit *m_name;
    QLineEdit *m_admin;
    QLineEdit *m_checkUser;
    QHBoxLayout *m_cfgRow;
    QLineEdit *m_cfgFolder;
    QLineEdit *m_sectionName;
    ElidedLabel *m_credentials;
    QHBoxLayout *m_configRow;
    QLineEdit *m_configDir;
    HintText *m_help;
    StatusLabel *m_status;
    StatusLabel *m_note;
    StatusLabel *m_error;
    QPushButton *m_cancel;
    QPushButton *m_start;
    BusySpinner *m_spinner;
    QPushButton *m_removeSection;
    QPushButton *m_openAgain;
    QPushButton *m_addAnyway;
    QPushButton *m_testAndAdd;
    QPointer<QMessageBox> m_question;
};
