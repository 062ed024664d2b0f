#pragma once

#include "assistant/AssistantModel.h"
#include "assistant/ReplySegment.h"

#include <QWidget>

class QLabel;
class QVBoxLayout;
class ReplyView;

// One message of the conversation: the user's question in a bubble on the
// trailing side, a reply as formatted prose and code blocks, or a notice.
class MessageRow : public QWidget {
    Q_OBJECT
public:
    explicit MessageRow(const AssistantModel::Message &message, QWidget *parent = nullptr);

    QUuid messageID() const { return m_id; }
    AssistantModel::Role role() const { return m_role; }
    // A reply's new text: split again from its last complete line, and only new lines rendered.
    void setText(const QString &text);
    // While true the reply shows "Thinking…" in place of its (still empty) text.
    void setThinking(bool thinking);
    ReplyView *reply() const { return m_reply; }

Q_SIGNALS:
    void insertRequested(const QString &command);
    void linkActivated(const QUrl &url);

protected:
    void changeEvent(QEvent *event) override;

private:
    void buildUser(const QString &text);
    void buildNotice(const QString &text);
    void buildReply();
    void paintNoticeIcon();

    QUuid m_id;
    AssistantModel::Role m_role;
    bool m_isError;
    QVBoxLayout *m_layout;
    ReplySplitter m_splitter;
    ReplyView *m_reply = nullptr;
    QWidget *m_thinking = nullptr;
    QLabel *m_noticeIcon = nullptr;
};
