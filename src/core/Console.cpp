#include "core/Console.h"

#include "core/CSV.h"
#include "core/DesktopServices.h"
#include "core/Error.h"
#include "core/GAM.h"
#include "core/InlineText.h"
#include "core/TerminalLine.h"
#include "core/Utf8.h"
#include "profiles/ProfileStore.h"

#include <QPointer>
#include <QSaveFile>
#include <QStringEncoder>
#include <QTextBoundaryFinder>
#include <cstring>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// User-perceived characters, so combined accents and emoji line up in monospace.
qsizetype characterCount(const QString &text) {
    const bool simple = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x300; });
    if (simple)
        return text.size();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

QString fileExtension(ExportFormat format) {
    return format == ExportFormat::csv ? u"csv"_s : u"txt"_s;
}

QString nameFilter(ExportFormat format) {
    return format == ExportFormat::csv ? u"Comma-separated text (*.csv)"_s : u"Plain text (*.txt)"_s;
}

} // namespace

Console::Console(DesktopServices *desktop, QObject *parent)
    : QObject(parent)
    , m_desktop(desktop) {
    // One notification per event-loop turn, so views insert rows in batches.
    m_announceTimer.setSingleShot(true);
    m_announceTimer.setInterval(0);
    connect(&m_announceTimer, &QTimer::timeout, this, &Console::announceAppended);
}

Console::~Console() {
    // Kills the task's gam and lets the task finish while this object is still whole,
    // so nothing resumes into a freed console later.
    m_cancel.kill();
}

// MARK: The log

void Console::log(const QString &text, LogKind kind) {
    for (const QStringView piece : QStringView(text).tokenize(u'\n'))
        append(asTerminalShows(piece), kind);
    if (!m_announceTimer.isActive() && m_announced < m_count)
        m_announceTimer.start();
}

void Console::append(QStringView line, LogKind kind) {
    if (m_chunks.empty() || qsizetype(m_chunks.back()->ends.size()) == chunkEntries) {
        auto chunk = std::make_unique<Chunk>();
        chunk->ends.reserve(chunkEntries);
        chunk->kinds.reserve(chunkEntries);
        m_chunks.push_back(std::move(chunk));
    }
    Chunk &chunk = *m_chunks.back();
    // Encoded in place: a line of megabytes is not copied a second time.
    QStringEncoder encoder(QStringEncoder::Utf8);
    const qsizetype start = chunk.text.size();
    chunk.text.resize(start + encoder.requiredSpace(line.size()));
    chunk.text.truncate(encoder.appendToBuffer(chunk.text.data() + start, line) - chunk.text.constData());
    chunk.ends.push_back(chunk.text.size());
    chunk.kinds.push_back(quint8(kind));
    ++m_count;
    ++m_nextID;
}

void Console::announceAppended() {
    if (m_announced >= m_count)
        return;
    const qsizetype first = m_announced;
    m_announced = m_count;
    Q_EMIT entriesAppended(first, m_count - first);
}

void Console::logOutput(const QString &text, LogKind kind, int limit) {
    QStringList pieces;
    for (const QStringView piece : QStringView(text).tokenize(u'\n')) {
        // Resolve carriage returns before indenting, or the indent would be overwritten.
        const QStringView shown = asTerminalShows(piece);
        if (!shown.isEmpty())
            pieces.append(u"  "_s + shown);
    }
    if (pieces.isEmpty())
        return;
    const qsizetype kept = std::min<qsizetype>(pieces.size(), std::max(limit, 0));
    log(pieces.mid(0, kept).join(u'\n'), kind);
    if (kept < pieces.size())
        log(u"  ... ("_s + QString::number(pieces.size() - kept) + u" more line(s) omitted)"_s, kind);
}

void Console::logFailure(const std::exception &error, const QString &label) {
    const auto logKilled = [this](bool killed) {
        if (killed)
            log(u"  Killed the command and every process it started."_s, LogKind::warning);
    };
    if (const auto *cancelled = dynamic_cast<const Cancelled *>(&error)) {
        logKilled(cancelled->killed());
        log(u"  Stopped by user."_s, LogKind::warning);
        return;
    }
    if (const auto *gamError = dynamic_cast<const GAMError *>(&error);
        gamError && gamError->kind() == GAMError::Kind::timedOut) {
        logKilled(gamError->killed());
        log(u"  TIMEOUT during "_s + label + u'.', LogKind::error);
        return;
    }
    log(u"ERROR: "_s + errorDescription(error), LogKind::error);
}

