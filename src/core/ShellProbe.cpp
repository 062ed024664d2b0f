#include "core/GAM.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

const QString startMarker = u"__TARNWICK_CFG_START__"_s;
const QString endMarker = u"__TARNWICK_CFG_END__"_s;

QString loginShell() {
    const QString shell = qEnvironmentVariable("SHELL");
    if (!shell.isEmpty())
        return shell;
    // Most Linux systems have no zsh; bash is the usual login shell there.
    return QFileInfo::exists(u"/bin/zsh"_s) ? u"/bin/zsh"_s : u"/bin/bash"_s;
}

} // namespace

namespace GAM {

QCoro::Task<std::optional<QString>> detectShellConfigDir(CancelToken cancel) {
    // The interactive login shell reads the user's profile files; the markers
    // find the value among whatever those files print.
    const QStringList arguments{u"-ilc"_s, u"printf '"_s + startMarker + u"%s"_s + endMarker + u"' \"$GAMCFGDIR\""_s};
    const CommandResult result =
        co_await capture(loginShell(), arguments, 15, ProfileChoice::none(), std::move(cancel));
    co_return parseShellProbeOutput(result.stdOut);
}

std::optional<QString> parseShellProbeOutput(const QString &output) {
    const qsizetype start = output.indexOf(startMarker);
    if (start < 0)
        return std::nullopt;
    const qsizetype valueStart = start + startMarker.size();
    const qsizetype end = output.indexOf(endMarker, valueStart);
    if (end < 0)
        return std::nullopt;
    const QString value = output.mid(valueStart, end - valueStart).trimmed();
    if (value.isEmpty())
        return std::nullopt;
    return expandTilde(value);
}

} // namespace GAM
