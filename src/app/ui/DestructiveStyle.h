#pragma once

class QPushButton;

// Draws a button as destructive (red text): Qt Widgets has no destructive button
// style of its own on Linux.
void drawAsDestructive(QPushButton *button);
