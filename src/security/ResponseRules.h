#pragma once

#include "core/CSV.h"
#include "security/CheckResult.h"
#include "security/SecurityCheck.h"

#include <QDateTime>

// What the response actions make of gam's answers: flags, tables and plans as
// data, without running anything.

// One inspect-then-remove check: its listing and how its result reads.
struct InspectListing {
    SecurityCheck check;
    // The object of "user U print <object>".
    QString object;
    QString tableTitle;
    // The identifier column: the first of these the output has.
    QStringList candidates;
    SecurityFlag::Kind foundKind;
    // Follows the count in the flag.
    QString countText;
    QString noneText;
    QString evidenceCategory;
};

// The listing of revokeApps, filters, forwarding or delegates.
const InspectListing &inspectListing(SecurityCheck check);
bool isInspectCheck(SecurityCheck check);
QStringList listingCommand(const InspectListing &listing, const QString &user);
// The flag, the table and the plan of a listing's output (no evidence).
CheckResult inspectResult(const InspectListing &listing, const QString &user, const QString &output);
// The removal of the found identifiers; none when there is nothing to remove
// (forwarding always offers to switch forwarding off).
std::optional<RemovalPlan> removalPlan(SecurityCheck check, const QString &user, const QStringList &identifiers);

struct CalendarShare {
    QString calendarID;
    QString aclID;
    QString role;
    QString sharedWith;
};
// The entries that can go: not domain-wide, not the owner, not the calendar's own.
QList<CalendarShare> calendarShares(const CSVTable &acls, const QString &user);
CheckResult calendarResult(const QString &user, const QString &output);

// The signature as shown: output and error text, trimmed.
QString signatureText(const QString &out, const QString &err);
CheckResult signatureResult(const QString &user, const QString &signature);
QString signatureEvidence(const QString &user, const QString &signature);

QString signOutEvidence(const QString &user, const QDateTime &time);
QString passwordResetEvidence(const QString &user, const QDateTime &time);
// The reset as it is logged: the password replaced by asterisks.
QString maskedResetCommand(const QString &user);
