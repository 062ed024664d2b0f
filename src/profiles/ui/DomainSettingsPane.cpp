#include "profiles/ui/DomainSettingsPane.h"

#include "app/ui/Icons.h"
#include "profiles/DomainSettings.h"
#include "profiles/NewDomainSetup.h"
#include "profiles/ProfileEditor.h"
#include "profiles/ProfileStore.h"
#include "profiles/ui/DomainListDelegate.h"
#include "profiles/ui/DomainSetupSheet.h"
#include "profiles/ui/ProfileEditorForm.h"
#include "profiles/ui/SettingsForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int listWidth = 200;

QWidget *emptyState() {
    auto *page = new QWidget;
    page->setObjectName(u"noSelection"_s);
    auto *layout = new QVBoxLayout(page);
    layout->addStretch(1);
    auto *symbol = new QLabel;
    symbol->setPixmap(Icons::icon(Icons::Symbol::building).pixmap(48, 48));
    symbol->setAlignment(Qt::AlignCenter);
    auto *title = new QLabel(u"Select a Domain"_s);
    QFont large = title->font();
    large.setPointSizeF(large.pointSizeF() * 1.3);
    title->setFont(large);
    title->setForegroundRole(QPalette::PlaceholderText);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(symbol);
    layout->addWidget(title);
    layout->addStretch(1);
    return page;
}

} // namespace

DomainSettingsPane::DomainSettingsPane(DomainSettings *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_list(new QListWidget)
    , m_add(new QToolButton)
    , m_remove(new QToolButton)
    , m_detail(new QStackedWidget)
    , m_editorArea(new QScrollArea) {
    m_list->setObjectName(u"domainList"_s);
    m_list->setAccessibleName(u"Domains"_s);
    m_list->setItemDelegate(new DomainListDelegate(m_list));
    m_list->setFixedWidth(listWidth);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_add->setObjectName(u"addDomainButton"_s);
    m_add->setIcon(Icons::icon(Icons::Symbol::plus));
    m_add->setToolTip(u"Add a domain that already has GAM set up, or set GAM up for a new one"_s);
    m_add->setAccessibleName(u"Add domain"_s);
    m_add->setPopupMode(QToolButton::InstantPopup);
    auto *addMenu = new QMenu(m_add);
    QAction *addExisting = addMenu->addAction(u"Add Existing Domain"_s);
    addExisting->setObjectName(u"addExistingAction"_s);
    QAction *setUp = addMenu->addAction(u"Set Up New Domain…"_s);
    setUp->setObjectName(u"setUpNewAction"_s);
    m_add->setMenu(addMenu);

    m_remove->setObjectName(u"removeDomainButton"_s);
    m_remove->setIcon(Icons::icon(Icons::Symbol::minus));
    m_remove->setToolTip(u"Remove the selected domain"_s);
    m_remove->setAccessibleName(u"Remove domain"_s);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    auto *side = new QVBoxLayout;
    side->addWidget(m_list, 1);
    side->addLayout(buttons);

    m_editorArea->setWidgetResizable(true);
    // The form's fields take focus, not the area around them.
    m_editorArea->setFocusPolicy(Qt::NoFocus);
    m_editorArea->setFrameShape(QFrame::NoFrame);
    m_detail->addWidget(emptyState());
    m_detail->addWidget(m_editorArea);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(side);
    layout->addWidget(m_detail, 1);

    connect(addExisting, &QAction::triggered, m_model, &DomainSettings::addExisting);
    connect(setUp, &QAction::triggered, this, &DomainSettingsPane::showSetup);
    connect(m_remove, &QToolButton::clicked, m_model, &DomainSettings::requestRemoval);
    connect(m_list, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *item) {
        if (item)
            m_model->select(item->data(Qt::UserRole).toUuid());
    });
    connect(m_model, &DomainSettings::selectionChanged, this, &DomainSettingsPane::showSelection);
    connect(m_model, &DomainSettings::canRemoveChanged, this, [this] { m_remove->setEnabled(m_model->canRemove()); });
    connect(m_model, &DomainSettings::removalQuestionChanged, this, &DomainSettingsPane::presentRemovalQuestion);
    connect(m_model->store(), &ProfileStore::profilesChanged, this, &DomainSettingsPane::rebuildList);
    connect(m_model->store(), &ProfileStore::activeIDChanged, this, &DomainSettingsPane::rebuildList);
    rebuildList();
    showSelection();
}

