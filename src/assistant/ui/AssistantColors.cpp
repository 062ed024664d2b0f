#include "assistant/ui/AssistantColors.h"

namespace AssistantColors {

namespace {

bool isDark(const QPalette &palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor mixed(const QColor &base, const QColor &tint, float share) {
    return QColor::fromRgbF(base.redF() + (tint.redF() - base.redF()) * share,
                            base.greenF() + (tint.greenF() - base.greenF()) * share,
                            base.blueF() + (tint.blueF() - base.blueF()) * share);
}

} // namespace

QColor warning(const QPalette &palette) {
    return isDark(palette) ? QColor(255, 170, 64) : QColor(179, 92, 0);
}

QColor bubble(const QPalette &palette) {
    return mixed(palette.color(QPalette::Base), palette.color(QPalette::Highlight), isDark(palette) ? 0.35f : 0.18f);
}

QColor codeBackground(const QPalette &palette) {
    return mixed(palette.color(QPalette::Window), palette.color(QPalette::WindowText), isDark(palette) ? 0.08f : 0.05f);
}

QColor secondaryText(const QPalette &palette) {
    return palette.color(QPalette::PlaceholderText);
}

} // namespace AssistantColors
