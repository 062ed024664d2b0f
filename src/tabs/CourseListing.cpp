#include "tabs/CourseListing.h"

#include "core/CSV.h"

#include <QPromise>
#include <QThreadPool>
#include <memory>

CourseListing readCourseListing(const QString &csv, const QString &nameFilter) {
    const CSVTable table = parseCSV(csv);
    CourseListing listing;
    listing.rows = table.rows.size();
    listing.matching.reserve(table.rows.size());
    for (const CSVRow &row : table.rows) {
        Course course = Course::fromRow(row);
        if (nameFilter.isEmpty() || course.name.contains(nameFilter, Qt::CaseInsensitive))
            listing.matching.append(std::move(course));
    }
    return listing;
}

QFuture<CourseListing> readCourseListingInBackground(QString csv, QString nameFilter) {
    // Shared, because the pool takes only copyable work in this Qt.
    auto promise = std::make_shared<QPromise<CourseListing>>();
    QFuture<CourseListing> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, csv = std::move(csv), nameFilter = std::move(nameFilter)] {
        promise->addResult(readCourseListing(csv, nameFilter));
        promise->finish();
    });
    return future;
}
