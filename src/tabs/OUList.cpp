#include "tabs/OUList.h"

#include "core/CSV.h"
#include "core/SpaceTrim.h"

#include <algorithm>

using namespace Qt::StringLiterals;

QStringList ouPathsFromListing(const CSVTable &listing) {
    QStringList paths;
    for (const CSVRow &row : listing.rows) {
        const QString path = trimSpacesAndTabs(row.value(u"orgUnitPath"_s));
        if (!path.isEmpty())
            paths.append(path);
    }
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return paths;
}

QStringList filterOUPaths(const QStringList &paths, const QString &filter) {
    if (filter.isEmpty())
        return paths;
    QStringList kept;
    for (const QString &path : paths)
        if (path.contains(filter, Qt::CaseInsensitive))
            kept.append(path);
    return kept;
}
