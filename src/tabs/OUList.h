#pragma once

#include <QStringList>
#include <QUuid>

struct CSVTable;

// The organizational units of one fetch; a new id per fetch, so two fetches
// with the same paths still open the picker afresh.
struct OUList {
    QUuid id = QUuid::createUuid();
    QStringList paths;
};

// The "orgUnitPath" values of a `print orgs` listing: trimmed of spaces and
// tabs, empty ones dropped, unique, in character-code order.
QStringList ouPathsFromListing(const CSVTable &listing);

// The paths containing the filter, ignoring case (the filter is not trimmed); all of them for an empty filter.
QStringList filterOUPaths(const QStringList &paths, const QString &filter);
