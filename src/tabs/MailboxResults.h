#pragma once

#include "core/Console.h"
#include "tabs/MailboxLine.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>
#include <optional>

enum class MailboxOutcome { deleted, wouldDelete, noMatch, failed };

// "Deleted", "Would delete", "No match", "Failed".
QString outcomeName(MailboxOutcome outcome);

// One mailbox's result for one work item (a sender, a Message-ID or the query).
struct MailboxResult {
    QString mailbox;
    qsizetype item = 0;
    std::optional<qint64> matched; // none when the mailbox failed before GAM counted
    qint64 deleted = 0;
    MailboxOutcome outcome = MailboxOutcome::noMatch;
    QString reason; // GAM's, when failed

    // "Deleted", "Would delete", "No match" or "Failed: " + reason.
    QString outcomeText() const;
};

// The per-mailbox results of a preview or delete over many mailboxes, one row per
// mailbox and item in the order GAM first reported them. A retry updates rows in place.
class MailboxResults {
public:
    void add(qsizetype item, const MailboxLine &line);

    const QList<MailboxResult> &rows() const { return m_rows; }
    bool isEmpty() const { return m_rows.isEmpty(); }
    // Distinct mailboxes, whatever their letter case.
    qsizetype mailboxCount() const { return m_mailboxes.size(); }
    qsizetype count(MailboxOutcome outcome) const;
    // The mailboxes whose row for item failed, in table order.
    QStringList failedMailboxes(qsizetype item) const;
    // Every mailbox with a failed row, once, in table order.
    QStringList failedMailboxes() const;
    // Before the failed rows are run again: the next line about each starts it afresh,
    // and one that gets no line keeps its failure.
    void prepareRetry();

private:
    QList<MailboxResult> m_rows;
    QHash<std::pair<qsizetype, QString>, qsizetype> m_rowOf; // (item, lower-case mailbox)
    QSet<QString> m_mailboxes;                               // lower case
    QSet<qsizetype> m_retrying;                              // rows awaiting their first retry line
};

// The results sheet's table: columns "Mailbox", itemColumn ("Sender", "Message-ID",
// "Query"), "Matched", "Deleted", "Outcome"; items are the display values by index.
ResultsTable mailboxResultsTable(const MailboxResults &results, const QStringList &items, const QString &itemColumn,
                                 const QString &query);
