#pragma once

#include "app/ui/Icons.h"

#include <QWidget>

class QLabel;

// A symbol and a line of text in one tone: the status rows, check results and
// messages of the Settings panes. Hidden while it has no text.
class StatusLabel : public QWidget {
    Q_OBJECT
public:
    enum class Tone { success, warning, failure, secondary };

    explicit StatusLabel(QWidget *parent = nullptr);

    void display(Icons::Symbol symbol, Tone tone, const QString &text);
    void clear();
    QString text() const;
    Tone tone() const { return m_tone; }
    // Lets the user select and copy the text (failure details).
    void setSelectable(bool selectable);

    static QColor colour(Tone tone, const QPalette &palette);

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyTone();

    QLabel *m_symbol;
    QLabel *m_text;
    Icons::Symbol m_symbolName = Icons::Symbol::info;
    Tone m_tone = Tone::secondary;
};
