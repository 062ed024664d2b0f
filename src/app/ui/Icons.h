#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QStyle>

// The symbols the window uses, named once and mapped to freedesktop theme icons
// with a Qt standard icon behind each, so none is ever blank.
namespace Icons {

enum class Symbol {
    envelope,
    externalDrive,
    graduationCap,
    lockShield,
    terminal,
    building,
    warning,
    xmark,
    checkmark,
    failure,
    key,
    network,
    info,
    plus,
    minus,
    lock,
    folder,
    chatBubble,
};

// Falls back to the Adwaita theme when the platform names none (offscreen, bare X sessions).
void installThemeFallback();

QIcon icon(Symbol symbol);
// The icon drawn in one colour (symbolic icons are monochrome), e.g. the orange warning triangle.
QPixmap tinted(Symbol symbol, const QColor &color, int size);

// The same for any freedesktop icon name, with a Qt standard icon behind it.
QIcon themed(const QString &themeName, QStyle::StandardPixmap fallback);
QPixmap tinted(const QString &themeName, QStyle::StandardPixmap fallback, const QColor &color, int size);
// The application's own icon.
QIcon appIcon();

} // namespace Icons
