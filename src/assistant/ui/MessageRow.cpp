#include "assistant/ui/MessageRow.h"

#include "app/ui/BusySpinner.h"
#include "app/ui/Icons.h"
#include "assistant/ui/AssistantColors.h"
#include "assistant/ui/FormattedText.h"
#include "assistant/ui/ReplyView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int bubbleLeadingSpace = 60;

// The rounded, accent-tinted box of a question.
class Bubble : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(AssistantColors::bubble(palette()));
        painter.drawRoundedRect(rect(), 10, 10);
    }
};

} // namespace

MessageRow::MessageRow(const AssistantModel::Message &message, QWidget *parent)
    : QWidget(parent)
    , m_id(message.id)
    , m_role(message.role)
    , m_isError(message.isError)
    , m_layout(new QVBoxLayout(this)) {
    m_layout->setContentsMargins(0, 0, 0, 0);
    switch (message.role) {
    case AssistantModel::Role::user:
        setObjectName(u"userMessage"_s);
        buildUser(message.text);
        break;
    case AssistantModel::Role::notice:
        setObjectName(u"noticeMessage"_s);
        buildNotice(message.text);
        break;
    case AssistantModel::Role::assistant:
        setObjectName(u"assistantMessage"_s);
        buildReply();
        setText(message.text);
        break;
    }
}

void MessageRow::buildUser(const QString &text) {
    auto *bubble = new Bubble(this);
    auto *content = new FormattedText(bubble);
    content->setObjectName(u"messageText"_s);
    content->setPlain(text);
    auto *bubbleLayout = new QVBoxLayout(bubble);
    bubbleLayout->setContentsMargins(10, 6, 10, 6);
    bubbleLayout->addWidget(content);
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addSpacerItem(new QSpacerItem(bubbleLeadingSpace, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    row->addWidget(bubble);
    m_layout->addLayout(row);
}

void MessageRow::buildNotice(const QString &text) {
    m_noticeIcon = new QLabel(this);
    m_noticeIcon->setObjectName(m_isError ? u"warningIcon"_s : u"infoIcon"_s);
    auto *content = new FormattedText(this);
    content->setObjectName(u"messageText"_s);
    content->setPlain(text);
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(m_noticeIcon, 0, Qt::AlignTop);
    row->addWidget(content, 1);
    m_layout->addLayout(row);
    paintNoticeIcon();
}

void MessageRow::paintNoticeIcon() {
    const int size = fontMetrics().height();
    if (m_isError)
        m_noticeIcon->setPixmap(Icons::tinted(Icons::Symbol::warning, AssistantColors::warning(palette()), size));
    else
        m_noticeIcon->setPixmap(Icons::tinted(Icons::Symbol::info, AssistantColors::secondaryText(palette()), size));
}

void MessageRow::buildReply() {
    m_thinking = new QWidget(this);
    m_thinking->setObjectName(u"thinking"_s);
    auto *label = new QLabel(u"Thinking…"_s, m_thinking);
    label->setForegroundRole(QPalette::PlaceholderText);
    auto *row = new QHBoxLayout(m_thinking);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new BusySpinner(m_thinking));
    row->addWidget(label);
    row->addStretch();
    m_thinking->hide();
    m_reply = new ReplyView(this);
    m_reply->hide();
    connect(m_reply, &ReplyView::insertRequested, this, &MessageRow::insertRequested);
    connect(m_reply, &FormattedText::linkActivated, this, &MessageRow::linkActivated);
    m_layout->addWidget(m_thinking);
    m_layout->addWidget(m_reply);
}

void MessageRow::setText(const QString &text) {
    if (!m_reply)
        return;
    if (isVisible())
        m_reply->setExpectedWidth(width());
    m_reply->setSegments(m_splitter.split(text));
    m_reply->setVisible(!text.trimmed().isEmpty());
}

void MessageRow::setThinking(bool thinking) {
    if (m_thinking)
        m_thinking->setVisible(thinking);
}

void MessageRow::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_noticeIcon)
        paintNoticeIcon();
}
