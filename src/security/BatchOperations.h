#pragma once

#include "security/CheckContext.h"

#include <QDateTime>
#include <QStringList>

// The checks that take their accounts or address from their own fields: batch
// remediation, batch triage and the domain search.

struct RemediationOutcome {
    CheckResult result;
    // The passwords set, in account order; shown once, never logged or saved as evidence.
    QList<PasswordReveal::Entry> passwords;
    QDateTime start;
};

// Signs out, resets the password, revokes tokens, regenerates backup codes and
// removes filters and forwarding for each account in turn. A failing step is
// recorded and the batch goes on; a stop or runner error ends it with the rows
// so far (the interrupted account's included) and the passwords already set.
QCoro::Task<RemediationOutcome> remediateAccounts(CheckContext context, QStringList accounts);

// Read-only counts for each account, each listing saved as evidence. A stop or
// runner error ends it without a result.
QCoro::Task<CheckResult> triageAccounts(CheckContext context, QStringList accounts);

// Every login and Drive event of the domain from one address, saved as evidence for the owner.
QCoro::Task<CheckResult> searchDomain(CheckContext context, QString address, QString evidenceOwner);
