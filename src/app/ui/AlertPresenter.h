#pragma once

#include <QObject>
#include <QPointer>
#include <QUuid>

class Console;
class QMessageBox;
class QWidget;

// Shows Console::alert() as a window-modal message box over `window`, or over the
// sheet open in front of it, and clears it when any button dismisses the box. A new
// alert replaces a pending one.
class AlertPresenter : public QObject {
    Q_OBJECT
public:
    AlertPresenter(Console *console, QWidget *window);

    QMessageBox *messageBox() const;

private:
    void present();
    void dismissBox();

    Console *m_console;
    QWidget *m_window;
    QPointer<QMessageBox> m_box;
    QUuid m_shownID;
};
