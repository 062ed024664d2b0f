#include "security/CheckContext.h"

#include "core/CommandLine.h"
#include "core/Console.h"
#include "core/Error.h"
#include "core/PlatformTexts.h"
#include "core/SpaceTrim.h"
#include "security/EvidenceFiles.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

const QString folderIDPlaceholder = u"PUT_YOUR_FOLDER_ID_HERE"_s;

// An empty setting would put files in the current folder, or the root folder.
QString requiredPath(const QString &path, const QString &what) {
    if (path.isEmpty())
        throw Error(u"No "_s + what + u" is set for this domain. Set one in "_s + PlatformTexts::settingsReference() +
                    u" → Domains."_s);
    return path;
}

} // namespace

QString evidenceFolder(const DomainProfile &profile) {
    return expandTilde(trimSpacesAndTabs(profile.exportDir));
}

QString auditLogPath(const DomainProfile &profile) {
    return expandTilde(trimSpacesAndTabs(profile.auditLog));
}

bool isDriveUploadConfigured(const DomainProfile &profile) {
    const QString folder = trimSpacesAndTabs(profile.driveFolderID);
    return !folder.isEmpty() && folder != folderIDPlaceholder && !trimSpacesAndTabs(profile.driveUploadUser).isEmpty();
}

Console &CheckContext::liveConsole() const {
    if (!console)
        throw Cancelled();
    return *console;
}

QCoro::Task<CommandResult> CheckContext::runSecurityCommand(QStringList arguments, double timeout,
                                                            std::optional<QString> display) const {
    liveConsole().log(u">> "_s + display.value_or(displayCommand(arguments)), LogKind::command);
    const CommandResult result = co_await GAM::runGAM(arguments, timeout, GAM::ProfileChoice::active(), cancel);
    liveConsole().logOutput(result.stdErr, result.exitCode == 0 ? LogKind::warning : LogKind::error, 15);
    co_return result;
}

QCoro::Task<QList<EvidenceItem>> CheckContext::saveEvidence(QString content, QString user, QString category) const {
    if (content.trimmed().isEmpty())
        co_return QList<EvidenceItem>{};
    const QByteArray bytes = content.toUtf8();
    QString folder;
    EvidenceFiles::Name name;
    try {
        folder = requiredPath(evidenceFolder(profile), u"evidence folder"_s);
        name = EvidenceFiles::writeNewEvidence(
            folder, EvidenceFiles::evidenceName(user, category, QDateTime::currentDateTime()), bytes);
    } catch (const Error &error) {
        liveConsole().log(u"  WARNING: Couldn't save evidence: "_s + error.description(), LogKind::warning);
        co_return QList<EvidenceItem>{};
    }
    const QString path = folder + u'/' + name.localName;
    try {
        EvidenceFiles::recordChecksum(folder, name.localName, EvidenceFiles::sha256Hex(bytes));
    } catch (const Error &error) {
        liveConsole().log(u"  WARNING: Couldn't record the evidence checksum: "_s + error.description(),
                          LogKind::warning);
    }
    liveConsole().log(u"  Saved evidence: "_s + path, LogKind::success);

    if (isDriveUploadConfigured(profile)) {
        const std::optional<QString> uploaded = co_await uploadToDrive(path, name.driveFolderPath, name.driveFileName);
        if (uploaded)
            co_return QList<EvidenceItem>{EvidenceItem{QUuid::createUuid(), u"Shared Drive: "_s + *uploaded, {}}};
    }
    co_return QList<EvidenceItem>{EvidenceItem{QUuid::createUuid(), name.localName, path}};
}

QCoro::Task<std::optional<QString>> CheckContext::uploadToDrive(QString localURL, std::optional<QString> folderPath,
                                                                QString fileName) const {
    const QString user = trimSpacesAndTabs(profile.driveUploadUser);
    const QString folderID = trimSpacesAndTabs(profile.driveFolderID);
    const QString localName = QFileInfo(localURL).fileName();
    try {
        QStringList target{u"teamdriveparentid"_s, folderID};
        QString driveName = fileName;
        QString displayName = fileName;
        // Argument lists are built before each co_await: GCC 12 miscompiles braced lists inside one.
        if (folderPath) {
            const QStringList createFolder{u"user"_s,
                                           user,
                                           u"create"_s,
                                           u"drivefolderpath"_s,
                                           u"path"_s,
                                           *folderPath,
                                           u"teamdriveparentid"_s,
                                           folderID,
                                           u"returnidonly"_s};
            const CommandResult created = co_await runSecurityCommand(createFolder, SecurityTimeout::command);
            const std::optional<QString> folder =
                created.exitCode == 0 ? EvidenceFiles::driveIdentifier(created.stdOut) : std::nullopt;
            if (folder) {
                target = {u"parentid"_s, *folder};
                displayName = *folderPath + u'/' + fileName;
            } else {
                liveConsole().log(u"  Couldn't create "_s + *folderPath +
                                      u" — uploading to the Shared Drive folder root."_s,
                                  LogKind::warning);
                driveName = localName;
                displayName = localName;
            }
        }

        const QStringList createFile = QStringList{u"user"_s,      user,     u"create"_s,        u"drivefile"_s,
                                                   u"localfile"_s, localURL, u"drivefilename"_s, driveName} +
                                       target + QStringList{u"returnidonly"_s};
        const CommandResult upload = co_await runSecurityCommand(createFile, SecurityTimeout::upload);
        const std::optional<QString> fileID =
            upload.exitCode == 0 ? EvidenceFiles::driveIdentifier(upload.stdOut) : std::nullopt;
        if (!fileID) {
            liveConsole().log(u"  Couldn't confirm the upload — keeping the local copy: "_s + localURL,
                              LogKind::warning);
            co_return std::nullopt;
        }

        const QStringList verify{u"user"_s, user, u"show"_s, u"fileinfo"_s, *fileID, u"fields"_s, u"id"_s};
        const CommandResult verified = co_await runSecurityCommand(verify, SecurityTimeout::verification);
        if (verified.exitCode != 0) {
            liveConsole().log(u"  Couldn't verify the file in Drive — keeping the local copy: "_s + localURL,
                              LogKind::warning);
            co_return std::nullopt;
        }

        QFile::remove(localURL);
        liveConsole().log(u"  Uploaded and verified: "_s + displayName + u" — local copy removed."_s, LogKind::success);
        try {
            const QString folder = QFileInfo(localURL).absolutePath();
            if (const auto hash = EvidenceFiles::moveChecksumToUploaded(folder, localName, displayName))
                liveConsole().log(u"  SHA-256 of "_s + displayName + u": "_s + *hash, LogKind::info);
        } catch (const Error &error) {
            liveConsole().log(u"  WARNING: Couldn't record the evidence checksum: "_s + error.description(),
                              LogKind::warning);
        }
        co_return displayName;
    } catch (const std::exception &error) {
        liveConsole().logFailure(error, u"Shared Drive upload"_s);
    }
    co_return std::nullopt;
}

void CheckContext::audit(const QString &user, const QString &action) const {
    try {
        EvidenceFiles::appendAuditLine(requiredPath(auditLogPath(profile), u"audit log file"_s),
                                       EvidenceFiles::auditLine(QDateTime::currentDateTime(), user, action));
    } catch (const Error &error) {
        liveConsole().log(u"  WARNING: Couldn't write the audit log: "_s + error.description(), LogKind::warning);
    }
}
