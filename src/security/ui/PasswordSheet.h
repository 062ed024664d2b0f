#pragma once

#include "security/CheckResult.h"

#include <QDialog>

class Console;
class DesktopServices;
class QPushButton;
class SecurityModel;

// New passwords, shown once: the one a reset is about to set (Copy, Cancel,
// Apply Password), or those a batch set (Copy All, Done).
class PasswordSheet : public QDialog {
    Q_OBJECT
public:
    PasswordSheet(SecurityModel *model, DesktopServices *desktop, const PasswordReveal &reveal,
                  QWidget *parent = nullptr);

    QUuid revealID() const { return m_reveal.id; }

    // Escape cancels a pending reset; batch passwords stay until "Done".
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *pendingResetContent();
    QWidget *batchContent();

    SecurityModel *m_model;
    DesktopServices *m_desktop;
    PasswordReveal m_reveal;
};
