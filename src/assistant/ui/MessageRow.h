#pragma once

#include "assistant/AssistantModel.h"
#include "assistant/ReplySegment.h"

#include <QWidget>

class QLabel;
class QVBoxLayout;

// One message of the conversation: the user's question in a bubble on the
// trailing side, a reply as formatted prose and code blocks, or a notice.
class MessageRow : public QWidget {
    Q_OBJECT
public:
    MessageRow(const AssistantModel::Message &message, QWidget *parent = nullptr);

    QUuid messageID() const { return m_id; }
    AssistantModel::Role role() const { return m_role; }
    // Same message, new text: a reply re-renders only what changed.
    void setText(const QString &text);
    // While true the reply shows "Thinking…" in place of its (still empty) text.
    void setThinking(bool thinking);

Q_SIGNALS:
    void insertRequested(const QString &command);
    void linkActivated(const QUrl &url);

protected:
    void changeEvent(QEvent *event) override;

private:
    void buildUser(const QString &text);
    void buildNotice(const QString &text, bool isError);
    void buildReply();
    void showSegments(const QList<ReplySegment> &segments);
    QWidget *makeSegmentView(const ReplySegment &segment);
    void updateSegmentView(QWidget *view, const ReplySegment &segment);
    void paintNoticeIcon();

    QUuid m_id;
    AssistantModel::Role m_role;
    bool m_isError;
    QVBoxLayout *m_layout;
    // A reply: its segments as shown, with one view each.
    ReplySplitter m_splitter;
    QList<ReplySegment> m_segments;
    QList<QWidget *> m_segmentViews;
    QWidget *m_thinking = nullptr;
    QLabel *m_noticeIcon = nullptr;
};
