#include "security/ui/SecurityCheckDetail.h"

#include "app/ui/FormAccessibility.h"
#include "app/ui/Shortcuts.h"
#include "core/Console.h"
#include "security/SecurityModel.h"
#include "security/ui/IndicatorListView.h"
#include "security/ui/SecurityResultView.h"
#include "security/ui/SecuritySymbols.h"
#include "tabs/ui/HintText.h"
#include "tabs/ui/LinesEditor.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel *badge(const QString &text) {
    auto *label = new QLabel(text);
    label->setObjectName(u"badge"_s);
    const QColor red = SecuritySymbols::danger();
    label->setStyleSheet(u"QLabel { color: %1; background: rgba(%2, %3, %4, 0.12); border-radius: 9px; "
                         u"padding: 2px 9px; font-weight: 600; }"_s.arg(red.name())
                             .arg(red.red())
                             .arg(red.green())
                             .arg(red.blue()));
    return label;
}

constexpr int accountLinesShown = 7;

QLabel *fieldLabel(const QString &text, QWidget *field) {
    auto *label = new QLabel(text);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setBuddy(field);
    return label;
}

HintText *caption(const QString &text, QWidget *field) {
    field->setAccessibleDescription(text);
    return new HintText(text);
}

} // namespace

SecurityCheckDetail::SecurityCheckDetail(SecurityModel *model, DesktopServices *desktop,
                                         std::optional<SecurityCheck> check, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_desktop(desktop)
    , m_check(check) {
    setObjectName(u"checkDetail"_s);
    if (check)
        build(*check);
    else
        buildEmpty();
}

void SecurityCheckDetail::buildEmpty() {
    auto *layout = new QVBoxLayout(this);
    layout->addStretch();
    auto *icon = new QLabel;
    icon->setPixmap(SecuritySymbols::tinted(u"checklist"_s, palette().color(QPalette::PlaceholderText), 40));
    icon->setAlignment(Qt::AlignCenter);
    auto *title = new QLabel(u"Select a Check"_s);
    QFont large = title->font();
    large.setPointSizeF(large.pointSizeF() * 1.4);
    large.setBold(true);
    title->setFont(large);
    title->setAlignment(Qt::AlignCenter);
    auto *hint = new QLabel(u"Choose a check from the list."_s);
    hint->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    layout->addWidget(title);
    layout->addWidget(hint);
    layout->addStretch();
}

void SecurityCheckDetail::build(SecurityCheck check) {
    const SecurityCheckInfo &info = checkInfo(check);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(10);

    auto *headingRow = new QHBoxLayout;
    auto *title = new QLabel(info.number + u". "_s + info.title);
    title->setObjectName(u"checkTitle"_s);
    QFont large = title->font();
    large.setPointSizeF(large.pointSizeF() * 1.5);
    large.setBold(true);
    title->setFont(large);
    headingRow->addWidget(title);
    if (const QString text = groupBadge(info.group); !text.isEmpty())
        headingRow->addWidget(badge(text));
    headingRow->addStretch();
    layout->addLayout(headingRow);

    auto *description = new QLabel(info.description);
    description->setObjectName(u"checkDescription"_s);
    description->setWordWrap(true);
    description->setTextFormat(Qt::PlainText);
    layout->addWidget(description);

    if (info.needsTarget) {
        m_needsTarget = new QLabel(u"Set a target user above to run this check."_s);
        m_needsTarget->setObjectName(u"needsTarget"_s);
        QPalette dimmed = m_needsTarget->palette();
        dimmed.setColor(QPalette::WindowText, dimmed.color(QPalette::PlaceholderText));
        m_needsTarget->setPalette(dimmed);
        layout->addWidget(m_needsTarget);
    }

    if (check == SecurityCheck::batch)
        addAccountsEditor(layout, u"Accounts to remediate"_s,
                          u"Usernames or emails, separated by commas or new lines. New temporary passwords are shown "
                          u"once at the end."_s,
                          &SecurityModel::batchUsersText, &SecurityModel::setBatchUsersText,
                          &SecurityModel::batchUsersTextChanged);
    else if (check == SecurityCheck::batchTriage)
        addAccountsEditor(layout, u"Accounts to triage"_s,
                          u"Usernames or emails, separated by commas or new lines. Read-only — nothing is changed."_s,
                          &SecurityModel::triageUsersText, &SecurityModel::setTriageUsersText,
                          &SecurityModel::triageUsersTextChanged);
    else if (check == SecurityCheck::iocSearch)
        addSearchField(layout);

    m_action = new QPushButton(info.actionTitle);
    m_action->setObjectName(u"actionButton"_s);
    m_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    m_action->setToolTip(info.description + u" (Ctrl+Return)"_s);
    auto *actionRow = new QHBoxLayout;
    actionRow->addWidget(m_action);
    actionRow->addStretch();
    layout->addLayout(actionRow);
    connect(m_action, &QPushButton::clicked, m_model, [this, check] { m_model->run(check); });

    m_resultArea = new QVBoxLayout;
    m_resultArea->setContentsMargins(0, 8, 0, 0);
    layout->addLayout(m_resultArea);
    if (check == SecurityCheck::iocCheck) {
        // The list is read when its check is opened, so it shows what the file holds now.
        m_model->reloadIndicators();
        layout->addWidget(new IndicatorListView(m_model));
    }
    layout->addStretch();

    connect(m_model, &SecurityModel::targetChanged, this, &SecurityCheckDetail::refreshTarget);
    connect(m_model, &SecurityModel::resultChanged, this, [this](SecurityCheck changed) {
        if (changed == m_check)
            showResult();
    });
    connect(m_model->console(), &Console::busyChanged, this, &SecurityCheckDetail::refreshEnabled);
    refreshTarget();
    refreshEnabled();
    showResult();
    FormAccessibility::prepare(this);
}

void SecurityCheckDetail::addAccountsEditor(QVBoxLayout *layout, const QString &label, const QString &help,
                                            QString (SecurityModel::*text)() const,
                                            void (SecurityModel::*setText)(const QString &),
                                            void (SecurityModel::*changed)()) {
    auto *editor = new LinesEditor;
    editor->setObjectName(u"accountsEditor"_s);
    // Room for a handful of accounts; longer lists scroll, and the result stays in view below.
    editor->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    editor->setFixedHeight(editor->fontMetrics().lineSpacing() * accountLinesShown + 2 * editor->frameWidth() + 8);
    editor->setPlaceholderText(u"jane.doe\npat.lee@district.example.org"_s);
    editor->setText((m_model->*text)());
    connect(editor, &LinesEditor::userTextChanged, m_model, setText);
    connect(m_model, changed, editor, [this, editor, text] { editor->setText((m_model->*text)()); });
    layout->addWidget(fieldLabel(label, editor));
    layout->addWidget(editor);
    layout->addWidget(caption(help, editor));
}

void SecurityCheckDetail::addSearchField(QVBoxLayout *layout) {
    auto *field = new QLineEdit;
    field->setObjectName(u"searchIndicatorField"_s);
    field->setPlaceholderText(u"IP address, e.g. 203.0.113.45"_s);
    field->setClearButtonEnabled(true);
    field->setText(m_model->searchIndicator());
    connect(field, &QLineEdit::textChanged, m_model, &SecurityModel::setSearchIndicator);
    connect(m_model, &SecurityModel::searchIndicatorChanged, field, [this, field] {
        if (field->text() != m_model->searchIndicator())
            field->setText(m_model->searchIndicator());
    });
    auto *row = new QHBoxLayout;
    row->addWidget(fieldLabel(u"Indicator"_s, field));
    row->addWidget(field, 1);
    layout->addLayout(row);
    layout->addWidget(caption(u"Searches every account's login and Drive activity for this IP. This can take several "
                              u"minutes."_s,
                              field));

    m_addToList = new QPushButton(u"Add to Indicator List"_s);
    m_addToList->setObjectName(u"addToIndicatorListButton"_s);
    m_addToList->setToolTip(u"Add this address to the known-indicator list shared by every domain"_s);
    auto *exportList = new QPushButton(u"Export Indicator List"_s);
    exportList->setObjectName(u"exportIndicatorListButton"_s);
    exportList->setToolTip(u"Save the known-indicator list as evidence for this domain"_s);
    Shortcuts::assign(exportList, Shortcuts::exportCSV);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_addToList);
    buttons->addWidget(exportList);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(m_addToList, &QPushButton::clicked, m_model,
            [this] { m_model->addIndicator(m_model->searchIndicator().trimmed()); });
    connect(exportList, &QPushButton::clicked, m_model, &SecurityModel::exportIndicators);
    connect(m_model, &SecurityModel::searchIndicatorChanged, this, &SecurityCheckDetail::refreshAddToList);
    connect(m_model, &SecurityModel::indicatorsChanged, this, &SecurityCheckDetail::refreshAddToList);
    // "Add to Indicator List" knows what is listed only once the list has been read.
    m_model->reloadIndicators();
    refreshAddToList();
}

void SecurityCheckDetail::refreshAddToList() {
    const QString indicator = m_model->searchIndicator().trimmed();
    m_addToList->setEnabled(!indicator.isEmpty() && !m_model->indicators().contains(indicator));
}

void SecurityCheckDetail::refreshTarget() {
    if (!m_needsTarget)
        return;
    const bool missing = !m_model->targetUser();
    m_needsTarget->setVisible(missing);
    m_action->setVisible(!missing);
}

void SecurityCheckDetail::refreshEnabled() {
    m_action->setEnabled(!m_model->console()->isBusy());
}

void SecurityCheckDetail::showResult() {
    if (m_result) {
        m_result->hide();
        m_result->deleteLater();
        m_result = nullptr;
    }
    const CheckResult *result = m_model->result(*m_check);
    if (!result)
        return;
    m_result = new SecurityResultView(m_model, m_desktop, *m_check, *result);
    m_resultArea->addWidget(m_result);
}
