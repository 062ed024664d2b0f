#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

// The files behind the Security tab's records: evidence files with their
// SHA256SUMS ledger, and the audit log. Everything here is plain file work;
// failures throw Error with the system's description.
namespace EvidenceFiles {

// A time in the machine's zone with the POSIX English locale. Takes Qt format
// letters; "t" is the zone's abbreviation.
QString localTime(const QDateTime &time, const QString &format);
// "yyyy-MM-dd HH:mm:ss" and the zone abbreviation: the time stamp of evidence rows.
QString timeStamp(const QDateTime &time);

// Where one piece of evidence goes: locally "<user with @ as _>_yyyy-MM-dd_HHmm_<category>.csv",
// in the Shared Drive "yyyy-MM-dd/<user>/HHmm_<category>.csv".
struct Name {
    QString localName;
    QString driveFolderPath;
    QString driveFileName;
};
Name evidenceName(const QString &user, const QString &category, const QDateTime &time);
// The same name with "-n" before ".csv" (n >= 2), locally and in the Shared Drive.
Name numbered(const Name &name, int n);

// Creates the folder and any missing parents owner-only (0700); an existing folder is left as it is.
void createPrivateFolder(const QString &path);

// Writes content under the name, or under the first numbered name nobody has used
// in the folder (neither a file there nor an uploaded file in its ledger), atomically
// and owner-only (0600). Never replaces a file. Returns the name written.
Name writeNewEvidence(const QString &folder, const Name &name, const QByteArray &content);

// The SHA-256 of the content as sha256sum prints it.
QString sha256Hex(const QByteArray &content);
// Appends "hash  name" to the folder's SHA256SUMS (created 0600).
void recordChecksum(const QString &folder, const QString &fileName, const QString &hash);
// Moves the file's line from SHA256SUMS to SHA256SUMS.uploaded, followed by the
// Shared Drive name; returns the hash recorded for it, if any.
std::optional<QString> moveChecksumToUploaded(const QString &folder, const QString &fileName, const QString &driveName);

// "yyyy-MM-dd HH:mm:ss | user | action\n"
QString auditLine(const QDateTime &time, const QString &user, const QString &action);
// Appends the line; a missing log is created 0600 (its folder with default modes).
void appendAuditLine(const QString &path, const QString &line);

// The Drive file identifier in gam's output: the last line (trimmed) of at least
// 15 letters, digits, "_" and "-".
std::optional<QString> driveIdentifier(const QString &output);

} // namespace EvidenceFiles
