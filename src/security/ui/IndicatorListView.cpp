#include "security/ui/IndicatorListView.h"

#include "security/SecurityModel.h"
#include "security/ui/SecuritySymbols.h"
#include "tabs/ui/HintText.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int linesShown = 8;

} // namespace

IndicatorListView::IndicatorListView(SecurityModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_heading(new QLabel)
    , m_list(new QPlainTextEdit)
    , m_empty(new QLabel(u"The list is empty. Add IPs and domains from your own incidents, Alert Center, or your "
                         u"state K-12 ISAC."_s))
    , m_problem(new QLabel)
    , m_note(new HintText(QString()))
    , m_field(new QLineEdit)
    , m_add(new QPushButton(u"Add"_s)) {
    setObjectName(u"indicatorList"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->setSpacing(6);

    m_heading->setObjectName(u"indicatorHeading"_s);
    QFont bold = m_heading->font();
    bold.setBold(true);
    m_heading->setFont(bold);
    auto *reload = new QPushButton(u"Reload"_s);
    reload->setObjectName(u"reloadIndicatorsButton"_s);
    reload->setToolTip(u"Read the list from its file again"_s);
    auto *open = new QPushButton(u"Open List"_s);
    open->setObjectName(u"openIndicatorsButton"_s);
    open->setToolTip(u"Open the list file in its default application"_s);
    auto *headingRow = new QHBoxLayout;
    headingRow->addWidget(m_heading);
    headingRow->addStretch();
    headingRow->addWidget(reload);
    headingRow->addWidget(open);
    layout->addLayout(headingRow);

    m_list->setObjectName(u"indicators"_s);
    m_list->setAccessibleName(u"Known indicators"_s);
    m_list->setReadOnly(true);
    m_list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_list->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_list->setTabChangesFocus(true);
    m_list->setFixedHeight(m_list->fontMetrics().lineSpacing() * linesShown + 2 * m_list->frameWidth() + 8);
    layout->addWidget(m_list);
    m_empty->setObjectName(u"indicatorsEmpty"_s);
    m_empty->setWordWrap(true);
    layout->addWidget(m_empty);
    m_problem->setObjectName(u"indicatorProblem"_s);
    m_problem->setWordWrap(true);
    m_problem->setTextFormat(Qt::PlainText);
    QPalette red = m_problem->palette();
    red.setColor(QPalette::WindowText, SecuritySymbols::danger());
    m_problem->setPalette(red);
    layout->addWidget(m_problem);
    m_note->setObjectName(u"indicatorNote"_s);
    m_note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_note);

    auto *label = new QLabel(u"New indicator"_s);
    label->setBuddy(m_field);
    m_field->setObjectName(u"newIndicatorField"_s);
    m_field->setPlaceholderText(u"IP address or domain"_s);
    m_field->setClearButtonEnabled(true);
    m_add->setObjectName(u"addIndicatorButton"_s);
    m_add->setToolTip(u"Add it to the list file (Return)"_s);
    auto *addRow = new QHBoxLayout;
    addRow->addWidget(label);
    addRow->addWidget(m_field, 1);
    addRow->addWidget(m_add);
    layout->addLayout(addRow);

    m_field->setText(model->newIndicator());
    connect(m_field, &QLineEdit::textChanged, model, &SecurityModel::setNewIndicator);
    connect(model, &SecurityModel::newIndicatorChanged, this, [this] {
        if (m_field->text() != m_model->newIndicator())
            m_field->setText(m_model->newIndicator());
        refreshAdd();
    });
    connect(m_field, &QLineEdit::returnPressed, this, &IndicatorListView::add);
    connect(m_add, &QPushButton::clicked, this, &IndicatorListView::add);
    connect(reload, &QPushButton::clicked, model, &SecurityModel::reloadIndicators);
    connect(open, &QPushButton::clicked, model, &SecurityModel::openIndicatorFile);
    connect(model, &SecurityModel::indicatorsChanged, this, &IndicatorListView::refresh);
    refresh();
    refreshAdd();
}

void IndicatorListView::refresh() {
    const QStringList indicators = m_model->indicators();
    m_heading->setText(u"Known indicators ("_s + QString::number(indicators.size()) + u')');
    const QString text = indicators.join(u'\n');
    if (m_list->toPlainText() != text)
        m_list->setPlainText(text);
    m_list->setVisible(!indicators.isEmpty());
    m_empty->setVisible(indicators.isEmpty());
    const QString problem = m_model->indicatorFileProblem();
    m_problem->setText(u"Couldn't read the list: "_s + problem);
    m_problem->setVisible(!problem.isEmpty());
    m_note->setText(u"Matching is exact and whole-token: 10.0.0.5 won't match 10.0.0.55. IP addresses also match "
                    u"when written differently (2001:db8::1 and 2001:DB8:0:0:0:0:0:1), and a line may be a range such "
                    u"as 203.0.113.0/24 or 2001:db8::/32. File: "_s +
                    m_model->indicatorFilePath());
    // The note tells how what is typed here will be matched.
    m_field->setAccessibleDescription(m_note->text());
}

void IndicatorListView::refreshAdd() {
    m_add->setEnabled(!m_model->newIndicator().trimmed().isEmpty());
}

void IndicatorListView::add() {
    if (!m_add->isEnabled())
        return;
    m_model->addIndicator(m_model->newIndicator());
    m_model->setNewIndicator(QString());
}
