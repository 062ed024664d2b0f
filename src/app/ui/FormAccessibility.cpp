#include "app/ui/FormAccessibility.h"

#include "tabs/ui/HintText.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QChildEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace FormAccessibility {

namespace {

bool takesTabFocus(const QWidget *widget) {
    return (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
}

// A button or label is read by its own text, and a name set by hand stays.
bool hasOwnName(const QWidget *widget) {
    if (!widget->accessibleName().isEmpty() || qobject_cast<const QLabel *>(widget))
        return true;
    const auto *button = qobject_cast<const QAbstractButton *>(widget);
    return button && !button->text().isEmpty();
}

// A field that a label names: focusable, with no name or text of its own.
bool isUnlabelledField(const QWidget *widget) {
    return takesTabFocus(widget) && !hasOwnName(widget);
}

QList<QWidget *> widgetsIn(const QLayout *layout) {
    QList<QWidget *> widgets;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (QWidget *widget = item->widget())
            widgets.append(widget);
        else if (const QLayout *inner = item->layout())
            widgets.append(widgetsIn(inner));
    }
    return widgets;
}

void name(QWidget *field, const QString &label) {
    if (!hasOwnName(field))
        field->setAccessibleName(labelText(label));
}

void nameFormRows(const QFormLayout *form) {
    for (int row = 0; row < form->rowCount(); ++row) {
        QLayoutItem *labelItem = form->itemAt(row, QFormLayout::LabelRole);
        QLayoutItem *fieldItem = form->itemAt(row, QFormLayout::FieldRole);
        auto *label = labelItem ? qobject_cast<QLabel *>(labelItem->widget()) : nullptr;
        if (!label || !fieldItem)
            continue;
        if (QWidget *field = fieldItem->widget()) {
            // The buddy is what assistive technology reads as the label: a combo box is named
            // by its current choice and labelled by this relation only.
            if (!label->buddy() && takesTabFocus(field) && !qobject_cast<QAbstractButton *>(field))
                label->setBuddy(field);
            name(field, label->text());
            continue;
        }
        if (!fieldItem->layout())
            continue;
        const QList<QWidget *> cell = widgetsIn(fieldItem->layout());
        const auto field = std::find_if(cell.begin(), cell.end(), isUnlabelledField);
        if (field == cell.end())
            continue;
        if (!label->buddy())
            label->setBuddy(*field);
        name(*field, label->text());
        for (const QWidget *other : cell) {
            const auto *caption = qobject_cast<const QLabel *>(other);
            if (caption && !caption->buddy() && (*field)->accessibleDescription().isEmpty())
                (*field)->setAccessibleDescription(caption->text());
        }
    }
}

// The layout that holds widget itself, at any depth below layout.
const QLayout *layoutHolding(const QLayout *layout, const QWidget *widget) {
    for (int i = 0; layout && i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget() == widget)
            return layout;
        if (const QLayout *found = layoutHolding(item->layout(), widget))
            return found;
    }
    return nullptr;
}

// The fields of a layout, inside nested layouts and plain containers too.
void fieldsIn(const QLayout *layout, QList<QWidget *> &fields) {
    for (QWidget *widget : layout ? widgetsIn(layout) : QList<QWidget *>()) {
        if (!takesTabFocus(widget))
            fieldsIn(widget->layout(), fields);
        else if (!qobject_cast<QAbstractButton *>(widget))
            fields.append(widget);
    }
}

// A caption beside exactly one field describes it, wherever the two sit; a description
// set by hand stays, one taken from a caption follows the caption's text.
void describeByCaptions(QWidget *form) {
    static const char *const fromCaption = "formAccessibilityCaption";
    for (const HintText *caption : form->findChildren<HintText *>()) {
        if (caption->text().isEmpty() || !caption->parentWidget())
            continue;
        QList<QWidget *> fields;
        fieldsIn(layoutHolding(caption->parentWidget()->layout(), caption), fields);
        if (fields.size() != 1)
            continue;
        QWidget *field = fields.constFirst();
        if (field->accessibleDescription().isEmpty() || field->property(fromCaption).toBool()) {
            field->setAccessibleDescription(caption->text());
            field->setProperty(fromCaption, true);
        }
    }
}

void collect(const QLayout *layout, QList<QWidget *> &chain);

