#pragma once

#include "security/SecurityCheck.h"

#include <QWidget>
#include <optional>

class DesktopServices;
class QLabel;
class QPushButton;
class QVBoxLayout;
class SecurityModel;

// The detail pane of one check: heading, description, inputs, the button that
// runs it and its latest result; a prompt to pick one when none is selected.
class SecurityCheckDetail : public QWidget {
    Q_OBJECT
public:
    SecurityCheckDetail(SecurityModel *model, DesktopServices *desktop, std::optional<SecurityCheck> check,
                        QWidget *parent = nullptr);

private:
    void buildEmpty();
    void build(SecurityCheck check);
    void refreshTarget();
    void refreshEnabled();
    void showResult();

    SecurityModel *m_model;
    DesktopServices *m_desktop;
    std::optional<SecurityCheck> m_check;
    QLabel *m_needsTarget = nullptr;
    QPushButton *m_action = nullptr;
    QVBoxLayout *m_resultArea = nullptr;
    QWidget *m_result = nullptr;
};
