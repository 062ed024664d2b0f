#include "app/ui/Shortcuts.h"

#include "app/ui/FormAccessibility.h"

#include <QAbstractButton>

using namespace Qt::StringLiterals;

namespace Shortcuts {

void assign(QAbstractButton *button, const QKeySequence &keys) {
    button->setShortcut(keys);
    const QString what = button->toolTip().isEmpty() ? FormAccessibility::labelText(button->text()) : button->toolTip();
    button->setToolTip(what + u" ("_s + keys.toString(QKeySequence::NativeText) + u")"_s);
}

} // namespace Shortcuts
