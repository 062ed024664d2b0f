#include "security/BatchOperations.h"

#include "core/Console.h"
#include "core/Error.h"
#include "security/BatchRules.h"
#include "security/InvestigationRules.h"
#include "security/PasswordGenerator.h"
#include "security/ResponseRules.h"
#include "security/SecurityTables.h"

using namespace Qt::StringLiterals;

namespace {

QString number(qsizetype n) {
    return QString::number(n);
}

QStringList onUser(const QString &user, const QStringList &command) {
    return QStringList{u"user"_s, user} + command;
}

// Runs "user U delete <what> ITEM" for every item; how many exited 0.
QCoro::Task<qsizetype> deleteEach(CheckContext context, QString user, QStringList what, QStringList items) {
    qsizetype deleted = 0;
    for (const QString &item : std::as_const(items)) {
        const QStringList command = onUser(user, QStringList{u"delete"_s} + what + QStringList{item});
        const CommandResult run = co_await context.runSecurityCommand(command, SecurityTimeout::command);
        if (run.exitCode == 0)
            ++deleted;
    }
    co_return deleted;
}

// One account's steps; row records how far it got, passwords the one it set.
// Argument lists are built before each co_await: GCC 12 miscompiles braced lists inside one.
QCoro::Task<> remediateAccount(CheckContext context, RemediationRow &row, QList<PasswordReveal::Entry> &passwords) {
    const QString user = row.user;

    row.reached = RemediationStep::signOut;
    const QStringList signOut = onUser(user, {u"signout"_s});
    row.signedOut = (co_await context.runSecurityCommand(signOut, SecurityTimeout::command)).exitCode == 0;
    if (!row.signedOut)
        row.problems.append(u"sign-out"_s);

    row.reached = RemediationStep::password;
    std::optional<QString> password;
    try {
        password = generatePassword();
    } catch (const Error &error) {
        context.liveConsole().log(u"  WARNING: "_s + error.description(), LogKind::warning);
    }
    if (password) {
        const QStringList update{u"update"_s, u"user"_s, user, u"password"_s, *password, u"changepassword"_s, u"on"_s};
        const CommandResult reset =
            co_await context.runSecurityCommand(update, SecurityTimeout::command, maskedResetCommand(user));
        row.passwordReset = reset.exitCode == 0;
    }
    if (row.passwordReset)
        passwords.append({user, *password});
    else
        row.problems.append(u"password reset"_s);

    row.reached = RemediationStep::tokens;
    const QStringList printTokens = onUser(user, {u"print"_s, u"tokens"_s});
    const CommandResult tokens = co_await context.runSecurityCommand(printTokens, SecurityTimeout::command);
    const QStringList clients = columnValues(tokens.stdOut, {u"clientId"_s});
    row.tokensFound = clients.size();
    const QStringList deleteToken{u"token"_s, u"clientid"_s};
    row.tokensRevoked = co_await deleteEach(context, user, deleteToken, clients);

    row.reached = RemediationStep::backupCodes;
    // The new codes are on standard output, which is never logged.
    const QStringList updateCodes = onUser(user, {u"update"_s, u"backupcodes"_s});
    if ((co_await context.runSecurityCommand(updateCodes, SecurityTimeout::command)).exitCode != 0)
        row.problems.append(u"backup codes"_s);

    row.reached = RemediationStep::filters;
    const QStringList printFilters = onUser(user, {u"print"_s, u"filters"_s});
    const CommandResult filters = co_await context.runSecurityCommand(printFilters, SecurityTimeout::command);
    const QStringList filterIDs = columnValues(filters.stdOut, {u"id"_s});
    row.filtersFound = filterIDs.size();
    const QStringList deleteFilter{u"filter"_s};
    row.filtersDeleted = co_await deleteEach(context, user, deleteFilter, filterIDs);

    row.reached = RemediationStep::forwarding;
    const QStringList forwardOff = onUser(user, {u"forward"_s, u"off"_s});
    if ((co_await context.runSecurityCommand(forwardOff, SecurityTimeout::command)).exitCode != 0)
        row.problems.append(u"forwarding off"_s);
    const QStringList printAddresses = onUser(user, {u"print"_s, u"forwardingaddress"_s});
    const CommandResult addresses = co_await context.runSecurityCommand(printAddresses, SecurityTimeout::command);
    const QStringList forwardingEmails = columnValues(addresses.stdOut, {u"forwardingEmail"_s});
    row.forwardingFound = forwardingEmails.size();
    const QStringList deleteAddress{u"forwardingaddress"_s};
    row.forwardingRemoved = co_await deleteEach(context, user, deleteAddress, forwardingEmails);

    row.reached = RemediationStep::finished;
}

} // namespace

