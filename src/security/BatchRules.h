#pragma once

#include "security/CheckResult.h"

#include <QDateTime>
#include <optional>

// What batch remediation, batch triage and the domain search make of their
// input and of gam's answers, without running anything.

// The pieces of a list typed with commas and line breaks of any kind, trimmed
// of spaces and tabs, empty ones dropped; order and repeats kept.
QStringList parseAccountList(const QString &text);
// Every piece as an address; none when a bare name has no domain to complete it.
std::optional<QStringList> resolveAccounts(const QStringList &pieces, const QString &domain);

QString remediationConfirmMessage(const QStringList &accounts, const QString &domainName);

// The steps of one account's remediation, in the order they run.
enum class RemediationStep { signOut, password, tokens, backupCodes, filters, forwarding, finished };

// One account of a batch as far as it got.
struct RemediationRow {
    QString user;
    // The step running when a stop or runner error ended the batch, or finished.
    RemediationStep reached = RemediationStep::signOut;
    bool signedOut = false;
    bool passwordReset = false;
    qsizetype tokensFound = 0;
    qsizetype tokensRevoked = 0;
    qsizetype filtersFound = 0;
    qsizetype filtersDeleted = 0;
    qsizetype forwardingFound = 0;
    qsizetype forwardingRemoved = 0;
    // "sign-out", "password reset", "backup codes", "forwarding off" as they arose.
    QStringList problems;
};

QString stepName(RemediationStep step);
QStringList remediationHeaders();
// ✓/✗, revoked/found and the problems; "—" for steps a stop kept from running.
QStringList remediationCells(const RemediationRow &row);
// The audit action of the account: every step for a finished one, the steps
// that ran for one a stop interrupted.
QString remediationAuditAction(const RemediationRow &row);

// The password log: user, action, temporary_password, timestamp.
QString passwordLogText(const QList<PasswordReveal::Entry> &entries, const QDateTime &start);

struct TriageRow {
    QString user;
    qsizetype filters = 0;
    qsizetype forwarding = 0;
    qsizetype apps = 0;
    qsizetype logins = 0;
    qsizetype persistence = 0;
};
QStringList triageHeaders();
QStringList triageCells(const TriageRow &row);

// "report login|drive user all ip ADDRESS".
QStringList domainReportCommand(const QString &application, const QString &address);
// The events of both reports as tables, and who they belong to.
CheckResult domainSearchResult(const QString &address, const QString &loginReport, const QString &driveReport);
