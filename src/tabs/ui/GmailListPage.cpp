#include "tabs/ui/GmailListPage.h"

#include "app/ui/Shortcuts.h"
#include "tabs/GmailModel.h"
#include "tabs/ui/ActionBar.h"
#include "tabs/ui/FormPage.h"
#include "tabs/ui/HintText.h"
#include "tabs/ui/LinesEditor.h"
#include "tabs/ui/MailTargetSection.h"
#include "tabs/ui/ParallelRunOption.h"

#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

GmailListPage::GmailListPage(GmailModel *model, Console *console, GmailMode mode, QWidget *parent)
    : QWidget(parent)
    , m_editor(new LinesEditor) {
    GmailListForm *form = model->listForm(mode);
    const bool bySender = mode == GmailMode::sender;

    auto *values = new QGroupBox(bySender ? u"Sender Email(s)"_s : u"Message-ID(s)"_s);
    auto *valuesLayout = new QVBoxLayout(values);
    m_editor->setObjectName(u"valuesEditor"_s);
    auto *caption =
        new HintText(bySender ? u"One per line"_s : u"One per line, e.g. "_s + GmailModel::sampleMessageID());
    m_editor->setAccessibleName(values->title());
    m_editor->setAccessibleDescription(caption->text());
    valuesLayout->addWidget(m_editor, 1);
    valuesLayout->addWidget(caption);

    auto *preview = new QPushButton(u"Preview"_s);
    preview->setObjectName(u"previewButton"_s);
    QPushButton *remove = ActionBar::destructiveButton(u"Delete Messages"_s);
    remove->setObjectName(u"deleteButton"_s);
    Shortcuts::assign(preview, Shortcuts::preview);
    connect(preview, &QPushButton::clicked, model, [model, mode] { model->previewList(mode); });
    connect(remove, &QPushButton::clicked, model, [model, mode] { model->deleteList(mode); });
    auto *actions = new ActionBar(console, [form] { form->clear(); }, {preview, remove});

    layOutFormPage(this, {new MailTargetSection(form->targetFields(), new ParallelRunOption(model)), values}, actions,
                   values);

    m_editor->setText(form->text());
    connect(m_editor, &LinesEditor::userTextChanged, form, &GmailListForm::setText);
    connect(form, &GmailListForm::changed, this, [this, form] { m_editor->setText(form->text()); });
}
