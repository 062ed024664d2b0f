#pragma once

#include "core/DesktopServices.h"

#include <QList>
#include <QStringList>
#include <QUrl>

// Answers save dialogs with a preset path, records what was asked of the desktop,
// and can refuse to open a terminal like a desktop without one.
class FakeDesktopServices : public DesktopServices {
public:
    std::optional<QString> nextSavePath;
    QStringList savePrompts; // "title|proposedName|nameFilter"
    QString clipboard;
    QList<QUrl> openedUrls;
    QStringList openedScripts;
    QStringList revealedPaths;
    bool terminalWorks = true;

    QCoro::Task<std::optional<QString>> chooseSaveFile(QString title, QString proposedName,
                                                       QString nameFilter) override {
        savePrompts.append(title + QLatin1Char('|') + proposedName + QLatin1Char('|') + nameFilter);
        std::optional<QString> answer = nextSavePath; // QCoro 0.8 moves from a co_returned lvalue
        co_return answer;
    }
    QCoro::Task<std::optional<QString>> chooseOpenFile(QString, QString) override { co_return std::nullopt; }
    QCoro::Task<std::optional<QString>> chooseFolder(QString, QString) override { co_return std::nullopt; }
    bool openUrl(const QUrl &url) override {
        openedUrls.append(url);
        return true;
    }
    bool openPath(const QString &) override { return true; }
    bool revealInFileManager(const QString &path) override {
        revealedPaths.append(path);
        return true;
    }
    void copyToClipboard(const QString &text) override { clipboard = text; }
    bool openInTerminal(const QString &scriptPath) override {
        openedScripts.append(scriptPath);
        return terminalWorks;
    }
};
