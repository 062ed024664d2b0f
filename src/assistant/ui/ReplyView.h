#pragma once

#include "assistant/ReplySegment.h"
#include "assistant/ui/FormattedText.h"

#include <QTimer>

class CodeBlock;
class QTextBlockFormat;

// A reply as one selectable document: prose lines with inline Markdown, and code
// blocks in rounded boxes whose gam command lines carry an Insert button. A reply
// of any length is one widget, and as it grows only its new lines are rendered.
class ReplyView : public FormattedText {
    Q_OBJECT
public:
    explicit ReplyView(QWidget *parent = nullptr);

    void setSegments(const QList<ReplySegment> &segments);
    const QList<CodeBlock *> &codeBlocks() const { return m_codeBlocks; }

    // Vertical space between two segments.
    static constexpr int segmentGap = 10;

Q_SIGNALS:
    void insertRequested(const QString &command);
    void insertAdded();

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // One line of the reply, shown as one block of the document.
    struct Line {
        ReplySegment::Kind kind = ReplySegment::Kind::text;
        QString text;
        bool opensSegment = false;
        bool closesSegment = false;
        // The first line of a segment that follows another, or a code block.
        bool afterSegment = false;
        bool afterCode = false;

        bool operator==(const Line &) const = default;
    };

    static QList<Line> linesOf(const QList<ReplySegment> &segments);
    // Renders m_lines from `from` on, over the `shown` lines the document holds.
    void render(qsizetype from, qsizetype shown);
    void insertLine(QTextCursor &cursor, const Line &line) const;
    QTextBlockFormat blockFormat(const Line &line) const;
    // Room above and below a command line, so its Insert button fits beside it.
    qreal commandSpacing() const;
    QFont codeFont() const;
    void updateCodeBlocks(const QList<ReplySegment> &segments);
    void placeControls();

    QList<Line> m_lines;
    QList<CodeBlock *> m_codeBlocks;
    // Controls are placed once the document has been laid out anew.
    QTimer m_placeTimer;
};
