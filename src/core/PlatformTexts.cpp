#include "core/PlatformTexts.h"

namespace PlatformTexts {

QString settingsShortcut() {
    return QStringLiteral("Ctrl+,");
}
QString settingsReference() {
    return QStringLiteral("Settings (") + settingsShortcut() + QStringLiteral(")");
}
QString revealInFileManager() {
    return QStringLiteral("Show in File Manager");
}
QString keychain() {
    return QStringLiteral("keyring");
}
QString yourKeychain() {
    return QStringLiteral("your system keyring");
}
QString multiSelectClicks() {
    return QStringLiteral("Ctrl-click or Shift-click");
}

} // namespace PlatformTexts
