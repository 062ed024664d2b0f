#include "app/ui/Icons.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

using namespace Qt::StringLiterals;

// Resources compiled into a static library must be registered by hand.
static void initResources() {
    Q_INIT_RESOURCE(tarnwick);
}

namespace Icons {

namespace {

struct Mapping {
    QString themeName;
    QStyle::StandardPixmap fallback;
};

Mapping mapping(Symbol symbol) {
    switch (symbol) {
    case Symbol::envelope:
        return {u"mail-unread"_s, QStyle::SP_FileDialogDetailedView};
    case Symbol::externalDrive:
        return {u"drive-harddisk"_s, QStyle::SP_DriveHDIcon};
    case Symbol::graduationCap:
        return {u"accessories-dictionary"_s, QStyle::SP_FileDialogInfoView};
    case Symbol::lockShield:
        return {u"security-high"_s, QStyle::SP_VistaShield};
    case Symbol::terminal:
        return {u"utilities-terminal"_s, QStyle::SP_ComputerIcon};
    case Symbol::building:
        return {u"network-workgroup"_s, QStyle::SP_DirHomeIcon};
    case Symbol::warning:
        return {u"dialog-warning"_s, QStyle::SP_MessageBoxWarning};
    case Symbol::xmark:
        return {u"window-close"_s, QStyle::SP_TitleBarCloseButton};
    case Symbol::checkmark:
        return {u"emblem-ok"_s, QStyle::SP_DialogApplyButton};
    case Symbol::failure:
        return {u"dialog-error"_s, QStyle::SP_MessageBoxCritical};
    case Symbol::key:
        return {u"dialog-password"_s, QStyle::SP_VistaShield};
    case Symbol::network:
        return {u"network-transmit-receive"_s, QStyle::SP_DriveNetIcon};
    case Symbol::info:
        return {u"dialog-information"_s, QStyle::SP_MessageBoxInformation};
    case Symbol::plus:
        return {u"list-add"_s, QStyle::SP_FileDialogNewFolder};
    case Symbol::minus:
        return {u"list-remove"_s, QStyle::SP_TrashIcon};
    case Symbol::lock:
        return {u"changes-prevent"_s, QStyle::SP_VistaShield};
    case Symbol::folder:
        return {u"folder-open"_s, QStyle::SP_DirOpenIcon};
    case Symbol::chatBubble:
        return {u"chat-message-new"_s, QStyle::SP_MessageBoxQuestion};
    }
    return {u"image-missing"_s, QStyle::SP_FileIcon};
}

} // namespace

void installThemeFallback() {
    QIcon::setFallbackThemeName(u"Adwaita"_s);
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == u"hicolor"_s)
        QIcon::setThemeName(u"Adwaita"_s);
}

QIcon icon(Symbol symbol) {
    const Mapping m = mapping(symbol);
    return themed(m.themeName, m.fallback);
}

QPixmap tinted(Symbol symbol, const QColor &color, int size) {
    const Mapping m = mapping(symbol);
    return tinted(m.themeName, m.fallback, color, size);
}

QIcon themed(const QString &themeName, QStyle::StandardPixmap fallback) {
    // Recent Adwaita ships many icons only in their symbolic form.
    for (const QString &name : QStringList{themeName, themeName + u"-symbolic"_s}) {
        const QIcon found = QIcon::fromTheme(name);
        if (!found.isNull())
            return found;
    }
    QIcon standard = QApplication::style()->standardIcon(fallback);
    if (standard.isNull())
        standard = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return standard;
}

QPixmap tinted(const QString &themeName, QStyle::StandardPixmap fallback, const QColor &color, int size) {
    // The symbolic form draws its details as holes, so they survive the tint.
    QIcon source = QIcon::fromTheme(themeName + u"-symbolic"_s);
    if (source.isNull())
        source = themed(themeName, fallback);
    QPixmap pixmap = source.pixmap(size, size);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    return pixmap;
}

QIcon appIcon() {
    initResources();
    return QIcon(u":/icons/tarnwick.svg"_s);
}

} // namespace Icons
