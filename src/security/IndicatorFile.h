#pragma once

#include <QString>
#include <QStringList>

// The known-indicator list: a UTF-8 text file shared by every domain profile,
// one IP address, address range or domain per line, "#" starting a comment.
namespace IndicatorFile {

// The "security.iocFile" setting trimmed, "~" expanded; home + "/known_iocs.txt" when empty.
QString path(const QString &setting);
QString currentPath();

// What a missing file is created with: six comment lines.
QString templateText();
// The indicators: every line trimmed of spaces and tabs, without empty lines and
// lines beginning with "#"; order, repeats and letter case as in the file.
QStringList parse(const QString &text);

// Writes the template when nothing exists at the path; never replaces a file. Failures are ignored.
void createIfMissing(const QString &path);

// The file's text. Throws Error when it cannot be read or is not UTF-8.
QString read(const QString &path);

// Why an indicator cannot go into the list ("#" would make it a comment), or
// empty when it can. The indicator is already trimmed.
QString refusal(const QString &indicator);

enum class AddOutcome { added, alreadyListed };
// Appends the indicator as a line of its own unless a line already holds
// exactly it; the file is rewritten atomically. Throws Error when the file
// cannot be read or written, leaving it as it was.
AddOutcome add(const QString &path, const QString &indicator);

} // namespace IndicatorFile