ProfileEditorForm *DomainSettingsPane::editorForm() const {
    return m_form;
}

void DomainSettingsPane::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    m_model->selectActiveIfNone();
}

void DomainSettingsPane::rebuildList() {
    const QSignalBlocker blocker(m_list);
    m_list->clear();
    const QUuid activeID = m_model->store()->activeID();
    for (const DomainProfile &profile : m_model->store()->profiles()) {
        auto *item = new QListWidgetItem(profile.name, m_list);
        item->setData(Qt::UserRole, profile.id);
        item->setData(DomainListDelegate::DomainRole, profile.domain);
        item->setData(DomainListDelegate::ActiveRole, profile.id == activeID);
        QString spoken = profile.name;
        if (profile.id == activeID)
            spoken += u", Active"_s;
        if (!profile.domain.isEmpty())
            spoken += u", "_s + profile.domain;
        item->setData(Qt::AccessibleTextRole, spoken);
        if (m_model->selection() == profile.id)
            m_list->setCurrentItem(item);
    }
    m_remove->setEnabled(m_model->canRemove());
}

void DomainSettingsPane::showSelection() {
    const std::optional<QUuid> selection = m_model->selection();
    {
        const QSignalBlocker blocker(m_list);
        m_list->setCurrentItem(nullptr);
        for (int row = 0; row < m_list->count(); ++row) {
            if (m_list->item(row)->data(Qt::UserRole).toUuid() == selection)
                m_list->setCurrentRow(row);
        }
    }
    m_remove->setEnabled(m_model->canRemove());

    const QList<DomainProfile> &profiles = m_model->store()->profiles();
    const auto selected = std::find_if(profiles.cbegin(), profiles.cend(),
                                       [&selection](const DomainProfile &p) { return p.id == selection; });
    if (selected == profiles.cend()) {
        delete m_form;
        m_detail->setCurrentIndex(0);
        return;
    }
    if (m_form && m_form->editor()->profile().id == selected->id)
        return;
    // A fresh editor per selection: test results and messages belong to one profile.
    delete m_form;
    m_form = new ProfileEditorForm(new ProfileEditor(m_model->store(), m_model->console(), *selected));
    m_editorArea->setWidget(m_form);
    m_detail->setCurrentIndex(1);
}

void DomainSettingsPane::showSetup() {
    auto *setup = new NewDomainSetup(m_model->store(), m_model->console()->desktop());
    connect(setup, &NewDomainSetup::added, m_model, &DomainSettings::added);
    auto *sheet = new DomainSetupSheet(setup, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

void DomainSettingsPane::presentRemovalQuestion() {
    const std::optional<AlertItem> &question = m_model->removalQuestion();
    if (!question) {
        if (m_question)
            m_question->close();
        return;
    }
    if (m_question)
        return;
    auto *box = new QMessageBox(QMessageBox::Warning, question->title, question->title, QMessageBox::NoButton, this);
    box->setObjectName(u"removeDomainQuestion"_s);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setInformativeText(question->message);
    box->setTextFormat(Qt::PlainText);
    QPushButton *remove = box->addButton(*question->confirmTitle, QMessageBox::AcceptRole);
    remove->setObjectName(u"confirmButton"_s);
    SettingsForm::markDestructive(remove);
    QPushButton *cancel = box->addButton(u"Cancel"_s, QMessageBox::RejectRole);
    cancel->setObjectName(u"cancelButton"_s);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::finished, this, [this, box, remove] {
        m_question = nullptr;
        m_model->answerRemoval(box->clickedButton() == remove);
    });
    m_question = box;
    box->open();
}
