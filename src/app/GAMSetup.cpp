#include "app/GAMSetup.h"

#include "core/Console.h"
#include "core/DesktopServices.h"
#include "core/Error.h"
#include "core/GAM.h"
#include "core/PlatformTexts.h"
#include "core/SpaceTrim.h"
#include "profiles/ProfileStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr double versionTimeoutSeconds = 30;
constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

QString firstNonBlankLine(const QString &output) {
    static const QRegularExpression lineBreaks(u"\r\n|[\n\v\f\r\u0085\u2028\u2029]"_s);
    const QStringList lines = output.split(lineBreaks, Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QString trimmed = trimSpacesAndTabs(line);
        if (!trimmed.isEmpty())
            return trimmed;
    }
    return {};
}

bool isDecimal(const QString &text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// The title as one shell word: terminals that read their command as a shell line
// would split a name at its spaces or quotes.
QString scriptFileName(const QString &title) {
    QString name = title;
    for (QChar &c : name)
        if (!c.isLetterOrNumber() && c != u'.' && c != u'_' && c != u'-')
            c = u'-';
    return name + u".command"_s;
}

QString sectionSuffix(const DomainProfile &profile, const QString &separator) {
    const auto section = profile.effectiveSection();
    return section ? separator + *section : QString();
}

} // namespace

QUrl GAMSetup::wikiURL() {
    return QUrl(u"https://github.com/GAM-team/GAM/wiki"_s);
}

QUrl GAMSetup::upgradeGuideURL(Problem::Kind kind) {
    switch (kind) {
    case Problem::Kind::gamadvXTD3:
        return QUrl(u"https://github.com/GAM-team/GAM/wiki/How-to-Upgrade-GAMADV-XTD3-to-GAM7"_s);
    case Problem::Kind::legacyGAM:
        return QUrl(u"https://github.com/GAM-team/GAM/wiki/How-to-Upgrade-Legacy-GAM-to-GAM7"_s);
    case Problem::Kind::notFound:
        break;
    }
    return wikiURL();
}

QString GAMSetup::installerScriptAddress() {
    return u"https://git.io/gam-install"_s;
}

QString GAMSetup::gamadvPublisher() {
    return u"taers232c"_s;
}

GAMSetup::GAMSetup(Console *console, QObject *parent)
    : QObject(parent)
    , m_console(console) {}

GAMSetup::~GAMSetup() {
    m_checkRuns.kill();
}

void GAMSetup::dismissBanner() {
    if (m_bannerDismissed)
        return;
    m_bannerDismissed = true;
    Q_EMIT bannerDismissedChanged();
}

void GAMSetup::setProblem(std::optional<Problem> problem) {
    if (problem == m_problem)
        return;
    m_problem = std::move(problem);
    Q_EMIT problemChanged();
}

void GAMSetup::setChecking(bool checking) {
    if (checking == m_checking)
        return;
    m_checking = checking;
    Q_EMIT checkingChanged();
}

