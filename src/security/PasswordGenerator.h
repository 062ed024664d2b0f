#pragma once

#include <QString>
#include <functional>

// A source of uniformly distributed 32-bit values.
using RandomDraw = std::function<quint32()>;

// A value from the operating system's cryptographically secure source. Throws
// Error when the system cannot supply one.
quint32 systemRandom();

// A uniform value in [0, bound): raw values from the top, biased range are
// rejected and drawn again, so no value is more likely than another.
quint32 uniformBelow(quint32 bound, const RandomDraw &draw);

// Fisher–Yates: every order of the characters is equally likely.
void shuffleCharacters(QString &text, const RandomDraw &draw);

// 16 characters: one each of upper case, lower case, digit and "!@#$", twelve
// more from all of them, shuffled.
QString generatePassword(const RandomDraw &draw = systemRandom);
