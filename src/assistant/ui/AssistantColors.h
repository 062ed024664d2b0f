#pragma once

#include <QColor>
#include <QPalette>

// Colours of the assistant panel that must read on light and dark palettes.
namespace AssistantColors {

// The "Changes data" label and error notices: orange, darker on light backgrounds.
QColor warning(const QPalette &palette);
// The tint of the user's question bubbles.
QColor bubble(const QPalette &palette);
// The box around a code block, over the window's colour (the reply's own base is transparent).
QColor codeBackground(const QPalette &palette);
QColor secondaryText(const QPalette &palette);

} // namespace AssistantColors
