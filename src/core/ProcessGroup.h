#pragma once

#include <QtGlobal>

class QProcess;

// Every gam runs as the leader of a process group of its own, so stopping it
// reaches the workers it starts too (GAM's multiprocess mode runs a pool of them).
namespace ProcessGroup {

// Makes the child that `process` starts the leader of a new session and process group.
void leadOwnGroup(QProcess &process);
// Sends the signal `number` to every process of the group.
void signal(qint64 group, int number);
// Whether a process of the group is still running; zombies count as ended.
bool hasLiveMembers(qint64 group);

// The groups of runs in progress. Those still running when the application
// object is destroyed are killed, so quitting never leaves a gam behind.
void track(qint64 group);
void untrack(qint64 group);

} // namespace ProcessGroup