QCoro::Task<> GAMSetup::check() {
    const QPointer<GAMSetup> self = this;
    Console *console = m_console;
    const DomainProfile profile = currentActiveProfile();
    console->log(u"Domain: "_s + profile.displayName() + sectionSuffix(profile, u" — section "_s), LogKind::info);
    setChecking(true);

    const std::optional<QString> located = GAM::locateGAM();
    if (!located) {
        console->log(u"WARNING: 'gam' not found. Install GAM7, or choose its location in "_s +
                         PlatformTexts::settingsReference() + u"."_s,
                     LogKind::warning);
        console->log(u"  Install guide: "_s + wikiURL().toString(), LogKind::warning);
        setProblem(Problem::notFound());
        setChecking(false);
        co_return;
    }
    const QString path = *located;

    std::optional<CommandResult> result;
    // Built outside the co_await: GCC 12 mishandles braced lists inside it.
    const QStringList arguments(u"version"_s);
    try {
        result = co_await GAM::runGAM(arguments, versionTimeoutSeconds, GAM::ProfileChoice::active(), m_checkRuns);
    } catch (const std::exception &error) {
        // Only the destructor cancels a check, and the console may be gone by then.
        if (!self || dynamic_cast<const Cancelled *>(&error))
            co_return;
        console->log(u"WARNING: Running 'gam version' at "_s + path + u" failed."_s, LogKind::warning);
        console->logFailure(error, u"gam version"_s);
    }
    if (!self)
        co_return;

    std::optional<Problem> candidate;
    if (result) {
        const Version version = classifyVersion(result->stdOut);
        switch (version.kind) {
        case VersionKind::gam7:
            console->log(u"Using GAM "_s + version.text + u" at "_s + path, LogKind::info);
            checkConfigFolder();
            break;
        case VersionKind::gamadvXTD3:
            console->log(u"WARNING: "_s + path + u" is GAMADV-XTD3 "_s + version.text +
                             u", which has been replaced by GAM7."_s,
                         LogKind::warning);
            console->log(u"  Most commands should still work, but some output or exit codes may differ."_s,
                         LogKind::warning);
            console->log(u"  Upgrade guide: "_s + upgradeGuideURL(Problem::Kind::gamadvXTD3).toString(),
                         LogKind::warning);
            candidate = Problem{Problem::Kind::gamadvXTD3, version.text, path};
            break;
        case VersionKind::legacyGAM:
            console->log(u"WARNING: "_s + path + u" is GAM "_s + version.text +
                             u". This app requires GAM7; OU and domain-wide Drive scans will not work."_s,
                         LogKind::warning);
            console->log(u"  Upgrade guide: "_s + upgradeGuideURL(Problem::Kind::legacyGAM).toString(),
                         LogKind::warning);
            candidate = Problem{Problem::Kind::legacyGAM, version.text, path};
            break;
        case VersionKind::unrecognised:
            console->log(u"WARNING: Couldn't identify the GAM version at "_s + path + u"."_s, LogKind::warning);
            if (!version.text.isEmpty())
                console->log(u"  'gam version' said: "_s + version.text, LogKind::warning);
            console->logOutput(result->stdErr, LogKind::warning, 15);
            break;
        }
    }

    // An outdated gam chosen in Settings may hide a GAM7 the user has since installed.
    const QString configured = QSettings().value(u"gamPath"_s).toString();
    if (candidate && !configured.isEmpty()) {
        const std::optional<QString> detected = GAM::autodetectGAM();
        if (detected && *detected != configured)
            console->log(u"  Settings is set to use "_s + configured + u". Choose Auto-detect in "_s +
                             PlatformTexts::settingsReference() + u" to use "_s + *detected + u" instead."_s,
                         LogKind::warning);
    }

    setProblem(std::move(candidate));
    setChecking(false);
}

GAMSetup::Version GAMSetup::classifyVersion(const QString &output) {
    const QString line = firstNonBlankLine(output);
    const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
    if (words.size() < 2)
        return {line, VersionKind::unrecognised};

    const QString name = words.at(0).toUpper();
    const QString version = words.at(1);
    const QString majorText = version.section(u'.', 0, 0);
    if (!isDecimal(majorText))
        return {line, VersionKind::unrecognised};

    if (name.contains(u"GAMADV"_s) || line.contains(gamadvPublisher(), Qt::CaseInsensitive))
        return {version, VersionKind::gamadvXTD3};
    if (name == u"GAM"_s) {
        bool fits = false;
        const qulonglong major = majorText.toULongLong(&fits);
        // Too many digits to fit is still a number greater than 6.
        return {version, (!fits || major > 6) ? VersionKind::gam7 : VersionKind::legacyGAM};
    }
    return {line, VersionKind::unrecognised};
}

void GAMSetup::checkConfigFolder() {
    const DomainProfile profile = currentActiveProfile();
    const QString folder = profile.effectiveConfigDir();
    const QString label = GAM::activeConfigDir() ? u"from domain profile"_s : u"default"_s;
    if (QFileInfo::exists(QDir(folder).filePath(u"gam.cfg"_s))) {
        m_console->log(u"  Config folder: "_s + folder + u" ("_s + label + u")"_s, LogKind::info);
        return;
    }
    m_console->log(u"WARNING: No gam.cfg in the config folder "_s + folder + u" ("_s + label + u")."_s,
                   LogKind::warning);
    m_console->log(u"  If you set GAMCFGDIR in your shell profile, open "_s + PlatformTexts::settingsReference() +
                       u" → Domains and use Detect from Shell or choose that folder for this domain."_s,
                   LogKind::warning);
}

