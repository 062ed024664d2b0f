#include "tabs/GmailModel.h"

#include "core/CSV.h"
#include "core/CommandLine.h"
#include "core/Console.h"
#include "core/GAM.h"
#include "core/SpaceTrim.h"
#include "core/TerminalLine.h"
#include "profiles/ProfileStore.h"
#include "tabs/MessageRunOutcome.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

constexpr double findTimeoutSeconds = 60;
constexpr auto findLimit = "50";

QString confirmationTail() {
    return u"\n\nThis action cannot be undone. Continue?\n\nDomain: "_s + currentActiveProfile().displayName();
}

} // namespace

GmailModel::GmailModel(Console *console, QObject *parent)
    : QObject(parent)
    , m_console(console)
    , m_messageIDForm(new GmailListForm(this))
    , m_senderForm(new GmailListForm(this))
    , m_propertiesForm(new GmailPropertiesForm(this)) {}

void GmailModel::setMode(GmailMode mode) {
    if (m_mode == mode)
        return;
    m_mode = mode;
    Q_EMIT modeChanged();
}

GmailListForm *GmailModel::listForm(GmailMode mode) const {
    return mode == GmailMode::sender ? m_senderForm : m_messageIDForm;
}

QString GmailModel::sampleSender() {
    return u"billing@suspicious-invoices.example"_s;
}

QString GmailModel::sampleMessageID() {
    return u"<CAF3x9Ab12cD@mail.gmail.com>"_s;
}

// ---- Validation and work items ----

bool GmailModel::checkList(GmailMode mode) {
    const GmailListForm *form = listForm(mode);
    if (!form->targetFields()->checkTarget(*m_console))
        return false;
    if (form->values().isEmpty()) {
        m_console->showAlert(u"Missing Input"_s, mode == GmailMode::sender
                                                     ? u"Please enter at least one sender email."_s
                                                     : u"Please enter at least one Message-ID."_s);
        return false;
    }
    return true;
}

bool GmailModel::checkProperties(const QString &missingQueryMessage) {
    if (!m_propertiesForm->targetFields()->checkTarget(*m_console))
        return false;
    if (m_propertiesForm->query().isEmpty()) {
        m_console->showAlert(u"Missing Input"_s, missingQueryMessage);
        return false;
    }
    return true;
}

GmailModel::WorkItems GmailModel::listItems(GmailMode mode) const {
    const QString operatorPrefix = mode == GmailMode::sender ? u"from:"_s : u"rfc822msgid:"_s;
    WorkItems items;
    items.values = listForm(mode)->values();
    for (const QString &value : std::as_const(items.values))
        items.terms.append(operatorPrefix + value);
    return items;
}

// ---- Actions ----

void GmailModel::previewList(GmailMode mode) {
    if (!checkList(mode))
        return;
    startRun(true, listForm(mode)->targetFields(), listItems(mode));
}

void GmailModel::deleteList(GmailMode mode) {
    if (!checkList(mode))
        return;
    MailTargetFields *target = listForm(mode)->targetFields();
    const WorkItems items = listItems(mode);
    const qsizetype count = items.values.size();
    QString message;
    if (mode == GmailMode::sender) {
        message = u"Delete all messages from "_s + QString::number(count) +
                  (count == 1 ? u" sender"_s : u" senders"_s) + u":\n\n"_s + items.values.join(u'\n') +
                  u"\n\nTarget: "_s + target->targetDescription();
    } else {
        message = u"Delete "_s + QString::number(count) + (count == 1 ? u" message"_s : u" messages"_s) +
                  u" from:\n\n"_s + target->targetDescription();
    }
    confirmDelete(message + confirmationTail(), target, items);
}

void GmailModel::previewProperties() {
    if (!checkProperties(u"Please fill in at least one search field (From, Keywords, or Date)."_s))
        return;
    const QString query = m_propertiesForm->query();
    startRun(true, m_propertiesForm->targetFields(), {{query}, {query}});
}

