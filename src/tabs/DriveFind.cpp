#include "tabs/DriveFind.h"

#include "core/CSV.h"
#include "core/CommandLine.h"
#include "core/Console.h"
#include "core/GAM.h"
#include "tabs/DriveListing.h"
#include "tabs/DriveQuery.h"
#include "tabs/DriveScan.h"

#include <QCoroFuture>
#include <QCoroTimer>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

using namespace Qt::StringLiterals;

namespace {

constexpr double listingTimeoutSeconds = 60;
constexpr int userLimit = 100;
constexpr int scanLimit = 500;
const QString foundFields = u"id,name,mimeType,size,modifiedTime"_s;

// Appends many lines a slice per event-loop turn, so the window goes on drawing and answering.
QCoro::Task<> logInSlices(QPointer<Console> console, QString lines, LogKind kind) {
    constexpr qsizetype sliceLines = 10000;
    for (qsizetype from = 0; console && from <= lines.size();) {
        qsizetype end = from;
        for (qsizetype n = 0; n < sliceLines && end < lines.size(); ++n) {
            end = lines.indexOf(u'\n', end + (n > 0 ? 1 : 0));
            if (end < 0)
                end = lines.size();
        }
        console->log(lines.sliced(from, end - from), kind);
        from = end + 1;
        if (from <= lines.size())
            co_await QCoro::sleepFor(std::chrono::milliseconds(0));
    }
}

QCoro::Task<> present(QPointer<Console> console, FoundFiles found, QString query, QString suffix,
                      std::optional<int> limit) {
    console->log(u"  Found "_s + QString::number(found.cells.size()) + u" file(s)"_s +
                     (suffix.isEmpty() ? QString() : u' ' + suffix) + u':',
                 LogKind::preview);
    co_await logInSlices(console, found.logLines, LogKind::preview);
    if (console)
        console->setResults(foundFilesTable(std::move(found), query, limit));
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
        std::optional<CommandResult> result;
        try {
            result = co_await runFileCommand(arguments, cancel);
        } catch (const std::exception &error) {
            if (console)
                console->logFailure(error, u"Find Files"_s);
            co_return;
        }
        if (!console)
            co_return;
        if (!result) {
            console->log(u"  TIMEOUT for file ID: "_s + id, LogKind::error);
            continue;
        }
        const QString output = result->stdOut + result->stdErr;
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
    const QString noSuffix;
    const std::optional<int> limit = userLimit;
    FoundFiles found = describeFoundFiles(listing);
    co_await present(console, std::move(found), request.query, noSuffix, limit);
}

// Filters and describes a finished scan off the main thread, then shows it.
QCoro::Task<> showScan(QPointer<Console> console, ScanResult scan, std::optional<DomainNamePattern> wildcard,
                       QString query, QString suffix, QString label, CancelToken cancel) {
    // A slice of the rows per processor.
    const qsizetype slices = std::max(1, QThread::idealThreadCount());
    const qsizetype sliceRows = scan.table.rows.size() / slices + 1;
    QList<QFuture<FoundFiles>> parts;
    for (qsizetype first = 0; first < scan.table.rows.size(); first += sliceRows)
        parts.append(QtConcurrent::run([listing = scan.table, wildcard, first, sliceRows] {
            return describeFoundFiles(listing, wildcard ? &*wildcard : nullptr, first, sliceRows);
        }));
    FoundFiles found;
    for (QFuture<FoundFiles> &part : parts) {
        // Awaited without its value, taken below: GCC 12 released the value co_await gives twice.
        const QFuture<void> done(part);
        co_await done;
        appendFoundFiles(found, part.takeResult());
    }
    if (!console)
        co_return;
    if (cancel.isCancelled()) {
        console->logFailure(Cancelled(), label);
        co_return;
    }
    const std::optional<int> noLimit;
    if (found.cells.isEmpty())
        console->log(wildcard ? u"  No files matched the wildcard pattern."_s : u"  No files found."_s,
                     LogKind::warning);
    else
        co_await present(console, std::move(found), query, suffix, noLimit);
    if (console)
        logScanFailures(*console, scan.failures);
}

// OU and domain finds: one batched scan, then the rows it found.
QCoro::Task<> findByScan(QPointer<Console> console, QString announcement, QStringList core,
                         std::optional<DomainNamePattern> wildcard, QString query, QString suffix, QString label,
                         CancelToken cancel) {
    console->log(announcement, LogKind::preview);
    ScanResult scan;
    try {
        scan = co_await runBatchedScan(console, core, cancel);
    } catch (const std::exception &error) {
        if (console)
            console->logFailure(error, label);
        co_return;
    }
    if (console)
        co_await showScan(console, std::move(scan), wildcard, query, suffix, label, cancel);
}

QCoro::Task<> findInOU(QPointer<Console> console, DriveRequest request, CancelToken cancel) {
    return findByScan(
        console, u"[FIND] OU: "_s + request.ouPath + u"  •  scanning all users (large OUs can take several minutes)"_s,
        QStringList{u"ou_and_children"_s, request.ouPath} +
            request.fileListArguments(request.query, foundFields, scanLimit),
        std::nullopt, request.query, u"across OU "_s + request.ouPath,
        u"Find Files (OU scans may take longer for very large OUs)"_s, cancel);
}

QCoro::Task<> findInDomain(QPointer<Console> console, DriveRequest request, CancelToken cancel) {
    const DomainNamePattern pattern(request.name);
    return findByScan(console, u"[FIND] Entire Domain  •  scanning all users (this can take several minutes)"_s,
                      QStringList{u"all"_s, u"users"_s} +
                          request.fileListArguments(request.query, foundFields, scanLimit),
                      pattern.isWildcard() ? std::optional(pattern) : std::nullopt, request.query,
                      u"across the domain"_s, u"domain-wide Find Files"_s, cancel);
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
