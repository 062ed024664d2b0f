#pragma once

#include "core/CancelToken.h"
#include "tabs/DriveRequest.h"

#include <QCoroTask>
#include <QPointer>

class Console;

// Delete Files after the confirmation: the targets (typed file IDs, or a name
// listing for one user or a batched scan of an OU), then one trash or purge per
// file, then the "Done — " summary. Nothing escapes.
QCoro::Task<> runDelete(QPointer<Console> console, DriveRequest request, CancelToken cancel);
