#pragma once

#include "core/Error.h"

#include <QStringList>

// A typed command line ended inside an open quotation.
class UnbalancedQuote : public Error {
public:
    UnbalancedQuote()
        : Error(QStringLiteral("No closing quotation.")) {}
};

// Splits a command line into arguments with a small subset of POSIX shell rules:
// single and double quotes and backslash escapes only, never any expansion.
// Works on user-perceived characters, so a quote carrying a combining mark is
// ordinary text and CR LF is one white-space character. Throws UnbalancedQuote.
QStringList tokenize(const QString &line);

// The argument as a POSIX shell would read it back: unchanged when every scalar
// is a letter, mark or number of any script or one of "@%+=:,./-_", otherwise
// single-quoted.
QString shellQuote(const QString &argument);

// A gam argument vector (without the program) as one copy-pasteable line
// starting with "gam".
QString displayCommand(const QStringList &arguments);
