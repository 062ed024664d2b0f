#include "core/GAM.h"
#include "core/LineSplitter.h"
#include "profiles/ProfileStore.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <coroutine>
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

// Deletes the child only once it has exited: a running QProcess would be
// killed by its destructor, and only SIGTERM is ever sent.
struct DeleteWhenExited {
    void operator()(QProcess *process) const {
        if (process->state() == QProcess::NotRunning) {
            process->deleteLater();
            return;
        }
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        process->terminate();
    }
};
using OwnedProcess = std::unique_ptr<QProcess, DeleteWhenExited>;

struct Exit {
    int status = 0;
    bool timedOut = false;
    bool cancelled = false;
};

int terminationStatus(const QProcess &process) {
    // On Unix, Qt reports the signal number as exitCode() for a child ended by a
    // signal; fall back to SIGTERM's number should a platform report nothing.
    if (process.exitStatus() == QProcess::CrashExit && process.exitCode() == 0)
        return 15;
    return process.exitCode();
}

// Starts the child and suspends until it has exited. Throws Cancelled when the
// token fired before launch, LaunchError when the child could not start.
QCoro::Task<Exit> runToExit(QProcess *process, std::optional<std::chrono::milliseconds> timeout, CancelToken cancel) {
    if (cancel.isCancelled())
        throw Cancelled();

    WakeUp wakeUp;
    QObject context; // receiver of every connection into this frame
    bool launched = false;
    bool timedOut = false;
    QObject::connect(process, &QProcess::started, &context, [&] {
        launched = true;
        wakeUp.wake();
    });
    QObject::connect(process, &QProcess::errorOccurred, &context, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            wakeUp.wake();
    });
    QObject::connect(process, &QProcess::finished, &context, [&] { wakeUp.wake(); });
    QObject::connect(cancel.state(), &CancelState::requested, &context, [process] {
        if (process->state() != QProcess::NotRunning)
            process->terminate();
    });

    process->start();
    while (process->state() == QProcess::Starting)
        co_await wakeUp.next();
    if (!launched) {
        if (cancel.isCancelled())
            throw Cancelled();
        throw LaunchError(process->errorString());
    }

    QTimer timer;
    if (timeout) {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &context, [&] {
            if (process->state() == QProcess::NotRunning)
                return;
            timedOut = true;
            process->terminate();
        });
        timer.start(*timeout);
    }
    // No time limit of our own: a child that ignores SIGTERM keeps the run waiting.
    while (process->state() != QProcess::NotRunning)
        co_await wakeUp.next();
    co_return Exit{terminationStatus(*process), timedOut, cancel.isCancelled()};
}

void throwIfStopped(const Exit &exit) {
    if (exit.timedOut) // wins over cancellation
        throw GAMError::timedOut();
    if (exit.cancelled)
        throw Cancelled();
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
