#include "security/EvidenceFiles.h"

#include "core/Error.h"
#include "core/SpaceTrim.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QScopeGuard>
#include <QSet>
#include <QUuid>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace EvidenceFiles {

namespace {

constexpr auto ownerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;
const QString checksumsName = u"SHA256SUMS"_s;
const QString uploadedChecksumsName = u"SHA256SUMS.uploaded"_s;
// sha256sum's separator between hash and name (text mode).
const QString separator = u"  "_s;

Error systemError(const QString &path, int code) {
    return Error(path + u": "_s + QString::fromLocal8Bit(strerror(code)));
}

Error fileError(const QFileDevice &file) {
    return Error(file.fileName() + u": "_s + file.errorString());
}

// The user part of a file name: "@" as "_", and nothing that could leave the
// folder or break a SHA256SUMS line.
QString fileNamePart(const QString &user) {
    QString part = user;
    for (QChar &c : part) {
        if (c == u'@' || c == u'/' || c == u'\\' || c.isSpace() || c.category() == QChar::Other_Control)
            c = u'_';
    }
    return part;
}

QString withSuffix(const QString &fileName, int n) {
    const QString suffix = u"-"_s + QString::number(n);
    if (fileName.endsWith(u".csv"_s))
        return fileName.chopped(4) + suffix + u".csv"_s;
    return fileName + suffix;
}

QString pathIn(const QString &folder, const QString &name) {
    return folder + u'/' + name;
}

QString readText(const QString &path) {
    QFile file(path);
    if (!file.exists())
        return QString();
    if (!file.open(QIODevice::ReadOnly))
        throw fileError(file);
    return QString::fromUtf8(file.readAll());
}

void append(const QString &path, const QString &text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append, ownerOnlyFile))
        throw fileError(file);
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw fileError(file);
}

// The file name of a "hash  name[  drive name]" line.
QString ledgerName(QStringView line) {
    const qsizetype start = line.indexOf(separator);
    if (start < 0)
        return QString();
    const QStringView rest = line.sliced(start + separator.size());
    const qsizetype end = rest.indexOf(separator);
    return (end < 0 ? rest : rest.first(end)).toString();
}

// Creates the folder and its missing parents with mode, exactly or as the umask leaves it.
void makeFolders(const QString &path, mode_t mode, bool exact) {
    const QFileInfo info(path);
    if (info.isDir())
        return;
    if (info.exists() || info.isSymLink())
        throw systemError(path, info.exists() ? ENOTDIR : ENOENT);
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath())
        makeFolders(parent, mode, exact);
    const QByteArray encoded = QFile::encodeName(path);
    if (::mkdir(encoded.constData(), mode) != 0) {
        if (errno != EEXIST)
            throw systemError(path, errno);
        return;
    }
    if (exact)
        ::chmod(encoded.constData(), mode);
}

QSet<QString> uploadedNames(const QString &folder) {
    QSet<QString> names;
    const QString text = readText(pathIn(folder, uploadedChecksumsName));
    for (const QStringView line : QStringView(text).tokenize(u'\n', Qt::SkipEmptyParts))
        names.insert(ledgerName(line));
    return names;
}

} // namespace

QString localTime(const QDateTime &time, const QString &format) {
    return QLocale::c().toString(time.toLocalTime(), format);
}

QString timeStamp(const QDateTime &time) {
    return localTime(time, u"yyyy-MM-dd HH:mm:ss t"_s);
}

Name evidenceName(const QString &user, const QString &category, const QDateTime &time) {
    const QString date = localTime(time, u"yyyy-MM-dd"_s);
    const QString minute = localTime(time, u"HHmm"_s);
    return {fileNamePart(user) + u'_' + date + u'_' + minute + u'_' + category + u".csv"_s, date + u'/' + user,
            minute + u'_' + category + u".csv"_s};
}

Name numbered(const Name &name, int n) {
    return {withSuffix(name.localName, n), name.driveFolderPath, withSuffix(name.driveFileName, n)};
}

void createPrivateFolder(const QString &path) {
    makeFolders(path, 0700, true);
}

Name writeNewEvidence(const QString &folder, const Name &name, const QByteArray &content) {
    createPrivateFolder(folder);
    const QString temporary = pathIn(folder, u".partial-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces));
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnlyFile))
        throw fileError(file);
    auto removeTemporary = qScopeGuard([&file] { file.remove(); });
    if (file.write(content) != content.size() || !file.flush())
        throw fileError(file);
    if (::fsync(file.handle()) != 0)
        throw systemError(temporary, errno);
    file.close();

    const QSet<QString> uploaded = uploadedNames(folder);
    for (int n = 1;; ++n) {
        const Name candidate = n == 1 ? name : numbered(name, n);
        const QString target = pathIn(folder, candidate.localName);
        if (uploaded.contains(candidate.localName) || QFileInfo::exists(target))
            continue;
        // rename() never replaces an existing file; losing a race just moves on to the next number.
        QFile written(temporary);
        if (written.rename(target)) {
            removeTemporary.dismiss();
            QFile::setPermissions(target, ownerOnlyFile);
            return candidate;
        }
        if (!QFileInfo::exists(target))
            throw Error(target + u": "_s + written.errorString());
    }
}

QString sha256Hex(const QByteArray &content) {
    return QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
}

void recordChecksum(const QString &folder, const QString &fileName, const QString &hash) {
    append(pathIn(folder, checksumsName), hash + separator + fileName + u'\n');
}

std::optional<QString> moveChecksumToUploaded(const QString &folder, const QString &fileName,
                                              const QString &driveName) {
    const QString path = pathIn(folder, checksumsName);
    const QString text = readText(path);
    QString kept;
    std::optional<QString> hash;
    for (const QStringView line : QStringView(text).tokenize(u'\n', Qt::SkipEmptyParts)) {
        if (!hash && ledgerName(line) == fileName)
            hash = line.first(line.indexOf(separator)).toString();
        else
            kept += line + u'\n';
    }
    if (!hash)
        return std::nullopt;
    // Recorded as uploaded first: a failure in between leaves a line twice, never none.
    append(pathIn(folder, uploadedChecksumsName), *hash + separator + fileName + separator + driveName + u'\n');
    QSaveFile rewritten(path);
    const QByteArray bytes = kept.toUtf8();
    if (!rewritten.open(QIODevice::WriteOnly) || rewritten.write(bytes) != bytes.size() || !rewritten.commit())
        throw fileError(rewritten);
    QFile::setPermissions(path, ownerOnlyFile);
    return hash;
}

QString auditLine(const QDateTime &time, const QString &user, const QString &action) {
    return localTime(time, u"yyyy-MM-dd HH:mm:ss"_s) + u" | "_s + user + u" | "_s + action + u'\n';
}

void appendAuditLine(const QString &path, const QString &line) {
    const QFileInfo info(path);
    if (!info.exists())
        makeFolders(info.absolutePath(), 0777, false);
    append(path, line);
}

std::optional<QString> driveIdentifier(const QString &output) {
    QString text = output;
    text.replace(u'\r', u'\n');
    const QStringList lines = text.split(u'\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QString candidate = trimSpacesAndTabs(*line);
        if (candidate.size() < 15)
            continue;
        const bool identifier = std::all_of(candidate.cbegin(), candidate.cend(), [](QChar c) {
            return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
                   c == u'-';
        });
        if (identifier)
            return candidate;
    }
    return std::nullopt;
}

} // namespace EvidenceFiles
