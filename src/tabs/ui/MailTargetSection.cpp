#include "tabs/ui/MailTargetSection.h"

#include "tabs/MailTarget.h"
#include "tabs/ui/HintText.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

MailTargetSection::MailTargetSection(MailTargetFields *fields, QWidget *manyMailboxes, QWidget *parent)
    : QGroupBox(u"Target"_s, parent)
    , m_fields(fields)
    , m_specific(new QRadioButton(u"Specific User"_s))
    , m_domainChoice(new QRadioButton(u"Domain"_s))
    , m_all(new QRadioButton(u"All Users"_s))
    , m_form(new QFormLayout)
    , m_email(new QLineEdit)
    , m_domain(new QLineEdit)
    , m_allCaption(new HintText(u"Runs against every active (non-suspended) mailbox in your Google Workspace."_s))
    , m_manyMailboxes(manyMailboxes) {
    m_specific->setObjectName(u"targetSpecific"_s);
    m_domainChoice->setObjectName(u"targetDomain"_s);
    m_all->setObjectName(u"targetAll"_s);
    m_email->setObjectName(u"mailboxOwnerEmail"_s);
    m_domain->setObjectName(u"targetDomainName"_s);

    auto *choices = new QButtonGroup(this);
    choices->addButton(m_specific, int(MailTarget::specific));
    choices->addButton(m_domainChoice, int(MailTarget::domain));
    choices->addButton(m_all, int(MailTarget::all));
    auto *choiceRow = new QHBoxLayout;
    choiceRow->setSpacing(18);
    choiceRow->addWidget(m_specific);
    choiceRow->addWidget(m_domainChoice);
    choiceRow->addWidget(m_all);
    choiceRow->addStretch();

    m_email->setPlaceholderText(MailTargetFields::sampleUser());
    m_email->setInputMethodHints(Qt::ImhEmailCharactersOnly | Qt::ImhNoAutoUppercase);
    m_email->setClearButtonEnabled(true);
    m_domain->setPlaceholderText(MailTargetFields::sampleDomain());
    m_domain->setInputMethodHints(Qt::ImhUrlCharactersOnly | Qt::ImhNoAutoUppercase);
    m_domain->setClearButtonEnabled(true);
    m_form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    m_form->addRow(u"Mailbox Owner Email:"_s, m_email);
    m_form->addRow(u"Domain:"_s, m_domain);
    m_form->addRow(m_allCaption);
    if (m_manyMailboxes)
        m_form->addRow(m_manyMailboxes);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(choiceRow);
    layout->addLayout(m_form);

    connect(choices, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            m_fields->setTarget(static_cast<MailTarget>(id));
    });
    connect(m_email, &QLineEdit::textChanged, m_fields, &MailTargetFields::setEmail);
    connect(m_domain, &QLineEdit::textChanged, m_fields, &MailTargetFields::setDomain);
    connect(m_fields, &MailTargetFields::changed, this, &MailTargetSection::refresh);
    refresh();
}

void MailTargetSection::refresh() {
    const MailTarget target = m_fields->target();
    m_specific->setChecked(target == MailTarget::specific);
    m_domainChoice->setChecked(target == MailTarget::domain);
    m_all->setChecked(target == MailTarget::all);
    if (m_email->text() != m_fields->email())
        m_email->setText(m_fields->email());
    if (m_domain->text() != m_fields->domain())
        m_domain->setText(m_fields->domain());
    m_form->setRowVisible(m_email, target == MailTarget::specific);
    m_form->setRowVisible(m_domain, target == MailTarget::domain);
    m_form->setRowVisible(m_allCaption, target == MailTarget::all);
    if (m_manyMailboxes)
        m_form->setRowVisible(m_manyMailboxes, target != MailTarget::specific);
}
