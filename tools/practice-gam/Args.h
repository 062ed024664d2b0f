#pragma once

#include <QString>
#include <QStringList>

// GAM keywords ignore case and underscores: "max_to_delete" == "maxToDelete".
QString keyword(const QString &token);

// A usage error: GAM prints the command with >>>marker<<< around the offending argument.
struct UsageError {
    QString message; // e.g. "Missing argument: Expected <...>"
    int index;       // argument index of the marker (== argc for "missing")
};

// Cursor over the argument vector that reports errors the way GAM does.
class Args {
public:
    explicit Args(QStringList argv)
        : m_argv(std::move(argv)) {}

    bool atEnd() const { return m_pos >= m_argv.size(); }
    int pos() const { return m_pos; }
    const QStringList &all() const { return m_argv; }
    QString peek() const { return atEnd() ? QString() : m_argv.at(m_pos); }
    QString peekKeyword() const { return keyword(peek()); }
    // True (and consumes it) when the next argument is the keyword.
    bool take(const QString &kw);
    // The next argument, or a "Missing argument" usage error naming what was expected.
    QString next(const QString &expected);
    // Next argument as a keyword that must be one of the choices.
    QString nextChoice(const QStringList &choices);
    int nextInt(const QString &expected);
    [[noreturn]] void unknown() const;
    [[noreturn]] void missing(const QString &expected) const;

private:
    QStringList m_argv;
    int m_pos = 0;
};
