#pragma once

#include "core/DesktopServices.h"

#include <QList>
#include <QStringList>
#include <QUrl>
#include <functional>

// Answers dialogs with preset paths, records what was asked of the desktop, and
// can refuse to open a terminal like a desktop without one, or hand the script
// to a stand-in terminal.
class FakeDesktopServices : public DesktopServices {
public:
    std::optional<QString> nextSavePath;
    QStringList savePrompts; // "title|proposedName|nameFilter"
    QString clipboard;
    QList<QUrl> openedUrls;
    std::optional<QString> nextOpenPath;
    std::optional<QString> nextFolder;
    std::optional<QString> nextFileLocation;
    QStringList openPrompts;     // "title|nameFilter|startFolder"
    QStringList folderPrompts;   // "title|startFolder"
    QStringList locationPrompts; // "title|startPath"
    QStringList openedScripts;
    QStringList revealedPaths;
    bool terminalWorks = true;
    // When set, runs each opened script (see ScriptedTerminal) and says whether it started.
    std::function<bool(const QString &scriptPath)> terminal;

    QCoro::Task<std::optional<QString>> chooseSaveFile(QString title, QString proposedName,
                                                       QString nameFilter) override {
        savePrompts.append(title + QLatin1Char('|') + proposedName + QLatin1Char('|') + nameFilter);
        std::optional<QString> answer = nextSavePath; // QCoro 0.8 moves from a co_returned lvalue
        co_return answer;
    }
    QCoro::Task<std::optional<QString>> chooseOpenFile(QString title, QString nameFilter,
                                                       QString startFolder = {}) override {
        openPrompts.append(title + QLatin1Char('|') + nameFilter + QLatin1Char('|') + startFolder);
        std::optional<QString> answer = nextOpenPath;
        co_return answer;
    }
    QCoro::Task<std::optional<QString>> chooseFolder(QString title, QString startFolder) override {
        folderPrompts.append(title + QLatin1Char('|') + startFolder);
        std::optional<QString> answer = nextFolder;
        co_return answer;
    }
    QCoro::Task<std::optional<QString>> chooseFileLocation(QString title, QString startPath) override {
        locationPrompts.append(title + QLatin1Char('|') + startPath);
        std::optional<QString> answer = nextFileLocation;
        co_return answer;
    }
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
        if (terminal)
            return terminal(scriptPath);
        return terminalWorks;
    }
};
