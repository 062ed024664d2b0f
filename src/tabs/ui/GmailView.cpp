#include "tabs/ui/GmailView.h"

#include "tabs/GmailModel.h"
#include "tabs/ui/GmailListPage.h"
#include "tabs/ui/GmailPropertiesPage.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

GmailView::GmailView(GmailModel *model, Console *console, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_modes(new QButtonGroup(this))
    , m_pages(new QStackedWidget) {
    auto *picker = new QHBoxLayout;
    picker->setContentsMargins(20, 12, 20, 0);
    auto *label = new QLabel(u"Mode:"_s);
    picker->addWidget(label);
    picker->addSpacing(6);
    auto *segments = new QHBoxLayout;
    segments->setSpacing(0);
    const QList<std::pair<GmailMode, QString>> modes{{GmailMode::messageID, u"Delete by Message-ID"_s},
                                                     {GmailMode::sender, u"Delete by Sender"_s},
                                                     {GmailMode::properties, u"Delete by Properties"_s}};
    for (const auto &[mode, title] : modes) {
        auto *button = new QPushButton(title);
        button->setCheckable(true);
        button->setObjectName(u"mode"_s + QString::number(int(mode)));
        m_modes->addButton(button, int(mode));
        segments->addWidget(button);
    }
    label->setBuddy(m_modes->button(int(GmailMode::messageID)));
    picker->addLayout(segments);
    picker->addStretch();

    m_pages->addWidget(new GmailListPage(model, console, GmailMode::messageID));
    m_pages->addWidget(new GmailListPage(model, console, GmailMode::sender));
    m_pages->addWidget(new GmailPropertiesPage(model, console));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(picker);
    layout->addWidget(m_pages, 1);

    connect(m_modes, &QButtonGroup::idToggled, model, [model](int id, bool checked) {
        if (checked)
            model->setMode(static_cast<GmailMode>(id));
    });
    connect(model, &GmailModel::modeChanged, this, &GmailView::showMode);
    showMode();
}

void GmailView::showMode() {
    const int index = int(m_model->mode());
    m_modes->button(index)->setChecked(true);
    m_pages->setCurrentIndex(index);
}
