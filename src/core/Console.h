#pragma once

#include "core/CancelToken.h"

#include <QByteArray>
#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class DesktopServices;

// Order matters: it is also the order of the colour table.
enum class LogKind { plain, success, error, warning, info, command, preview };

struct LogEntry {
    qint64 id = 0;
    QString text;
    LogKind kind = LogKind::plain;
};

// With no confirmTitle the alert is informational ("OK"); with one it is a
// confirmation whose button calls onConfirm.
struct AlertItem {
    QUuid id = QUuid::createUuid();
    QString title;
    QString message;
    std::optional<QString> confirmTitle;
    bool isDestructive = false;
    std::function<void()> onConfirm;
};

// A button the results sheet shows beside its exports, for what its owner can do
// with the rows (for example run the failed ones again).
struct ResultsAction {
    QString title;
    std::function<void()> trigger;
};

struct ResultsTable {
    QUuid id = QUuid::createUuid();
    QString title;
    QString query;
    QString summary;
    QStringList columns;
    QList<QStringList> rows;
    QString exportName;
    std::optional<ResultsAction> action;
};

enum class ExportFormat { csv, plainText };

// The one output log, pending alert, results table and running task of the
// application. Everything runs on the main thread.
class Console : public QObject {
    Q_OBJECT
public:
    using Operation = std::function<QCoro::Task<>(CancelToken cancel)>;

    explicit Console(DesktopServices *desktop, QObject *parent = nullptr);
    ~Console() override;

    // The log.
    void log(const QString &text, LogKind kind = LogKind::plain);
    void logOutput(const QString &text, LogKind kind, int limit = 15);
    void logFailure(const std::exception &error, const QString &label);
    void clear();
    QString plainText() const;
    qsizetype entryCount() const;
    LogEntry entryAt(qsizetype index) const;
    LogKind entryKind(qsizetype index) const;
    // The first maxLength characters (code points) of an entry's text and how
    // many follow them, decoding no more than the prefix.
    struct TextPrefix {
        QString text;
        qsizetype more = 0;
    };
    TextPrefix entryPrefix(qsizetype index, qsizetype maxLength) const;

    // The one running task.
    void run(const QString &label, Operation operation);
    // The first Stop asks the task's gam to stop; a second one kills it at once.
    void stop();
    bool isBusy() const;
    QString busyLabel() const;

    // Alerts and confirmations.
    void showAlert(const QString &title, const QString &message);
    void setAlert(std::optional<AlertItem> alert);
    const std::optional<AlertItem> &alert() const;

    // The results sheet.
    void setResults(std::optional<ResultsTable> results);
    const std::optional<ResultsTable> &results() const;

    // Exports through the save dialog.
    QCoro::Task<> exportLog(ExportFormat format);
    QCoro::Task<> exportResults(ResultsTable table, ExportFormat format);
    // The chosen path, or none when the user cancelled; throws Error when the write fails.
    QCoro::Task<std::optional<QString>> saveText(QString contents, QString baseName, ExportFormat format);
    static QString tableText(const QStringList &columns, const QList<QStringList> &rows,
                             const std::optional<QString> &query);

    DesktopServices *desktop() const;

Q_SIGNALS:
    // Entries [first, first + count) were appended (coalesced; see the log model).
    void entriesAppended(qsizetype first, qsizetype count);
    void entriesCleared();
    void busyChanged(bool busy);
    void alertChanged();
    void resultsChanged();

private:
    // Entries live in fixed-size chunks of UTF-8 text with end offsets and kinds,
    // so a million lines cost little more than their text and clear() frees it all.
    struct Chunk {
        QByteArray text;
        std::vector<qsizetype> ends;
        std::vector<quint8> kinds;
    };
    static constexpr qsizetype chunkEntries = 4096;

    void append(QStringView line, LogKind kind);
    QByteArrayView entryBytes(qsizetype index) const;
    void announceAppended();
    void finishTask();
    QCoro::Task<> runTask(QString label, Operation operation, CancelToken cancel);

    DesktopServices *m_desktop;
    std::vector<std::unique_ptr<Chunk>> m_chunks;
    qsizetype m_count = 0;
    qint64 m_firstID = 0;
    qint64 m_nextID = 0;
    qsizetype m_announced = 0;
    QTimer m_announceTimer;

    bool m_busy = false;
    QString m_busyLabel;
    CancelToken m_cancel;

    std::optional<AlertItem> m_alert;
    std::optional<ResultsTable> m_results;
};
