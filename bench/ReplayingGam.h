#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

// Isolates the settings in `dir` and installs there a gam that prints `output`
// and exits with `exitStatus`, so a benchmark times Tarnwick rather than gam.
inline bool installReplayingGam(const QTemporaryDir &dir, const QByteArray &output, int exitStatus) {
    using namespace Qt::StringLiterals;
    QCoreApplication::setOrganizationName(u"TarnwickBench"_s);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QFile recorded(dir.filePath(u"gam-output.txt"_s));
    if (!recorded.open(QIODevice::WriteOnly) || recorded.write(output) < 0)
        return false;
    recorded.close();
    QFile script(dir.filePath(u"gam"_s));
    if (!script.open(QIODevice::WriteOnly))
        return false;
    script.write("#!/bin/sh\ncat '" + recorded.fileName().toUtf8() + "'\nexit " + QByteArray::number(exitStatus) +
                 "\n");
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QSettings().setValue(u"gamPath"_s, script.fileName());
    return true;
}