void GmailModel::deleteProperties() {
    if (!checkProperties(u"Please fill in at least one search field (From, Keywords, or Date)."_s))
        return;
    MailTargetFields *target = m_propertiesForm->targetFields();
    const QString query = m_propertiesForm->query();
    const QString message = u"Delete all messages matching:\n\n"_s + query + u"\n\nTarget: "_s +
                            target->targetDescription() + confirmationTail();
    confirmDelete(message, target, {{query}, {query}});
}

void GmailModel::findMessages() {
    if (!checkProperties(u"Please fill in at least one search field."_s))
        return;
    const MailTargetFields *target = m_propertiesForm->targetFields();
    if (target->target() != MailTarget::specific) {
        m_console->showAlert(u"Specific User Required"_s,
                             u"Find Messages works on a single mailbox so you can verify your query before running a "
                             u"domain-wide delete.\n\nSwitch to Specific User, pick someone you know received the "
                             u"email, confirm the query is right, then switch back to Domain / All Users to delete."_s);
        return;
    }
    const QString query = m_propertiesForm->query();
    const QStringList arguments{u"user"_s,         target->email().trimmed(),
                                u"print"_s,        u"messages"_s,
                                u"query"_s,        query,
                                u"headers"_s,      u"Subject,From,Date"_s,
                                u"max_to_print"_s, QString::fromLatin1(findLimit)};
    m_console->run(u"Find Messages"_s,
                   [this, arguments, query](CancelToken cancel) { return runFind(arguments, query, cancel); });
}

void GmailModel::clear() {
    if (m_mode == GmailMode::properties)
        m_propertiesForm->clear();
    else
        listForm(m_mode)->clear();
}

void GmailModel::confirmDelete(const QString &message, MailTargetFields *target, WorkItems items) {
    AlertItem alert;
    alert.title = u"Confirm Delete"_s;
    alert.message = message;
    alert.confirmTitle = u"Delete"_s;
    alert.isDestructive = true;
    // The target is read when the user confirms; the items are the ones shown in the message.
    alert.onConfirm = [this, target, items] { startRun(false, target, items); };
    m_console->setAlert(alert);
}

void GmailModel::startRun(bool preview, MailTargetFields *target, WorkItems items) {
    m_console->run(preview ? u"Preview"_s : u"Delete Messages"_s,
                   [this, preview, items, kind = target->target(), arguments = target->targetArguments(),
                    description = target->targetDescription()](CancelToken cancel) {
                       return runItems(preview, items, kind, arguments, description, cancel);
                   });
}

// ---- Runs ----

