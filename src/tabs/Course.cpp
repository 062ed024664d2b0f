#include "tabs/Course.h"

#include "core/CSV.h"

using namespace Qt::StringLiterals;

namespace {

QString firstNonEmpty(const CSVRow &row, const QString &key, const QString &fallbackKey) {
    const QString value = row.value(key);
    return value.isEmpty() ? row.value(fallbackKey) : value;
}

} // namespace

Course Course::fromRow(const CSVRow &row) {
    return Course{row.value(u"id"_s), row.value(u"name"_s), firstNonEmpty(row, u"ownerEmail"_s, u"ownerId"_s),
                  firstNonEmpty(row, u"courseState"_s, u"state"_s)};
}

QStringList Course::deleteArguments() const {
    QStringList arguments{u"delete"_s, u"course"_s, id};
    if (state.compare(u"ACTIVE"_s, Qt::CaseInsensitive) == 0)
        arguments.append(u"archive"_s);
    return arguments;
}

QStringList findCoursesArguments(const QString &teacher, CourseStateFilter state) {
    QStringList arguments{u"print"_s, u"courses"_s};
    if (!teacher.isEmpty())
        arguments << u"teacher"_s << teacher;
    if (const std::optional<QString> word = courseStateWord(state))
        arguments << u"states"_s << *word;
    arguments << u"fields"_s << u"id,name,owneremail,coursestate"_s;
    return arguments;
}
