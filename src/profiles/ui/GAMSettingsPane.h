#pragma once

#include <QWidget>

class ElidedLabel;
class GAMLocationSettings;
class QPushButton;
class StatusLabel;

// Settings ▸ GAM: where the gam executable is, and whether it is there.
class GAMSettingsPane : public QWidget {
    Q_OBJECT
public:
    explicit GAMSettingsPane(GAMLocationSettings *settings, QWidget *parent = nullptr);

protected:
    // gam may have been installed or moved since the pane was last shown.
    void showEvent(QShowEvent *event) override;

private:
    void refresh();

    GAMLocationSettings *m_settings;
    ElidedLabel *m_location;
    QPushButton *m_autodetect;
    StatusLabel *m_status;
};
