#include "core/ProcessGroup.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSet>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

QSet<qint64> &trackedGroups() {
    static QSet<qint64> groups;
    return groups;
}

void killTrackedGroups() {
    // Nobody is left to escalate a SIGTERM, so the groups are killed outright.
    for (const qint64 group : std::as_const(trackedGroups()))
        ::kill(pid_t(-group), SIGKILL);
    trackedGroups().clear();
}

// State and process group from /proc/PID/stat: "pid (comm) S ppid pgrp ...".
// The command name may hold spaces and parentheses, so parsing starts after the last ')'.
bool readStat(const char *pid, char *state, long *group) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%s/stat", pid);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (n <= 0)
        return false;
    buffer[n] = '\0';
    const char *end = std::strrchr(buffer, ')');
    long parent = 0;
    return end && std::sscanf(end + 1, " %c %ld %ld", state, &parent, group) == 3;
}

} // namespace

namespace ProcessGroup {

void leadOwnGroup(QProcess &process) {
    // A session of its own rather than only a group: without a controlling terminal an
    // interactive login shell (the GAMCFGDIR probe) cannot stop itself over terminal access.
    process.setChildProcessModifier([] { ::setsid(); });
}

void signal(qint64 group, int number) {
    if (group > 0)
        ::kill(pid_t(-group), number);
}

bool hasLiveMembers(qint64 group) {
    if (group <= 0)
        return false;
    DIR *proc = ::opendir("/proc");
    if (!proc) // no /proc: a zombie counts as alive
        return ::kill(pid_t(-group), 0) == 0 || errno == EPERM;
    bool live = false;
    while (const dirent *entry = ::readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        char state = 0;
        long memberGroup = 0;
        if (readStat(entry->d_name, &state, &memberGroup) && memberGroup == group && state != 'Z' && state != 'X') {
            live = true;
            break;
        }
    }
    ::closedir(proc);
    return live;
}

void track(qint64 group) {
    static const bool registered = [] {
        qAddPostRoutine(killTrackedGroups);
        return true;
    }();
    Q_UNUSED(registered);
    trackedGroups().insert(group);
}

void untrack(qint64 group) {
    trackedGroups().remove(group);
}

} // namespace ProcessGroup
