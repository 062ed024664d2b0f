#pragma once

#include "core/Error.h"

#include <QString>
#include <QStringList>
#include <optional>

// A change to gam.cfg that its current content does not allow.
class EditError : public Error {
public:
    enum class Kind { missing, notUTF8, sectionExists, sectionNotFound };

    // path: the gam.cfg that could not be read.
    static EditError missing(const QString &path);
    // path: a gam.cfg whose bytes are not UTF-8 text; it is never rewritten.
    static EditError notUTF8(const QString &path);
    static EditError sectionExists(const QString &name);
    static EditError sectionNotFound(const QString &name);

    Kind kind() const { return m_kind; }
    // The path or section name the error is about.
    QString subject() const { return m_subject; }

private:
    EditError(Kind kind, QString subject, QString description);
    Kind m_kind;
    QString m_subject;
};

// Stateless operations on a GAM config folder's gam.cfg. Folders are absolute
// paths (callers expand "~"); the file is always folder + "/gam.cfg". Only the
// sections this application adds are ever rewritten.
namespace GAMConfigFile {

// Copying, writing or changing permissions failed; the description says which
// file and why.
class FileError : public Error {
public:
    using Error::Error;
};

QString filePath(const QString &folder);

// Section names in file order, duplicates kept, DEFAULT (any case) left out.
// No folder means ~/.gam. An unreadable or undecodable file gives an empty list.
QStringList sectionNames(const std::optional<QString> &folder = std::nullopt);

// The credentials folder named by config_dir in the DEFAULT section: relative
// values are taken under folder; nothing, or ".", means folder itself.
QString credentialsBase(const QString &folder);

// Copies gam.cfg to gam.cfg.backup-yyyyMMdd-HHmmss (then "-2", "-3", ... when
// taken) with mode 0600 and returns its path. Throws FileError.
QString makeBackup(const QString &folder);

// The EditError (missing or notUTF8) that appendSection and removeSection
// would throw for folder's gam.cfg as it stands, or none when it can be edited.
std::optional<EditError> editRefusal(const QString &folder);

// Backs up, then appends one line feed and a [section] with config_dir,
// customer_id and domain; the old bytes stay as they were. Returns the backup's
// path. Throws EditError (missing, notUTF8, sectionExists) or FileError.
QString appendSection(const QString &folder, const QString &section, const QString &credentialsFolder,
                      const QString &domain);

// Backs up, then deletes the first section named exactly section. A section
// followed by another goes with the blank lines before it, leaving one blank
// line between its neighbours; the last section goes with the one line feed
// before its header, so removing a section appendSection just added gives the
// old bytes back exactly. Returns the backup's path.
// Throws EditError (missing, notUTF8, sectionNotFound) or FileError.
QString removeSection(const QString &section, const QString &folder);

// The message explaining why a (trimmed) new section name is unacceptable, or
// none when it is fine.
std::optional<QString> validateSectionName(const QString &name, const QStringList &existingNames);

// Writes text as UTF-8 atomically, keeping the file's permission bits. A symbolic
// link is written through: its target changes and the link stays. Throws FileError.
void writePreservingMode(const QString &text, const QString &filePath);

} // namespace GAMConfigFile
