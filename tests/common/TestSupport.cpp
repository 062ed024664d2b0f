#include "TestSupport.h"

#include "core/Console.h"
#include "core/GAM.h"
#include "profiles/ProfileStore.h"
#include "security/CheckResult.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <sys/stat.h>

IsolatedSettings::IsolatedSettings() {
    if (QCoreApplication::organizationName().isEmpty())
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    if (QCoreApplication::applicationName().isEmpty())
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    QSettings().clear();
}

QStringList flagTexts(const CheckResult &result) {
    QStringList texts;
    for (const SecurityFlag &flag : result.flags)
        texts.append(flag.text);
    return texts;
}

QStringList flagTexts(const CheckResult *result) {
    return result ? flagTexts(*result) : QStringList();
}

QByteArray readBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &contents) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        qFatal("cannot write a test file");
}

QString writeScript(const QString &dir, const QString &name, const QString &body) {
    const QString path = dir + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write test script");
    file.write(QByteArrayLiteral("#!/bin/sh\n") + body.toUtf8());
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

void whenFileExists(const QString &path, QObject *owner, std::function<void()> action) {
    auto *poll = new QTimer(owner);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, path, action = std::move(action)] {
        if (!QFile::exists(path))
            return;
        poll->deleteLater();
        action();
    });
    poll->start(10);
}

qint64 pidFromFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().trimmed().toLongLong();
}

bool processIsRunning(qint64 pid) {
    if (pid <= 0 || ::kill(pid_t(pid), 0) != 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype end = text.lastIndexOf(')');
    return end < 0 || text.mid(end + 2, 1) != "Z";
}

SecurityRecords keepSecurityRecordsIn(ProfileStore &store, const QString &folder) {
    const SecurityRecords records{folder + QStringLiteral("/evidence"),
                                  folder + QStringLiteral("/audit/audit_log.txt")};
    DomainProfile profile = store.activeProfile();
    profile.exportDir = records.evidenceFolder;
    profile.auditLog = records.auditLog;
    store.update(profile);
    return records;
}

int fileMode(const QString &path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return -1;
    return int(status.st_mode & 07777);
}

void awaitTask(QCoro::Task<> task, std::chrono::milliseconds watchdog) {
    QEventLoop loop;
    std::exception_ptr error;
    bool done = false;
    task.then(
        [&] {
            done = true;
            loop.quit();
        },
        [&](const std::exception &) {
            error = std::current_exception();
            done = true;
            loop.quit();
        });
    QTimer::singleShot(watchdog, &loop, [&loop] { loop.exit(1); });
    if (!done && loop.exec() != 0)
        throw std::runtime_error("task did not finish before the watchdog fired");
    if (error)
        std::rethrow_exception(error);
}

QStringList logLines(const Console &console) {
    QStringList lines;
    lines.reserve(console.entryCount());
    for (qsizetype i = 0; i < console.entryCount(); ++i)
        lines.append(console.entryAt(i).text);
    return lines;
}

namespace {

QCoro::Task<> runGAMOnce(QStringList arguments, CancelToken cancel) {
    co_await GAM::runGAM(arguments, 60, GAM::ProfileChoice::active(), cancel);
}

} // namespace

void startGAMTask(Console &console, const QString &label, const QStringList &arguments) {
    console.run(label, [arguments](CancelToken cancel) { return runGAMOnce(arguments, cancel); });
}

bool seedPracticeDomain(const QString &folder, const QString &domain, int users) {
    QProcess seeder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GAMCFGDIR"), folder);
    seeder.setProcessEnvironment(environment);
    seeder.start(QStringLiteral(PRACTICE_GAM_PATH),
                 {QStringLiteral("practice"), QStringLiteral("seed"), folder, QStringLiteral("--domain"), domain,
                  QStringLiteral("--users"), QString::number(users)});
    return seeder.waitForFinished(120000) && seeder.exitStatus() == QProcess::NormalExit && seeder.exitCode() == 0;
}

void activatePracticeProfile(ProfileStore &store, const QString &configDir, const QString &domain) {
    DomainProfile profile = store.add(QStringLiteral("Practice"));
    profile.domain = domain;
    profile.configDir = configDir;
    store.update(profile);
    store.activate(profile.id);
}
