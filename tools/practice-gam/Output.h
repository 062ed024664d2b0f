#pragma once

#include "Csv.h"
#include "Hooks.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

// Everything a run prints, written as it goes and unbuffered, as GAM does: results to
// stdout, progress and warnings to stderr. The test hooks shape it on the way out
// (pacing, invalid UTF-8, huge output); a run that is to crash halfway through its
// output holds it all until finish(), since halfway needs the whole.
class Output {
public:
    enum Stream { Out, Err };

    explicit Output(const Hooks &hooks);
    ~Output();

    void out(const QString &line) { append(Out, (line + u'\n').toUtf8()); }
    void err(const QString &line) { append(Err, (line + u'\n').toUtf8()); }
    void rawErr(const QString &text) { append(Err, text.toUtf8()); }
    void append(Stream stream, QByteArray bytes);
    // "redirect stdout|stderr FILE": what follows on that stream goes to the file.
    void redirect(Stream stream, const QString &path);

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
    bool failedRedirect() const { return m_failedRedirect; }

    // Writes what the fault hooks add at the end, crashes when asked to, and returns the exit code.
    int finish();

private:
    struct Chunk {
        Stream stream;
        QByteArray bytes;
    };

    void write(Stream stream, const QByteArray &bytes);

    const Hooks &m_hooks;
    std::unique_ptr<QFile> m_files[2];
    QList<Chunk> m_held;         // only for the crash fault
    bool m_wroteStdout = false;  // the invalid-UTF-8 fault marks the first stdout write
    QByteArray m_lastStdoutLine; // what the huge fault repeats
    int m_rc = 0;
    QString m_csvPath;
    bool m_csvAppend = false;
    bool m_collecting = false;
    bool m_failedRedirect = false;
    CsvTable m_collected;
};

// " (i/N)" only when N > 1, as with GAM's default show_counts_min.
QString counter(qsizetype i, qsizetype n);
