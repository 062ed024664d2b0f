#pragma once

#include "core/CancelToken.h"
#include "core/Error.h"
#include "profiles/DomainProfile.h"

#include <QCoroTask>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QProcess;

// What a finished gam run produced. Both texts are decoded as UTF-8 with
// invalid sequences replaced by U+FFFD.
struct CommandResult {
    int exitCode = 0;
    QString stdOut;
    QString stdErr;
};

class GAMError : public Error {
public:
    enum class Kind { notFound, timedOut };

    static GAMError notFound();
    // `killed`: the child ignored SIGTERM and was killed after the grace period.
    static GAMError timedOut(bool killed = false);

    Kind kind() const { return m_kind; }
    bool killed() const { return m_killed; }

private:
    GAMError(Kind kind, QString description, bool killed = false);
    Kind m_kind;
    bool m_killed;
};

// The child was ended by a signal nobody here sent: a crash, or a kill from outside.
class EndedBySignal : public Error {
public:
    explicit EndedBySignal(int signal);
    int signal() const { return m_signal; }

private:
    int m_signal;
};

// The child could not be started (file vanished, not executable, limits).
class LaunchError : public Error {
public:
    using Error::Error;
};

namespace GAM {

// Which domain's environment a run gets.
class ProfileChoice {
public:
    enum class Kind { specific, active, none };

    static ProfileChoice specific(DomainProfile profile) { return ProfileChoice(Kind::specific, std::move(profile)); }
    static ProfileChoice active() { return ProfileChoice(Kind::active, {}); }
    static ProfileChoice none() { return ProfileChoice(Kind::none, {}); }

    Kind kind() const { return m_kind; }
    const DomainProfile &profile() const { return m_profile; }

private:
    ProfileChoice(Kind kind, DomainProfile profile)
        : m_kind(kind)
        , m_profile(std::move(profile)) {}
    Kind m_kind;
    DomainProfile m_profile;
};

using LineHandler = std::function<void(const QString &line)>;

// The gam to use, looked up afresh each time: the gamPath setting, else autodetection.
std::optional<QString> locateGAM();
std::optional<QString> autodetectGAM();

// A configured, unstarted child: arguments unchanged, stdin the null device,
// PATH/GAMCFGDIR/GAMCFGSECTION set for the profile.
std::unique_ptr<QProcess> makeProcess(const QString &executable, const QStringList &arguments,
                                      const ProfileChoice &profile);

// Every child leads a process group of its own. A stop or time-out sends the group
// SIGTERM and, when anything of it still runs after a grace period, SIGKILL; a kill
// request (CancelToken::kill) sends SIGKILL at once and ends the run before returning.

// Runs to completion and returns everything it printed. Throws GAMError::timedOut
// (which wins over cancellation), Cancelled, EndedBySignal or LaunchError.
QCoro::Task<CommandResult> capture(QString executable, QStringList arguments, double timeoutSeconds,
                                   ProfileChoice profile, CancelToken cancel = {});
// capture() with the located gam; throws GAMError::notFound before anything else.
QCoro::Task<CommandResult> runGAM(QStringList arguments, double timeoutSeconds, ProfileChoice profile,
                                  CancelToken cancel = {});

// Delivers stdout and stderr interleaved, line by line and in order, on the
// main thread, all before returning the exit status. Active profile, no time-out.
// Throws like capture().
QCoro::Task<int> stream(QString executable, QStringList arguments, LineHandler onLine, CancelToken cancel = {});
QCoro::Task<int> streamGAM(QStringList arguments, LineHandler onLine, CancelToken cancel = {});

// The GAMCFGDIR exported by the user's login-shell profile, if any.
QCoro::Task<std::optional<QString>> detectShellConfigDir(CancelToken cancel = {});
// The text between the probe's markers, trimmed and ~-expanded; none when absent or blank.
std::optional<QString> parseShellProbeOutput(const QString &output);

// The active profile's configDir, ~-expanded; none when it has none.
std::optional<QString> activeConfigDir();

} // namespace GAM
