#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One piece of an assistant reply as shown: prose, or the command lines of one
// fenced code block.
struct ReplySegment {
    enum class Kind { text, code };

    static ReplySegment prose(QString text) { return {Kind::text, std::move(text), {}}; }
    static ReplySegment code(QStringList lines) { return {Kind::code, {}, std::move(lines)}; }

    Kind kind = Kind::text;
    // text: the prose, trimmed.
    QString text;
    // code: the non-empty, trimmed lines.
    QStringList lines;

    bool operator==(const ReplySegment &) const = default;
};

// Splits a reply at its ``` fence lines. Given the same reply again as it grows,
// it re-reads only from the last complete line, so a streaming reply costs
// little more per update than the text that arrived.
class ReplySplitter {
public:
    QList<ReplySegment> split(const QString &text);

private:
    void addLine(QStringView line);
    void flushProse();
    void closeCode();
    QList<ReplySegment> finished() &&;

    QList<ReplySegment> m_segments;
    QString m_prose;
    bool m_codeOpen = false;
    QStringList m_code;
    // The text last split; its first m_read characters (up to its last line feed) are read.
    QString m_text;
    qsizetype m_read = 0;
};

QList<ReplySegment> replySegments(const QString &text);

// A code line that can be inserted into the command field: "gam" or "gam …".
bool isGAMCommand(QStringView line);
// A command line naming an action that can change or delete data.
bool changesData(QStringView line);
