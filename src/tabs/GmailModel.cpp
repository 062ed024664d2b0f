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
#include <QSet>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

constexpr double findTimeoutSeconds = 60;
const QString runInParallelKey = u"gmail.runInParallel"_s;
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
    , m_propertiesForm(new GmailPropertiesForm(this))
    , m_runInParallel(QSettings().value(runInParallelKey, false).toBool()) {}

void GmailModel::setMode(GmailMode mode) {
    if (m_mode == mode)
        return;
    m_mode = mode;
    Q_EMIT modeChanged();
}

void GmailModel::setRunInParallel(bool parallel) {
    if (m_runInParallel == parallel)
        return;
    m_runInParallel = parallel;
    QSettings().setValue(runInParallelKey, parallel);
    Q_EMIT runInParallelChanged();
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
    const bool bySender = mode == GmailMode::sender;
    const QString operatorPrefix = bySender ? u"from:"_s : u"rfc822msgid:"_s;
    WorkItems items;
    items.values = listForm(mode)->values();
    for (const QString &value : std::as_const(items.values))
        items.terms.append(operatorPrefix + value);
    items.column = bySender ? u"Sender"_s : u"Message-ID"_s;
    return items;
}

GmailModel::WorkItems GmailModel::propertiesItems() const {
    const QString query = m_propertiesForm->query();
    return {{query}, {query}, u"Query"_s};
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
    startRun(true, m_propertiesForm->targetFields(), propertiesItems());
}

void GmailModel::deleteProperties() {
    if (!checkProperties(u"Please fill in at least one search field (From, Keywords, or Date)."_s))
        return;
    MailTargetFields *target = m_propertiesForm->targetFields();
    const QString query = m_propertiesForm->query();
    const QString message = u"Delete all messages matching:\n\n"_s + query + u"\n\nTarget: "_s +
                            target->targetDescription() + confirmationTail();
    confirmDelete(message, target, propertiesItems());
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
    auto run = std::make_shared<MessageRun>();
    run->preview = preview;
    run->items = std::move(items);
    run->target = target->target();
    run->parallel = m_runInParallel;
    QList<MessageRunStep> steps;
    for (qsizetype item = 0; item < run->items.values.size(); ++item)
        steps.append({item, target->targetArguments()});
    m_console->run(preview ? u"Preview"_s : u"Delete Messages"_s,
                   [this, run, steps, description = target->targetDescription()](CancelToken cancel) {
                       return runSteps(run, steps, description, cancel);
                   });
}

void GmailModel::confirmRetry(std::shared_ptr<MessageRun> run) {
    const QStringList mailboxes = run->results.failedMailboxes();
    if (mailboxes.isEmpty())
        return;
    const qsizetype count = mailboxes.size();
    constexpr qsizetype listed = 10;
    QString list = mailboxes.first(std::min(count, listed)).join(u'\n');
    if (count > listed)
        list += u"\n… and "_s + QString::number(count - listed) + u" more"_s;
    const QString mailboxCount = QString::number(count) + (count == 1 ? u" mailbox"_s : u" mailboxes"_s);

    AlertItem alert;
    alert.title = u"Retry Failed Mailboxes"_s;
    if (run->preview) {
        alert.message = u"Preview again in the "_s + mailboxCount + u" that failed:\n\n"_s + list + u"\n\nDomain: "_s +
                        currentActiveProfile().displayName();
        alert.confirmTitle = u"Preview"_s;
    } else {
        alert.message = u"Delete the matching messages again in the "_s + mailboxCount + u" that failed:\n\n"_s + list +
                        confirmationTail();
        alert.confirmTitle = u"Delete"_s;
        alert.isDestructive = true;
    }
    alert.onConfirm = [self = QPointer(this), run] {
        if (self)
            self->startRetry(run);
    };
    m_console->setAlert(alert);
}

void GmailModel::startRetry(std::shared_ptr<MessageRun> run) {
    const QString description = QString::number(run->results.failedMailboxes().size()) + u" failed mailbox(es)"_s;
    m_console->run(run->preview ? u"Preview"_s : u"Delete Messages"_s, [this, run, description](CancelToken cancel) {
        const QList<MessageRunStep> steps = retrySteps(*run);
        run->results.prepareRetry();
        // The sheet closes while the retry runs, so Stop stays within reach.
        m_console->setResults(std::nullopt);
        return runSteps(run, steps, description, cancel);
    });
}

void GmailModel::showMailboxResults(const std::shared_ptr<MessageRun> &run) {
    ResultsTable table = messageRunTable(*run);
    if (run->results.count(MailboxOutcome::failed) > 0)
        table.action = ResultsAction{u"Retry Failed Mailboxes…"_s, [self = QPointer(this), run] {
                                         if (self)
                                             self->confirmRetry(run);
                                     }};
    m_console->setResults(table);
}

// ---- Runs ----

// The model may be destroyed while gam runs, so after every co_await (and in the
// line handler) the run goes on only while `self` is set.
QCoro::Task<> GmailModel::runSteps(std::shared_ptr<MessageRun> run, QList<MessageRunStep> steps,
                                   QString targetDescription, CancelToken cancel) {
    const QPointer<GmailModel> self(this);
    const bool preview = run->preview;
    const LogKind outputKind = preview ? LogKind::preview : LogKind::plain;
    QSet<qsizetype> items;
    for (const MessageRunStep &step : std::as_const(steps))
        items.insert(step.item);
    m_console->log((preview ? u"[PREVIEW] "_s : u"[DELETE] "_s) + QString::number(items.size()) +
                       u" item(s) — target: "_s + targetDescription,
                   preview ? LogKind::preview : LogKind::info);

    int completed = 0;
    int failed = 0;
    for (const MessageRunStep &step : std::as_const(steps)) {
        if (cancel.isCancelled())
            break;
        const QString value = run->items.values.at(step.item);
        const QStringList arguments = messageRunArguments(*run, step);
        m_console->log(u">> "_s + displayCommand(arguments), LogKind::command);

        MessageRunTally tally;
        // Named, not built inside the co_await: GCC 12 destroys such temporaries twice.
        const GAM::LineHandler onLine = [self, run, item = step.item, &tally, outputKind](const QString &output) {
            // gam rewrites its "Got N ..." counters with carriage returns: every piece may name a
            // mailbox, and the log shows the line as a terminal would.
            for (const QStringView piece : QStringView(output).tokenize(u'\r')) {
                if (const auto mailbox = readMailboxLine(piece)) {
                    tally.add(*mailbox);
                    if (run->coversManyMailboxes())
                        run->results.add(item, *mailbox);
                }
            }
            const QString line = asTerminalShows(output).toString();
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

        switch (judgeMessageRun(preview, run->target, status, tally)) {
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
    if (run->coversManyMailboxes() && !run->results.isEmpty())
        showMailboxResults(run);
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
