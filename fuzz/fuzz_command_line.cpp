// Quoting reads back: shellQuote and displayCommand always tokenize to the
// arguments they were given, and a tokenized line displayed again tokenizes to
// the same arguments. The input is the line; split at NUL it is also a list of
// arguments. An odd first byte makes the rest UTF-16, lone surrogates and all.
#include "Require.h"
#include "core/CommandLine.h"

#include <cstdint>

namespace {

QString textOf(const uint8_t *data, size_t size) {
    if (size > 0 && data[0] % 2 == 1) {
        QString text(qsizetype((size - 1) / 2), Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] = QChar(char16_t(data[1 + 2 * i] | data[2 + 2 * i] << 8));
        return text;
    }
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

void requireReadsBack(const QStringList &arguments) {
    for (const QString &argument : arguments) {
        const QString quoted = shellQuote(argument);
        require(tokenize(quoted) == QStringList{argument}, "tokenize(shellQuote(a)) == {a}", argument, quoted);
    }
    const QString line = displayCommand(arguments);
    require(tokenize(line) == QStringList{QStringLiteral("gam")} + arguments,
            "tokenize(displayCommand(args)) == {gam, args...}", arguments, line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = textOf(data, size);
    requireReadsBack(text.split(QChar(0)));
    QStringList tokens;
    try {
        tokens = tokenize(text);
    } catch (const UnbalancedQuote &) {
        return 0; // not a command line: nothing to read back
    }
    requireReadsBack(tokens);
    return 0;
}
