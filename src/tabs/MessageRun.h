#pragma once

#include "tabs/MailTarget.h"
#include "tabs/MailboxResults.h"

#include <QList>
#include <QStringList>

// Values shown in the log and the Gmail search terms for them, pairwise; `column`
// names the values in the mailbox results ("Sender", "Message-ID", "Query").
struct MessageWorkItems {
    QStringList values;
    QStringList terms;
    QString column;
};

// One preview or delete of messages: what it looks for, in whose mailboxes and how.
// Runs over many mailboxes collect one result row per mailbox and item.
struct MessageRun {
    bool preview = true;
    MessageWorkItems items;
    MailTarget target = MailTarget::specific;
    bool parallel = false;
    MailboxResults results;

    bool coversManyMailboxes() const { return target != MailTarget::specific; }
};

// One gam run of one work item against the mailboxes its words name.
struct MessageRunStep {
    qsizetype item = 0;
    QStringList mailboxArguments;
};

// The argument vector of a step. A parallel run over many mailboxes goes through
// GAM's batching, each child's output gathered whole so lines never interleave.
QStringList messageRunArguments(const MessageRun &run, const MessageRunStep &step);

// The mailboxes that failed, per item, as "users" steps whose lists stay short
// enough for any command line.
QList<MessageRunStep> retrySteps(const MessageRun &run);

// The mailbox results as the sheet shows them.
ResultsTable messageRunTable(const MessageRun &run);