QCoro::Task<RemediationOutcome> remediateAccounts(CheckContext context, QStringList accounts) {
    RemediationOutcome outcome;
    outcome.start = QDateTime::currentDateTime();
    const QString total = number(accounts.size());
    SecurityTable table{u"Results"_s, remediationHeaders(), {}, {}};
    QList<SecurityFlag> flags;
    qsizetype finished = 0;
    qsizetype withProblems = 0;
    std::exception_ptr failure;

    for (const QString &user : std::as_const(accounts)) {
        if (context.cancel.isCancelled()) {
            failure = std::make_exception_ptr(Cancelled());
            break;
        }
        context.liveConsole().log(u"━━━ Remediating: "_s + user + u" ━━━"_s, LogKind::info);
        RemediationRow row;
        row.user = user;
        try {
            co_await remediateAccount(context, row, outcome.passwords);
        } catch (...) {
            failure = std::current_exception();
        }
        // An interrupted account keeps its row and audit line: its sign-out or password may have changed.
        context.audit(user, remediationAuditAction(row));
        table.rows.append(remediationCells(row));
        if (!row.problems.isEmpty())
            flags.append(SecurityFlag::danger(user + u": "_s + row.problems.join(u", "_s) + u" failed."_s));
        if (failure) {
            flags.append(SecurityFlag::danger(user + u": stopped during "_s + stepName(row.reached) +
                                              u"; the steps after it did not run."_s));
            break;
        }
        ++finished;
        if (!row.problems.isEmpty())
            ++withProblems;
        context.liveConsole().log(u"  Done: "_s + user, row.problems.isEmpty() ? LogKind::success : LogKind::warning);
    }

    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception &error) {
            context.liveConsole().logFailure(error, u"batch remediation"_s);
        }
        flags.prepend(SecurityFlag::danger(u"Stopped after "_s + number(finished) + u" of "_s + total +
                                           u" account(s). Passwords already reset are shown."_s));
    } else {
        flags.prepend(SecurityFlag::ok(u"Batch remediation finished for "_s + total + u" account(s)."_s));
    }
    context.liveConsole().log(u"Done — "_s + number(finished) + u" of "_s + total + u" account(s) processed, "_s +
                                  number(withProblems) + u" with problems."_s,
                              failure || withProblems > 0 ? LogKind::warning : LogKind::success);
    outcome.result.flags = flags;
    outcome.result.tables.append(table);
    co_return outcome;
}

QCoro::Task<CheckResult> triageAccounts(CheckContext context, QStringList accounts) {
    SecurityTable table{u"Triage summary"_s, triageHeaders(), {}, {}};
    CheckResult result;
    for (const QString &user : std::as_const(accounts)) {
        if (context.cancel.isCancelled())
            throw Cancelled();
        context.liveConsole().log(u"━━━ Triaging: "_s + user + u" ━━━"_s, LogKind::info);
        TriageRow row;
        row.user = user;

        const QStringList printFilters = onUser(user, {u"print"_s, u"filters"_s});
        const CommandResult filters = co_await context.runSecurityCommand(printFilters, SecurityTimeout::command);
        result.evidence += co_await context.saveEvidence(filters.stdOut, user, u"filters"_s);
        row.filters = parseCSV(filters.stdOut).rows.size();

        const QStringList printForwarding = onUser(user, {u"print"_s, u"forwardingaddress"_s});
        const CommandResult forwarding = co_await context.runSecurityCommand(printForwarding, SecurityTimeout::command);
        result.evidence += co_await context.saveEvidence(forwarding.stdOut, user, u"forwarding"_s);
        row.forwarding = parseCSV(forwarding.stdOut).rows.size();

        const QStringList printTokens = onUser(user, {u"print"_s, u"tokens"_s});
        const CommandResult tokens = co_await context.runSecurityCommand(printTokens, SecurityTimeout::command);
        result.evidence += co_await context.saveEvidence(tokens.stdOut, user, u"apps"_s);
        row.apps = parseCSV(tokens.stdOut).rows.size();

        const QStringList report = loginReportCommand(user);
        const CommandResult logins = co_await context.runSecurityCommand(report, SecurityTimeout::report);
        result.evidence += co_await context.saveEvidence(logins.stdOut, user, u"logins"_s);
        const CSVTable loginRecords = parseCSV(logins.stdOut);
        row.logins = loginRecords.rows.size();
        row.persistence = persistenceMatches(loginRecords).size();

        if (row.persistence > 0)
            result.flags.append(SecurityFlag::danger(user + u": persistence pattern ("_s + number(row.persistence) +
                                                     u" match(es))."_s));
        if (row.forwarding > 0)
            result.flags.append(
                SecurityFlag::danger(user + u": "_s + number(row.forwarding) + u" forwarding address(es)."_s));
        table.rows.append(triageCells(row));
        context.liveConsole().log(u"  Done: "_s + user, LogKind::success);
    }
    if (result.flags.isEmpty())
        result.flags.append(
            SecurityFlag::ok(u"No forwarding or persistence patterns found. Review the counts below."_s));
    result.tables.append(table);
    co_return result;
}

QCoro::Task<CheckResult> searchDomain(CheckContext context, QString address, QString evidenceOwner) {
    context.liveConsole().log(u"  Searching all logins and Drive activity domain-wide (this can take a while)…"_s,
                              LogKind::preview);
    const QStringList loginReport = domainReportCommand(u"login"_s, address);
    const CommandResult logins = co_await context.runSecurityCommand(loginReport, SecurityTimeout::domainReport);
    const QStringList driveReport = domainReportCommand(u"drive"_s, address);
    const CommandResult drive = co_await context.runSecurityCommand(driveReport, SecurityTimeout::domainReport);
    CheckResult result = domainSearchResult(address, logins.stdOut, drive.stdOut);
    QStringList parts{logins.stdOut};
    if (!logins.stdOut.isEmpty() && !logins.stdOut.endsWith(u'\n'))
        parts.append(u"\n"_s);
    parts.append(drive.stdOut);
    result.evidence = co_await context.saveJoinedEvidence(parts, evidenceOwner, u"domainwide_ioc_search"_s);
    co_return result;
}
