#include "profiles/ui/SettingsForm.h"

#include "core/LogListModel.h"
#include "tabs/ui/HintText.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace SettingsForm {

QFormLayout *addGroup(QVBoxLayout *pane, const QString &title, const QString &footer) {
    auto *group = new QGroupBox(title);
    auto *form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pane->addWidget(group);
    if (!footer.isEmpty()) {
        auto *caption = new HintText(footer);
        caption->setContentsMargins(8, 0, 8, 0);
        pane->addWidget(caption);
    }
    return form;
}

QHBoxLayout *addRow(QFormLayout *form, const QString &label, std::initializer_list<QWidget *> widgets) {
    auto *row = new QHBoxLayout;
    row->setSpacing(6);
    // The first widget (the value) takes the room; buttons keep their natural size.
    bool first = true;
    for (QWidget *widget : widgets) {
        row->addWidget(widget, first ? 1 : 0);
        first = false;
    }
    form->addRow(label, row);
    if (widgets.size() > 0) {
        QWidget *first = *widgets.begin();
        if (first->accessibleName().isEmpty())
            first->setAccessibleName(label);
    }
    return row;
}

void markDestructive(QPushButton *button) {
    QPalette warning = button->palette();
    warning.setColor(QPalette::ButtonText, LogListModel::colour(LogKind::error).darker(130));
    button->setPalette(warning);
}

} // namespace SettingsForm
