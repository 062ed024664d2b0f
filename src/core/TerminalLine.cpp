#include "core/TerminalLine.h"

QStringView asTerminalShows(QStringView line) {
    if (line.endsWith(u'\r'))
        line.chop(1);
    return line.sliced(line.lastIndexOf(u'\r') + 1);
}
