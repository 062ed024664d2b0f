#include "tabs/DriveFind.h"

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

constexpr double fileTimeoutSeconds = 30;
constexpr double listingTimeoutSeconds = 60;
constexpr int userLimit = 100;
constexpr int scanLimit = 500;
const QString foundFields = u"id,name,mimeType,size,modifiedTime"_s;

void present(Console &console, FoundFiles found, const QString &query, const QString &suffix,
             std::optional<int> limit) {
    console.log(u"  Found "_s + QString::number(found.cells.size()) + u" file(s)"_s +
                    (suffix.isEmpty() ? QString() : u' ' + suffix) + u':',
                LogKind::preview);
    console.log(found.logLines, LogKind::preview);
    console.setResults(foundFilesTable(std::move(found), query, limit));
}

QCoro::Task<> findByID(QPointer<Console> console, DriveRequest request, CancelToken cancel) {
    console->log(u"[FIND] Checking "_s + QString::number(request.fileIDs.size()) + u" file ID(s) for "_s +
                     request.email,
                 LogKind::preview);
    for (const QString &id : std::as_const(request.fileIDs)) {
        if (cancel.isCancelled())
            break;
        const QStringList arguments{u"user"_s, request.email, u"info"_s, u"drivefile"_s, id};
        console->log(u">> "_s + displayCommand(arguments), LogKind::command);
        CommandResult result;
        try {
            result = co_await GAM::runGAM(arguments, fileTimeoutSeconds, GAM::ProfileChoice::active(), cancel);
        } catch (const GAMError &error) {
            if (!console)
                co_return;
            if (error.kind() != GAMError::Kind::timedOut) {
                console->logFailure(error, u"Find Files"_s);
                co_return;
            }
            console->log(u"  TIMEOUT for file ID: "_s + id, LogKind::error);
            continue;
        } catch (const std::exception &error) {
            if (console)
                console->logFailure(error, u"Find Files"_s);
            co_return;
        }
        if (!console)
            co_return;
        const QString output = result.stdOut + result.stdErr;
        for (const QStringView line : QStringView(output).tokenize(u'\n')) {
            if (!line.trimmed().isEmpty())
                console->log(u"  "_s + line, LogKind::preview);
        }
    }
}

QCoro::Task<> findByName(QPointer<Console> console, DriveRequest request, CancelToken cancel) {
    const QStringList arguments =
        QStringList{u"user"_s, request.email} + request.fileListArguments(request.query, foundFields, userLimit);
    console->log(u"[FIND] "_s + displayCommand(arguments), LogKind::command);
    CommandResult result;
    try {
        result = co_await GAM::runGAM(arguments, listingTimeoutSeconds, GAM::ProfileChoice::active(), cancel);
    } catch (const std::exception &error) {
        if (console)
            console->logFailure(error, u"Find Files"_s);
        co_return;
    }
    if (!console)
        co_return;
    console->logOutput(result.stdErr, LogKind::warning, 15);
    const CSVTable listing = parseCSV(result.stdOut);
    if (listing.rows.isEmpty()) {
        console->log(u"  No files found."_s, LogKind::warning);
        co_return;
    }
    present(*console, describeFoundFiles(listing.rows), request.query, {}, userLimit);
}

// Filters and describes a finished scan off the main thread, then shows it.
QCoro::Task<> showScan(QPointer<Console> console, ScanResult scan, std::optional<DomainNamePattern> wildcard,
                       QString query, QString suffix, QString label, CancelToken cancel) {
    QFuture<FoundFiles> describing = QtConcurrent::run([rows = scan.table.rows, wildcard] {
        return describeFoundFiles(wildcard ? keepMatching(rows, *wildcard) : rows);
    });
    // Awaited without its value, taken below: GCC 12 released the value co_await gives twice.
    const QFuture<void> done(describing);
    co_await done;
    FoundFiles found = describing.takeResult();
    if (!console)
        co_return;
    if (cancel.isCancelled()) {
        console->logFailure(Cancelled(), label);
        co_return;
    }
    if (found.cells.isEmpty())
        console->log(wildcard ? u"  No files matched the wildcard pattern."_s : u"  No files found."_s,
                     LogKind::warning);
    else
        present(*console, std::move(found), query, suffix, std::nullopt);
    logScanFailures(*console, scan.failures);
}

QCoro::Task<> findInOU(QPointer<Console> console, DriveRequest request, CancelToken cancel) {
    const QString label = u"Find Files (OU scans may take longer for very large OUs)"_s;
    console->log(u"[FIND] OU: "_s + request.ouPath + u"  •  scanning all users (large OUs can take several minutes)"_s,
                 LogKind::preview);
    const QStringList core = QStringList{u"ou_and_children"_s, request.ouPath} +
                             request.fileListArguments(request.query, foundFields, scanLimit);
    ScanResult scan;
    try {
        scan = co_await runBatchedScan(console, core, cancel);
    } catch (const std::exception &error) {
        if (console)
            console->logFailure(error, label);
        co_return;
    }
    const std::optional<DomainNamePattern> noFilter;
    const QString suffix = u"across OU "_s + request.ouPath;
    if (console)
        co_await showScan(console, std::move(scan), noFilter, request.query, suffix, label, cancel);
}

QCoro::Task<> findInDomain(QPointer<Console> console, DriveRequest request, CancelToken cancel) {
    const QString label = u"domain-wide Find Files"_s;
    const DomainNamePattern pattern(request.name);
    console->log(u"[FIND] Entire Domain  •  scanning all users (this can take several minutes)"_s, LogKind::preview);
    const QStringList core =
        QStringList{u"all"_s, u"users"_s} + request.fileListArguments(request.query, foundFields, scanLimit);
    ScanResult scan;
    try {
        scan = co_await runBatchedScan(console, core, cancel);
    } catch (const std::exception &error) {
        if (console)
            console->logFailure(error, label);
        co_return;
    }
    const std::optional<DomainNamePattern> wildcard = pattern.isWildcard() ? std::optional(pattern) : std::nullopt;
    const QString suffix = u"across the domain"_s;
    if (console)
        co_await showScan(console, std::move(scan), wildcard, request.query, suffix, label, cancel);
}

} // namespace

QCoro::Task<> runFind(QPointer<Console> console, DriveRequest request, CancelToken cancel) {
    switch (request.scope) {
    case DriveScope::user:
        if (request.method == DriveFindMethod::fileID)
            return findByID(console, std::move(request), cancel);
        return findByName(console, std::move(request), cancel);
    case DriveScope::ou:
        return findInOU(console, std::move(request), cancel);
    case DriveScope::domain:
        return findInDomain(console, std::move(request), cancel);
    }
    Q_UNREACHABLE();
}
