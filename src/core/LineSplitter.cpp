#include "core/LineSplitter.h"

namespace {

void deliver(QByteArrayView line, const GAM::LineHandler &onLine) {
    if (line.endsWith('\r'))
        line.chop(1);
    onLine(QString::fromUtf8(line));
}

} // namespace

void LineSplitter::feed(const QByteArray &bytes, const GAM::LineHandler &onLine) {
    m_pending.append(bytes);
    qsizetype lineStart = 0;
    for (qsizetype end = m_pending.indexOf('\n', m_searchFrom); end >= 0; end = m_pending.indexOf('\n', lineStart)) {
        deliver(QByteArrayView(m_pending).sliced(lineStart, end - lineStart), onLine);
        lineStart = end + 1;
    }
    m_pending.remove(0, lineStart);
    // Bytes already searched hold no LF; a long line fed in pieces stays linear.
    m_searchFrom = m_pending.size();
}

void LineSplitter::finish(const GAM::LineHandler &onLine) {
    if (!m_pending.isEmpty())
        deliver(m_pending, onLine);
    m_pending.clear();
    m_searchFrom = 0;
}
