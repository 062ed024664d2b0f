#pragma once

#include <QFrame>
#include <QStringList>

class FormattedText;
class QLabel;
class QPushButton;
class QVBoxLayout;

// The command lines of one fenced block in a rounded box. A gam command gets an
// Insert button, and a warning label when it can change data.
class CodeBlock : public QFrame {
    Q_OBJECT
public:
    explicit CodeBlock(QWidget *parent = nullptr);

    // Rows of lines that did not change are kept, so a streaming block stays cheap.
    void setLines(const QStringList &lines);
    QStringList lines() const { return m_lines; }

    static QString insertHelp();
    static QString warningHelp();

Q_SIGNALS:
    void insertRequested(const QString &command);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Row {
        QWidget *widget = nullptr;
        FormattedText *text = nullptr;
        QWidget *warning = nullptr;
        QPushButton *insert = nullptr;
    };

    Row makeRow();
    void showLine(Row &row, const QString &line);
    QWidget *makeWarning(QWidget *parent) const;
    void paintWarning(QWidget *warning) const;

    QVBoxLayout *m_layout;
    QList<Row> m_rows;
    QStringList m_lines;
};