void collect(QWidget *widget, QList<QWidget *> &chain) {
    // A tab widget hands its focus to its tab bar, which comes before the pages.
    if (auto *tabs = qobject_cast<QTabWidget *>(widget))
        chain.append(tabs->tabBar());
    else if (takesTabFocus(widget))
        chain.append(widget);
    if (auto *tabs = qobject_cast<QTabWidget *>(widget)) {
        for (int i = 0; i < tabs->count(); ++i)
            collect(tabs->widget(i), chain);
    } else if (auto *stack = qobject_cast<QStackedWidget *>(widget)) {
        for (int i = 0; i < stack->count(); ++i)
            collect(stack->widget(i), chain);
    } else if (auto *splitter = qobject_cast<QSplitter *>(widget)) {
        for (int i = 0; i < splitter->count(); ++i)
            collect(splitter->widget(i), chain);
    } else if (auto *scroll = qobject_cast<QScrollArea *>(widget); scroll && scroll->widget()) {
        collect(scroll->widget(), chain);
    } else if (const QLayout *layout = widget->layout()) {
        collect(layout, chain);
    }
}

void collect(QLayoutItem *item, QList<QWidget *> &chain) {
    if (!item)
        return;
    if (QWidget *widget = item->widget())
        collect(widget, chain);
    else if (const QLayout *layout = item->layout())
        collect(layout, chain);
}

// The items of a layout in reading order: rows of a form, cells of a grid by row, a box in its direction.
void collect(const QLayout *layout, QList<QWidget *> &chain) {
    if (const auto *form = qobject_cast<const QFormLayout *>(layout)) {
        for (int row = 0; row < form->rowCount(); ++row)
            for (const auto role : {QFormLayout::LabelRole, QFormLayout::FieldRole, QFormLayout::SpanningRole})
                collect(form->itemAt(row, role), chain);
        return;
    }
    QList<int> order;
    for (int i = 0; i < layout->count(); ++i)
        order.append(i);
    if (const auto *grid = qobject_cast<const QGridLayout *>(layout)) {
        const auto cell = [grid](int index) {
            int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
            return std::pair(row, column);
        };
        std::stable_sort(order.begin(), order.end(), [&cell](int a, int b) { return cell(a) < cell(b); });
    } else if (const auto *box = qobject_cast<const QBoxLayout *>(layout)) {
        if (box->direction() == QBoxLayout::RightToLeft || box->direction() == QBoxLayout::BottomToTop)
            std::reverse(order.begin(), order.end());
    }
    for (int index : order)
        collect(layout->itemAt(index), chain);
}

bool isDialogWindow(const QWidget *widget) {
    const Qt::WindowType type = widget->windowType();
    return type == Qt::Window || type == Qt::Dialog || type == Qt::Sheet;
}

// Watches a widget tree for widgets added to it and prepares it again, once per turn of the
// event loop however many were added. Dialogs opened from the tree are prepared as forms of
// their own; with formToo false only they are.
class Preparer : public QObject {
public:
    Preparer(QWidget *root, bool formToo)
        : QObject(root)
        , m_root(root)
        , m_formToo(formToo) {
        setObjectName(u"formAccessibilityPreparer"_s);
        run();
    }

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::ChildAdded && static_cast<QChildEvent *>(event)->child()->isWidgetType() &&
            !m_pending) {
            m_pending = true;
            QMetaObject::invokeMethod(this, &Preparer::run, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void run() {
        m_pending = false;
        if (m_formToo)
            prepare(m_root);
        m_root->installEventFilter(this);
        for (QWidget *widget : m_root->findChildren<QWidget *>()) {
            if (widget->isWindow()) {
                if (isDialogWindow(widget) && !widget->findChild<QObject *>(objectName(), Qt::FindDirectChildrenOnly))
                    new Preparer(widget, true);
            } else if (widget->window() == m_root->window()) {
                widget->installEventFilter(this);
            }
        }
    }

    QWidget *m_root;
    bool m_formToo;
    bool m_pending = false;
};

} // namespace

QString labelText(const QString &visibleLabel) {
    QString text;
    text.reserve(visibleLabel.size());
    for (qsizetype i = 0; i < visibleLabel.size(); ++i) {
        // "&&" shows one ampersand; a single "&" only marks the mnemonic.
        if (visibleLabel[i] == u'&' && ++i == visibleLabel.size())
            break;
        text += visibleLabel[i];
    }
    text = text.trimmed();
    if (text.endsWith(u':'))
        text.chop(1);
    return text.trimmed();
}

void prepare(QWidget *form) {
    for (const QFormLayout *layout : form->findChildren<QFormLayout *>())
        nameFormRows(layout);
    for (const QLabel *label : form->findChildren<QLabel *>())
        if (QWidget *buddy = label->buddy())
            name(buddy, label->text());
    describeByCaptions(form);

    QList<QWidget *> chain;
    if (const QLayout *layout = form->layout())
        collect(layout, chain);
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void keepPrepared(QWidget *form) {
    new Preparer(form, true);
}

void keepDialogsPrepared(QWidget *window) {
    new Preparer(window, false);
}

} // namespace FormAccessibility
