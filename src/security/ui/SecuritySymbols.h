#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

// The Security tab's symbols: the system symbol names the checks and flags are
// given, as icons of the desktop's theme.
namespace SecuritySymbols {

QIcon icon(const QString &symbol);
QPixmap tinted(const QString &symbol, const QColor &color, int size);

// The colours of the flags and marks.
QColor danger();
QColor ok();

} // namespace SecuritySymbols
