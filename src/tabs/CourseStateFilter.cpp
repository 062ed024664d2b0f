#include "tabs/CourseStateFilter.h"

using namespace Qt::StringLiterals;

QList<CourseStateFilter> courseStateFilters() {
    return {CourseStateFilter::all, CourseStateFilter::active, CourseStateFilter::archived,
            CourseStateFilter::provisioned};
}

QString courseStateLabel(CourseStateFilter state) {
    const std::optional<QString> word = courseStateWord(state);
    if (!word)
        return u"All"_s;
    return word->left(1) + word->mid(1).toLower();
}

std::optional<QString> courseStateWord(CourseStateFilter state) {
    switch (state) {
    case CourseStateFilter::all:
        return std::nullopt;
    case CourseStateFilter::active:
        return u"ACTIVE"_s;
    case CourseStateFilter::archived:
        return u"ARCHIVED"_s;
    case CourseStateFilter::provisioned:
        return u"PROVISIONED"_s;
    }
    return std::nullopt;
}
