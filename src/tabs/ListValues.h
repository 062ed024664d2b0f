#pragma once

#include <QStringList>

// Splits at every newline character (LF, CR, CR LF, VT, FF, NEL, LS, PS) and
// trims each piece of spaces and tabs only; empty pieces are dropped.
QStringList splitListValues(const QString &text);
