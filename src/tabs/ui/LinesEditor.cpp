#include "tabs/ui/LinesEditor.h"

#include <QFontDatabase>

LinesEditor::LinesEditor(QWidget *parent)
    : QPlainTextEdit(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    document()->setDocumentMargin(4);
    setMinimumHeight(90);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_updating)
            Q_EMIT userTextChanged(toPlainText());
    });
}

void LinesEditor::setText(const QString &text) {
    if (toPlainText() == text)
        return;
    m_updating = true;
    setPlainText(text);
    m_updating = false;
}
