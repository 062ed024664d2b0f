#include "security/CheckResult.h"

#include "core/SpaceTrim.h"

#include <QSettings>

using namespace Qt::StringLiterals;

QString SecurityTable::cell(qsizetype row, qsizetype column) const {
    if (row < rows.size())
        return rows[row].value(column);
    return records[row - rows.size()].value(headers.value(column));
}

QStringList SecurityTable::row(qsizetype row) const {
    QStringList cells;
    cells.reserve(headers.size());
    for (qsizetype column = 0; column < headers.size(); ++column)
        cells.append(cell(row, column));
    return cells;
}

PasswordLogMode passwordLogMode(const QString &setting) {
    const QString mode = trimSpacesAndTabs(setting);
    if (mode == u"local"_s)
        return PasswordLogMode::local;
    if (mode == u"drive"_s)
        return PasswordLogMode::drive;
    return PasswordLogMode::none;
}

PasswordLogMode currentPasswordLogMode() {
    return passwordLogMode(QSettings().value(u"security.passwordLogMode"_s).toString());
}
