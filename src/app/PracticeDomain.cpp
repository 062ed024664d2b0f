#include "app/PracticeDomain.h"

#include "assistant/APIKeyStore.h"
#include "profiles/ProfileStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

const QString folderPrefix = u"practice-"_s;
const QString lockName = u".practice.lock"_s;
constexpr int seedTimeoutMs = 120'000;

// Folders whose window is gone: nobody holds their lock any more.
void removeAbandoned(const QString &cacheFolder) {
    const QDir parent(cacheFolder);
    for (const QString &name : parent.entryList({folderPrefix + u'*'}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString path = parent.filePath(name);
        QLockFile lock(path + u'/' + lockName);
        // Only a dead owner makes a lock stale, never its age: practice windows stay open for hours.
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue;
        lock.unlock();
        QDir(path).removeRecursively();
    }
}

} // namespace

QString PracticeDomain::gamPath() {
    const QDir here(QCoreApplication::applicationDirPath());
    // Installed: bin/tarnwick beside libexec/tarnwick/gam. Built: src/tarnwick beside tools/practice-gam/gam.
    for (const QString &relative : {QStringLiteral(TARNWICK_PRACTICE_GAM), u"../tools/practice-gam/gam"_s}) {
        const QFileInfo gam(here.filePath(relative));
        if (gam.isFile() && gam.isExecutable())
            return gam.canonicalFilePath();
    }
    return {};
}

PracticeDomain::PracticeDomain(QString gam, const QString &cacheFolder)
    : m_gam(std::move(gam))
    , m_dir(cacheFolder + u'/' + folderPrefix + u"XXXXXX"_s) {
    if (!m_dir.isValid())
        throw Error(u"Couldn't create a practice folder in "_s + cacheFolder + u": "_s + m_dir.errorString());
    // Held while the window lives, so another practice start never takes the folder for abandoned.
    m_lock = std::make_unique<QLockFile>(m_dir.filePath(lockName));
    if (!m_lock->tryLock(0))
        throw Error(u"Couldn't lock the practice folder "_s + m_dir.path() + u"."_s);
}

std::unique_ptr<PracticeDomain> PracticeDomain::start(const QString &cacheFolder) {
    QString gam = gamPath();
    if (gam.isEmpty())
        throw Error(u"The practice gam is not installed with this copy of Tarnwick."_s);
    if (!QDir().mkpath(cacheFolder))
        throw Error(u"Couldn't create the folder "_s + cacheFolder + u"."_s);
    removeAbandoned(cacheFolder);

    std::unique_ptr<PracticeDomain> practice(new PracticeDomain(std::move(gam), cacheFolder));
    // District A has a config folder of its own; District B is a section of a shared gam.cfg.
    practice->seed(
        {practice->m_dir.filePath(u"district-a"_s), u"--domain"_s, u"example.org"_s, u"--users"_s, u"1500"_s});
    practice->seed({practice->m_dir.filePath(u"shared-gam"_s), u"--domain"_s, u"district-b.example.net"_s, u"--users"_s,
                    u"400"_s, u"--section"_s, u"district-b"_s});

    const QString settings = practice->m_dir.filePath(u"config"_s);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings);
    APIKeyStore::keepInMemoryOnly();
    // Every run gets its config folder from a district's profile, never from the user's shell.
    qunsetenv("GAMCFGDIR");
    qunsetenv("GAMCFGSECTION");
    // A terminal opened from the practice window finds the practice gam first too.
    qputenv("PATH", QFile::encodeName(QFileInfo(practice->m_gam).absolutePath()) + ':' + qgetenv("PATH"));
    return practice;
}

void PracticeDomain::seed(const QStringList &arguments) const {
    QProcess seeder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"GAMCFGSECTION"_s);
    environment.insert(u"GAMCFGDIR"_s, arguments.first());
    seeder.setProcessEnvironment(environment);
    seeder.start(m_gam, QStringList{u"practice"_s, u"seed"_s} + arguments);
    const bool finished = seeder.waitForFinished(seedTimeoutMs);
    if (finished && seeder.exitStatus() == QProcess::NormalExit && seeder.exitCode() == 0)
        return;
    if (!finished)
        seeder.kill();
    const QString reason = QString::fromUtf8(seeder.readAllStandardError()).trimmed();
    throw Error(u"The practice gam could not seed the practice districts"_s +
                (reason.isEmpty() ? u"."_s : u": "_s + reason));
}

void PracticeDomain::addDistricts(ProfileStore &store) const {
    const QList<DomainProfile> earlier = store.profiles();
    const auto add = [this, &store](const QString &name, const QString &domain, const QString &configDir,
                                    const QString &section) {
        DomainProfile profile = store.add(name);
        profile.domain = domain;
        profile.configDir = m_dir.filePath(configDir);
        profile.section = section;
        profile.exportDir = m_dir.filePath(u"security_exports/"_s + folderSlug(profile.name));
        profile.auditLog = profile.exportDir + u"/incident_audit_log.txt"_s;
        store.update(profile);
        return profile.id;
    };
    const QUuid districtA = add(u"District A"_s, u"example.org"_s, u"district-a"_s, QString());
    add(u"District B"_s, u"district-b.example.net"_s, u"shared-gam"_s, u"district-b"_s);
    store.activate(districtA);
    for (const DomainProfile &profile : earlier)
        store.remove(profile.id);
    QSettings().setValue(u"gamPath"_s, m_gam);
}

bool PracticeDomain::launchWindow(const QString &program) {
    return QProcess::startDetached(program, {u"--practice"_s});
}
