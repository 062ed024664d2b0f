#include "Hooks.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The values of the rules in the variable that apply to this run.
QStringList rules(const char *name, const QString &joined) {
    QStringList values;
    const QStringList entries = qEnvironmentVariable(name).split(u';', Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        const qsizetype at = entry.indexOf(u'@');
        const QString value = (at < 0 ? entry : entry.left(at)).trimmed();
        const QString pattern = at < 0 ? QString() : entry.mid(at + 1);
        if (!value.isEmpty() && (pattern.isEmpty() || joined.contains(pattern)))
            values.append(value);
    }
    return values;
}

[[noreturn]] void sleepForever() {
    for (;;)
        QThread::sleep(3600);
}

} // namespace

Hooks Hooks::fromEnvironment(const QStringList &argv) {
    Hooks hooks;
    // A batch's worker answers to the rules of the batch's words as well as its own.
    const QString joined = QString(qEnvironmentVariable("PRACTICE_GAM_BATCH_WORDS") + u' ' + argv.join(u' ')).trimmed();
    hooks.logPath = qEnvironmentVariable("PRACTICE_GAM_LOG");
    const QStringList delays = rules("PRACTICE_GAM_DELAY_MS", joined);
    if (!delays.isEmpty())
        hooks.delayMs = delays.last().toInt();
    const QStringList lineDelays = rules("PRACTICE_GAM_LINE_DELAY_MS", joined);
    if (!lineDelays.isEmpty())
        hooks.lineDelayMs = lineDelays.last().toInt();
    const QStringList faults = rules("PRACTICE_GAM_FAULT", joined);
    for (const QString &fault : faults) {
        const QString kind = fault.section(u':', 0, 0);
        const QString arg = fault.section(u':', 1);
        if (kind == u"hang"_s)
            hooks.hang = true;
        else if (kind == u"ignore-sigterm"_s)
            hooks.ignoreTerm = true;
        else if (kind == u"crash"_s)
            hooks.crash = true;
        else if (kind == u"invalid-utf8"_s)
            hooks.invalidUtf8 = true;
        else if (kind == u"huge"_s)
            hooks.hugeLines = arg.isEmpty() ? 200000 : arg.toInt();
        else if (kind == u"exit"_s)
            hooks.exitCode = arg.toInt();
        else if (kind == u"ratelimit"_s)
            hooks.rateLimitEvery = arg.isEmpty() ? 1 : std::max(1, arg.toInt());
    }
    return hooks;
}

void Hooks::logInvocation(const QStringList &argv) const {
    if (logPath.isEmpty())
        return;
    auto env = [](const char *name) -> QJsonValue {
        return qEnvironmentVariableIsSet(name) ? QJsonValue(qEnvironmentVariable(name)) : QJsonValue();
    };
    const QJsonObject entry{{u"argv"_s, QJsonArray::fromStringList(argv)},
                            {u"GAMCFGDIR"_s, env("GAMCFGDIR")},
                            {u"GAMCFGSECTION"_s, env("GAMCFGSECTION")},
                            {u"pid"_s, qint64(::getpid())},
                            {u"worker"_s, qEnvironmentVariableIsSet("PRACTICE_GAM_BATCH_ROWS")},
                            {u"time"_s, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)}};
    QFile file(logPath);
    // One write per line on an append-only file, so concurrent runs never interleave lines.
    if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        file.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
}

void Hooks::beforeRun(const QStringList &argv) const {
    if (ignoreTerm)
        std::signal(SIGTERM, SIG_IGN);
    logInvocation(argv);
    if (hang || ignoreTerm)
        sleepForever();
    if (delayMs > 0)
        QThread::msleep(ulong(delayMs));
}
