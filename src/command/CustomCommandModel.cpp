#include "command/CustomCommandModel.h"

#include "core/CommandLine.h"
#include "core/Console.h"
#include "core/GAM.h"
#include "core/SpaceTrim.h"
#include "core/TerminalLine.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

QCoro::Task<> runTokens(QPointer<Console> console, QStringList tokens, QString commandText, CancelToken cancel) {
    console->log(u"[RUN] "_s + commandText, LogKind::command);
    const auto onLine = [console](const QString &output) {
        // Resolved before indenting, or a carriage return would overwrite the indent.
        const QString line = asTerminalShows(output).toString();
        if (console && !trimSpacesAndTabs(line).isEmpty())
            console->log(u"  "_s + line, LogKind::plain);
    };
    try {
        // Anything but a bare "gam" is looked up along the child's PATH by env.
        int status = 0;
        if (tokens.first() == u"gam"_s)
            status = co_await GAM::streamGAM(tokens.mid(1), onLine, cancel);
        else
            status = co_await GAM::stream(u"/usr/bin/env"_s, tokens, onLine, cancel);
        if (!console)
            co_return;
        if (status == 0)
            console->log(u"  Command completed successfully."_s, LogKind::success);
        else
            console->log(u"  Command exited with code "_s + QString::number(status) + u"."_s, LogKind::warning);
    } catch (const std::exception &error) {
        if (console)
            console->logFailure(error, u"command"_s);
    }
}

} // namespace

QString CustomCommandModel::initialCommand() {
    return u"gam "_s;
}

CustomCommandModel::CustomCommandModel(Console *console, QObject *parent)
    : QObject(parent)
    , m_console(console)
    , m_command(initialCommand()) {}

void CustomCommandModel::setCommand(const QString &command) {
    if (command == m_command)
        return;
    m_command = command;
    Q_EMIT commandChanged(m_command);
}

void CustomCommandModel::run() {
    const QString commandText = trimSpacesAndTabs(m_command);
    QStringList tokens;
    try {
        tokens = tokenize(commandText);
    } catch (const Error &error) {
        m_console->showAlert(u"Invalid Command"_s, u"Could not parse command:\n"_s + error.description());
        return;
    }
    if (tokens.isEmpty()) {
        m_console->showAlert(u"No Command"_s, u"Please enter a GAM command to run."_s);
        return;
    }
    // Remembered before the console may refuse as busy, so the user can run it later.
    remember(commandText);
    QPointer<Console> console = m_console;
    m_console->run(u"Custom Command"_s, [console, tokens, commandText](CancelToken cancel) {
        return runTokens(console, tokens, commandText, std::move(cancel));
    });
}

void CustomCommandModel::remember(const QString &commandText) {
    m_history.removeAll(commandText);
    m_history.prepend(commandText);
    while (m_history.size() > historyLimit)
        m_history.removeLast();
    Q_EMIT historyChanged();
}
