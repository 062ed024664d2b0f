#pragma once

#include <QFrame>

class GAMSetup;
class DesktopServices;
class QLabel;
class QPushButton;

// The orange strip above the tabs that explains what is wrong with the installed
// GAM; shown only while GAMSetup reports a problem and the user hasn't hidden it.
class SetupBanner : public QFrame {
    Q_OBJECT
public:
    SetupBanner(GAMSetup *setup, DesktopServices *desktop, QWidget *parent = nullptr);

private:
    void refresh();

    GAMSetup *m_setup;
    DesktopServices *m_desktop;
    QLabel *m_title;
    QLabel *m_body;
    QPushButton *m_guide;
};
