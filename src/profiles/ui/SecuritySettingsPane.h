#pragma once

#include <QWidget>

class ElidedLabel;
class QButtonGroup;
class QPushButton;
class SecuritySettings;

// Settings ▸ Security Tool: the indicator list file and the batch password mode,
// both shared by every domain.
class SecuritySettingsPane : public QWidget {
    Q_OBJECT
public:
    explicit SecuritySettingsPane(SecuritySettings *settings, QWidget *parent = nullptr);

private:
    void refresh();

    SecuritySettings *m_settings;
    ElidedLabel *m_iocFile;
    QPushButton *m_default;
    QButtonGroup *m_passwordMode;
};
