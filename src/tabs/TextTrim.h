#pragma once

#include <QString>

// Removes spaces and tabs (but not line breaks) from both ends.
QString trimSpacesAndTabs(const QString &text);
