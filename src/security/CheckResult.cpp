#include "security/CheckResult.h"

#include "core/SpaceTrim.h"

#include <QSettings>

using namespace Qt::StringLiterals;

PasswordLogMode passwordLogMode(const QString &setting) {
    const QString mode = trimSpacesAndTabs(setting);
    if (mode == u"local"_s)
        return PasswordLogMode::local;
    if (mode == u"drive"_s)
        return PasswordLogMode::drive;
    return PasswordLogMode::none;
}

PasswordLogMode currentPasswordLogMode() {
    return passwordLogMode(QSettings().value(u"security.passwordLogMode"_s).toString());
}
