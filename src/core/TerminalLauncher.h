#pragma once

#include <QStringList>
#include <functional>
#include <optional>

// How to open a script in the user's terminal emulator so they can type into it.
struct TerminalCommand {
    QString program;
    QStringList arguments;
    QString workingDirectory;
};

// The first terminal found among $TERMINAL, x-terminal-emulator, gnome-terminal, konsole,
// xfce4-terminal and xterm, with the flag that makes it execute `scriptPath`. `environment`
// reads a variable; `findExecutable` returns the full path of a program on PATH, or empty.
// The script is named relative to its folder, the working directory, so a terminal that
// reads its command as a shell line never sees the folder's spaces or quotes; the file
// name itself must be one shell word (see GAMSetup::writeCommandScript).
std::optional<TerminalCommand> terminalCommand(const QString &scriptPath,
                                               const std::function<QString(const QString &)> &environment,
                                               const std::function<QString(const QString &)> &findExecutable);
