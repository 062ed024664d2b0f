#include "core/GAM.h"
#include "core/LineSplitter.h"
#include "core/ProcessGroup.h"
#include "profiles/ProfileStore.h"

#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <coroutine>
#include <csignal>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// A suspension point that Qt slots resume. A wake-up that comes before the
// coroutine suspends is kept, so none is lost; callers re-check their condition.
class WakeUp {
public:
    void wake() {
        m_woken = true;
        if (m_waiting)
            std::exchange(m_waiting, {}).resume();
    }

    // QCoro's await_transform copies what it awaits, so the awaiter only points here.
    auto next() {
        struct Awaiter {
            WakeUp *wakeUp;
            bool await_ready() const noexcept { return wakeUp->m_woken; }
            void await_suspend(std::coroutine_handle<> waiting) noexcept { wakeUp->m_waiting = waiting; }
            void await_resume() const noexcept { wakeUp->m_woken = false; }
        };
        return Awaiter{this};
    }

private:
    bool m_woken = false;
    std::coroutine_handle<> m_waiting;
};

constexpr auto stopGracePeriod = std::chrono::seconds(5);
constexpr auto groupPollInterval = std::chrono::milliseconds(100);
// SIGKILL cannot be ignored; this only bounds a child stuck in the kernel.
constexpr int killWaitMs = 2000;

// Deletes the child only once it has exited: a running QProcess would be
// killed by its destructor, and only the leader of the group at that.
struct DeleteWhenExited {
    void operator()(QProcess *process) const {
        if (process->state() == QProcess::NotRunning) {
            process->deleteLater();
            return;
        }
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        ProcessGroup::signal(process->processId(), SIGTERM);
    }
};
using OwnedProcess = std::unique_ptr<QProcess, DeleteWhenExited>;

struct Exit {
    int status = 0;
    bool endedBySignal = false;
    bool timedOut = false;
    bool cancelled = false;
    bool killed = false;
};

// One child and its process group, from the launch until none of it runs any more.
// stop() sends the group SIGTERM, then SIGKILL once the grace period has passed with
// anything of it still running; kill() sends SIGKILL at once and waits for the child,
// so the run is over by the time it returns. `wake` is called whenever the state moves
// on and always last, since the run may end (and this object go) inside it.
class GroupRun {
public:
    GroupRun(QProcess *process, std::function<void()> wake)
        : m_process(process)
        , m_wake(std::move(wake)) {
        QObject::connect(process, &QProcess::started, &m_context, [this] {
            m_group = m_process->processId();
            ProcessGroup::track(m_group);
            if (m_stopping)
                terminate();
            m_wake();
        });
        QObject::connect(process, &QProcess::errorOccurred, &m_context, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                m_wake();
        });
        QObject::connect(process, &QProcess::finished, &m_context, [this] { leaderExited(); });
        m_grace.setSingleShot(true);
        QObject::connect(&m_grace, &QTimer::timeout, &m_context, [this] { killGroup(); });
        QObject::connect(&m_poll, &QTimer::timeout, &m_context, [this] {
            if (!ProcessGroup::hasLiveMembers(m_group))
                end();
        });
    }

    bool hasLaunched() const { return m_group != 0; }
    bool isOver() const { return m_over; }
    bool killed() const { return m_killed; }

    void stop() {
        if (m_stopping)
            return;
        m_stopping = true;
        if (hasLaunched() && !m_over)
            terminate();
    }

    void kill() {
        m_stopping = true;
        if (m_process->state() == QProcess::Starting) {
            // A launch that fails ends the run, and this object, while we wait.
            const QPointer<QObject> alive(&m_context);
            m_process->waitForStarted(killWaitMs);
            if (!alive)
                return;
        }
        if (!hasLaunched() || m_over)
            return;
        if (m_process->state() == QProcess::NotRunning) {
            killGroup(); // ends the run, and may destroy this object
            return;
        }
        killGroup();
        m_process->waitForFinished(killWaitMs); // ends the run, and may destroy this object
    }

private:
    void terminate() {
        ProcessGroup::signal(m_group, SIGTERM);
        m_grace.start(stopGracePeriod);
    }

    void killGroup() {
        if (m_over)
            return;
        const bool leaderRuns = m_process->state() != QProcess::NotRunning;
        if (leaderRuns || ProcessGroup::hasLiveMembers(m_group)) {
            ProcessGroup::signal(m_group, SIGKILL);
            m_killed = true;
        }
        if (!leaderRuns)
            end();
    }

    void leaderExited() {
        // After a stop, what the child started must be gone too before the run is over.
        if (m_stopping && !m_killed && ProcessGroup::hasLiveMembers(m_group)) {
            m_poll.start(groupPollInterval);
            return;
        }
        end();
    }

    void end() {
        if (m_over)
            return;
        m_grace.stop();
        m_poll.stop();
        ProcessGroup::untrack(m_group);
        m_over = true;
        m_wake();
    }

    QProcess *m_process;
    std::function<void()> m_wake;
    qint64 m_group = 0;
    bool m_stopping = false;
    bool m_killed = false;
    bool m_over = false;
    QTimer m_grace;
    QTimer m_poll;
    QObject m_context; // receiver of every connection; declared last so it goes first
};

