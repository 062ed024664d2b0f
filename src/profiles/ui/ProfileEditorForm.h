#pragma once

#include <QWidget>

class BusySpinner;
class HintText;
class ProfileEditor;
class QComboBox;
class QLineEdit;
class QPushButton;
class StatusLabel;

// The form of the selected domain profile in Settings ▸ Domains. Each field saves
// as it is edited; the whole form is disabled while the editor is locked.
class ProfileEditorForm : public QWidget {
    Q_OBJECT
public:
    // Takes ownership of the editor.
    explicit ProfileEditorForm(ProfileEditor *editor, QWidget *parent = nullptr);

    ProfileEditor *editor() const { return m_editor; }

private:
    QLineEdit *addField(QString objectName, QString placeholder, void (ProfileEditor::*setter)(const QString &));
    void refreshFields();
    void refreshLock();
    void refreshSections();
    void refreshStatus();
    void refreshTest();
    void refreshDetect();

    ProfileEditor *m_editor;
    StatusLabel *m_lockLine;
    QWidget *m_content;
    QLineEdit *m_name;
    QLineEdit *m_domain;
    QLineEdit *m_configDir;
    StatusLabel *m_folderStatus;
    QComboBox *m_section;
    QPushButton *m_detect;
    BusySpinner *m_detectSpinner;
    HintText *m_detectMessage;
    QPushButton *m_test;
    BusySpinner *m_testSpinner;
    StatusLabel *m_testResult;
    QLineEdit *m_exportDir;
    QLineEdit *m_auditLog;
    QLineEdit *m_uploadUser;
    QLineEdit *m_folderID;
};
