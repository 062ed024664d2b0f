#include "app/ui/DestructiveStyle.h"

#include <QPushButton>

void drawAsDestructive(QPushButton *button) {
    const QColor red(0xc0, 0x1c, 0x28);
    QPalette palette = button->palette();
    palette.setColor(QPalette::Active, QPalette::ButtonText, red);
    palette.setColor(QPalette::Inactive, QPalette::ButtonText, red);
    button->setPalette(palette);
}
