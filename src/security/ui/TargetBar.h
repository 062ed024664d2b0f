#pragma once

#include <QFrame>

class Console;
class ProfileStore;
class QLabel;
class QLineEdit;
class QPushButton;
class SecurityModel;

// The target user of the Security tab: the field, "Set" or "Switch User", who
// is targeted, and whether bare usernames get a domain.
class TargetBar : public QFrame {
    Q_OBJECT
public:
    TargetBar(SecurityModel *model, ProfileStore *profiles, Console *console, QWidget *parent = nullptr);

private:
    void refreshTarget();
    void refreshDomainHint();
    void refreshEnabled();

    SecurityModel *m_model;
    Console *m_console;
    QLineEdit *m_field;
    QPushButton *m_button;
    QLabel *m_targetIcon;
    QLabel *m_targetText;
    QLabel *m_hintIcon;
    QLabel *m_hint;
};
