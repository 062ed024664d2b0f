#pragma once

#include <QWidget>

class Console;
class GmailModel;
class QButtonGroup;
class QStackedWidget;

// The Gmail tab: the mode picker above the form of the chosen mode.
class GmailView : public QWidget {
    Q_OBJECT
public:
    GmailView(GmailModel *model, Console *console, QWidget *parent = nullptr);

private:
    void showMode();

    GmailModel *m_model;
    QButtonGroup *m_modes;
    QStackedWidget *m_pages;
};
