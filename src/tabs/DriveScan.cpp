#include "tabs/DriveScan.h"

#include "core/CommandLine.h"
#include "core/Console.h"
#include "core/Error.h"
#include "core/GAM.h"

#include <QCoroFuture>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>

using namespace Qt::StringLiterals;

namespace {

constexpr double scanTimeoutSeconds = 1800;
constexpr double fileTimeoutSeconds = 30;

// Deletes the scan file when the scan ends, however it ends.
class ScanFile {
public:
    explicit ScanFile(QString path)
        : m_path(std::move(path)) {}
    ~ScanFile() { QFile::remove(m_path); }
    ScanFile(const ScanFile &) = delete;
    ScanFile &operator=(const ScanFile &) = delete;

    const QString &path() const { return m_path; }

    // Created empty and owner-only before gam runs: the listing names other
    // people's files, and an empty file afterwards shows gam never wrote it.
    void create() const {
        QFile file(m_path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            throw Error(u"Cannot create the scan's temporary file in "_s + QFileInfo(m_path).absolutePath() + u" ("_s +
                        file.errorString() + u")."_s);
    }

private:
    QString m_path;
};

struct ReadOutcome {
    ScanResult result;
    std::optional<QString> problem;
};

ReadOutcome readScanFile(const QString &path, const QString &stdErr) {
    ReadOutcome outcome;
    outcome.result.failures = findScanFailures(stdErr);
    if (QFileInfo(path).size() == 0) {
        outcome.problem = u"GAM wrote no results to "_s + path + u", so the scan did not complete."_s;
        return outcome;
    }
    try {
        outcome.result.table = parseCSVFile(path);
    } catch (const Error &error) {
        outcome.problem = error.description();
    }
    return outcome;
}

} // namespace

QString newScanFilePath() {
    // Qt gives an empty path for a TMPDIR that does not exist, which would put the file in the working folder.
    const QString folder = QDir::tempPath();
    if (folder.isEmpty())
        throw Error(u"Cannot create the scan's temporary file: the temporary folder "_s +
                    qEnvironmentVariable("TMPDIR", u"/tmp"_s) + u" does not exist."_s);
    return QDir(folder).filePath(u"tarnwick-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
                                 u".csv"_s);
}

QCoro::Task<ScanResult> readScanResult(QString path, QString stdErr) {
    QFuture<ReadOutcome> reading = QtConcurrent::run(readScanFile, path, stdErr);
    // Awaited without its value, taken below: GCC 12 released the value co_await gives twice.
    const QFuture<void> done(reading);
    co_await done;
    ReadOutcome outcome = reading.takeResult();
    if (outcome.problem)
        throw Error(*outcome.problem);
    co_return std::move(outcome.result);
}

QCoro::Task<ScanResult> runBatchedScan(QPointer<Console> console, QStringList core, CancelToken cancel) {
    const ScanFile file(newScanFilePath());
    file.create();
    const QStringList arguments =
        QStringList{u"config"_s, u"auto_batch_min"_s, u"1"_s,           u"num_threads"_s, u"20"_s, u"redirect"_s,
                    u"csv"_s,    file.path(),         u"multiprocess"_s} +
        core;
    console->log(u">> "_s + displayCommand(arguments), LogKind::command);
    const CommandResult run =
        co_await GAM::runGAM(arguments, scanTimeoutSeconds, GAM::ProfileChoice::active(), std::move(cancel));
    if (!console)
        co_return ScanResult();
    console->logOutput(run.stdErr, LogKind::warning, 15);
    co_return co_await readScanResult(file.path(), run.stdErr);
}

void logScanFailures(Console &console, const ScanFailures &failures) {
    if (failures.users.isEmpty())
        return;
    console.logOutput(failures.lines.join(u'\n'), LogKind::error, 15);
    console.log(u"  "_s + QString::number(failures.users.size()) +
                    u" user(s) could not be scanned — see the lines above."_s,
                LogKind::warning);
}

QCoro::Task<std::optional<CommandResult>> runFileCommand(QStringList arguments, CancelToken cancel) {
    try {
        co_return co_await GAM::runGAM(arguments, fileTimeoutSeconds, GAM::ProfileChoice::active(), cancel);
    } catch (const GAMError &error) {
        if (error.kind() != GAMError::Kind::timedOut)
            throw;
    }
    co_return std::nullopt;
}
