#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <memory>
#include <vector>

// Stands in for the user's terminal emulator: runs each script it is given with
// bash, feeds it the prepared answers on standard input as if typed, and keeps
// what it printed. Hand open() to FakeDesktopServices::terminal.
class ScriptedTerminal {
public:
    // answers: everything the user would type, line breaks included.
    explicit ScriptedTerminal(QByteArray answers = {});

    bool open(const QString &scriptPath);

    int started() const { return int(m_runs.size()); }
    // Every script started so far has ended.
    bool finished() const;
    // The last run's exit status and its standard output and error, interleaved.
    int exitCode() const;
    QString output() const;

private:
    struct Run {
        std::unique_ptr<QProcess> process;
        QByteArray output;
    };

    QByteArray m_answers;
    std::vector<std::unique_ptr<Run>> m_runs;
};
