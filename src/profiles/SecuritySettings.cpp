#include "profiles/SecuritySettings.h"

#include "core/DesktopServices.h"
#include "profiles/DomainProfile.h"

#include <QPointer>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

const QString iocFileKey = u"security.iocFile"_s;
const QString passwordLogModeKey = u"security.passwordLogMode"_s;
const QString defaultPasswordLogMode = u"none"_s;

} // namespace

SecuritySettings::SecuritySettings(DesktopServices *desktop, QObject *parent)
    : QObject(parent)
    , m_desktop(desktop) {}

QString SecuritySettings::defaultIOCFile() {
    return homeDirectory() + u"/known_iocs.txt"_s;
}

QString SecuritySettings::iocFilePath() {
    const QString stored = QSettings().value(iocFileKey).toString();
    return stored.isEmpty() ? defaultIOCFile() : stored;
}

QString SecuritySettings::passwordLogMode() {
    return QSettings().value(passwordLogModeKey, defaultPasswordLogMode).toString();
}

QList<SecuritySettings::PasswordLogChoice> SecuritySettings::passwordLogChoices() {
    return {
        {u"none"_s, u"Screen only (recommended)"_s},
        {u"local"_s, u"Also save locally (owner-only file)"_s},
        {u"drive"_s, u"Save and upload to Shared Drive"_s},
    };
}

QString SecuritySettings::storedIOCFile() const {
    return QSettings().value(iocFileKey).toString();
}

void SecuritySettings::setIOCFile(const QString &path) {
    if (path == storedIOCFile())
        return;
    QSettings().setValue(iocFileKey, path);
    Q_EMIT changed();
}

void SecuritySettings::useDefaultIOCFile() {
    setIOCFile(QString());
}

QCoro::Task<> SecuritySettings::chooseIOCFile() {
    QPointer<SecuritySettings> self(this);
    const std::optional<QString> chosen = co_await m_desktop->chooseFileLocation(fileLocationMessage(), iocFilePath());
    if (self && chosen)
        self->setIOCFile(*chosen);
}

void SecuritySettings::setPasswordLogMode(const QString &mode) {
    if (mode == passwordLogMode())
        return;
    QSettings().setValue(passwordLogModeKey, mode);
    Q_EMIT changed();
}

QString SecuritySettings::fileLocationMessage() {
    return u"Choose where this file is (or will be) kept. Existing files are appended to, never replaced."_s;
}
