#include "tabs/ui/FormPage.h"

#include <QVBoxLayout>
#include <QWidget>

void layOutFormPage(QWidget *page, const QList<QWidget *> &sections, QWidget *actionBar, QWidget *growing) {
    auto *column = new QVBoxLayout;
    column->setContentsMargins(20, 12, 20, 12);
    column->setSpacing(12);
    for (QWidget *section : sections)
        column->addWidget(section, section == growing ? 1 : 0);
    if (!growing)
        column->addStretch();

    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(column, 1);
    layout->addWidget(actionBar);
}
