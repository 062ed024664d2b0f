#include "core/TerminalLauncher.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// What each terminal needs before the program it should run.
QStringList executeFlag(const QString &terminal) {
    const QString name = QFileInfo(terminal).fileName();
    if (name == u"gnome-terminal")
        return {u"--"_s};
    if (name == u"xfce4-terminal")
        return {u"-x"_s};
    return {u"-e"_s}; // konsole, xterm, x-terminal-emulator and most others
}

} // namespace

std::optional<TerminalCommand> terminalCommand(const QString &scriptPath,
                                               const std::function<QString(const QString &)> &environment,
                                               const std::function<QString(const QString &)> &findExecutable) {
    QStringList candidates;
    const QString preferred = environment(u"TERMINAL"_s).trimmed();
    if (!preferred.isEmpty())
        candidates.append(preferred);
    candidates << u"x-terminal-emulator"_s << u"gnome-terminal"_s << u"konsole"_s << u"xfce4-terminal"_s << u"xterm"_s;
    for (const QString &candidate : std::as_const(candidates)) {
        const QString program = findExecutable(candidate);
        if (!program.isEmpty())
            return TerminalCommand{program, executeFlag(candidate) << scriptPath};
    }
    return std::nullopt;
}
