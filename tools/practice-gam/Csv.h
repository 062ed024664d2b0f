#pragma once

#include <QHash>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

using CsvRow = QHash<QString, QString>;

// One CSV listing as GAM builds it: the command's sort titles first (when present),
// every other column in Python sorted() order, numbered sub-columns numerically.
struct CsvTable {
    QStringList sortTitles;
    QStringList nodataTitles; // header when there are no rows
    QList<CsvRow> rows;

    QStringList header() const;
    QByteArray text() const;
    void merge(const CsvTable &other);
};

QString csvField(const QString &value);
// GAM's cell text for a JSON value: booleans as True/False.
QString cellText(const QJsonValue &value);
// Flattens an object into parent.sub / list.N.sub columns plus list counts.
void flattenInto(CsvRow &row, const QString &prefix, const QJsonValue &value);
