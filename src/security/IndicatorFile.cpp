#include "security/IndicatorFile.h"

#include "core/Error.h"
#include "core/SpaceTrim.h"
#include "profiles/DomainProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace IndicatorFile {

namespace {

Error fileError(const QFileDevice &file) {
    return Error(file.fileName() + u": "_s + file.errorString());
}

QByteArray readBytes(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw fileError(file);
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw fileError(file);
    return bytes;
}

// Lines split at LF, CR and CRLF, so a list saved with Windows line ends reads the same.
QStringList lines(const QString &text) {
    QString unified = text;
    unified.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    return unified.split(u'\n');
}

} // namespace

QString path(const QString &setting) {
    const QString chosen = trimSpacesAndTabs(setting);
    return chosen.isEmpty() ? QDir::homePath() + u"/known_iocs.txt"_s : expandTilde(chosen);
}

QString currentPath() {
    return path(QSettings().value(u"security.iocFile"_s).toString());
}

QString templateText() {
    return u"# Known indicators of compromise — one IP address or domain per line.\n"
           u"# Lines starting with # are ignored. Add indicators from your own incidents,\n"
           u"# Alert Center findings, or trusted threat-intel sharing (e.g., your state K-12 ISAC).\n"
           u"# Example (documentation-only addresses, safe to delete):\n"
           u"# 203.0.113.45\n"
           u"# 2001:db8::1\n"_s;
}

QStringList parse(const QString &text) {
    QStringList indicators;
    for (const QString &line : lines(text)) {
        const QString indicator = trimSpacesAndTabs(line);
        if (!indicator.isEmpty() && !indicator.startsWith(u'#'))
            indicators.append(indicator);
    }
    return indicators;
}

void createIfMissing(const QString &path) {
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return;
    // Written beside the list, then renamed into place; rename never replaces a file that appeared meanwhile.
    QFile temporary(info.absolutePath() + u"/.known_iocs-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (!temporary.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return;
    const QByteArray bytes = templateText().toUtf8();
    const bool written = temporary.write(bytes) == bytes.size() && temporary.flush();
    temporary.close();
    if (!written || !temporary.rename(path))
        temporary.remove();
}

QString read(const QString &path) {
    const QByteArray bytes = readBytes(path);
    if (!QByteArrayView(bytes).isValidUtf8())
        throw Error(path + u" isn't UTF-8 text."_s);
    return QString::fromUtf8(bytes);
}

QString refusal(const QString &indicator) {
    if (indicator.startsWith(u'#'))
        return u"“"_s + indicator +
               u"” starts with #, which marks a comment in the indicator list, so it would "
               u"never be matched."_s;
    if (indicator.contains(u'\n') || indicator.contains(u'\r'))
        return u"Enter one IP address, range or domain at a time."_s;
    return QString();
}

AddOutcome add(const QString &path, const QString &indicator) {
    // The file is extended byte for byte: what the reader does not understand stays as it was.
    QByteArray bytes = QFile::exists(path) ? readBytes(path) : QByteArray();
    if (!QByteArrayView(bytes).isValidUtf8())
        throw Error(path + u" isn't UTF-8 text, so Tarnwick left it unchanged."_s);
    for (const QString &line : lines(QString::fromUtf8(bytes)))
        if (trimSpacesAndTabs(line) == indicator)
            return AddOutcome::alreadyListed;
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += '\n';
    bytes += indicator.toUtf8() + '\n';
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw fileError(file);
    return AddOutcome::added;
}

} // namespace IndicatorFile
