#pragma once

#include <QString>

// User text placed inside one line of ours (a table cell, a log or message line).

// Line breaks (CR LF, LF, CR, VT, FF, NEL, LS, PS) become single spaces.
QString oneLine(const QString &text);

// oneLine without the text's own embedding, override and isolate controls. When it
// holds right-to-left script it is wrapped in a first-strong isolate, so a Hebrew or
// Arabic name neither reorders nor swallows the "(id)" after it, behind a left-to-right
// mark, so a line that begins with it still reads from the left.
QString inlineIsolated(const QString &text);
