#pragma once

#include "core/CSV.h"
#include "security/CheckResult.h"

// What the investigation checks make of gam's answers: flags, tables, texts
// and the backup-code plan, without running anything.

// The login report of one user, every login report of the domain for one IP, and so on.
QStringList loginReportCommand(const QString &user);
QStringList driveReportCommand(const QString &user);
QStringList infoUserCommand(const QString &user);

// The records holding "risky_sensitive_action_allowed" in any value: a stolen
// session reused for a sensitive action.
QList<CSVRow> persistenceMatches(const CSVTable &logins);

CheckResult loginsResult(const QString &userInfo, const QString &loginReport);
// The table "Suspicious logins" is present only when there are some.
CheckResult suspiciousResult(const QString &loginReport);
CheckResult passwordHistoryResult(const QString &loginReport);
CheckResult iocResult(const QStringList &indicators, const QString &loginReport, const QString &driveReport);

QStringList externalSharingCommand(const QString &user);
CheckResult externalSharingResult(const QString &fileList);

QStringList backupCodesCommand(const QString &user);
// The 2-Step Verification lines and recovery phone of "info user", the codes
// shown on screen only, and the plan that regenerates them.
CheckResult twoStepResult(const QString &user, const QString &userInfo, const QString &backupCodes);

// Alert Center records that mention the user (any letter case); when the
// output is blank, a note that Alert Center access may be missing.
CheckResult alertCenterResult(const QString &user, const QString &alerts);

QStringList sitesCommand(const QString &user);
CheckResult sitesResult(const QString &user, const QString &fileList);

// The records of a table as CSV text under its headers.
QString tableCSV(const SecurityTable &table);
