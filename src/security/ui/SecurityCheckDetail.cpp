#include "security/ui/SecurityCheckDetail.h"

#include "core/Console.h"
#include "security/SecurityModel.h"
#include "security/ui/SecurityResultView.h"
#include "security/ui/SecuritySymbols.h"

#include <QHBoxLayout>
#include <QLabel>
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

    // The inputs of the batch, triage and search checks and the indicator list go here.

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
