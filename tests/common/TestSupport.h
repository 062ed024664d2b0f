#pragma once

#include <QCoroTask>
#include <QEventLoop>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <exception>
#include <functional>
#include <optional>

// Points QSettings at a fresh temporary folder for the lifetime of the object,
// so no test reads or writes the real user's settings.
class IsolatedSettings {
public:
    IsolatedSettings();
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Sets an environment variable (a practice-gam hook) for the lifetime of the object.
class Hook {
public:
    Hook(const char *name, const QByteArray &value)
        : m_name(name) {
        qputenv(name, value);
    }
    ~Hook() { qunsetenv(m_name); }
    Hook(const Hook &) = delete;
    Hook &operator=(const Hook &) = delete;

private:
    const char *m_name;
};

class Console;

// The texts of every log entry, oldest first.
QStringList logLines(const Console &console);

// Starts a console task with this label that runs gam once with these arguments.
void startGAMTask(Console &console, const QString &label, const QStringList &arguments);

// Seeds a practice district into folder with the simulated gam; false when seeding failed.
bool seedPracticeDomain(const QString &folder, const QString &domain, int users);

class ProfileStore;

// Adds a profile named "Practice" for the district in configDir (empty: the default
// folder) and makes it the active one.
void activatePracticeProfile(ProfileStore &store, const QString &configDir, const QString &domain);

// Where the Security tab's records go in a test.
struct SecurityRecords {
    QString evidenceFolder;
    QString auditLog;
};

// Points the active profile's evidence folder and audit log below folder.
SecurityRecords keepSecurityRecordsIn(ProfileStore &store, const QString &folder);

struct CheckResult;

// The texts of a check result's flags, in order; none for no result.
QStringList flagTexts(const CheckResult &result);
QStringList flagTexts(const CheckResult *result);

// The permission bits of a file or folder (e.g. 0600); -1 when it does not exist.
int fileMode(const QString &path);

// A file's bytes, or nothing when it cannot be read.
QByteArray readBytes(const QString &path);
// Writes bytes to path, creating its folder; stops the test run when it cannot.
void writeBytes(const QString &path, const QByteArray &contents);

// Writes an executable shell script into dir and returns its path.
QString writeScript(const QString &dir, const QString &name, const QString &body);

// Calls `action` once, as soon as the file exists (polled while `owner` lives).
void whenFileExists(const QString &path, QObject *owner, std::function<void()> action);

// The process id a script wrote into path (`echo $$ > path`), or 0 while there is none.
qint64 pidFromFile(const QString &path);
// Whether the process still runs. A zombie has ended: where init does not reap
// orphans (some containers), an ended process can linger as one.
bool processIsRunning(qint64 pid);

// Runs a task to completion in a nested event loop with a watchdog; rethrows
// what the task threw. Tests only.
template <typename T> T awaitTask(QCoro::Task<T> task, std::chrono::milliseconds watchdog = std::chrono::seconds(60)) {
    QEventLoop loop;
    std::optional<T> value;
    std::exception_ptr error;
    bool done = false;
    task.then(
        [&](T result) {
            value = std::move(result);
            done = true;
            loop.quit();
        },
        [&](const std::exception &) {
            error = std::current_exception();
            done = true;
            loop.quit();
        });
    QTimer::singleShot(watchdog, &loop, [&loop] { loop.exit(1); });
    if (!done && loop.exec() != 0)
        throw std::runtime_error("task did not finish before the watchdog fired");
    if (error)
        std::rethrow_exception(error);
    return std::move(*value);
}

void awaitTask(QCoro::Task<> task, std::chrono::milliseconds watchdog = std::chrono::seconds(60));

// The error a task failed with, or none when it succeeded or failed otherwise.
template <typename E, typename T> std::optional<E> failureOf(QCoro::Task<T> task) {
    try {
        awaitTask(std::move(task));
    } catch (const E &error) {
        return error;
    } catch (...) {
    }
    return std::nullopt;
}
