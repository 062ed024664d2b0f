#pragma once

#include "tabs/Course.h"

#include <QFuture>
#include <QList>
#include <QString>

// What a `print courses` listing held, and which of it the name filter kept.
struct CourseListing {
    qsizetype rows = 0;
    // In gam's order.
    QList<Course> matching;
};

// The courses of gam's CSV whose names contain nameFilter, ignoring case; an empty filter keeps all.
CourseListing readCourseListing(const QString &csv, const QString &nameFilter);

// readCourseListing on a pool thread: a district's listing is tens of thousands of rows,
// and reading them on the main thread would freeze the window.
QFuture<CourseListing> readCourseListingInBackground(QString csv, QString nameFilter);
