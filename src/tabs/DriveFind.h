#pragma once

#include "core/CancelToken.h"
#include "tabs/DriveRequest.h"

#include <QCoroTask>
#include <QPointer>

class Console;

// Find Files at every scope: file IDs or a name for one user, a batched scan of
// an OU or of the whole domain. Logs as it goes and opens the results sheet.
// The request has passed validation; nothing escapes.
QCoro::Task<> runFind(QPointer<Console> console, DriveRequest request, CancelToken cancel);
