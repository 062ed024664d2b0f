#include "assistant/ui/CodeBlock.h"

#include "app/ui/Icons.h"
#include "assistant/ReplySegment.h"
#include "assistant/ui/AssistantColors.h"

#include <QAbstractTextDocumentLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace {

constexpr int controlSpacing = 8;

QString warningText() {
    return u"Changes data"_s;
}

QSize insertSize(const QWidget *host) {
    // Measured once per font: every Insert button is the same.
    static QHash<QString, QSize> sizes;
    const QString key = host->font().key();
    auto found = sizes.find(key);
    if (found == sizes.end()) {
        QPushButton probe(u"Insert"_s);
        probe.setFont(host->font());
        found = sizes.insert(key, probe.sizeHint());
    }
    return *found;
}

int warningWidth(const QWidget *host) {
    const QFontMetrics metrics = host->fontMetrics();
    return metrics.height() + 4 + metrics.horizontalAdvance(warningText());
}

} // namespace

CodeBlock::CodeBlock(int firstBlock, QWidget *host, QObject *parent)
    : QObject(parent)
    , m_firstBlock(firstBlock)
    , m_host(host) {}

CodeBlock::~CodeBlock() {
    for (const Row &row : std::as_const(m_rows)) {
        delete row.insert;
        delete row.warning;
    }
}

QString CodeBlock::insertHelp() {
    return u"Put this command in the GAM Command field. It won't run until you press Run."_s;
}

QString CodeBlock::warningHelp() {
    return u"This command can change or delete data. Run a preview or print command first."_s;
}

int CodeBlock::controlsWidth(const QWidget *host, bool warning) {
    return insertSize(host).width() + controlSpacing + (warning ? warningWidth(host) + controlSpacing : 0);
}

int CodeBlock::insertHeight(const QWidget *host) {
    return insertSize(host).height();
}

void CodeBlock::setLines(const QStringList &lines) {
    while (m_rows.size() > lines.size()) {
        const Row row = m_rows.takeLast();
        delete row.insert;
        delete row.warning;
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i == m_rows.size())
            m_rows.append(Row{});
        // Code lines are never empty, so a new row always differs.
        if (m_rows.at(i).line != lines.at(i))
            showLine(m_rows[i], lines.at(i));
    }
}

void CodeBlock::showLine(Row &row, const QString &line) {
    row.line = line;
    const bool command = isGAMCommand(line);
    const bool warn = command && changesData(line);
    // Controls are created hidden and shown once placed beside their line.
    if (command && !row.insert) {
        row.insert = new QPushButton(u"Insert"_s, m_host);
        row.insert->setObjectName(u"insertButton"_s);
        row.insert->setAutoDefault(false);
        row.insert->setToolTip(insertHelp());
        row.insert->setAccessibleName(u"Insert"_s);
        row.insert->setAccessibleDescription(insertHelp());
        row.insert->resize(insertSize(m_host));
        QPushButton *button = row.insert.data();
        connect(button, &QPushButton::clicked, this, [this, button] {
            for (const Row &each : std::as_const(m_rows)) {
                if (each.insert == button)
                    Q_EMIT insertRequested(each.line);
            }
        });
        Q_EMIT insertAdded();
    }
    if (warn && !row.warning)
        row.warning = makeWarning();
    if (row.insert && !command) {
        delete row.insert;
        row.insert = nullptr;
    }
    if (row.warning && !warn) {
        delete row.warning;
        row.warning = nullptr;
    }
}

QWidget *CodeBlock::makeWarning() const {
    auto *warning = new QWidget(m_host);
    warning->setObjectName(u"changesDataLabel"_s);
    warning->setToolTip(warningHelp());
    warning->setAccessibleName(warningText());
    warning->setAccessibleDescription(warningHelp());
    auto *icon = new QLabel(warning);
    icon->setObjectName(u"warningIcon"_s);
    auto *text = new QLabel(warningText(), warning);
    text->setObjectName(u"warningText"_s);
    auto *layout = new QHBoxLayout(warning);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(icon);
    layout->addWidget(text);
    paintWarning(warning);
    warning->resize(warning->sizeHint());
    return warning;
}

void CodeBlock::paintWarning(QWidget *warning) const {
    const QColor orange = AssistantColors::warning(m_host->palette());
    auto *icon = warning->findChild<QLabel *>(u"warningIcon"_s);
    auto *text = warning->findChild<QLabel *>(u"warningText"_s);
    const int size = text->fontMetrics().height();
    icon->setPixmap(Icons::tinted(Icons::Symbol::warning, orange, size));
    QPalette colours = text->palette();
    colours.setColor(QPalette::WindowText, orange);
    text->setPalette(colours);
}

void CodeBlock::restyle() {
    for (const Row &row : std::as_const(m_rows)) {
        if (row.warning)
            paintWarning(row.warning);
    }
}

void CodeBlock::place(QTextDocument *document) const {
    QAbstractTextDocumentLayout *layout = document->documentLayout();
    const int right = m_host->width() - padding;
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        const Row &row = m_rows.at(i);
        if (!row.insert)
            continue;
        const QTextBlock block = document->findBlockByNumber(m_firstBlock + int(i));
        const QRectF lines = layout->blockBoundingRect(block);
        const qreal firstLine = block.layout()->lineCount() > 0 ? block.layout()->lineAt(0).height() : lines.height();
        const int centre = qRound(lines.top() + firstLine / 2);
        row.insert->move(right - row.insert->width(), centre - row.insert->height() / 2);
        row.insert->show();
        if (row.warning) {
            row.warning->move(row.insert->x() - controlSpacing - row.warning->width(),
                              centre - row.warning->height() / 2);
            row.warning->show();
        }
    }
}

QRectF CodeBlock::box(QTextDocument *document) const {
    QAbstractTextDocumentLayout *layout = document->documentLayout();
    const QTextBlock first = document->findBlockByNumber(m_firstBlock);
    const QTextBlock last = document->findBlockByNumber(m_firstBlock + int(m_rows.size()) - 1);
    // The part of the first line's top margin that separates the box from what is above it.
    const qreal gap = first.blockFormat().doubleProperty(gapProperty);
    const qreal top = layout->blockBoundingRect(first).top() - (first.blockFormat().topMargin() - gap);
    const qreal bottom = layout->blockBoundingRect(last).bottom() + last.blockFormat().bottomMargin();
    return QRectF(0, top, m_host->width(), bottom - top);
}
