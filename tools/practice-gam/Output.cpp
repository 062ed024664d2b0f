#include "Output.h"

#include <QThread>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

void writeAll(int fd, const QByteArray &bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

[[noreturn]] void crash() {
    struct rlimit none {
        0, 0
    };
    setrlimit(RLIMIT_CORE, &none);
    // The default action, even where a sanitizer has installed a handler of its own.
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
    std::abort();
}

} // namespace

Output::Output(const Hooks &hooks)
    : m_hooks(hooks) {}

Output::~Output() = default;

void Output::append(Stream stream, QByteArray bytes) {
    if (m_hooks.invalidUtf8 && stream == Out && !m_wroteStdout) {
        // Bytes that are not UTF-8 inside the first line of standard output.
        bytes.insert(std::max<qsizetype>(0, bytes.indexOf('\n')), "\xff\xfe\xc3\x28");
    }
    if (stream == Out) {
        m_wroteStdout = true;
        if (bytes.endsWith('\n')) {
            const QByteArray body = bytes.chopped(1);
            m_lastStdoutLine = body.mid(body.lastIndexOf('\n') + 1) + '\n';
        }
    }
    if (m_hooks.crash)
        m_held.append({stream, bytes});
    else
        write(stream, bytes);
}

void Output::redirect(Stream stream, const QString &path) {
    auto file = std::make_unique<QFile>(path);
    // A file that cannot be opened leaves the stream where it was.
    if (file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        m_files[stream] = std::move(file);
}

void Output::write(Stream stream, const QByteArray &bytes) {
    if (m_files[stream]) {
        m_files[stream]->write(bytes);
        return;
    }
    const int fd = stream == Out ? STDOUT_FILENO : STDERR_FILENO;
    if (m_hooks.lineDelayMs <= 0) {
        writeAll(fd, bytes);
        return;
    }
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray piece = i + 1 < lines.size() ? lines.at(i) + '\n' : lines.at(i);
        if (piece.isEmpty())
            continue;
        writeAll(fd, piece);
        QThread::msleep(ulong(m_hooks.lineDelayMs));
    }
}

void Output::gettingGot(const QString &getting, qsizetype total, qsizetype pageSize,
                        const std::function<QString(qsizetype)> &got) {
    err(getting);
    // Each page's counter goes out as it is reached, rewriting the line in place.
    qsizetype shown = 0;
    do {
        shown = std::min(total, shown + pageSize);
        rawErr(u'\r' + got(shown));
    } while (shown < total);
    rawErr(u"\r\n"_s);
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

int Output::finish() {
    if (m_hooks.invalidUtf8 && !m_wroteStdout)
        append(Out, "\n");
    if (m_hooks.hugeLines > 0) {
        const QByteArray line = m_lastStdoutLine.isEmpty() ? QByteArray("Practice output line\n") : m_lastStdoutLine;
        QByteArray block;
        block.reserve(line.size() * m_hooks.hugeLines);
        for (int i = 0; i < m_hooks.hugeLines; ++i)
            block += line;
        append(Out, block);
    }
    if (m_hooks.crash) {
        qsizetype total = 0;
        for (const Chunk &chunk : std::as_const(m_held))
            total += chunk.bytes.size();
        qsizetype written = 0;
        for (const Chunk &chunk : std::as_const(m_held)) {
            const qsizetype room = std::max<qsizetype>(0, total / 2 - written);
            write(chunk.stream, chunk.bytes.left(room));
            written += std::min(room, chunk.bytes.size());
            if (written >= total / 2)
                crash();
        }
        crash();
    }
    return m_hooks.exitCode >= 0 ? m_hooks.exitCode : m_rc;
}

QString counter(qsizetype i, qsizetype n) {
    return n > 1 ? u" ("_s + QString::number(i) + u'/' + QString::number(n) + u')' : QString();
}
