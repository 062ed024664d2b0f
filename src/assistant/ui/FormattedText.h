#pragma once

#include <QTextBrowser>

// Selectable, wrapping text that is exactly as tall as its contents, for the
// assistant's messages. Long words break anywhere rather than widen the panel.
// Markdown text is updated line by line: giving it a longer version of its
// text re-renders only the lines from the first one that changed.
class FormattedText : public QTextBrowser {
    Q_OBJECT
public:
    explicit FormattedText(QWidget *parent = nullptr);

    void setPlain(const QString &text);
    // Inline Markdown, one line at a time; white space stays as written.
    void setMarkdown(const QString &text);
    QString source() const { return m_source; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void linkActivated(const QUrl &url);

protected:
    void changeEvent(QEvent *event) override;

private:
    void insertLine(QTextCursor &cursor, QStringView line) const;
    void rerender();

    QString m_source;
    bool m_markdown = false;
    // The widest line unwrapped, for plain texts that are narrower than the panel.
    int m_naturalWidth = 0;
};
