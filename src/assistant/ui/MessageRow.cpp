#include "assistant/ui/MessageRow.h"

#include "app/ui/BusySpinner.h"
#include "app/ui/Icons.h"
#include "assistant/ui/AssistantColors.h"
#include "assistant/ui/CodeBlock.h"
#include "assistant/ui/FormattedText.h"

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
    m_layout->setSpacing(8);
    switch (message.role) {
    case AssistantModel::Role::user:
        setObjectName(u"userMessage"_s);
        buildUser(message.text);
        break;
    case AssistantModel::Role::notice:
        setObjectName(u"noticeMessage"_s);
        buildNotice(message.text, message.isError);
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

void MessageRow::buildNotice(const QString &text, bool isError) {
    m_noticeIcon = new QLabel(this);
    m_noticeIcon->setObjectName(isError ? u"warningIcon"_s : u"infoIcon"_s);
    m_noticeIcon->setAlignment(Qt::AlignTop);
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
    m_layout->addWidget(m_thinking);
}

void MessageRow::setText(const QString &text) {
    if (m_role != AssistantModel::Role::assistant)
        return;
    showSegments(m_splitter.split(text));
}

void MessageRow::setThinking(bool thinking) {
    if (m_thinking)
        m_thinking->setVisible(thinking);
}

void MessageRow::showSegments(const QList<ReplySegment> &segments) {
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const ReplySegment &segment = segments.at(i);
        if (i < m_segments.size() && m_segments.at(i) == segment)
            continue;
        if (i < m_segments.size() && m_segments.at(i).kind == segment.kind) {
            updateSegmentView(m_segmentViews.at(i), segment);
            continue;
        }
        QWidget *view = makeSegmentView(segment);
        if (i < m_segmentViews.size()) {
            delete m_segmentViews.at(i);
            m_segmentViews[i] = view;
        } else {
            m_segmentViews.append(view);
        }
        m_layout->insertWidget(int(i) + 1, view);
    }
    while (m_segmentViews.size() > segments.size())
        delete m_segmentViews.takeLast();
    m_segments = segments;
}

QWidget *MessageRow::makeSegmentView(const ReplySegment &segment) {
    if (segment.kind == ReplySegment::Kind::code) {
        auto *block = new CodeBlock(this);
        connect(block, &CodeBlock::insertRequested, this, &MessageRow::insertRequested);
        block->setLines(segment.lines);
        return block;
    }
    auto *prose = new FormattedText(this);
    prose->setObjectName(u"replyText"_s);
    connect(prose, &FormattedText::linkActivated, this, &MessageRow::linkActivated);
    prose->setMarkdown(segment.text);
    return prose;
}

void MessageRow::updateSegmentView(QWidget *view, const ReplySegment &segment) {
    if (segment.kind == ReplySegment::Kind::code)
        static_cast<CodeBlock *>(view)->setLines(segment.lines);
    else
        static_cast<FormattedText *>(view)->setMarkdown(segment.text);
}

void MessageRow::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_noticeIcon)
        paintNoticeIcon();
}
