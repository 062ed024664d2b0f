#pragma once

#include <QPointer>
#include <QWidget>

class Console;
class DriveModel;
class HintText;
class LinesEditor;
class OUPickerSheet;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// The Google Drive tab: scope, drive, what to find, the purge toggle and the
// action bar, bound both ways to the DriveModel; it opens the OU picker while
// the model holds an OU list.
class DriveView : public QWidget {
    Q_OBJECT
public:
    DriveView(DriveModel *model, Console *console, QWidget *parent = nullptr);

private:
    QGroupBox *scopeSection();
    QGroupBox *driveSection();
    QGroupBox *findSection();
    void refresh();
    void showPicker();

    DriveModel *m_model;
    Console *m_console;
    QVBoxLayout *m_column = nullptr;
    QButtonGroup *m_scopes;
    QButtonGroup *m_kinds;
    QButtonGroup *m_methods;
    QLineEdit *m_email;
    QWidget *m_emailBlock = nullptr;
    QLineEdit *m_ouPath;
    QWidget *m_ouBlock = nullptr;
    QPushButton *m_browse;
    HintText *m_domainCaption;
    QLineEdit *m_sharedDriveID;
    QWidget *m_sharedBlock = nullptr;
    QGroupBox *m_findBox = nullptr;
    QLineEdit *m_name;
    HintText *m_nameCaption;
    QLabel *m_query;
    QWidget *m_nameBlock = nullptr;
    QWidget *m_idsBlock = nullptr;
    LinesEditor *m_fileIDs;
    QCheckBox *m_purge;
    QPushButton *m_find;
    QPushButton *m_delete;
    QPointer<OUPickerSheet> m_picker;
    QList<QLabel *> m_labels; // of every section's fields
};
