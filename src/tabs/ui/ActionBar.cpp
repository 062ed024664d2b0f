#include "tabs/ui/ActionBar.h"

#include "app/ui/DestructiveStyle.h"
#include "core/Console.h"

#include <QHBoxLayout>
#include <QPushButton>

using namespace Qt::StringLiterals;

ActionBar::ActionBar(Console *console, std::function<void()> onClear, const QList<QPushButton *> &actions,
                     QWidget *parent)
    : QWidget(parent) {
    auto *clear = new QPushButton(u"Clear Fields"_s);
    clear->setObjectName(u"clearFieldsButton"_s);
    connect(clear, &QPushButton::clicked, this, [onClear = std::move(onClear)] { onClear(); });

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(20, 0, 20, 12);
    layout->addWidget(clear);
    layout->addStretch();
    for (QPushButton *button : actions)
        layout->addWidget(button);

    setEnabled(!console->isBusy());
    connect(console, &Console::busyChanged, this, [this](bool busy) { setEnabled(!busy); });
}

QPushButton *ActionBar::destructiveButton(const QString &text) {
    auto *button = new QPushButton(text);
    drawAsDestructive(button);
    return button;
}
