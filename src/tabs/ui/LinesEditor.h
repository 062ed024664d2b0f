#pragma once

#include <QPlainTextEdit>

// A monospaced editor for lists typed one value per line. It keeps the text
// exactly as typed; the models split it into values.
class LinesEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LinesEditor(QWidget *parent = nullptr);

    QString text() const { return toPlainText(); }
    // Replaces the text unless it is already the same (keeps the cursor while typing).
    void setText(const QString &text);

Q_SIGNALS:
    // Every change but setText()'s: typing, pasting, an input method or the accessibility interface.
    void userTextChanged(const QString &text);

private:
    bool m_updating = false;
};
