#pragma once

#include "core/CancelToken.h"
#include "core/GAM.h"
#include "profiles/DomainProfile.h"
#include "security/CheckResult.h"

#include <QCoroTask>
#include <QPointer>

class Console;

// Time-outs in seconds.
namespace SecurityTimeout {
inline constexpr double command = 120;
inline constexpr double report = 300;
inline constexpr double upload = 300;
inline constexpr double fileListing = 600;
inline constexpr double verification = 60;
inline constexpr double domainReport = 1800;
} // namespace SecurityTimeout

// The active profile's evidence folder: exportDir trimmed, "~" expanded.
QString evidenceFolder(const DomainProfile &profile);
// The active profile's audit log: auditLog trimmed, "~" expanded.
QString auditLogPath(const DomainProfile &profile);
// A Shared Drive folder (not the placeholder) and the account that uploads are both set.
bool isDriveUploadConfigured(const DomainProfile &profile);

// What one Security task works with: the console (gone when the window closes
// mid-run), the task's cancel token and the domain profile it started on. The
// operations throw Cancelled once the console is gone, so a check body never
// outlives what it reports to.
struct CheckContext {
    QPointer<Console> console;
    CancelToken cancel;
    DomainProfile profile;

    // The console, or Cancelled when it is gone.
    Console &liveConsole() const;

    // Logs ">> " and the command line (or display, where the arguments hold a
    // password), runs gam with the active profile and logs its standard error.
    // Throws the runner's errors.
    QCoro::Task<CommandResult> runSecurityCommand(QStringList arguments, double timeout,
                                                  std::optional<QString> display = std::nullopt) const;

    // Saves the content as evidence for user (nothing when it is blank) and moves
    // it to the Shared Drive when that is configured. Failures are logged.
    QCoro::Task<QList<EvidenceItem>> saveEvidence(QString content, QString user, QString category) const;
    // Uploads and verifies a local file; the Drive display name, or none when the
    // local copy stays. Failures are logged.
    QCoro::Task<std::optional<QString>> uploadToDrive(QString localURL, std::optional<QString> folderPath,
                                                      QString fileName) const;
    // Appends one line to the audit log; a failure is logged, never raised.
    void audit(const QString &user, const QString &action) const;
};
