#include "tabs/DriveDelete.h"

#include "core/CSV.h"
#include "core/CommandLine.h"
#include "core/Console.h"
#include "core/GAM.h"
#include "tabs/DriveListing.h"
#include "tabs/DriveQuery.h"
#include "tabs/DriveScan.h"

#include <QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

using namespace Qt::StringLiterals;

namespace {

constexpr double listingTimeoutSeconds = 60;
constexpr int listingLimit = 1000;
const QString listingFields = u"id,name"_s;

struct Targets {
    QList<DeleteTarget> files;
    bool proceed = false; // false: the run ends here (its lines are logged)
};

void logSummary(Console &console, int completed, int failed) {
    console.log(u"Done — "_s + QString::number(completed) + u" completed, "_s + QString::number(failed) + u" failed."_s,
                failed == 0 ? LogKind::info : LogKind::warning);
}

// The rows of the one-user name listing, or of the OU scan.
QCoro::Task<std::optional<ScanResult>> listFiles(QPointer<Console> console, DriveRequest request, CancelToken cancel) {
    const QStringList listing = request.fileListArguments(nameContainsQuery(request.name), listingFields, listingLimit);
    if (request.scope == DriveScope::ou) {
        console->log(u"  Scanning all users in OU "_s + request.ouPath + u" (large OUs can take several minutes)..."_s,
                     LogKind::preview);
        // Kept out of the co_await expression: GCC 12 cannot hold an initializer list across it.
        const QStringList core = QStringList{u"ou_and_children"_s, request.ouPath} + listing;
        co_return co_await runBatchedScan(console, core, cancel);
    }
    const QStringList arguments = QStringList{u"user"_s, request.email} + listing;
    console->log(u">> "_s + displayCommand(arguments), LogKind::command);
    const CommandResult result =
        co_await GAM::runGAM(arguments, listingTimeoutSeconds, GAM::ProfileChoice::active(), cancel);
    if (!console)
        co_return std::nullopt;
    console->logOutput(result.stdErr, LogKind::warning, 15);
    ScanResult listed;
    listed.table = parseCSV(result.stdOut);
    co_return listed;
}

QCoro::Task<Targets> findTargets(QPointer<Console> console, DriveRequest request, CancelToken cancel) {
    Targets targets;
    if (request.method == DriveFindMethod::fileID && request.scope == DriveScope::user) {
        for (const QString &id : std::as_const(request.fileIDs))
            targets.files.append({request.email, id, id});
        targets.proceed = true;
        co_return targets;
    }

    std::optional<ScanResult> listing;
    try {
        listing = co_await listFiles(console, request, cancel);
    } catch (const std::exception &error) {
        if (console) {
            console->logFailure(error, u"file listing"_s);
            logSummary(*console, 0, 0);
        }
        co_return targets;
    }
    if (!console || !listing)
        co_return targets;
    const QList<CSVRow> &rows = listing->table.rows;
    if (rows.isEmpty()) {
        console->log(u"  No files found matching the query."_s, LogKind::warning);
    } else {
        console->log(u"  Found "_s + QString::number(rows.size()) + u" file(s) — deleting..."_s, LogKind::preview);
        // An OU listing says per row whose drive the file was found in; never the OU path.
        const std::optional<QString> owner =
            request.scope == DriveScope::user ? std::optional(request.email) : std::nullopt;
        QFuture<QList<DeleteTarget>> sorting = QtConcurrent::run(deleteTargets, rows, owner);
        // Awaited without its value, taken below: GCC 12 released the value co_await gives twice.
        const QFuture<void> done(sorting);
        co_await done;
        targets.files = sorting.takeResult();
        targets.proceed = true;
    }
    if (console)
        logScanFailures(*console, listing->failures);
    targets.proceed = targets.proceed && console;
    co_return targets;
}

} // namespace

QCoro::Task<> runDelete(QPointer<Console> console, DriveRequest request, CancelToken cancel) {
    console->log(u"[DELETE] Drive files  •  "_s +
                     (request.scope == DriveScope::ou ? u"OU: "_s + request.ouPath : u"user: "_s + request.email) +
                     u"  •  action: "_s + request.actionWord,
                 LogKind::info);
    const Targets targets = co_await findTargets(console, request, cancel);
    if (!targets.proceed)
        co_return;

    int completed = 0;
    int failed = 0;
    for (const DeleteTarget &target : targets.files) {
        if (cancel.isCancelled())
            break;
        const QStringList arguments{u"user"_s, target.owner, request.actionWord, u"drivefile"_s, target.id};
        console->log(u">> "_s + displayCommand(arguments), LogKind::command);
        std::optional<CommandResult> result;
        try {
            result = co_await runFileCommand(arguments, cancel);
        } catch (const std::exception &error) {
            if (!console)
                co_return;
            console->logFailure(error, u"delete"_s);
            break;
        }
        if (!console)
            co_return;
        if (!result) {
            console->log(u"  TIMEOUT: "_s + target.label, LogKind::error);
            ++failed;
            continue;
        }
        if (result->exitCode == 0) {
            console->log(u"  Done: "_s + target.label, LogKind::success);
            ++completed;
        } else {
            console->log(u"  FAILED: "_s + target.label + u" (exit "_s + QString::number(result->exitCode) + u')',
                         LogKind::error);
            console->logOutput(result->stdErr, LogKind::error, 15);
            ++failed;
        }
    }
    logSummary(*console, completed, failed);
}
