#pragma once

#include <QDialog>

class DesktopServices;

// The reminder shown over the main window at every launch: Tarnwick only drives
// a GAM that is already installed and connected to the domain.
class StartupNotice : public QDialog {
    Q_OBJECT
public:
    StartupNotice(DesktopServices *desktop, QWidget *parent = nullptr);
};
