#include "app/ui/AlertPresenter.h"

#include "app/ui/DestructiveStyle.h"
#include "core/Console.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

AlertPresenter::AlertPresenter(Console *console, QWidget *window)
    : QObject(window)
    , m_console(console)
    , m_window(window) {
    connect(console, &Console::alertChanged, this, &AlertPresenter::present);
    present();
}

void AlertPresenter::dismissBox() {
    if (!m_box)
        return;
    m_box->disconnect(this);
    m_box->close();
    m_box->deleteLater();
    m_box = nullptr;
    m_shownID = {};
}

namespace {

// A sheet open in front of the window (its action may ask first), else the window.
// isAncestorOf() stops at window boundaries, so the parent chain is walked here.
QWidget *sheetInFront(QWidget *window) {
    QWidget *modal = QApplication::activeModalWidget();
    for (QWidget *widget = modal; widget; widget = widget->parentWidget())
        if (widget == window)
            return modal;
    return window;
}

} // namespace

void AlertPresenter::present() {
    const std::optional<AlertItem> &alert = m_console->alert();
    if (!alert) {
        dismissBox();
        return;
    }
    if (m_box && alert->id == m_shownID)
        return;
    dismissBox();

    auto *box = new QMessageBox(sheetInFront(m_window));
    box->setObjectName(u"alert"_s);
    box->setWindowModality(Qt::WindowModal);
    box->setWindowTitle(alert->title);
    box->setText(alert->title);
    box->setInformativeText(alert->message);
    box->setTextFormat(Qt::PlainText);
    // Qt sizes message boxes to their shortest line; give longer messages room to read.
    box->setStyleSheet(u"QLabel#qt_msgbox_informativelabel { min-width: 340px; }"_s);

    QPushButton *confirm = nullptr;
    if (alert->confirmTitle) {
        box->setIcon(alert->isDestructive ? QMessageBox::Warning : QMessageBox::Question);
        confirm = box->addButton(*alert->confirmTitle, QMessageBox::AcceptRole);
        confirm->setObjectName(u"confirmButton"_s);
        QPushButton *cancel = box->addButton(u"Cancel"_s, QMessageBox::RejectRole);
        cancel->setObjectName(u"cancelButton"_s);
        box->setEscapeButton(cancel);
        if (alert->isDestructive) {
            // The safe answer is the one Return and Escape give.
            box->setDefaultButton(cancel);
            drawAsDestructive(confirm);
        } else {
            box->setDefaultButton(confirm);
        }
    } else {
        box->setIcon(QMessageBox::Information);
        QPushButton *ok = box->addButton(u"OK"_s, QMessageBox::AcceptRole);
        ok->setObjectName(u"okButton"_s);
        box->setDefaultButton(ok);
        box->setEscapeButton(ok);
    }

    const QUuid id = alert->id;
    const std::function<void()> onConfirm = alert->onConfirm;
    connect(box, &QMessageBox::finished, this, [this, box, confirm, id, onConfirm] {
        const bool confirmed = confirm && box->clickedButton() == confirm;
        m_box = nullptr;
        m_shownID = {};
        box->deleteLater();
        // Clear first: the action may raise an alert of its own.
        if (m_console->alert() && m_console->alert()->id == id)
            m_console->setAlert(std::nullopt);
        if (confirmed && onConfirm)
            onConfirm();
    });
    m_box = box;
    m_shownID = id;
    box->open();
}

QMessageBox *AlertPresenter::messageBox() const {
    return m_box;
}
