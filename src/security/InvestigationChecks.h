#pragma once

#include "security/CheckContext.h"

#include <QStringList>

// The bodies of the investigation checks: each runs its commands for the user
// and returns what to show, saving evidence where the check keeps any.

QCoro::Task<CheckResult> loginsBody(CheckContext context, QString user);
QCoro::Task<CheckResult> suspiciousBody(CheckContext context, QString user);
QCoro::Task<CheckResult> passwordHistoryBody(CheckContext context, QString user);
// Matches the user's login and Drive activity against the indicators as loaded before the run.
QCoro::Task<CheckResult> iocBody(CheckContext context, QString user, QStringList indicators);
QCoro::Task<CheckResult> externalSharingBody(CheckContext context, QString user);
QCoro::Task<CheckResult> twoStepBody(CheckContext context, QString user);
QCoro::Task<CheckResult> alertCenterBody(CheckContext context, QString user);
QCoro::Task<CheckResult> sitesBody(CheckContext context, QString user);