// Starts the child and suspends until it and, after a stop, its process group have
// ended. Throws Cancelled when the token fired before launch, LaunchError when the
// child could not start.
QCoro::Task<Exit> runToExit(QProcess *process, std::optional<std::chrono::milliseconds> timeout, CancelToken cancel) {
    if (cancel.isCancelled())
        throw Cancelled();

    WakeUp wakeUp;
    GroupRun run(process, [&wakeUp] { wakeUp.wake(); });
    QObject context; // receiver of the connections below
    QObject::connect(cancel.state(), &CancelState::requested, &context, [&run] { run.stop(); });
    QObject::connect(cancel.state(), &CancelState::killRequested, &context, [&run] { run.kill(); });

    process->start();
    while (process->state() == QProcess::Starting)
        co_await wakeUp.next();
    if (!run.hasLaunched()) {
        if (cancel.isCancelled())
            throw Cancelled();
        throw LaunchError(process->errorString());
    }

    bool timedOut = false;
    QTimer timer;
    if (timeout) {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &context, [&] {
            if (run.isOver())
                return;
            timedOut = true;
            run.stop();
        });
        timer.start(*timeout);
    }
    while (!run.isOver())
        co_await wakeUp.next();
    co_return Exit{process->exitCode(), process->exitStatus() == QProcess::CrashExit, timedOut, cancel.isCancelled(),
                   run.killed()};
}

void throwIfStopped(const Exit &exit) {
    if (exit.timedOut) // wins over cancellation
        throw GAMError::timedOut(exit.killed);
    if (exit.cancelled)
        throw Cancelled(exit.killed);
    // Not a status gam chose: a crash, or a kill from outside, must never pass for a result.
    if (exit.endedBySignal)
        throw EndedBySignal(exit.status);
}

std::chrono::milliseconds toMilliseconds(double seconds) {
    const double ms = std::clamp(seconds * 1000.0, 0.0, double(std::numeric_limits<int>::max()));
    return std::chrono::milliseconds(qint64(ms));
}

} // namespace

namespace GAM {

std::unique_ptr<QProcess> makeProcess(const QString &executable, const QStringList &arguments,
                                      const ProfileChoice &profile) {
    auto process = std::make_unique<QProcess>();
    ProcessGroup::leadOwnGroup(*process);
    process->setProgram(executable);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString inheritedPath = environment.value(u"PATH"_s);
    // An empty PATH would put the working folder on the search path.
    if (inheritedPath.isEmpty())
        inheritedPath = u"/usr/bin:/bin:/usr/sbin:/sbin"_s;
    environment.insert(u"PATH"_s, QStringList{QFileInfo(executable).absolutePath(), u"/usr/local/bin"_s,
                                              u"/opt/homebrew/bin"_s, inheritedPath}
                                      .join(u':'));

    std::optional<DomainProfile> chosen;
    switch (profile.kind()) {
    case ProfileChoice::Kind::specific:
        chosen = profile.profile();
        break;
    case ProfileChoice::Kind::active:
        chosen = currentActiveProfile();
        break;
    case ProfileChoice::Kind::none:
        break;
    }
    if (chosen) {
        if (!chosen->configDir.isEmpty())
            environment.insert(u"GAMCFGDIR"_s, expandTilde(chosen->configDir));
        if (const auto section = chosen->effectiveSection())
            environment.insert(u"GAMCFGSECTION"_s, *section);
        else
            environment.remove(u"GAMCFGSECTION"_s);
    }
    process->setProcessEnvironment(environment);
    return process;
}

QCoro::Task<CommandResult> capture(QString executable, QStringList arguments, double timeoutSeconds,
                                   ProfileChoice profile, CancelToken cancel) {
    // QProcess drains both pipes as data arrives, so a chatty stderr never blocks the child.
    OwnedProcess process(makeProcess(executable, arguments, profile).release());
    const Exit exit = co_await runToExit(process.get(), toMilliseconds(timeoutSeconds), cancel);
    throwIfStopped(exit);
    co_return CommandResult{exit.status, QString::fromUtf8(process->readAllStandardOutput()),
                            QString::fromUtf8(process->readAllStandardError())};
}

QCoro::Task<CommandResult> runGAM(QStringList arguments, double timeoutSeconds, ProfileChoice profile,
                                  CancelToken cancel) {
    const std::optional<QString> gam = locateGAM();
    if (!gam)
        throw GAMError::notFound();
    co_return co_await capture(*gam, std::move(arguments), timeoutSeconds, std::move(profile), std::move(cancel));
}

QCoro::Task<int> stream(QString executable, QStringList arguments, LineHandler onLine, CancelToken cancel) {
    OwnedProcess process(makeProcess(executable, arguments, ProfileChoice::active()).release());
    process->setProcessChannelMode(QProcess::MergedChannels);
    LineSplitter splitter;
    QObject context;
    QObject::connect(process.get(), &QProcess::readyReadStandardOutput, &context,
                     [&] { splitter.feed(process->readAllStandardOutput(), onLine); });

    const Exit exit = co_await runToExit(process.get(), std::nullopt, cancel);
    splitter.feed(process->readAllStandardOutput(), onLine);
    splitter.finish(onLine);
    throwIfStopped(exit);
    co_return exit.status;
}

QCoro::Task<int> streamGAM(QStringList arguments, LineHandler onLine, CancelToken cancel) {
    const std::optional<QString> gam = locateGAM();
    if (!gam)
        throw GAMError::notFound();
    co_return co_await stream(*gam, std::move(arguments), std::move(onLine), std::move(cancel));
}

} // namespace GAM
