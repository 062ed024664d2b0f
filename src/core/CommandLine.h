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

// The argument as a POSIX shell and tokenize read it back: unchanged when every
// scalar is a letter, mark or number of any script or one of "@%+=:,./-_",
// otherwise single-quoted. Marks that would join a quote into one character
// stay outside the single quotes.
QString shellQuote(const QString &argument);

// A gam argument vector (without the program) as one copy-pasteable line
// starting with "gam", arguments separated by a space, or by a tab where a mark
// would join a space to the argument beside it.
QString displayCommand(const QStringList &arguments);
