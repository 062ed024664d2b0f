#pragma once

#include <QStringView>

// What a terminal ends up showing for one output line that gam rewrote in place
// with carriage returns (its "Got N ..." counters): the text after the last CR.
// A single CR at the end (from CR LF) is ignored.
QStringView asTerminalShows(QStringView line);
