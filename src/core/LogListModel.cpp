#include "core/LogListModel.h"

#include <array>

using namespace Qt::StringLiterals;

namespace {

QColor fromSRGB(double red, double green, double blue) {
    return QColor::fromRgbF(float(red), float(green), float(blue));
}

} // namespace

LogListModel::LogListModel(Console *console, QObject *parent)
    : QAbstractListModel(parent)
    , m_console(console) {
    // Only announced entries are rows; later ones arrive with the next announcement.
    connect(console, &Console::entriesAppended, this, [this](qsizetype first, qsizetype count) {
        if (count <= 0 || first != m_rows)
            return;
        beginInsertRows({}, m_rows, int(first + count - 1));
        m_rows = int(first + count);
        endInsertRows();
    });
    connect(console, &Console::entriesCleared, this, [this] {
        beginResetModel();
        m_rows = 0;
        endResetModel();
    });
}

// Views ask for every row's index on each layout; skip the generic virtual checks.
QModelIndex LogListModel::index(int row, int column, const QModelIndex &parent) const {
    if (row < 0 || row >= m_rows || column != 0 || parent.isValid())
        return {};
    return createIndex(row, 0);
}

int LogListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_rows;
}

QVariant LogListModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return displayText(index.row());
    case Qt::ForegroundRole:
        return colour(m_console->entryKind(index.row()));
    case KindRole:
        return int(m_console->entryKind(index.row()));
    case IdRole:
        return m_console->entryAt(index.row()).id;
    default:
        return {};
    }
}

// Laying out a line of megabytes would stall every repaint for seconds.
QString LogListModel::displayText(int row) const {
    Console::TextPrefix prefix = m_console->entryPrefix(row, displayedLength);
    if (prefix.more > 0)
        prefix.text += u"\u2026 ("_s + QString::number(prefix.more) + u" more characters)"_s;
    return prefix.text;
}

QColor LogListModel::colour(LogKind kind) {
    // Indexed by LogKind, in its declaration order.
    static const std::array<QColor, 7> colours = {
        fromSRGB(0.831, 0.831, 0.831), fromSRGB(0.306, 0.788, 0.690), fromSRGB(0.957, 0.278, 0.278),
        fromSRGB(0.863, 0.863, 0.667), fromSRGB(0.612, 0.863, 0.996), fromSRGB(0.773, 0.525, 0.753),
        fromSRGB(0.808, 0.569, 0.471),
    };
    return colours.at(size_t(kind));
}

QColor LogListModel::background() {
    return fromSRGB(0.118, 0.118, 0.118);
}