void GAMSetup::offerInstall() {
    if (!m_problem)
        return;
    GAMInstaller::Mode mode = GAMInstaller::Mode::upgradeOnly;
    QString explanation;
    switch (m_problem->kind) {
    case Problem::Kind::notFound:
        mode = GAMInstaller::Mode::fullInstall;
        explanation = u"It will download GAM7 to ~/bin/gam7, then ask for your Google Workspace admin email and "
                      u"open your browser to create a project and authorize GAM."_s;
        break;
    case Problem::Kind::gamadvXTD3:
        explanation = u"It will download GAM7 to ~/bin/gam7 and keep your existing GAMADV-XTD3 project and "
                      u"credentials. Your current install isn't removed."_s;
        break;
    case Problem::Kind::legacyGAM:
        explanation = u"It will download GAM7 to ~/bin/gam7. Your current install isn't removed. Legacy GAM keeps "
                      u"its credentials in its own folder, so afterwards follow the Legacy upgrade guide to move "
                      u"them."_s;
        break;
    }
    AlertItem alert;
    alert.title = u"Install GAM7?"_s;
    alert.confirmTitle = u"Open Terminal"_s;
    alert.message = u"This opens Terminal and runs the official installer from GAM-team:\n\n"_s +
                    installerCommand(mode) + u"\n\n"_s + explanation +
                    u"\n\nWhen it finishes, come back and click Re-check."_s;
    const QPointer<GAMSetup> self = this;
    alert.onConfirm = [self, mode] {
        if (self)
            self->launchInstaller(mode);
    };
    m_console->setAlert(std::move(alert));
}

QString GAMSetup::installerCommand(GAMInstaller::Mode mode) {
    QString command = u"bash <(curl -s -S -L "_s + installerScriptAddress() + u")"_s;
    if (mode == GAMInstaller::Mode::upgradeOnly)
        command += u" -l"_s;
    return command;
}

QString GAMSetup::installerScript(GAMInstaller::Mode mode) {
    const QString command = installerCommand(mode);
    const QStringList lines{
        u"#!/bin/bash"_s,
        u"clear"_s,
        u"echo \"Running the official GAM7 installer from GAM-team:\""_s,
        u"echo \"  "_s + command + u"\""_s,
        u"echo"_s,
        command,
        u"echo"_s,
        u"echo \"When the installer has finished, return to Tarnwick and click Re-check.\""_s,
    };
    return lines.join(u'\n') + u'\n';
}

QCoro::Task<> GAMSetup::launchInstaller(GAMInstaller::Mode mode) {
    try {
        openInTerminal(m_console->desktop(), writeCommandScript(installerScript(mode), u"Install GAM7"_s));
        m_console->log(u"Opened the GAM7 installer in Terminal. Click Re-check when it has finished."_s, LogKind::info);
    } catch (const Error &error) {
        m_console->showAlert(u"Couldn't Open Terminal"_s,
                             error.description() + u"\n\nYou can run the installer yourself in Terminal:\n\n"_s +
                                 installerCommand(mode));
    }
    co_return;
}

QString GAMSetup::writeCommandScript(const QString &contents, const QString &title) {
    const QString folder = QDir(QDir::tempPath()).filePath(u"Tarnwick-Installer"_s);
    if (!QDir().mkpath(folder))
        throw Error(u"Couldn't create the folder "_s + folder + u"."_s);
    // The temporary folder is shared: never run a script from a folder someone else controls.
    const QFileInfo folderInfo(folder);
    if (folderInfo.isSymLink() || folderInfo.ownerId() != ::getuid() || !QFile::setPermissions(folder, ownerOnly))
        throw Error(u"The folder "_s + folder + u" belongs to someone else or can't be made private."_s);

    const QString path = QDir(folder).filePath(scriptFileName(title));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(u"Couldn't write "_s + path + u": "_s + file.errorString());
    file.write(contents.toUtf8());
    if (!file.commit())
        throw Error(u"Couldn't write "_s + path + u": "_s + file.errorString());
    if (!QFile::setPermissions(path, ownerOnly))
        throw Error(u"Couldn't make "_s + path + u" executable."_s);
    return path;
}

void GAMSetup::openInTerminal(DesktopServices *desktop, const QString &file) {
    if (!desktop->openInTerminal(file))
        throw Error(u"No terminal emulator could be started for "_s + file +
                    u". Set the TERMINAL environment variable to your terminal, or install one such as xterm."_s);
}
