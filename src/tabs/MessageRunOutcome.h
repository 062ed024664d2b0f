#pragma once

#include "tabs/MailTarget.h"
#include "tabs/MailboxLine.h"

// What the mailbox lines of one "delete messages" run said, taken together.
class MessageRunTally {
public:
    void add(const MailboxLine &line);

    // A mailbox reported "... Failed: ...".
    bool reportedFailure() const { return m_failure; }
    // A mailbox reported messages deleted ("Delete N Messages", "Message: id, Deleted").
    bool reportedDeletion() const { return m_deletion; }
    // A mailbox reported N > 0 messages held back for "doit".
    bool reportedHeldForDoit() const { return m_held; }

private:
    bool m_failure = false;
    bool m_deletion = false;
    bool m_held = false;
};

enum class MessageRunOutcome { previewComplete, finished, noMessages, failed };

// The outcome of one work item. One mailbox is judged by gam's exit status. Over
// a domain or all users gam exits with the last mailbox's warning (60 when the
// last one held no match), so the streamed lines decide first there.
MessageRunOutcome judgeMessageRun(bool preview, MailTarget target, int exitStatus, const MessageRunTally &tally);
