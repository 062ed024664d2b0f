#include "tabs/MessageRun.h"

using namespace Qt::StringLiterals;

namespace {

// Linux takes 128 KiB in one argument and Windows 32 KiB for the whole command line.
constexpr qsizetype userListLimit = 30'000;

} // namespace

QStringList messageRunArguments(const MessageRun &run, const MessageRunStep &step) {
    QStringList arguments;
    if (run.parallel && run.coversManyMailboxes())
        arguments = {
            u"config"_s, u"auto_batch_min"_s, u"1"_s,        u"num_threads"_s, u"20"_s, u"redirect"_s,    u"stdout"_s,
            u"-"_s,      u"multiprocess"_s,   u"redirect"_s, u"stderr"_s,      u"-"_s,  u"multiprocess"_s};
    arguments += step.mailboxArguments;
    // Without max_to_delete 0, gam acts on at most one message per mailbox.
    arguments += {u"delete"_s, u"messages"_s, u"query"_s, run.items.terms.at(step.item), u"max_to_delete"_s, u"0"_s};
    if (!run.preview)
        arguments.append(u"doit"_s);
    return arguments;
}

QList<MessageRunStep> retrySteps(const MessageRun &run) {
    QList<MessageRunStep> steps;
    for (qsizetype item = 0; item < run.items.terms.size(); ++item) {
        QString list;
        const auto flush = [&] {
            if (!list.isEmpty())
                steps.append({item, {u"users"_s, list}});
            list.clear();
        };
        for (const QString &mailbox : run.results.failedMailboxes(item)) {
            if (!list.isEmpty() && list.size() + 1 + mailbox.size() > userListLimit)
                flush();
            list += (list.isEmpty() ? QString() : u","_s) + mailbox;
        }
        flush();
    }
    return steps;
}

ResultsTable messageRunTable(const MessageRun &run) {
    return mailboxResultsTable(run.results, run.items.values, run.items.column, run.items.terms.join(u"  •  "_s));
}
