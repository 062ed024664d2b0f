#pragma once

#include <QString>

// User text (a district name, a typed command) as the text of a menu item or
// button: every "&" stays a character instead of marking a shortcut key.
QString escapeMnemonics(const QString &userText);
