#include "security/InvestigationChecks.h"

#include "security/InvestigationRules.h"

using namespace Qt::StringLiterals;

// Argument lists are built before each co_await: GCC 12 miscompiles braced lists inside one.

QCoro::Task<CheckResult> loginsBody(CheckContext context, QString user) {
    const QStringList info = infoUserCommand(user);
    const CommandResult account = co_await context.runSecurityCommand(info, SecurityTimeout::command);
    const QStringList report = loginReportCommand(user);
    const CommandResult logins = co_await context.runSecurityCommand(report, SecurityTimeout::report);
    CheckResult result = loginsResult(account.stdOut, logins.stdOut);
    result.evidence = co_await context.saveEvidence(logins.stdOut, user, u"logins"_s);
    co_return result;
}

QCoro::Task<CheckResult> suspiciousBody(CheckContext context, QString user) {
    const QStringList report = loginReportCommand(user);
    const CommandResult logins = co_await context.runSecurityCommand(report, SecurityTimeout::report);
    CheckResult result = suspiciousResult(logins.stdOut);
    if (!result.tables.isEmpty())
        result.evidence =
            co_await context.saveEvidence(tableCSV(result.tables.constFirst()), user, u"suspicious_logins"_s);
    co_return result;
}

QCoro::Task<CheckResult> passwordHistoryBody(CheckContext context, QString user) {
    const QStringList report = loginReportCommand(user);
    const CommandResult logins = co_await context.runSecurityCommand(report, SecurityTimeout::report);
    CheckResult result = passwordHistoryResult(logins.stdOut);
    result.evidence = co_await context.saveEvidence(logins.stdOut, user, u"password_history"_s);
    co_return result;
}

QCoro::Task<CheckResult> iocBody(CheckContext context, QString user, QStringList indicators) {
    const QStringList loginReport = loginReportCommand(user);
    const CommandResult logins = co_await context.runSecurityCommand(loginReport, SecurityTimeout::report);
    const QStringList driveReport = driveReportCommand(user);
    const CommandResult drive = co_await context.runSecurityCommand(driveReport, SecurityTimeout::report);
    co_return iocResult(indicators, logins.stdOut, drive.stdOut);
}

QCoro::Task<CheckResult> externalSharingBody(CheckContext context, QString user) {
    const QStringList listing = externalSharingCommand(user);
    const CommandResult files = co_await context.runSecurityCommand(listing, SecurityTimeout::fileListing);
    CheckResult result = externalSharingResult(files.stdOut);
    result.evidence = co_await context.saveEvidence(files.stdOut, user, u"drive_external_only"_s);
    co_return result;
}

QCoro::Task<CheckResult> twoStepBody(CheckContext context, QString user) {
    const QStringList info = infoUserCommand(user);
    const CommandResult account = co_await context.runSecurityCommand(info, SecurityTimeout::command);
    const QStringList show = backupCodesCommand(user);
    const CommandResult codes = co_await context.runSecurityCommand(show, SecurityTimeout::command);
    co_return twoStepResult(user, account.stdOut, codes.stdOut);
}

QCoro::Task<CheckResult> alertCenterBody(CheckContext context, QString user) {
    const QStringList print{u"print"_s, u"alerts"_s};
    const CommandResult alerts = co_await context.runSecurityCommand(print, SecurityTimeout::report);
    CheckResult result = alertCenterResult(user, alerts.stdOut);
    if (!result.tables.isEmpty())
        result.evidence = co_await context.saveEvidence(alerts.stdOut, user, u"alert_center"_s);
    co_return result;
}

QCoro::Task<CheckResult> sitesBody(CheckContext context, QString user) {
    const QStringList listing = sitesCommand(user);
    const CommandResult sites = co_await context.runSecurityCommand(listing, SecurityTimeout::fileListing);
    CheckResult result = sitesResult(user, sites.stdOut);
    if (result.tables.constFirst().rowCount() > 0)
        result.evidence = co_await context.saveEvidence(sites.stdOut, user, u"google_sites"_s);
    co_return result;
}
