#include "app/ui/QtDesktopServices.h"

#include "core/TerminalLauncher.h"

#include <QApplication>
#include <QClipboard>
#include <QCoroSignal>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

// Opens the dialog window-modal and waits for the user without a nested event loop.
QCoro::Task<std::optional<QString>> ask(QFileDialog *dialog) {
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->open();
    const int result = co_await qCoro(dialog, &QFileDialog::finished);
    std::optional<QString> chosen;
    if (result == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
        chosen = dialog->selectedFiles().constFirst();
    dialog->deleteLater();
    co_return chosen;
}

} // namespace

QtDesktopServices::QtDesktopServices(QWidget *window)
    : m_window(window) {}

void QtDesktopServices::setWindow(QWidget *window) {
    m_window = window;
}

QWidget *QtDesktopServices::dialogParent() const {
    // A dialog asked for from the Settings window belongs over it, not behind it.
    if (QWidget *active = QApplication::activeWindow())
        return active;
    return m_window;
}

QCoro::Task<std::optional<QString>> QtDesktopServices::chooseSaveFile(QString title, QString proposedName,
                                                                      QString nameFilter) {
    auto *dialog = new QFileDialog(dialogParent(), title, QDir::homePath(), nameFilter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QFileInfo(proposedName).suffix());
    dialog->selectFile(proposedName);
    co_return co_await ask(dialog);
}

QCoro::Task<std::optional<QString>> QtDesktopServices::chooseOpenFile(QString title, QString nameFilter,
                                                                      QString startFolder) {
    auto *dialog =
        new QFileDialog(dialogParent(), title, startFolder.isEmpty() ? QDir::homePath() : startFolder, nameFilter);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    co_return co_await ask(dialog);
}

QCoro::Task<std::optional<QString>> QtDesktopServices::chooseFolder(QString title, QString startFolder) {
    auto *dialog = new QFileDialog(dialogParent(), title, startFolder.isEmpty() ? QDir::homePath() : startFolder);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    // GAM's default folder, ~/.gam, is hidden.
    dialog->setFilter(dialog->filter() | QDir::Hidden);
    co_return co_await ask(dialog);
}

QCoro::Task<std::optional<QString>> QtDesktopServices::chooseFileLocation(QString title, QString startPath) {
    const QFileInfo start(startPath);
    auto *dialog = new QFileDialog(dialogParent(), title, start.absolutePath());
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // The file is appended to, so choosing an existing one replaces nothing.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->selectFile(start.fileName());
    co_return co_await ask(dialog);
}

bool QtDesktopServices::openUrl(const QUrl &url) {
    return QDesktopServices::openUrl(url);
}

bool QtDesktopServices::openPath(const QString &path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtDesktopServices::revealInFileManager(const QString &path) {
    // Without D-Bus the file manager cannot be asked to select the item; its folder is the next best.
    return openPath(QFileInfo(path).absolutePath());
}

void QtDesktopServices::copyToClipboard(const QString &text) {
    QGuiApplication::clipboard()->setText(text);
}

void QtDesktopServices::copySecretToClipboard(const QString &text) {
    auto *data = new QMimeData;
    data->setText(text);
    // The hint KDE's Klipper and other clipboard managers honour: do not keep this in the history.
    data->setData(u"x-kde-passwordManagerHint"_s, QByteArrayLiteral("secret"));
    QGuiApplication::clipboard()->setMimeData(data);
}

bool QtDesktopServices::openInTerminal(const QString &scriptPath) {
    const auto command = terminalCommand(
        scriptPath, [](const QString &name) { return qEnvironmentVariable(name.toUtf8().constData()); },
        [](const QString &program) { return QStandardPaths::findExecutable(program); });
    if (!command)
        return false;
    return QProcess::startDetached(command->program, command->arguments, command->workingDirectory);
}
