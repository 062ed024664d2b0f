#include "app/ui/ResultsSheet.h"

#include "app/ui/Shortcuts.h"
#include "core/Console.h"
#include "core/DesktopServices.h"
#include "core/ResultsTableModel.h"

#include <QAction>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

using namespace Qt::StringLiterals;

namespace {

QLabel *label(QWidget *parent, const QString &name, qreal sizeFactor) {
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * sizeFactor);
    label->setFont(font);
    label->setWordWrap(true);
    return label;
}

} // namespace

ResultsSheet::ResultsSheet(Console *console, QWidget *parent)
    : QDialog(parent)
    , m_console(console)
    , m_model(new ResultsTableModel(this))
    , m_title(label(this, u"title"_s, 1.5))
    , m_query(label(this, u"query"_s, 1.1))
    , m_summary(label(this, u"summary"_s, 0.85))
    , m_table(new QTableView(this))
    , m_buttons(new QHBoxLayout) {
    setWindowModality(Qt::WindowModal);
    setMinimumSize(760, 460);
    resize(900, 560);

    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(m_query->font().pointSizeF());
    m_query->setFont(mono);
    m_query->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_query->setTextFormat(Qt::PlainText);
    m_title->setTextFormat(Qt::PlainText);
    m_summary->setTextFormat(Qt::PlainText);
    QPalette dimmed = m_summary->palette();
    dimmed.setColor(QPalette::WindowText, dimmed.color(QPalette::PlaceholderText));
    m_summary->setPalette(dimmed);

    m_table->setObjectName(u"resultsTable"_s);
    m_table->setModel(m_model);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setMaximumSectionSize(420);
    // Column widths come from the visible rows plus a sample, never from every row.
    m_table->horizontalHeader()->setResizeContentsPrecision(200);

    auto *copy = new QAction(u"Copy"_s, m_table);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &ResultsSheet::copySelection);
    m_table->addAction(copy);
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto *exportCSV = new QPushButton(u"Export .csv"_s, this);
    exportCSV->setObjectName(u"exportCSVButton"_s);
    exportCSV->setAutoDefault(false);
    auto *exportText = new QPushButton(u"Export .txt"_s, this);
    exportText->setObjectName(u"exportTextButton"_s);
    exportText->setAutoDefault(false);
    Shortcuts::assign(exportCSV, Shortcuts::exportCSV);
    Shortcuts::assign(exportText, Shortcuts::exportText);
    auto *close = new QPushButton(u"Close"_s, this);
    close->setObjectName(u"closeButton"_s);
    close->setDefault(true);

    m_buttons->addWidget(exportCSV);
    m_buttons->addWidget(exportText);
    m_buttons->addStretch();
    m_buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(8);
    layout->addWidget(m_title);
    layout->addWidget(m_query);
    layout->addWidget(m_summary);
    layout->addWidget(m_table, 1);
    layout->addLayout(m_buttons);

    const auto exportAs = [this](ExportFormat format) {
        if (m_console->results())
            m_console->exportResults(*m_console->results(), format);
    };
    connect(exportCSV, &QPushButton::clicked, this, [exportAs] { exportAs(ExportFormat::csv); });
    connect(exportText, &QPushButton::clicked, this, [exportAs] { exportAs(ExportFormat::plainText); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(this, &QDialog::finished, console, [console] { console->setResults(std::nullopt); });
    connect(console, &Console::resultsChanged, this, &ResultsSheet::showResults);
    showResults();
}

void ResultsSheet::showResults() {
    const std::optional<ResultsTable> &results = m_console->results();
    if (!results) {
        if (isVisible())
            done(QDialog::Rejected);
        return;
    }
    setWindowTitle(results->title);
    m_title->setText(results->title);
    m_table->setAccessibleName(results->title);
    m_query->setText(u"Query: "_s + results->query);
    m_summary->setText(results->summary);
    m_summary->setVisible(!results->summary.isEmpty());
    showAction(results->action);
    m_model->setTable(*results);
    m_table->resizeColumnsToContents();
    m_table->scrollToTop();
    if (!isVisible())
        open();
}

// The button exists only while the table has an action, so no nameless button waits hidden.
void ResultsSheet::showAction(const std::optional<ResultsAction> &action) {
    if (!action) {
        if (m_action)
            m_action->deleteLater();
        return;
    }
    if (!m_action) {
        m_action = new QPushButton(this);
        m_action->setObjectName(u"resultsActionButton"_s);
        m_action->setAutoDefault(false);
        m_buttons->insertWidget(2, m_action);
        connect(m_action, &QPushButton::clicked, this, [this] {
            // A copy: the action may replace the results, and with them itself.
            if (m_console->results() && m_console->results()->action) {
                const std::function<void()> trigger = m_console->results()->action->trigger;
                trigger();
            }
        });
    }
    m_action->setText(action->title);
}

void ResultsSheet::copySelection() {
    QModelIndexList cells = m_table->selectionModel()->selectedIndexes();
    if (cells.isEmpty())
        return;
    std::sort(cells.begin(), cells.end(), [](const QModelIndex &a, const QModelIndex &b) {
        return a.row() != b.row() ? a.row() < b.row() : a.column() < b.column();
    });
    QString text;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            text += cells[i].row() == cells[i - 1].row() ? u'\t' : u'\n';
        text += cells[i].data().toString();
    }
    m_console->desktop()->copyToClipboard(text);
}
