#include "profiles/GAMConfigFile.h"

#include "core/Utf8.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>

using namespace Qt::StringLiterals;

EditError::EditError(Kind kind, QString subject, QString description)
    : Error(std::move(description))
    , m_kind(kind)
    , m_subject(std::move(subject)) {}

EditError EditError::missing(const QString &path) {
    return EditError(Kind::missing, path, u"There's no gam.cfg at "_s % path % u"."_s);
}

EditError EditError::notUTF8(const QString &path) {
    return EditError(Kind::notUTF8, path,
                     u"The gam.cfg at "_s % path % u" isn't UTF-8 text, so Tarnwick left it unchanged."_s);
}

EditError EditError::sectionExists(const QString &name) {
    return EditError(Kind::sectionExists, name, u"gam.cfg already has a section named "_s % name % u"."_s);
}

EditError EditError::sectionNotFound(const QString &name) {
    return EditError(Kind::sectionNotFound, name, u"gam.cfg has no section named "_s % name % u"."_s);
}

namespace GAMConfigFile {

namespace {

constexpr auto fileName = "gam.cfg"_L1;

// Only horizontal white space counts; line breaks are never trimmed away.
bool isHorizontalSpace(QChar c) {
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QStringView trimmed(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isHorizontalSpace(text[begin]))
        ++begin;
    while (end > begin && isHorizontalSpace(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool isLineBreak(QChar c) {
    switch (c.unicode()) {
    case u'\n':
    case u'\r':
    case u'\v':
    case u'\f':
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

// Non-empty lines between line breaks of every kind (CR LF gives an empty line
// between its two characters, which is dropped like any other).
QList<QStringView> readingLines(QStringView text) {
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isLineBreak(text[i]))
            continue;
        if (i > start)
            lines.append(text.sliced(start, i - start));
        start = i + 1;
    }
    return lines;
}

// The section name when line is a header: "[" name "]" after trimming, three
// characters at least.
std::optional<QStringView> headerName(QStringView line) {
    const QStringView t = trimmed(line);
    if (t.size() < 3 || !t.startsWith(u'[') || !t.endsWith(u']'))
        return std::nullopt;
    return trimmed(t.sliced(1, t.size() - 2));
}

bool isDefault(QStringView name) {
    return name.compare(u"DEFAULT", Qt::CaseInsensitive) == 0;
}

constexpr QByteArrayView byteOrderMark("\xEF\xBB\xBF");

// The file's bytes, or none when it cannot be read.
std::optional<QByteArray> readBytes(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

QByteArrayView withoutByteOrderMark(QByteArrayView utf8) {
    return utf8.startsWith(byteOrderMark) ? utf8.sliced(byteOrderMark.size()) : utf8;
}

// The file's text without one leading byte-order mark, or none when it cannot
// be read or is not UTF-8 (an incomplete sequence at the end included).
std::optional<QString> readText(const QString &path) {
    const std::optional<QByteArray> bytes = readBytes(path);
    if (!bytes || !bytes->isValidUtf8())
        return std::nullopt;
    return textOfUtf8(withoutByteOrderMark(*bytes));
}

// The bytes of a gam.cfg about to be edited. Edits keep them as they are and
// only add or take away whole lines, so nothing the user wrote is re-encoded.
QByteArray readForEditing(const QString &path) {
    std::optional<QByteArray> bytes = readBytes(path);
    if (!bytes)
        throw EditError::missing(path);
    if (!bytes->isValidUtf8())
        throw EditError::notUTF8(path);
    return *std::move(bytes);
}

QStringList sectionNamesIn(QStringView text) {
    QStringList names;
    for (QStringView line : readingLines(text)) {
        const std::optional<QStringView> name = headerName(line);
        if (name && !isDefault(*name))
            names.append(name->toString());
    }
    return names;
}

// A line of the file split at line feeds, as text: a carriage return before
// the line feed ends the line like the line feed does.
QString lineText(QByteArrayView line) {
    if (line.endsWith('\r'))
        line.chop(1);
    return textOfUtf8(line);
}

// For a device opened Unbuffered: a buffered QFileDevice reports a short write
// (disk full, file size limit) as success and QSaveFile would then commit a
// truncated file. Writing the rest again surfaces the system's reason.
bool writeAll(QFileDevice &device, const QByteArray &bytes) {
    qsizetype written = 0;
    while (written < bytes.size()) {
        const qint64 n = device.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

QString expandTilde(const QString &path) {
    if (path == u"~" || path.startsWith(u"~/"))
        return QDir::homePath() + path.sliced(1);
    return path;
}

QString joined(const QString &folder, const QString &component) {
    return folder.endsWith(u'/') ? QString(folder + component) : QString(folder % u'/' % component);
}

QString backupStamp() {
    return QLocale::c().toString(QDateTime::currentDateTime(), u"yyyyMMdd-HHmmss"_s);
}

QString freeBackupPath(const QString &folder) {
    const QString base = joined(folder, u"gam.cfg.backup-"_s % backupStamp());
    QString candidate = base;
    for (int n = 2; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++n)
        candidate = base % u'-' % QString::number(n);
    return candidate;
}

void writeBytesPreservingMode(const QByteArray &bytes, const QString &filePath) {
    // QFileInfo follows a symbolic link, so these are the target's bits.
    const QFileInfo info(filePath);
    const std::optional<QFileDevice::Permissions> mode =
        info.exists() ? std::optional(info.permissions()) : std::nullopt;

    // QSaveFile writes through a symbolic link: the temporary file sits beside
    // the target and replaces it, so the link itself survives.
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw FileError(filePath % u" couldn't be saved: "_s % file.errorString());
    if (!writeAll(file, bytes)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw FileError(filePath % u" couldn't be saved: "_s % reason);
    }
    if (!file.commit())
        throw FileError(filePath % u" couldn't be saved: "_s % file.errorString());
    QFile saved(filePath);
    if (mode && !saved.setPermissions(*mode))
        throw FileError(u"The permissions of "_s % filePath % u" couldn't be restored: "_s % saved.errorString());
}

} // namespace

QString filePath(const QString &folder) {
    return joined(folder, fileName);
}

QStringList sectionNames(const std::optional<QString> &folder) {
    const std::optional<QString> text = readText(filePath(folder.value_or(QDir::homePath() + u"/.gam"_s)));
    return text ? sectionNamesIn(*text) : QStringList();
}

QString credentialsBase(const QString &folder) {
    const QString text = readText(filePath(folder)).value_or(QString());
    bool inDefault = false;
    QString configDir;
    for (QStringView line : readingLines(text)) {
        if (const std::optional<QStringView> name = headerName(line)) {
            inDefault = isDefault(*name);
            continue;
        }
        if (!inDefault)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0 || equals == line.size() - 1)
            continue;
        if (trimmed(line.first(equals)).compare(u"config_dir", Qt::CaseInsensitive) != 0)
            continue;
        QStringView value = trimmed(line.sliced(equals + 1));
        while (!value.isEmpty() && (value.front() == u'"' || value.front() == u'\''))
            value = value.sliced(1);
        while (!value.isEmpty() && (value.back() == u'"' || value.back() == u'\''))
            value.chop(1);
        configDir = value.toString();
    }
    configDir = expandTilde(configDir);
    if (configDir.isEmpty() || configDir == u".")
        return folder;
    if (configDir.startsWith(u'/'))
        return configDir;
    return joined(folder, configDir);
}

QString makeBackup(const QString &folder) {
    QFile source(filePath(folder));
    const QString target = freeBackupPath(folder);
    const auto fail = [&](const QString &reason) {
        return FileError(u"The backup "_s % target % u" couldn't be created: "_s % reason);
    };
    if (!source.open(QIODevice::ReadOnly))
        throw fail(source.fileName() % u" couldn't be read: "_s % source.errorString());
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError)
        throw fail(source.fileName() % u" couldn't be read: "_s % source.errorString());

    // Created owner-only so the copy is never readable by others, even briefly.
    QFile copy(target);
    if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw fail(copy.errorString());
    if (!writeAll(copy, bytes)) {
        const QString reason = copy.errorString();
        copy.close();
        copy.remove();
        throw fail(reason);
    }
    copy.close();
    // The umask may have taken bits away; the backup is exactly 0600.
    if (!copy.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw FileError(u"The permissions of the backup "_s % target % u" couldn't be set: "_s % copy.errorString());
    return target;
}

std::optional<EditError> editRefusal(const QString &folder) {
    try {
        readForEditing(filePath(folder));
    } catch (const EditError &error) {
        return error;
    }
    return std::nullopt;
}

QString appendSection(const QString &folder, const QString &section, const QString &credentialsFolder,
                      const QString &domain) {
    const QString path = filePath(folder);
    const QByteArray old = readForEditing(path);
    if (sectionNamesIn(textOfUtf8(withoutByteOrderMark(old))).contains(section, Qt::CaseInsensitive))
        throw EditError::sectionExists(section);

    const QString backup = makeBackup(folder);
    // The file's own line ends, CR LF when its last line has one. One line end
    // before the header: after a final line end it makes the blank line between
    // sections, otherwise it ends the last line. removeSection takes exactly
    // that line end away again.
    const QString end = old.endsWith("\r\n") ? u"\r\n"_s : u"\n"_s;
    const QString added = end % u'[' % section % u']' % end              //
                          % u"config_dir = "_s % credentialsFolder % end //
                          % u"customer_id = my_customer"_s % end         //
                          % u"domain = "_s % domain % end;
    writeBytesPreservingMode(old + added.toUtf8(), path);
    return backup;
}

QString removeSection(const QString &section, const QString &folder) {
    const QString path = filePath(folder);
    const QByteArray old = readForEditing(path);
    const QByteArrayView mark = QByteArrayView(old).first(old.size() - withoutByteOrderMark(old).size());

    // Split at line feeds only, so the lines join back to the same bytes.
    QList<QByteArray> lines = old.sliced(mark.size()).split('\n');
    QList<QString> texts;
    texts.reserve(lines.size());
    for (const QByteArray &line : std::as_const(lines))
        texts.append(lineText(line));
    qsizetype header = 0;
    while (header < texts.size() && headerName(texts[header]) != QStringView(section))
        ++header;
    if (header == texts.size())
        throw EditError::sectionNotFound(section);

    qsizetype end = header + 1;
    while (end < texts.size() && !headerName(texts[end]))
        ++end;

    QByteArray text;
    if (end == lines.size()) {
        // The last section: up to the end of the file, with the line end before
        // its header (CR LF when the header line ends in CR too), which is what
        // appendSection added before it.
        qsizetype cut = mark.size();
        for (qsizetype i = 0; i < header; ++i)
            cut += lines[i].size() + 1;
        if (header > 0) {
            --cut;
            if (lines[header].endsWith('\r') && lines[header - 1].endsWith('\r'))
                --cut;
        }
        text = old.first(cut);
    } else {
        qsizetype start = header;
        while (start > 0 && trimmed(texts[start - 1]).isEmpty())
            --start;
        // One blank line between the neighbours, ending like the header's line.
        const QByteArray blank = lines[header].endsWith('\r') ? QByteArray("\r") : QByteArray();
        lines.remove(start, end - start);
        if (start > 0)
            lines.insert(start, blank);
        text = mark.toByteArray() + lines.join('\n');
        if (!text.endsWith('\n'))
            text += '\n';
    }
    const QString backup = makeBackup(folder);
    writeBytesPreservingMode(text, path);
    return backup;
}

std::optional<QString> validateSectionName(const QString &name, const QStringList &existingNames) {
    // Anchored as a whole: a "$" alone would also accept a trailing line feed.
    static const QRegularExpression allowed(QRegularExpression::anchoredPattern(uR"([A-Za-z0-9][A-Za-z0-9._-]*)"_s));
    if (name.isEmpty())
        return u"Enter a section name."_s;
    if (isDefault(name))
        return u"DEFAULT is reserved by GAM."_s;
    if (!allowed.match(name).hasMatch())
        return u"Section names can use letters, numbers, dots, dashes and underscores."_s;
    if (existingNames.contains(name, Qt::CaseInsensitive))
        return EditError::sectionExists(name).description();
    return std::nullopt;
}

void writePreservingMode(const QString &text, const QString &filePath) {
    writeBytesPreservingMode(text.toUtf8(), filePath);
}

} // namespace GAMConfigFile