// Each run guards itself: the model may be destroyed while gam runs, so after every
// co_await (and in the line handler) it goes on only while `self` is set.
QCoro::Task<> GmailModel::runItems(bool preview, WorkItems items, MailTarget target, QStringList targetArguments,
                                   QString targetDescription, CancelToken cancel) {
    const QPointer<GmailModel> self(this);
    const LogKind outputKind = preview ? LogKind::preview : LogKind::plain;
    m_console->log((preview ? u"[PREVIEW] "_s : u"[DELETE] "_s) + QString::number(items.values.size()) +
                       u" item(s) — target: "_s + targetDescription,
                   preview ? LogKind::preview : LogKind::info);

    int completed = 0;
    int failed = 0;
    for (qsizetype i = 0; i < items.values.size(); ++i) {
        if (cancel.isCancelled())
            break;
        const QString &value = items.values.at(i);
        // Without max_to_delete 0, gam acts on at most one message per mailbox.
        QStringList arguments = targetArguments + QStringList{u"delete"_s,       u"messages"_s,      u"query"_s,
                                                              items.terms.at(i), u"max_to_delete"_s, u"0"_s};
        if (!preview)
            arguments.append(u"doit"_s);
        m_console->log(u">> "_s + displayCommand(arguments), LogKind::command);

        MessageRunTally tally;
        // Named, not built inside the co_await: GCC 12 destroys such temporaries twice.
        const GAM::LineHandler onLine = [self, &tally, outputKind](const QString &output) {
            // Resolved as a terminal would: gam rewrites its "Got N ..." counters in place.
            const QString line = asTerminalShows(output).toString();
            tally.addLine(line);
            const QString trimmed = trimSpacesAndTabs(line);
            if (!self || trimmed.isEmpty() || trimmed.toLower().contains(u"no messages"_s))
                return;
            self->m_console->log(u"  "_s + line, outputKind);
        };
        int status = 0;
        try {
            status = co_await GAM::streamGAM(arguments, onLine, cancel);
        } catch (const EndedBySignal &crash) {
            if (!self)
                co_return;
            m_console->log(u"  FAILED: "_s + value + u" (signal "_s + QString::number(crash.signal()) + u")"_s,
                           LogKind::error);
            ++failed;
            continue;
        } catch (const std::exception &error) {
            if (!self)
                co_return;
            m_console->logFailure(error, u"delete"_s);
            break;
        }
        if (!self)
            co_return;

        switch (judgeMessageRun(preview, target, status, tally)) {
        case MessageRunOutcome::previewComplete:
            m_console->log(u"  Preview complete: "_s + value, LogKind::preview);
            ++completed;
            break;
        case MessageRunOutcome::finished:
            m_console->log(u"  Finished: "_s + value, LogKind::success);
            ++completed;
            break;
        case MessageRunOutcome::noMessages:
            m_console->log(u"  No messages found for: "_s + value, LogKind::warning);
            ++completed;
            break;
        case MessageRunOutcome::failed:
            m_console->log(u"  FAILED: "_s + value + u" (exit "_s + QString::number(status) + u")"_s, LogKind::error);
            ++failed;
            break;
        }
    }

    m_console->log((preview ? u"Preview done"_s : u"Done"_s) + u" — "_s + QString::number(completed) +
                       u" completed, "_s + QString::number(failed) + u" failed."_s,
                   preview ? LogKind::preview : LogKind::info);
}

QCoro::Task<> GmailModel::runFind(QStringList arguments, QString query, CancelToken cancel) {
    const QPointer<GmailModel> self(this);
    m_console->log(u"[FIND] "_s + displayCommand(arguments), LogKind::command);
    CommandResult result;
    try {
        result = co_await GAM::runGAM(arguments, findTimeoutSeconds, GAM::ProfileChoice::active(), cancel);
    } catch (const std::exception &error) {
        if (self)
            m_console->logFailure(error, u"Find Messages"_s);
        co_return;
    }
    if (!self)
        co_return;

    m_console->logOutput(result.stdErr, LogKind::warning, 15);
    const QString output = result.stdOut.trimmed();
    if (output.isEmpty()) {
        m_console->log(u"  No messages returned — the mailbox may have no matching messages."_s, LogKind::warning);
        co_return;
    }
    const auto parsed = parseCSV(output);
    if (parsed.rows.isEmpty()) {
        // gam prints only the header, and exits 60, when the query matched nothing.
        m_console->log(result.exitCode == 60 ? u"  No messages returned — the mailbox may have no matching messages."_s
                                             : u"  GAM returned output but no parseable rows."_s,
                       LogKind::warning);
        co_return;
    }

    const QString count = QString::number(parsed.rows.size());
    m_console->log(u"  Found "_s + count + u" message(s):"_s, LogKind::preview);
    ResultsTable table;
    table.title = u"Found Messages — "_s + count + u" result(s)"_s;
    table.query = query;
    table.summary = count + u" message(s) matched  •  max 50 shown"_s;
    table.columns = {u"User Email"_s, u"Date"_s, u"From"_s, u"Subject"_s};
    table.exportName = u"gmail_results"_s;
    for (const CSVRow &row : parsed.rows) {
        m_console->log(u"    Subject: "_s + row[u"subject"_s].value_or(u"(no subject)"_s), LogKind::preview);
        QStringList cells;
        for (const QString &key : {u"user"_s, u"date"_s, u"from"_s, u"subject"_s})
            cells.append(row[key].value_or(QString()));
        table.rows.append(cells);
    }
    m_console->setResults(table);
}
