#pragma once

#include <QPointer>
#include <QWidget>

class DomainSettings;
class ProfileEditorForm;
class QListWidget;
class QMessageBox;
class QScrollArea;
class QStackedWidget;
class QToolButton;

// Settings ▸ Domains: the domain profiles beside the form of the selected one,
// with buttons to add (an existing domain, or a new one through the setup
// wizard) and remove profiles.
class DomainSettingsPane : public QWidget {
    Q_OBJECT
public:
    explicit DomainSettingsPane(DomainSettings *model, QWidget *parent = nullptr);

    // The form of the selected profile, if any.
    ProfileEditorForm *editorForm() const;
    // Opens the new-domain wizard as a sheet over the pane.
    void showSetup();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void rebuildList();
    void showSelection();
    void presentRemovalQuestion();

    DomainSettings *m_model;
    QListWidget *m_list;
    QToolButton *m_add;
    QToolButton *m_remove;
    QStackedWidget *m_detail;
    QScrollArea *m_editorArea;
    QPointer<ProfileEditorForm> m_form;
    QPointer<QMessageBox> m_question;
};
