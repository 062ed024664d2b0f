#pragma once

#include "Csv.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

// Everything a run prints, kept in order until the end of the run so the test hooks
// (pacing, crash midway, invalid UTF-8, huge output) can shape how it leaves the process.
// Results go to stdout, progress and warnings to stderr, as GAM does.
class Output {
public:
    enum Stream { Out, Err };
    struct Chunk {
        Stream stream;
        QByteArray bytes;
    };

    void out(const QString &line) { append(Out, (line + u'\n').toUtf8()); }
    void err(const QString &line) { append(Err, (line + u'\n').toUtf8()); }
    void rawErr(const QString &text) { append(Err, text.toUtf8()); }
    void append(Stream stream, const QByteArray &bytes);

    // GAM's exit status is the code set by the last warning; success never resets it.
    void setRC(int rc) { m_rc = rc; }
    int rc() const { return m_rc; }

    // "Getting all ..." line, then "\rGot n ..." once per page of pageSize, then "\r\n".
    void gettingGot(const QString &getting, qsizetype total, qsizetype pageSize,
                    const std::function<QString(qsizetype)> &got);

    // Writes a CSV listing to stdout, or to the redirect file when one is set.
    void csv(const CsvTable &table);
    void setCsvRedirect(const QString &path, bool append) {
        m_csvPath = path;
        m_csvAppend = append;
    }
    // While collecting (a batched run), CSV listings are merged instead of written.
    void startCollecting() { m_collecting = true; }
    CsvTable takeCollected();

    const QList<Chunk> &chunks() const { return m_chunks; }
    bool failedRedirect() const { return m_failedRedirect; }

private:
    QList<Chunk> m_chunks;
    int m_rc = 0;
    QString m_csvPath;
    bool m_csvAppend = false;
    bool m_collecting = false;
    bool m_failedRedirect = false;
    CsvTable m_collected;
};

// " (i/N)" only when N > 1, as with GAM's default show_counts_min.
QString counter(qsizetype i, qsizetype n);