void Console::clear() {
    m_chunks.clear();
    m_chunks.shrink_to_fit();
    m_firstID = m_nextID;
    m_count = 0;
    m_announced = 0;
    m_announceTimer.stop();
#ifdef __GLIBC__
    // Hand the freed text back to the system; glibc keeps it otherwise.
    malloc_trim(0);
#endif
    Q_EMIT entriesCleared();
}

QString Console::plainText() const {
    QByteArray joined;
    qsizetype total = 0;
    for (const auto &chunk : m_chunks)
        total += chunk->text.size() + qsizetype(chunk->ends.size());
    joined.reserve(total);
    bool first = true;
    for (const auto &chunk : m_chunks) {
        qsizetype start = 0;
        for (const qsizetype end : chunk->ends) {
            if (!first)
                joined += '\n';
            first = false;
            joined.append(chunk->text.constData() + start, end - start);
            start = end;
        }
    }
    return textOfUtf8(joined);
}

qsizetype Console::entryCount() const {
    return m_count;
}

QByteArrayView Console::entryBytes(qsizetype index) const {
    Q_ASSERT(index >= 0 && index < m_count);
    const Chunk &chunk = *m_chunks[size_t(index / chunkEntries)];
    const auto local = size_t(index % chunkEntries);
    const qsizetype start = local == 0 ? 0 : chunk.ends[local - 1];
    return QByteArrayView(chunk.text).sliced(start, chunk.ends[local] - start);
}

LogEntry Console::entryAt(qsizetype index) const {
    return LogEntry{m_firstID + index, textOfUtf8(entryBytes(index)), entryKind(index)};
}

LogKind Console::entryKind(qsizetype index) const {
    Q_ASSERT(index >= 0 && index < m_count);
    return LogKind(m_chunks[size_t(index / chunkEntries)]->kinds[size_t(index % chunkEntries)]);
}

namespace {

bool startsCharacter(char byte) {
    return (uchar(byte) & 0xC0) != 0x80;
}

// The characters in valid UTF-8: the bytes that are not continuation bytes
// (10xxxxxx), counted eight at a time so a line of megabytes takes a millisecond.
qsizetype codePointCount(QByteArrayView utf8) {
    constexpr quint64 highBits = 0x8080808080808080;
    constexpr quint64 lowHalves = 0x00FF00FF00FF00FF;
    qsizetype continuations = 0;
    qsizetype i = 0;
    while (i + 8 <= utf8.size()) {
        // One counter per byte lane, emptied before it can pass 255.
        quint64 lanes = 0;
        for (int round = 0; round < 255 && i + 8 <= utf8.size(); ++round, i += 8) {
            quint64 word;
            std::memcpy(&word, utf8.data() + i, 8);
            lanes += (word & ~(word << 1) & highBits) >> 7;
        }
        lanes = (lanes & lowHalves) + ((lanes >> 8) & lowHalves);
        continuations += qsizetype((lanes * 0x0001000100010001) >> 48);
    }
    for (; i < utf8.size(); ++i)
        continuations += startsCharacter(utf8[i]) ? 0 : 1;
    return utf8.size() - continuations;
}

} // namespace

Console::TextPrefix Console::entryPrefix(qsizetype index, qsizetype maxLength) const {
    const QByteArrayView bytes = entryBytes(index);
    qsizetype cut = 0;
    for (qsizetype characters = 0; cut < bytes.size(); ++cut) {
        if (startsCharacter(bytes[cut]) && characters++ == maxLength)
            break;
    }
    return TextPrefix{textOfUtf8(bytes.first(cut)), codePointCount(bytes.sliced(cut))};
}

// MARK: The running task

void Console::run(const QString &label, Operation operation) {
    if (m_busy) {
        showAlert(u"Busy"_s, u'"' + m_busyLabel + u"\" is still running. Wait for it to finish or press Stop."_s);
        return;
    }
    m_busy = true;
    m_busyLabel = label;
    m_cancel = CancelToken();
    log(u"\u2014\u2014 "_s + label + u" \u00B7 "_s + ProfileStore::currentActiveProfile().displayName() +
            u" \u2014\u2014"_s,
        LogKind::info);
    Q_EMIT busyChanged(true);
    // The task starts at once and may even finish before runTask returns; the busy
    // state set above is what marks it as running.
    runTask(label, std::move(operation), m_cancel);
}

QCoro::Task<> Console::runTask(QString label, Operation operation, CancelToken cancel) {
    QPointer<Console> self(this);
    try {
        co_await operation(cancel);
    } catch (const std::exception &error) {
        if (self)
            self->logFailure(error, label);
    } catch (...) {
        if (self)
            self->log(u"ERROR: "_s + label + u" failed unexpectedly."_s, LogKind::error);
    }
    if (self)
        self->finishTask();
}

