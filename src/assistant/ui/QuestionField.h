#pragma once

#include <QTextEdit>

// The assistant's question field: one line that grows to four as the text
// wraps or breaks, then scrolls. Return sends; Shift+Return starts a new line.
class QuestionField : public QTextEdit {
    Q_OBJECT
public:
    static constexpr int maximumLines = 4;

    explicit QuestionField(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void submitted();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitHeight();
    int heightForLines(int lines) const;
};
