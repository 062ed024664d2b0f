#include "Csv.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Python's sorted() order, except that a number right after a "." compares numerically,
// so permissions.10.role follows permissions.9.role as GAM's indexed-title sort gives.
bool titleLess(const QString &a, const QString &b) {
    const qsizetype n = std::min(a.size(), b.size());
    qsizetype i = 0;
    while (i < n && a.at(i) == b.at(i))
        ++i;
    if (i < n && a.at(i).isDigit() && b.at(i).isDigit()) {
        qsizetype start = i;
        while (start > 0 && a.at(start - 1).isDigit())
            --start;
        if (start > 0 && a.at(start - 1) == u'.') {
            auto number = [start](const QString &s) {
                qsizetype end = start;
                while (end < s.size() && s.at(end).isDigit())
                    ++end;
                return s.mid(start, end - start).toLongLong();
            };
            const qint64 x = number(a), y = number(b);
            if (x != y)
                return x < y;
        }
    }
    return a < b;
}

} // namespace

QStringList CsvTable::header() const {
    if (rows.isEmpty())
        return nodataTitles.isEmpty() ? sortTitles.mid(0, 1) : nodataTitles;
    QSet<QString> keys;
    for (const CsvRow &row : rows)
        for (auto it = row.cbegin(); it != row.cend(); ++it)
            keys.insert(it.key());
    QStringList header;
    for (const QString &title : sortTitles)
        if (keys.remove(title))
            header.append(title);
    QStringList rest(keys.cbegin(), keys.cend());
    std::sort(rest.begin(), rest.end(), titleLess);
    return header + rest;
}

// As Python's csv writer with GAM's escapechar: a backslash is doubled and
// needs no quotes; quotes are doubled.
QString csvField(const QString &value) {
    QString field = value;
    field.replace(u"\\"_s, u"\\\\"_s);
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\n') && !field.contains(u'\r'))
        return field;
    field.replace(u"\""_s, u"\"\""_s);
    return u'"' + field + u'"';
}

QByteArray CsvTable::text() const {
    const QStringList titles = header();
    QString out;
    QStringList cells;
    for (const QString &title : titles)
        cells.append(csvField(title));
    out += cells.join(u',') + u'\n';
    for (const CsvRow &row : rows) {
        cells.clear();
        for (const QString &title : titles)
            cells.append(csvField(row.value(title)));
        out += cells.join(u',') + u'\n';
    }
    return out.toUtf8();
}

void CsvTable::merge(const CsvTable &other) {
    if (sortTitles.isEmpty())
        sortTitles = other.sortTitles;
    if (nodataTitles.isEmpty())
        nodataTitles = other.nodataTitles;
    rows += other.rows;
}

QString cellText(const QJsonValue &value) {
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? u"True"_s : u"False"_s;
    case QJsonValue::Double:
        return QString::number(value.toInteger());
    case QJsonValue::String:
        return value.toString();
    default:
        return QString();
    }
}

void flattenInto(CsvRow &row, const QString &prefix, const QJsonValue &value) {
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            flattenInto(row, prefix.isEmpty() ? it.key() : prefix + u'.' + it.key(), it.value());
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        row.insert(prefix, QString::number(array.size()));
        for (qsizetype i = 0; i < array.size(); ++i)
            flattenInto(row, prefix + u'.' + QString::number(i), array.at(i));
    } else {
        row.insert(prefix, cellText(value));
    }
}
