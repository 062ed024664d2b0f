#pragma once

#include <QLabel>

// A caption under a field: smaller font, dimmed colour, wrapped.
class HintText : public QLabel {
    Q_OBJECT
public:
    explicit HintText(const QString &text, QWidget *parent = nullptr);

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyStyle();
};
