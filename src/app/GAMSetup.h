#pragma once

#include "core/CancelToken.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QUrl>
#include <optional>

class Console;
class DesktopServices;

namespace GAMInstaller {

// fullInstall: no GAM yet, install and set up a project; upgradeOnly: install
// GAM7 beside an existing GAM and keep its credentials.
enum class Mode { fullInstall, upgradeOnly };

} // namespace GAMInstaller

// Finds the gam that runs would use, classifies it, logs what it found and
// raises the setup banner when it is missing, too old, or the domain has no gam.cfg.
class GAMSetup : public QObject {
    Q_OBJECT
public:
    struct Problem {
        enum class Kind { gamadvXTD3, legacyGAM, notFound };
        Kind kind = Kind::notFound;
        QString version;
        QString path;

        static Problem notFound() { return {}; }
        bool operator==(const Problem &) const = default;
    };

    enum class VersionKind { gam7, gamadvXTD3, legacyGAM, unrecognised };
    struct Version {
        // The version text, or the first line when unrecognised.
        QString text;
        VersionKind kind = VersionKind::unrecognised;
        bool operator==(const Version &) const = default;
    };

    // GAM-team's addresses; GAMADV-XTD3's publisher account marks its version line.
    static QUrl wikiURL();
    static QUrl upgradeGuideURL(Problem::Kind kind);
    static QString installerScriptAddress();
    static QString gamadvPublisher();

    explicit GAMSetup(Console *console, QObject *parent = nullptr);
    // Kills the checks still running, which then end without a word.
    ~GAMSetup() override;

    const std::optional<Problem> &problem() const { return m_problem; }
    bool isChecking() const { return m_checking; }
    bool isBannerDismissed() const { return m_bannerDismissed; }
    void dismissBanner();

    QCoro::Task<> check();
    static Version classifyVersion(const QString &output);
    void checkConfigFolder();

    void offerInstall();
    QCoro::Task<> launchInstaller(GAMInstaller::Mode mode);
    static QString installerCommand(GAMInstaller::Mode mode);
    static QString installerScript(GAMInstaller::Mode mode);

    // The script launcher: an owner-only executable file in the temporary
    // folder, opened in the user's terminal emulator. Both throw Error. The file
    // is named after the title with every space, quote or other sign but ".", "_"
    // and "-" turned into "-" ("Install GAM7" gives "Install-GAM7.command").
    static QString writeCommandScript(const QString &contents, const QString &title);
    static void openInTerminal(DesktopServices *desktop, const QString &file);

Q_SIGNALS:
    void problemChanged();
    void checkingChanged();
    void bannerDismissedChanged();

private:
    void setProblem(std::optional<Problem> problem);
    void setChecking(bool checking);

    Console *m_console;
    // Every check's gam run; the checks run outside the console's task.
    CancelToken m_checkRuns;
    std::optional<Problem> m_problem;
    bool m_checking = false;
    bool m_bannerDismissed = false;
};
