#include "assistant/ui/CodeBlock.h"

#include "app/ui/Icons.h"
#include "assistant/ReplySegment.h"
#include "assistant/ui/AssistantColors.h"
#include "assistant/ui/FormattedText.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

CodeBlock::CodeBlock(QWidget *parent)
    : QFrame(parent)
    , m_layout(new QVBoxLayout(this)) {
    setObjectName(u"codeBlock"_s);
    m_layout->setContentsMargins(10, 6, 8, 6);
    m_layout->setSpacing(2);
}

QString CodeBlock::insertHelp() {
    return u"Put this command in the GAM Command field. It won't run until you press Run."_s;
}

QString CodeBlock::warningHelp() {
    return u"This command can change or delete data. Run a preview or print command first."_s;
}

void CodeBlock::setLines(const QStringList &lines) {
    if (lines == m_lines)
        return;
    while (m_rows.size() > lines.size())
        delete m_rows.takeLast().widget;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i == m_rows.size())
            m_rows.append(makeRow());
        if (i >= m_lines.size() || m_lines.at(i) != lines.at(i))
            showLine(m_rows[i], lines.at(i));
    }
    m_lines = lines;
}

CodeBlock::Row CodeBlock::makeRow() {
    Row row;
    row.widget = new QWidget(this);
    row.text = new FormattedText(row.widget);
    row.text->setObjectName(u"codeLine"_s);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(font().pointSizeF() * 0.92);
    row.text->setFont(mono);
    auto *layout = new QHBoxLayout(row.widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(row.text, 1);
    m_layout->addWidget(row.widget);
    row.widget->show();
    return row;
}

void CodeBlock::showLine(Row &row, const QString &line) {
    row.text->setPlain(line);
    const bool command = isGAMCommand(line);
    const bool warn = command && changesData(line);
    auto *layout = static_cast<QHBoxLayout *>(row.widget->layout());
    if (warn && !row.warning) {
        row.warning = makeWarning(row.widget);
        layout->insertWidget(1, row.warning);
    }
    if (command && !row.insert) {
        row.insert = new QPushButton(u"Insert"_s, row.widget);
        row.insert->setObjectName(u"insertButton"_s);
        row.insert->setAutoDefault(false);
        row.insert->setToolTip(insertHelp());
        row.insert->setAccessibleName(u"Insert"_s);
        row.insert->setAccessibleDescription(insertHelp());
        row.insert->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        layout->addWidget(row.insert);
        connect(row.insert, &QPushButton::clicked, this,
                [this, text = row.text] { Q_EMIT insertRequested(text->source()); });
    }
    if (row.warning)
        row.warning->setVisible(warn);
    if (row.insert)
        row.insert->setVisible(command);
}

QWidget *CodeBlock::makeWarning(QWidget *parent) const {
    auto *warning = new QWidget(parent);
    warning->setObjectName(u"changesDataLabel"_s);
    warning->setToolTip(warningHelp());
    warning->setAccessibleName(u"Changes data"_s);
    warning->setAccessibleDescription(warningHelp());
    auto *icon = new QLabel(warning);
    icon->setObjectName(u"warningIcon"_s);
    auto *text = new QLabel(u"Changes data"_s, warning);
    text->setObjectName(u"warningText"_s);
    auto *layout = new QHBoxLayout(warning);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(icon);
    layout->addWidget(text);
    paintWarning(warning);
    return warning;
}

void CodeBlock::paintWarning(QWidget *warning) const {
    const QColor orange = AssistantColors::warning(palette());
    auto *icon = warning->findChild<QLabel *>(u"warningIcon"_s);
    auto *text = warning->findChild<QLabel *>(u"warningText"_s);
    const int size = text->fontMetrics().height();
    icon->setPixmap(Icons::tinted(Icons::Symbol::warning, orange, size));
    QPalette colours = text->palette();
    colours.setColor(QPalette::WindowText, orange);
    text->setPalette(colours);
}

void CodeBlock::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(AssistantColors::codeBackground(palette()));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}

void CodeBlock::changeEvent(QEvent *event) {
    QFrame::changeEvent(event);
    if (event->type() != QEvent::PaletteChange)
        return;
    for (const Row &row : std::as_const(m_rows)) {
        if (row.warning)
            paintWarning(row.warning);
    }
}
