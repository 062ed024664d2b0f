#pragma once

#include "security/CheckContext.h"
#include "security/SecurityCheck.h"

// The bodies of the response actions: each runs its gam commands for one user,
// saves its evidence and audit lines, and returns the result to show.

QCoro::Task<CheckResult> signOutBody(CheckContext context, QString user);
// The password is never logged, saved or audited.
QCoro::Task<CheckResult> resetPasswordBody(CheckContext context, QString user, QString password);
// revokeApps, filters, forwarding or delegates: the listing, nothing changed.
QCoro::Task<CheckResult> inspectBody(CheckContext context, SecurityCheck check, QString user);
QCoro::Task<CheckResult> calendarBody(CheckContext context, QString user);
QCoro::Task<CheckResult> signatureBody(CheckContext context, QString user);
