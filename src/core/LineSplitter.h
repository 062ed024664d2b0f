#pragma once

#include "core/GAM.h"

#include <QByteArray>

// Cuts a byte stream into lines at LF. Each line loses one trailing CR and is
// decoded as UTF-8 on its own, so a character split across reads stays whole.
class LineSplitter {
public:
    void feed(const QByteArray &bytes, const GAM::LineHandler &onLine);
    // Delivers bytes left after the last LF as a final line.
    void finish(const GAM::LineHandler &onLine);

private:
    QByteArray m_pending;
    qsizetype m_searchFrom = 0;
};
