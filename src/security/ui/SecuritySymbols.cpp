#include "security/ui/SecuritySymbols.h"

#include "app/ui/Icons.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace SecuritySymbols {

namespace {

struct ThemeIcon {
    QString name;
    QStyle::StandardPixmap fallback;
};

ThemeIcon themeIcon(const QString &symbol) {
    static const QHash<QString, ThemeIcon> icons{
        {u"person.3.sequence.fill"_s, {u"system-users"_s, QStyle::SP_DirHomeIcon}},
        {u"rectangle.portrait.and.arrow.right"_s, {u"system-log-out"_s, QStyle::SP_DialogCloseButton}},
        {u"key.fill"_s, {u"dialog-password"_s, QStyle::SP_DialogApplyButton}},
        {u"app.badge.checkmark"_s, {u"application-x-addon"_s, QStyle::SP_DesktopIcon}},
        {u"line.3.horizontal.decrease.circle"_s, {u"edit-clear-all"_s, QStyle::SP_FileDialogListView}},
        {u"arrowshape.turn.up.right"_s, {u"mail-forward"_s, QStyle::SP_ArrowForward}},
        {u"person.2"_s, {u"emoji-people"_s, QStyle::SP_DirHomeIcon}},
        {u"list.bullet.rectangle"_s, {u"view-list-bullet"_s, QStyle::SP_FileDialogDetailedView}},
        {u"exclamationmark.shield"_s, {u"security-low"_s, QStyle::SP_MessageBoxWarning}},
        {u"scope"_s, {u"find-location"_s, QStyle::SP_FileDialogContentsView}},
        {u"clock.arrow.circlepath"_s, {u"document-open-recent"_s, QStyle::SP_BrowserReload}},
        {u"calendar"_s, {u"x-office-calendar"_s, QStyle::SP_FileDialogInfoView}},
        {u"externaldrive.badge.person.crop"_s, {u"folder-publicshare"_s, QStyle::SP_DriveNetIcon}},
        {u"signature"_s, {u"document-edit"_s, QStyle::SP_FileIcon}},
        {u"lock.shield"_s, {u"security-high"_s, QStyle::SP_VistaShield}},
        {u"bell.badge"_s, {u"preferences-system-notifications"_s, QStyle::SP_MessageBoxInformation}},
        {u"magnifyingglass"_s, {u"system-search"_s, QStyle::SP_FileDialogContentsView}},
        {u"checklist"_s, {u"checkbox-checked"_s, QStyle::SP_DialogApplyButton}},
        {u"globe"_s, {u"web-browser"_s, QStyle::SP_DriveNetIcon}},
        {u"exclamationmark.triangle.fill"_s, {u"dialog-warning"_s, QStyle::SP_MessageBoxWarning}},
        {u"checkmark.circle.fill"_s, {u"emblem-ok"_s, QStyle::SP_DialogApplyButton}},
        {u"info.circle.fill"_s, {u"dialog-information"_s, QStyle::SP_MessageBoxInformation}},
        {u"person.crop.circle.fill"_s, {u"avatar-default"_s, QStyle::SP_DirHomeIcon}},
        {u"person.crop.circle.badge.questionmark"_s, {u"user-status-pending"_s, QStyle::SP_MessageBoxQuestion}},
        {u"lock.fill"_s, {u"system-lock-screen"_s, QStyle::SP_VistaShield}},
        {u"doc.text"_s, {u"text-x-generic"_s, QStyle::SP_FileIcon}},
        {u"icloud.and.arrow.up"_s, {u"send-to"_s, QStyle::SP_ArrowUp}},
    };
    return icons.value(symbol, {u"image-missing"_s, QStyle::SP_FileIcon});
}

} // namespace

QIcon icon(const QString &symbol) {
    const ThemeIcon found = themeIcon(symbol);
    return Icons::themed(found.name, found.fallback);
}

QPixmap tinted(const QString &symbol, const QColor &color, int size) {
    const ThemeIcon found = themeIcon(symbol);
    return Icons::tinted(found.name, found.fallback, color, size);
}

QColor danger() {
    return QColor(0xc0, 0x1c, 0x28);
}

QColor ok() {
    return QColor(0x26, 0xa2, 0x69);
}

} // namespace SecuritySymbols
