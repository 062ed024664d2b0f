#pragma once

#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QRectF>
#include <QStringList>
#include <QTextFormat>

class QTextDocument;
class QWidget;

// One fenced block of a reply, drawn as a rounded box around its lines in the
// reply's document. Each gam command line gets an Insert button beside it, and
// the "Changes data" label when it can change data; those are real widgets
// placed over the text, so they take focus and speak like any button.
class CodeBlock : public QObject {
    Q_OBJECT
public:
    // The controls sit on the host and may go with it before this block does.
    struct Row {
        QString line;
        QPointer<QPushButton> insert;
        QPointer<QWidget> warning;
    };

    // firstBlock: the document block of the first line; host: the widget the controls sit on.
    CodeBlock(int firstBlock, QWidget *host, QObject *parent = nullptr);
    ~CodeBlock() override;

    int firstBlock() const { return m_firstBlock; }
    const QList<Row> &rows() const { return m_rows; }
    // Keeps the controls of lines that did not change.
    void setLines(const QStringList &lines);
    // Puts the controls beside their lines, once the document is laid out.
    void place(QTextDocument *document) const;
    // The box around the lines, in document coordinates.
    QRectF box(QTextDocument *document) const;
    void restyle();

    // Room kept free at the right of a command line for its controls.
    static int controlsWidth(const QWidget *host, bool warning);
    static int insertHeight(const QWidget *host);
    static constexpr int padding = 6;
    // A block property of a code line: how much of its top margin lies outside the box.
    static constexpr int gapProperty = 0x100000 + 1;
    static QString insertHelp();
    static QString warningHelp();

Q_SIGNALS:
    void insertRequested(const QString &command);
    // An Insert button was added, so the panel can put it in its tab order.
    void insertAdded();

private:
    void showLine(Row &row, const QString &line);
    QWidget *makeWarning() const;
    void paintWarning(QWidget *warning) const;

    int m_firstBlock;
    QWidget *m_host;
    QList<Row> m_rows;
};
