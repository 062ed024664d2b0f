#include "core/TerminalLauncher.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// What each terminal needs before the program it should run. Those that may hand the
// command to an already running instance are also told the folder to run it in.
QStringList executeFlags(const QString &terminal, const QString &folder) {
    const QString name = QFileInfo(terminal).fileName();
    if (name == u"gnome-terminal")
        return {u"--working-directory="_s + folder, u"--"_s};
    if (name == u"xfce4-terminal")
        return {u"--working-directory="_s + folder, u"-x"_s};
    if (name == u"konsole")
        return {u"--workdir"_s, folder, u"-e"_s};
    return {u"-e"_s}; // xterm, x-terminal-emulator and most others
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
    const QFileInfo script(scriptPath);
    const QString folder = script.absolutePath();
    for (const QString &candidate : std::as_const(candidates)) {
        const QString program = findExecutable(candidate);
        if (!program.isEmpty())
            return TerminalCommand{program, executeFlags(candidate, folder) << u"./"_s + script.fileName(), folder};
    }
    return std::nullopt;
}
