#pragma once

#include <QString>

// Texts that name platform things (shortcuts, the file manager, the keyring),
// decided in one place so every message says the same.
namespace PlatformTexts {

// "Settings (Ctrl+,)": how messages send the user to the Settings window.
QString settingsReference();
// "Ctrl+,"
QString settingsShortcut();
// "Show in File Manager"
QString revealInFileManager();
// "keyring"
QString keychain();
// "your system keyring"
QString yourKeychain();
// "Ctrl-click or Shift-click": how a table's rows are added to the selection.
QString multiSelectClicks();

} // namespace PlatformTexts
