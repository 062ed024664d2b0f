#pragma once

#include "assistant/AssistantError.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <functional>
#include <optional>

// Reads the server-sent events of a streamed Messages API reply: collects the
// content blocks by index, remembers the stop reason, and reports the visible
// text (the text blocks in index order) after every applied delta.
class MessageStreamReader {
public:
    using VisibleTextHandler = std::function<void(const QString &)>;

    explicit MessageStreamReader(VisibleTextHandler onVisibleText);

    // Handles every complete line in bytes; a trailing partial line waits for more.
    void feed(QByteArrayView bytes);
    // The byte stream ended: handles the last line even without a line break.
    void finish();

    // Set by an "error" event; no line after it is read.
    const std::optional<AssistantError> &error() const { return m_error; }
    const std::optional<QString> &stopReason() const { return m_stopReason; }
    QString visibleText() const;
    // The blocks in index order, without the thinking and tool-use blocks that a
    // later "fallback" block superseded.
    QJsonArray contentArray() const;

private:
    struct Block {
        QJsonObject object;
        // Deltas accumulate here rather than in object, so long replies stay linear.
        QString text;
        QString thinking;
        bool textTouched = false;
        bool thinkingTouched = false;

        QString type() const;
        QString currentText() const;
        QJsonObject finished() const;
    };

    void handleLine(QByteArrayView line);
    void handleBlockStart(const QJsonObject &event);
    void handleBlockDelta(const QJsonObject &event);
    void recomputeVisibleText() const;

    VisibleTextHandler m_onVisibleText;
    QByteArray m_pending;
    QMap<int, Block> m_blocks;
    std::optional<QString> m_stopReason;
    std::optional<AssistantError> m_error;

    mutable QString m_visibleText;
    mutable bool m_visibleTextStale = false;
    mutable std::optional<int> m_lastTextIndex;
};
