#include "security/PasswordGenerator.h"

#include "core/Error.h"

#include <QStringList>
#include <cerrno>
#include <cstring>
#include <limits>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString upper = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ"_s;
const QString lower = u"abcdefghijklmnopqrstuvwxyz"_s;
const QString digits = u"0123456789"_s;
const QString symbols = u"!@#$"_s;
constexpr int passwordLength = 16;

QChar pick(const QString &alphabet, const RandomDraw &draw) {
    return alphabet.at(uniformBelow(quint32(alphabet.size()), draw));
}

} // namespace

quint32 systemRandom() {
    quint32 value = 0;
    // getentropy blocks until the kernel's pool is seeded and never returns short.
    if (getentropy(&value, sizeof value) != 0)
        throw Error(u"The system's secure random source is unavailable: "_s + QString::fromLocal8Bit(strerror(errno)));
    return value;
}

quint32 uniformBelow(quint32 bound, const RandomDraw &draw) {
    Q_ASSERT(bound > 0);
    // 2^32 mod bound values at the top would make the low results more likely; they are drawn again.
    const quint64 span = quint64(std::numeric_limits<quint32>::max()) + 1;
    const quint64 accepted = span - span % bound;
    for (;;) {
        const quint32 value = draw();
        if (value < accepted)
            return value % bound;
    }
}

void shuffleCharacters(QString &text, const RandomDraw &draw) {
    for (qsizetype i = text.size() - 1; i > 0; --i) {
        const qsizetype j = uniformBelow(quint32(i + 1), draw);
        std::swap(text[i], text[j]);
    }
}

QString generatePassword(const RandomDraw &draw) {
    const QString all = upper + lower + digits + symbols;
    QString password;
    password.reserve(passwordLength);
    for (const QString *alphabet : {&upper, &lower, &digits, &symbols})
        password.append(pick(*alphabet, draw));
    while (password.size() < passwordLength)
        password.append(pick(all, draw));
    shuffleCharacters(password, draw);
    return password;
}
