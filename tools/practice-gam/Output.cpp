#include "Output.h"

#include <QFile>

using namespace Qt::StringLiterals;

void Output::append(Stream stream, const QByteArray &bytes) {
    m_chunks.append({stream, bytes});
}

void Output::gettingGot(const QString &getting, qsizetype total, qsizetype pageSize,
                        const std::function<QString(qsizetype)> &got) {
    QString text = getting + u'\n';
    qsizetype shown = 0;
    do {
        shown = std::min(total, shown + pageSize);
        text += u'\r' + got(shown);
    } while (shown < total);
    text += u"\r\n"_s;
    rawErr(text);
}

void Output::csv(const CsvTable &table) {
    if (m_collecting) {
        m_collected.merge(table);
        return;
    }
    if (m_csvPath.isEmpty() || m_csvPath == u"-"_s) {
        append(Out, table.text());
        return;
    }
    QFile file(m_csvPath);
    if (!file.open(m_csvAppend ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate)) {
        err(u"ERROR: File: "_s + m_csvPath + u", Open Failed: "_s + file.errorString());
        m_rc = 6;
        m_failedRedirect = true;
        return;
    }
    file.write(table.text());
}

CsvTable Output::takeCollected() {
    m_collecting = false;
    return std::exchange(m_collected, CsvTable());
}

QString counter(qsizetype i, qsizetype n) {
    return n > 1 ? u" ("_s + QString::number(i) + u'/' + QString::number(n) + u')' : QString();
}
