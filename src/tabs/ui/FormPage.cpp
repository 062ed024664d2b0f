#include "tabs/ui/FormPage.h"

#include <QScrollArea>
#include <QVBoxLayout>

void layOutFormPage(QWidget *page, const QList<QWidget *> &sections, QWidget *actionBar, QWidget *growing) {
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(20, 12, 20, 12);
    column->setSpacing(12);
    for (QWidget *section : sections)
        column->addWidget(section, section == growing ? 1 : 0);
    if (!growing)
        column->addStretch();

    auto *scroll = new QScrollArea;
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);

    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(scroll, 1);
    layout->addWidget(actionBar);
}
