#include "security/ResponseActions.h"

#include "core/Console.h"
#include "security/ResponseRules.h"

using namespace Qt::StringLiterals;

namespace {

QString exitText(int code) {
    return u" (exit "_s + QString::number(code) + u"). See the Output Log."_s;
}

} // namespace

// Argument lists are built before each co_await: GCC 12 miscompiles braced lists inside one.

QCoro::Task<CheckResult> signOutBody(CheckContext context, QString user) {
    const QStringList signOut{u"user"_s, user, u"signout"_s};
    const CommandResult run = co_await context.runSecurityCommand(signOut, SecurityTimeout::command);
    CheckResult result;
    if (run.exitCode != 0) {
        result.flags.append(SecurityFlag::danger(u"Sign-out failed"_s + exitText(run.exitCode)));
        co_return result;
    }
    context.liveConsole().log(u"  "_s + user + u" signed out of all sessions."_s, LogKind::success);
    context.audit(user, u"Forced sign-out of all sessions"_s);
    result.flags.append(SecurityFlag::ok(user + u" was signed out of all sessions."_s));
    result.evidence = co_await context.saveEvidence(signOutEvidence(user, QDateTime::currentDateTime()), user,
                                                    u"signout_confirmation"_s);
    co_return result;
}

QCoro::Task<CheckResult> resetPasswordBody(CheckContext context, QString user, QString password) {
    const QStringList update{u"update"_s, u"user"_s, user, u"password"_s, password, u"changepassword"_s, u"on"_s};
    const CommandResult run =
        co_await context.runSecurityCommand(update, SecurityTimeout::command, maskedResetCommand(user));
    CheckResult result;
    if (run.exitCode != 0) {
        result.flags.append(SecurityFlag::danger(u"Password reset failed"_s + exitText(run.exitCode)));
        co_return result;
    }
    context.liveConsole().log(u"  Password reset. User must change it at next sign-in."_s, LogKind::success);
    context.audit(user, u"Random password reset — changepassword on"_s);
    result.flags.append(SecurityFlag::ok(u"Password reset. "_s + user + u" must change it at next sign-in."_s));
    result.evidence = co_await context.saveEvidence(passwordResetEvidence(user, QDateTime::currentDateTime()), user,
                                                    u"password_reset_confirmation"_s);
    co_return result;
}

QCoro::Task<CheckResult> inspectBody(CheckContext context, SecurityCheck check, QString user) {
    const InspectListing &listing = inspectListing(check);
    const CommandResult run =
        co_await context.runSecurityCommand(listingCommand(listing, user), SecurityTimeout::command);
    CheckResult result = inspectResult(listing, user, run.stdOut);
    result.evidence = co_await context.saveEvidence(run.stdOut, user, listing.evidenceCategory);
    co_return result;
}

QCoro::Task<CheckResult> calendarBody(CheckContext context, QString user) {
    const QStringList listing{u"user"_s, user, u"print"_s, u"calendaracls"_s};
    const CommandResult run = co_await context.runSecurityCommand(listing, SecurityTimeout::command);
    CheckResult result = calendarResult(user, run.stdOut);
    result.evidence = co_await context.saveEvidence(run.stdOut, user, u"calendar"_s);
    co_return result;
}

QCoro::Task<CheckResult> signatureBody(CheckContext context, QString user) {
    const QStringList show{u"user"_s, user, u"show"_s, u"signature"_s};
    const CommandResult run = co_await context.runSecurityCommand(show, SecurityTimeout::command);
    const QString signature = signatureText(run.stdOut, run.stdErr);
    CheckResult result = signatureResult(user, signature);
    result.evidence = co_await context.saveEvidence(signatureEvidence(user, signature), user, u"signature"_s);
    co_return result;
}
