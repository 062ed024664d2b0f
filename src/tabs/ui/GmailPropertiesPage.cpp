#include "tabs/ui/GmailPropertiesPage.h"

#include "app/ui/Shortcuts.h"
#include "tabs/GmailModel.h"
#include "tabs/ui/ActionBar.h"
#include "tabs/ui/FormPage.h"
#include "tabs/ui/HintText.h"
#include "tabs/ui/MailTargetSection.h"
#include "tabs/ui/ParallelRunOption.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QDateEdit *dayPicker(const QString &name, const QString &toggleLabel) {
    auto *picker = new QDateEdit;
    picker->setObjectName(name);
    // The picker's label is hidden; the toggle beside it names it.
    picker->setAccessibleName(toggleLabel);
    picker->setCalendarPopup(true);
    picker->setTimeSpec(Qt::LocalTime);
    return picker;
}

// The picked day with the form's time of day kept, so only the date changes.
QDateTime withDay(const QDateTime &moment, QDate day) {
    return QDateTime(day, moment.toLocalTime().time(), Qt::LocalTime);
}

} // namespace

GmailPropertiesPage::GmailPropertiesPage(GmailModel *model, Console *console, QWidget *parent)
    : QWidget(parent)
    , m_form(model->propertiesForm())
    , m_from(new QLineEdit)
    , m_keywords(new QLineEdit)
    , m_useAfter(new QCheckBox(u"After"_s))
    , m_after(dayPicker(u"afterDate"_s, u"After"_s))
    , m_useBefore(new QCheckBox(u"Before"_s))
    , m_before(dayPicker(u"beforeDate"_s, u"Before"_s))
    , m_query(new QLabel) {
    m_from->setObjectName(u"fromField"_s);
    m_from->setPlaceholderText(GmailModel::sampleSender());
    m_from->setClearButtonEnabled(true);
    m_keywords->setObjectName(u"keywordsField"_s);
    m_keywords->setPlaceholderText(u"Filename or phrase"_s);
    m_keywords->setClearButtonEnabled(true);
    m_useAfter->setObjectName(u"useAfter"_s);
    m_useBefore->setObjectName(u"useBefore"_s);

    auto *dates = new QHBoxLayout;
    dates->addWidget(m_useAfter);
    dates->addWidget(m_after);
    dates->addSpacing(24);
    dates->addWidget(m_useBefore);
    dates->addWidget(m_before);
    dates->addStretch();

    auto *search = new QGroupBox(u"Search"_s);
    auto *fields = new QFormLayout(search);
    fields->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    fields->addRow(u"From:"_s, m_from);
    // The caption sits in the field column so it wraps at the field's width, not the label's.
    auto *keywords = new QVBoxLayout;
    keywords->setSpacing(2);
    keywords->addWidget(m_keywords);
    keywords->addWidget(new HintText(u"Searches subject and body — paste filename or phrase as seen in the email"_s));
    fields->addRow(u"Keywords:"_s, keywords);
    fields->addRow(u"Date:"_s, dates);

    m_query->setObjectName(u"gmailQuery"_s);
    m_query->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_query->setTextFormat(Qt::PlainText);
    m_query->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_query->setWordWrap(true);
    auto *query = new QGroupBox(u"Gmail Query"_s);
    auto *queryFooter = new HintText(u"Auto-built from fields above — review before running"_s);
    // Read as the query itself (its text), then the footer.
    m_query->setAccessibleDescription(queryFooter->text());
    auto *queryLayout = new QVBoxLayout(query);
    queryLayout->addWidget(m_query);
    queryLayout->addWidget(queryFooter);

    auto *find = new QPushButton(u"Find Messages"_s);
    find->setObjectName(u"findButton"_s);
    auto *preview = new QPushButton(u"Preview"_s);
    preview->setObjectName(u"previewButton"_s);
    QPushButton *remove = ActionBar::destructiveButton(u"Delete Messages"_s);
    remove->setObjectName(u"deleteButton"_s);
    Shortcuts::assign(find, Shortcuts::find);
    Shortcuts::assign(preview, Shortcuts::preview);
    connect(find, &QPushButton::clicked, model, &GmailModel::findMessages);
    connect(preview, &QPushButton::clicked, model, &GmailModel::previewProperties);
    connect(remove, &QPushButton::clicked, model, &GmailModel::deleteProperties);
    GmailPropertiesForm *form = m_form;
    auto *actions = new ActionBar(console, [form] { form->clear(); }, {find, preview, remove});

    layOutFormPage(this, {new MailTargetSection(form->targetFields(), new ParallelRunOption(model)), search, query},
                   actions);

    connect(m_from, &QLineEdit::textChanged, form, &GmailPropertiesForm::setFrom);
    connect(m_keywords, &QLineEdit::textChanged, form, &GmailPropertiesForm::setKeywords);
    connect(m_useAfter, &QCheckBox::toggled, form, &GmailPropertiesForm::setUseAfter);
    connect(m_useBefore, &QCheckBox::toggled, form, &GmailPropertiesForm::setUseBefore);
    connect(m_after, &QDateEdit::dateChanged, form, [form](QDate day) { form->setAfter(withDay(form->after(), day)); });
    connect(m_before, &QDateEdit::dateChanged, form,
            [form](QDate day) { form->setBefore(withDay(form->before(), day)); });
    connect(form, &GmailPropertiesForm::changed, this, &GmailPropertiesPage::refresh);
    refresh();
}

void GmailPropertiesPage::refresh() {
    if (m_from->text() != m_form->from())
        m_from->setText(m_form->from());
    if (m_keywords->text() != m_form->keywords())
        m_keywords->setText(m_form->keywords());
    m_useAfter->setChecked(m_form->useAfter());
    m_useBefore->setChecked(m_form->useBefore());
    m_after->setDate(m_form->after().toLocalTime().date());
    m_before->setDate(m_form->before().toLocalTime().date());
    m_after->setEnabled(m_form->useAfter());
    m_before->setEnabled(m_form->useBefore());
    const QString query = m_form->query();
    m_query->setText(query.isEmpty() ? u"—"_s : query);
}
