#pragma once

#include <QTextBrowser>

// Selectable, wrapping text exactly as tall as its contents, for the
// assistant's messages. Long words break anywhere rather than widen the panel.
// The text is laid out only at the widget's own width, never at a layout's
// trial widths, so a long reply is laid out once per width change.
class FormattedText : public QTextBrowser {
    Q_OBJECT
public:
    explicit FormattedText(QWidget *parent = nullptr);

    void setPlain(const QString &text);
    // Lays the text out at this width before the widget has one, so it is not laid out twice.
    void setExpectedWidth(int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void linkActivated(const QUrl &url);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitHeight(const QSizeF &documentSize);

    // The widest line unwrapped, so a short question gets a small bubble; 0 for replies.
    int m_naturalWidth = 0;
};
