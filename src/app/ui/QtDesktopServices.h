#pragma once

#include "core/DesktopServices.h"

#include <QPointer>
#include <QWidget>

// The desktop as Qt offers it on Linux: Qt file dialogs opened window-modal over
// the window in front (the main window when none is), the default browser and file manager, the clipboard, and the
// user's terminal emulator.
class QtDesktopServices : public DesktopServices {
public:
    explicit QtDesktopServices(QWidget *window = nullptr);

    // Dialogs open over this window; set once the main window exists.
    void setWindow(QWidget *window);

    QCoro::Task<std::optional<QString>> chooseSaveFile(QString title, QString proposedName,
                                                       QString nameFilter) override;
    QCoro::Task<std::optional<QString>> chooseOpenFile(QString title, QString nameFilter,
                                                       QString startFolder = {}) override;
    QCoro::Task<std::optional<QString>> chooseFolder(QString title, QString startFolder) override;
    QCoro::Task<std::optional<QString>> chooseFileLocation(QString title, QString startPath) override;

    bool openUrl(const QUrl &url) override;
    bool openPath(const QString &path) override;
    bool revealInFileManager(const QString &path) override;
    void copyToClipboard(const QString &text) override;
    void copySecretToClipboard(const QString &text) override;
    bool openInTerminal(const QString &scriptPath) override;

private:
    QWidget *dialogParent() const;

    QPointer<QWidget> m_window;
};
