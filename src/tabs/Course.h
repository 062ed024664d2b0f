#pragma once

#include "tabs/CourseStateFilter.h"

#include <QString>
#include <QStringList>

class CSVRow;

// One Google Classroom course as `gam print courses` lists it.
struct Course {
    QString id;
    QString name;
    // The owner's address, or the owner's ID when gam has no address for it.
    QString owner;
    // The course state as gam prints it, e.g. "ACTIVE".
    QString state;

    // A row of `print courses`. An empty ownerEmail (an orphaned course, whose owner
    // was deleted) falls back to ownerId, an empty courseState to state.
    static Course fromRow(const CSVRow &row);

    // Classroom refuses to delete an ACTIVE course, so gam archives it first.
    QStringList deleteArguments() const;

    bool operator==(const Course &) const = default;
};

// "print", "courses", then "teacher" T and "states" S when given, then the four fields.
QStringList findCoursesArguments(const QString &teacher, CourseStateFilter state);
