#include "app/ui/LogPanel.h"

#include "app/ui/BusySpinner.h"
#include "app/ui/Shortcuts.h"
#include "core/Console.h"
#include "core/DesktopServices.h"
#include "core/LogListModel.h"

#include <QAction>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QPushButton *smallButton(const QString &text, const QString &name, QWidget *parent) {
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

LogPanel::LogPanel(Console *console, QWidget *parent)
    : QWidget(parent)
    , m_console(console)
    , m_model(new LogListModel(console, this))
    , m_list(new QTableView(this))
    , m_spinner(new BusySpinner(this))
    , m_busyLabel(new QLabel(this))
    , m_stop(smallButton(u"Stop"_s, u"stopButton"_s, this)) {
    setMinimumHeight(160);

    auto *headline = new QLabel(u"Output Log"_s, this);
    QFont headlineFont = headline->font();
    headlineFont.setBold(true);
    headline->setFont(headlineFont);

    m_busyLabel->setObjectName(u"busyLabel"_s);
    QPalette dimmed = m_busyLabel->palette();
    dimmed.setColor(QPalette::WindowText, dimmed.color(QPalette::PlaceholderText));
    m_busyLabel->setPalette(dimmed);
    m_stop->setToolTip(u"Stop the running command"_s);
    Shortcuts::assign(m_stop, Shortcuts::stop);
    QPalette destructive = m_stop->palette();
    destructive.setColor(QPalette::ButtonText, LogListModel::colour(LogKind::error).darker(120));
    m_stop->setPalette(destructive);

    auto *exportCSV = smallButton(u"Export .csv"_s, u"exportCSVButton"_s, this);
    auto *exportText = smallButton(u"Export .txt"_s, u"exportTextButton"_s, this);
    auto *clearLog = smallButton(u"Clear Log"_s, u"clearLogButton"_s, this);
    Shortcuts::assign(exportCSV, Shortcuts::saveLogCSV);
    Shortcuts::assign(exportText, Shortcuts::saveLogText);

    auto *header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(headline);
    header->addWidget(m_spinner);
    header->addWidget(m_busyLabel);
    header->addWidget(m_stop);
    header->addStretch();
    header->addWidget(exportCSV);
    header->addWidget(exportText);
    header->addWidget(clearLog);

    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(11);
    m_list->setObjectName(u"logList"_s);
    m_list->setAccessibleName(headline->text());
    m_list->setFont(mono);
    m_list->setModel(m_model);
    // A one-column table rather than a list view: its fixed-height rows need no
    // per-row layout, so appending stays cheap however long the log grows.
    m_list->horizontalHeader()->hide();
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setMinimumSectionSize(1);
    m_list->verticalHeader()->setDefaultSectionSize(QFontMetrics(mono).height() + 1); // 1 pt between lines
    m_list->setShowGrid(false);
    m_list->setWordWrap(false);
    // Long lines scroll sideways instead of being cut off with an ellipsis.
    m_list->setTextElideMode(Qt::ElideNone);
    m_list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setStyleSheet(u"QTableView { background-color: %1; border-radius: 6px; padding: 4px; outline: 0; }"_s.arg(
        LogListModel::background().name()));

    auto *copy = new QAction(u"Copy"_s, m_list);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &LogPanel::copySelection);
    m_list->addAction(copy);
    m_list->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(6);
    layout->addLayout(header);
    layout->addWidget(m_list, 1);

    // Follow the newest entry.
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { widenForRows(first, last); });
    connect(m_model, &QAbstractItemModel::rowsInserted, m_list, &QTableView::scrollToBottom);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_widestLine = 0;
        m_list->horizontalHeader()->setMinimumSectionSize(0);
    });
    connect(m_stop, &QPushButton::clicked, console, &Console::stop);
    connect(exportCSV, &QPushButton::clicked, console, [console] { console->exportLog(ExportFormat::csv); });
    connect(exportText, &QPushButton::clicked, console, [console] { console->exportLog(ExportFormat::plainText); });
    connect(clearLog, &QPushButton::clicked, console, &Console::clear);
    connect(console, &Console::busyChanged, this, &LogPanel::updateBusy);
    updateBusy();
}

// The font is monospaced, so the widest line is the one with the most characters
// shown (a very long line shows a bounded prefix).
void LogPanel::widenForRows(int first, int last) {
    qsizetype widest = m_widestLine;
    for (int row = first; row <= last; ++row)
        widest = std::max(widest, m_model->index(row, 0).data().toString().size());
    if (widest == m_widestLine)
        return;
    m_widestLine = widest;
    const qint64 width = qint64(QFontMetrics(m_list->font()).horizontalAdvance(u'M')) * widest + 16;
    QHeaderView *header = m_list->horizontalHeader();
    header->setMinimumSectionSize(int(std::min<qint64>(width, header->maximumSectionSize())));
}

void LogPanel::updateBusy() {
    const bool busy = m_console->isBusy();
    m_busyLabel->setText(busy ? m_console->busyLabel() + u'\u2026' : QString());
    m_spinner->setVisible(busy);
    m_busyLabel->setVisible(busy);
    m_stop->setVisible(busy);
}

QString LogPanel::selectedText() const {
    QModelIndexList selected = m_list->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList lines;
    lines.reserve(selected.size());
    for (const QModelIndex &index : std::as_const(selected))
        lines.append(m_console->entryAt(index.row()).text); // whole lines, not what is shown
    return lines.join(u'\n');
}

void LogPanel::copySelection() {
    if (m_list->selectionModel()->hasSelection())
        m_console->desktop()->copyToClipboard(selectedText());
}
