#include "profiles/GAMLocationSettings.h"

#include "core/DesktopServices.h"
#include "core/GAM.h"
#include "profiles/DomainProfile.h"

#include <QPointer>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

const QString gamPathKey = u"gamPath"_s;

} // namespace

GAMLocationSettings::GAMLocationSettings(DesktopServices *desktop, QObject *parent)
    : QObject(parent)
    , m_desktop(desktop) {}

QString GAMLocationSettings::path() const {
    return QSettings().value(gamPathKey).toString();
}

QString GAMLocationSettings::locationText() const {
    return isAutodetect() ? u"Auto-detect"_s : path();
}

std::optional<QString> GAMLocationSettings::located() const {
    return GAM::locateGAM();
}

void GAMLocationSettings::setPath(const QString &path) {
    if (path == this->path())
        return;
    QSettings().setValue(gamPathKey, path);
    Q_EMIT changed();
}

void GAMLocationSettings::useAutodetect() {
    setPath(QString());
}

QCoro::Task<> GAMLocationSettings::choose() {
    QPointer<GAMLocationSettings> self(this);
    const std::optional<QString> chosen =
        co_await m_desktop->chooseOpenFile(u"Select the gam executable"_s, QString(), homeDirectory() + u"/bin"_s);
    if (self && chosen)
        self->setPath(*chosen);
}
