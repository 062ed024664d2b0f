#pragma once

#include <QString>

// Removes Unicode space separators (U+0020, U+00A0, U+2000…) and tabs from both
// ends; line breaks stay, unlike QString::trimmed().
QString trimSpacesAndTabs(const QString &text);