void Console::finishTask() {
    m_busy = false;
    m_busyLabel.clear();
    Q_EMIT busyChanged(false);
}

void Console::stop() {
    if (!m_busy)
        return;
    if (m_cancel.isCancelled()) {
        m_cancel.kill(); // a second Stop does not wait for the grace period
        return;
    }
    log(u"Stopping\u2026"_s, LogKind::warning);
    m_cancel.cancel();
}

bool Console::isBusy() const {
    return m_busy;
}

QString Console::busyLabel() const {
    return m_busyLabel;
}

// MARK: Alerts and results

void Console::showAlert(const QString &title, const QString &message) {
    AlertItem alert;
    alert.title = title;
    alert.message = message;
    setAlert(std::move(alert));
}

void Console::setAlert(std::optional<AlertItem> alert) {
    if (!alert && !m_alert)
        return;
    m_alert = std::move(alert);
    Q_EMIT alertChanged();
}

const std::optional<AlertItem> &Console::alert() const {
    return m_alert;
}

void Console::setResults(std::optional<ResultsTable> results) {
    if (!results && !m_results)
        return;
    m_results = std::move(results);
    Q_EMIT resultsChanged();
}

const std::optional<ResultsTable> &Console::results() const {
    return m_results;
}

DesktopServices *Console::desktop() const {
    return m_desktop;
}

// MARK: Exports

QCoro::Task<> Console::exportLog(ExportFormat format) {
    const QString text = plainText().trimmed();
    if (text.isEmpty()) {
        showAlert(u"Export"_s, u"The log is empty."_s);
        co_return;
    }
    QString contents;
    if (format == ExportFormat::plainText) {
        contents = text + u'\n';
    } else {
        QList<QStringList> rows;
        int number = 0;
        for (const QStringView line : QStringView(text).tokenize(u'\n'))
            rows.append({QString::number(++number), line.toString()});
        contents = csvText({u"Line"_s, u"Text"_s}, rows);
    }
    QPointer<Console> self(this);
    try {
        const std::optional<QString> path = co_await saveText(std::move(contents), u"gam_log"_s, format);
        if (self && path)
            self->log(u"Log saved to "_s + *path, LogKind::info);
    } catch (const Error &error) {
        if (self)
            self->showAlert(u"Export Failed"_s, error.description());
    }
}

QCoro::Task<> Console::exportResults(ResultsTable table, ExportFormat format) {
    QString contents = format == ExportFormat::csv ? csvText(table.columns, table.rows)
                                                   : tableText(table.columns, table.rows, table.query);
    QPointer<Console> self(this);
    try {
        const std::optional<QString> path = co_await saveText(std::move(contents), table.exportName, format);
        if (self && path)
            self->log(u"Saved "_s + QString::number(table.rows.size()) + u" row(s) to "_s + *path, LogKind::info);
    } catch (const Error &error) {
        if (self)
            self->showAlert(u"Export Failed"_s, error.description());
    }
}

QCoro::Task<std::optional<QString>> Console::saveText(QString contents, QString baseName, ExportFormat format) {
    const std::optional<QString> path =
        co_await m_desktop->chooseSaveFile(u"Export"_s, baseName + u'.' + fileExtension(format), nameFilter(format));
    if (!path)
        co_return std::nullopt;
    QSaveFile file(*path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(file.errorString());
    const QByteArray bytes = contents.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw Error(file.errorString());
    co_return path;
}

QString Console::tableText(const QStringList &columns, const QList<QStringList> &rows,
                           const std::optional<QString> &query) {
    QList<qsizetype> widths;
    widths.reserve(columns.size());
    for (const QString &column : columns)
        widths.append(characterCount(column));
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < columns.size() && i < row.size(); ++i)
            widths[i] = std::max(widths[i], characterCount(oneLine(row[i])));
    }
    const auto line = [&](const QStringList &cells) -> QString {
        QString text;
        for (qsizetype i = 0; i < columns.size(); ++i) {
            // A cell's own line break would start a row of its own.
            const QString cell = i < cells.size() ? oneLine(cells[i]) : QString();
            if (i > 0)
                text += u"  "_s;
            text += cell + QString(widths[i] - characterCount(cell), u' ');
        }
        return text + u'\n';
    };
    QString text;
    if (query)
        text += u"Query: "_s + *query + u'\n';
    text += line(columns);
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (i > 0)
            text += u"  "_s;
        text += QString(widths[i], u'-');
    }
    text += u'\n';
    for (const QStringList &row : rows)
        text += line(row);
    return text;
}
