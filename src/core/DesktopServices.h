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
    // Open dialog for an existing file, starting in startFolder (home when empty).
    virtual QCoro::Task<std::optional<QString>> chooseOpenFile(QString title, QString nameFilter,
                                                               QString startFolder = {}) = 0;
    // Folders only, hidden ones shown, new ones may be created.
    virtual QCoro::Task<std::optional<QString>> chooseFolder(QString title, QString startFolder) = 0;
    // Save-style dialog for a file that is kept and appended to: starts at startPath's
    // folder with its name filled in and never asks to replace an existing file.
    virtual QCoro::Task<std::optional<QString>> chooseFileLocation(QString title, QString startPath) = 0;

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
