#pragma once

#include <QList>

class QWidget;

// Stacks a tab's sections in a column with the action bar pinned below;
// the growing section takes the spare height, else it stays below the sections.
void layOutFormPage(QWidget *page, const QList<QWidget *> &sections, QWidget *actionBar, QWidget *growing = nullptr);
