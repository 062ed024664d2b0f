#include "ScriptedTerminal.h"

using namespace Qt::StringLiterals;

ScriptedTerminal::ScriptedTerminal(QByteArray answers)
    : m_answers(std::move(answers)) {}

bool ScriptedTerminal::open(const QString &scriptPath) {
    auto run = std::make_unique<Run>();
    run->process = std::make_unique<QProcess>();
    QProcess *process = run->process.get();
    process->setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TERM"_s, u"dumb"_s);
    process->setProcessEnvironment(environment);
    QObject::connect(process, &QProcess::readyRead, process,
                     [process, output = &run->output] { output->append(process->readAll()); });
    process->start(u"bash"_s, {scriptPath});
    if (!process->waitForStarted(10000))
        return false;
    process->write(m_answers);
    process->closeWriteChannel();
    m_runs.push_back(std::move(run));
    return true;
}

bool ScriptedTerminal::finished() const {
    for (const auto &run : m_runs) {
        if (run->process->state() != QProcess::NotRunning)
            return false;
    }
    return true;
}

int ScriptedTerminal::exitCode() const {
    return m_runs.empty() ? -1 : m_runs.back()->process->exitCode();
}

QString ScriptedTerminal::output() const {
    return m_runs.empty() ? QString() : QString::fromUtf8(m_runs.back()->output);
}
