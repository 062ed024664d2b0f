#pragma once

#include "core/CSV.h"
#include "core/CancelToken.h"
#include "core/GAM.h"
#include "tabs/ScanFailures.h"

#include <QCoroTask>
#include <QPointer>
#include <QStringList>
#include <optional>

class Console;

struct ScanResult {
    CSVTable table;
    ScanFailures failures;
};

// Runs `core` for many users through GAM's batching (auto_batch_min 1, 20
// threads, multiprocess) with its CSV redirected to a private file in the system
// temporary folder, which is deleted whatever happens. Logs the command and gam's
// standard error. Throws what the run throws, and Error when the file cannot be
// created or gam wrote nothing to it (a scan that never ran is not an empty one).
// Returns an empty result, logging nothing more, when the console is gone.
QCoro::Task<ScanResult> runBatchedScan(QPointer<Console> console, QStringList core, CancelToken cancel);

// The temporary file's name: "tarnwick-" and a new upper-case UUID, ".csv", in
// the system temporary folder. Throws Error when that folder does not exist.
QString newScanFilePath();

// One command about one file (info, trash or purge), with its 30 s time-out.
// A time-out gives no result, for the caller to report and go on; anything else
// that stops the run is thrown.
QCoro::Task<std::optional<CommandResult>> runFileCommand(QStringList arguments, CancelToken cancel);

// After the results: the failure lines again and "  N user(s) could not be
// scanned — see the lines above.", so a short result never reads as complete.
void logScanFailures(Console &console, const ScanFailures &failures);

// Reads a finished scan's file and standard error off the main thread; throws
// Error when the file is missing or empty.
QCoro::Task<ScanResult> readScanResult(QString path, QString stdErr);
