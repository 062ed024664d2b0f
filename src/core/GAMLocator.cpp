#include "core/GAMLocator.h"

#include "core/GAM.h"
#include "profiles/ProfileStore.h"

#include <QFileInfo>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

bool isExecutableFile(const QString &path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

namespace GAM {

QStringList gamCandidates(const QString &home, const QString &pathVariable) {
    QStringList candidates{home + u"/bin/gam7/gam"_s, home + u"/bin/gam/gam"_s, u"/usr/local/bin/gam"_s,
                           u"/opt/homebrew/bin/gam"_s, home + u"/bin/gamadv-xtd3/gam"_s};
    const QStringList components = pathVariable.split(u':', Qt::SkipEmptyParts);
    for (const QString &component : components)
        candidates.append(component + u"/gam"_s);
    return candidates;
}

std::optional<QString> autodetectGAM() {
    const QStringList candidates = gamCandidates(homeDirectory(), qEnvironmentVariable("PATH"));
    for (const QString &candidate : candidates) {
        if (isExecutableFile(candidate))
            return candidate;
    }
    return std::nullopt;
}

std::optional<QString> locateGAM() {
    const QString chosen = QSettings().value(u"gamPath"_s).toString();
    if (chosen.isEmpty())
        return autodetectGAM();
    // A wrong manual choice must report "not found", never silently run another gam.
    if (isExecutableFile(chosen))
        return chosen;
    return std::nullopt;
}

std::optional<QString> activeConfigDir() {
    const QString configDir = currentActiveProfile().configDir;
    if (configDir.isEmpty())
        return std::nullopt;
    return expandTilde(configDir);
}

} // namespace GAM
