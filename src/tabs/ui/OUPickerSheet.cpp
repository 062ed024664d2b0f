#include "tabs/ui/OUPickerSheet.h"

#include "tabs/OUList.h"
#include "tabs/ui/HintText.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

OUPickerSheet::OUPickerSheet(const QStringList &paths, std::function<void(const QString &path)> onSelect,
                             QWidget *parent)
    : QDialog(parent)
    , m_paths(paths)
    , m_onSelect(std::move(onSelect))
    , m_filter(new QLineEdit)
    , m_list(new QListView)
    , m_shown(new QStringListModel(this))
    , m_noMatches(new HintText(u"No organizational units match the filter."_s))
    , m_select(new QPushButton(u"Select"_s)) {
    setObjectName(u"ouPicker"_s);
    setWindowTitle(u"Select an Organizational Unit"_s);
    setWindowModality(Qt::WindowModal);
    resize(520, 420);

    auto *title = new QLabel(u"Select an Organizational Unit"_s);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    title->setFont(titleFont);

    m_filter->setObjectName(u"ouFilter"_s);
    m_filter->setPlaceholderText(u"Type to filter"_s);
    m_filter->setAccessibleName(u"Filter"_s);
    m_filter->setClearButtonEnabled(true);
    auto *filterLabel = new QLabel(u"&Filter:"_s);
    filterLabel->setBuddy(m_filter);

    m_list->setObjectName(u"ouList"_s);
    m_list->setAccessibleName(u"Organizational units"_s);
    m_list->setModel(m_shown);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setUniformItemSizes(true);
    m_list->setSpacing(2);
    m_noMatches->setObjectName(u"ouNoMatches"_s);

    auto *cancel = new QPushButton(u"Cancel"_s);
    cancel->setObjectName(u"cancelButton"_s);
    cancel->setAutoDefault(false);
    m_select->setObjectName(u"selectButton"_s);
    m_select->setDefault(true);

    auto *filterRow = new QHBoxLayout;
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(m_filter, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(m_select);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(8);
    layout->addWidget(title);
    layout->addLayout(filterRow);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_noMatches);
    layout->addLayout(buttons);

    connect(m_filter, &QLineEdit::textChanged, this, &OUPickerSheet::showFiltered);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_select, &QPushButton::clicked, this, [this] {
        if (!selectedPath().isEmpty())
            choose(selectedPath());
    });
    // The row's own action: a double-click, or Return on the focused row (filtered below).
    connect(m_list, &QListView::doubleClicked, this,
            [this](const QModelIndex &index) { choose(index.data().toString()); });
    m_list->installEventFilter(this);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &OUPickerSheet::refreshSelectButton);
    showFiltered();
    m_filter->setFocus();
}

void OUPickerSheet::showFiltered() {
    const QString kept = selectedPath();
    const QStringList shown = filterOUPaths(m_paths, m_filter->text());
    m_shown->setStringList(shown);
    // A chosen path that still matches stays chosen.
    if (const qsizetype row = shown.indexOf(kept); !kept.isEmpty() && row >= 0)
        m_list->setCurrentIndex(m_shown->index(int(row)));
    m_noMatches->setVisible(shown.isEmpty());
    refreshSelectButton();
}

void OUPickerSheet::refreshSelectButton() {
    m_select->setEnabled(!selectedPath().isEmpty());
}

QString OUPickerSheet::selectedPath() const {
    const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : selected.first().data().toString();
}

bool OUPickerSheet::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_list->currentIndex().isValid()) {
            choose(m_list->currentIndex().data().toString());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void OUPickerSheet::choose(const QString &path) {
    m_onSelect(path);
    accept();
}
