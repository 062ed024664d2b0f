#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class Console;

// The Custom Command tab: runs any command line the user types, streaming its
// output into the log, and remembers the session's recent commands.
class CustomCommandModel : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype historyLimit = 20;

    explicit CustomCommandModel(Console *console, QObject *parent = nullptr);

    QString command() const { return m_command; }
    void setCommand(const QString &command);
    // Most recent first, without duplicates.
    const QStringList &history() const { return m_history; }

    void run();

    static QString initialCommand();

Q_SIGNALS:
    void commandChanged(const QString &command);
    void historyChanged();

private:
    void remember(const QString &commandText);

    Console *m_console;
    QString m_command;
    QStringList m_history;
};
