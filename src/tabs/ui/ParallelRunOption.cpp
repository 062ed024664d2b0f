#include "tabs/ui/ParallelRunOption.h"

#include "tabs/GmailModel.h"
#include "tabs/ui/HintText.h"

#include <QCheckBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ParallelRunOption::ParallelRunOption(GmailModel *model, QWidget *parent)
    : QWidget(parent) {
    auto *toggle = new QCheckBox(u"Run in parallel"_s);
    toggle->setObjectName(u"runInParallel"_s);
    auto *caption = new HintText(u"GAM works on up to 20 mailboxes at a time; each mailbox's lines arrive as it "
                                 u"finishes, in no particular order."_s);
    toggle->setAccessibleDescription(caption->text());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(toggle);
    layout->addWidget(caption);

    toggle->setChecked(model->runInParallel());
    connect(toggle, &QCheckBox::toggled, model, &GmailModel::setRunInParallel);
    connect(model, &GmailModel::runInParallelChanged, toggle,
            [toggle, model] { toggle->setChecked(model->runInParallel()); });
}
