#pragma once

#include <QList>
#include <QWidget>
#include <functional>

class Console;
class QPushButton;

// The row that closes a tab's form: "Clear Fields" on the left, the tab's own
// buttons on the right. All of it is disabled while any console task runs.
class ActionBar : public QWidget {
    Q_OBJECT
public:
    ActionBar(Console *console, std::function<void()> onClear, const QList<QPushButton *> &actions,
              QWidget *parent = nullptr);

    // A push button drawn as destructive (red text), for actions that delete.
    static QPushButton *destructiveButton(const QString &text);
};
