#pragma once

#include <QCoroTask>
#include <QString>
#include <QUrl>
#include <optional>

// What models need from the desktop (file dialogs, the browser, the file
// manager, the clipboard, a terminal). The views library implements it;
// tests substitute their own, so no model ever opens a dialog itself.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;

    // Save dialog titled `title`, proposing `proposedName`, restricted by `nameFilter`
    // (e.g. "Comma-separated text (*.csv)"); none when the user cancels.
    virtual QCoro::Task<std::optional<QString>> chooseSaveFile(QString title, QString proposedName,
                                                               QString nameFilter) = 0;
    virtual QCoro::Task<std::optional<QString>> chooseOpenFile(QString title, QString nameFilter) = 0;
    virtual QCoro::Task<std::optional<QString>> chooseFolder(QString title, QString startFolder) = 0;

    virtual bool openUrl(const QUrl &url) = 0;
    // Opens a file or folder with its default application.
    virtual bool openPath(const QString &path) = 0;
    virtual bool revealInFileManager(const QString &path) = 0;
    virtual void copyToClipboard(const QString &text) = 0;
    // A password: marked so clipboard managers keep it out of their history.
    virtual void copySecretToClipboard(const QString &text) { copyToClipboard(text); }
    // Runs an executable script in the user's terminal emulator, in a window the user can type into.
    virtual bool openInTerminal(const QString &scriptPath) = 0;
};
