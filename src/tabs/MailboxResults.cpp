#include "tabs/MailboxResults.h"

using namespace Qt::StringLiterals;

QString outcomeName(MailboxOutcome outcome) {
    switch (outcome) {
    case MailboxOutcome::deleted:
        return u"Deleted"_s;
    case MailboxOutcome::wouldDelete:
        return u"Would delete"_s;
    case MailboxOutcome::noMatch:
        return u"No match"_s;
    case MailboxOutcome::failed:
        break;
    }
    return u"Failed"_s;
}

QString MailboxResult::outcomeText() const {
    return outcome == MailboxOutcome::failed ? u"Failed: "_s + reason : outcomeName(outcome);
}

void MailboxResults::add(qsizetype item, const MailboxLine &line) {
    const QString key = line.mailbox.toLower();
    auto found = m_rowOf.constFind({item, key});
    qsizetype index = 0;
    if (found == m_rowOf.cend()) {
        index = m_rows.size();
        m_rows.append({line.mailbox, item, std::nullopt, 0, MailboxOutcome::noMatch, {}});
        m_rowOf.insert({item, key}, index);
        m_mailboxes.insert(key);
    } else {
        index = *found;
        if (m_retrying.remove(index)) {
            MailboxResult &row = m_rows[index];
            row.matched.reset();
            row.deleted = 0;
            row.outcome = MailboxOutcome::noMatch;
            row.reason.clear();
        }
    }

    // A failure stands, whatever else the mailbox reported.
    MailboxResult &row = m_rows[index];
    const bool failed = row.outcome == MailboxOutcome::failed;
    switch (line.kind) {
    case MailboxLine::Kind::deleting:
        row.matched = line.count;
        if (!failed)
            row.outcome = line.count > 0 ? MailboxOutcome::deleted : MailboxOutcome::noMatch;
        break;
    case MailboxLine::Kind::deleted:
        ++row.deleted;
        row.matched = std::max(row.matched.value_or(0), row.deleted);
        if (!failed)
            row.outcome = MailboxOutcome::deleted;
        break;
    case MailboxLine::Kind::heldForDoit:
        row.matched = line.count;
        if (!failed)
            row.outcome = line.count > 0 ? MailboxOutcome::wouldDelete : MailboxOutcome::noMatch;
        break;
    case MailboxLine::Kind::noMatch:
        row.matched = 0;
        if (!failed)
            row.outcome = MailboxOutcome::noMatch;
        break;
    case MailboxLine::Kind::failed:
        if (!failed) {
            row.outcome = MailboxOutcome::failed;
            row.reason = line.reason;
        }
        break;
    }
}

qsizetype MailboxResults::count(MailboxOutcome outcome) const {
    return std::count_if(m_rows.cbegin(), m_rows.cend(),
                         [outcome](const MailboxResult &row) { return row.outcome == outcome; });
}

QStringList MailboxResults::failedMailboxes(qsizetype item) const {
    QStringList mailboxes;
    for (const MailboxResult &row : m_rows)
        if (row.item == item && row.outcome == MailboxOutcome::failed)
            mailboxes.append(row.mailbox);
    return mailboxes;
}

QStringList MailboxResults::failedMailboxes() const {
    QStringList mailboxes;
    QSet<QString> seen;
    for (const MailboxResult &row : m_rows)
        if (row.outcome == MailboxOutcome::failed && !seen.contains(row.mailbox.toLower())) {
            seen.insert(row.mailbox.toLower());
            mailboxes.append(row.mailbox);
        }
    return mailboxes;
}

void MailboxResults::prepareRetry() {
    for (qsizetype i = 0; i < m_rows.size(); ++i)
        if (m_rows.at(i).outcome == MailboxOutcome::failed)
            m_retrying.insert(i);
}

ResultsTable mailboxResultsTable(const MailboxResults &results, const QStringList &items, const QString &itemColumn,
                                 const QString &query) {
    const qsizetype mailboxes = results.mailboxCount();
    ResultsTable table;
    table.title = u"Mailbox Results — "_s + QString::number(mailboxes) + u" mailbox(es)"_s;
    table.query = query;
    QStringList counts;
    for (MailboxOutcome outcome :
         {MailboxOutcome::deleted, MailboxOutcome::wouldDelete, MailboxOutcome::noMatch, MailboxOutcome::failed}) {
        if (const qsizetype n = results.count(outcome); n > 0)
            counts.append(QString::number(n) + u' ' + outcomeName(outcome));
    }
    table.summary = counts.join(u"  •  "_s);
    table.columns = {u"Mailbox"_s, itemColumn, u"Matched"_s, u"Deleted"_s, u"Outcome"_s};
    table.exportName = u"gmail_mailbox_results"_s;
    table.rows.reserve(results.rows().size());
    for (const MailboxResult &row : results.rows())
        table.rows.append({row.mailbox, items.value(row.item), row.matched ? QString::number(*row.matched) : QString(),
                           QString::number(row.deleted), row.outcomeText()});
    return table;
}
