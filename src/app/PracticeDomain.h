#pragma once

#include "core/Error.h"

#include <QLockFile>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class ProfileStore;

// The practice domain: two simulated districts served by the practice gam, seeded
// afresh in a folder of the user's cache for one practice window. That window keeps
// its settings in the same folder and its API key in memory, so it never reads or
// writes the user's settings, keyring or ~/.gam. The folder goes when the window does.
class PracticeDomain {
public:
    // The practice gam installed with Tarnwick (libexec) or built beside it; empty when there is none.
    static QString gamPath();

    // Seeds the districts in a new folder under `cacheFolder`, removing folders that earlier practice
    // windows left behind, and points this process's settings and key store at the practice. Blocks
    // while the practice gam seeds (a second or two), so call it before any window opens.
    // Throws Error when the practice gam is missing or cannot seed.
    static std::unique_ptr<PracticeDomain> start(const QString &cacheFolder);

    // Replaces the store's profiles with the two districts, District A active.
    void addDistricts(ProfileStore &store) const;

    QString folder() const { return m_dir.path(); }

    // Opens a separate practice window: runs `program --practice` on its own.
    static bool launchWindow(const QString &program);

private:
    PracticeDomain(QString gam, const QString &cacheFolder);
    void seed(const QStringList &arguments) const;

    QString m_gam;
    QTemporaryDir m_dir;
    std::unique_ptr<QLockFile> m_lock;
};
