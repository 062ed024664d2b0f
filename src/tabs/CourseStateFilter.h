#pragma once

#include <QList>
#include <QString>
#include <optional>

// Which course state a Classroom search asks gam for, in the order of the picker.
enum class CourseStateFilter { all, active, archived, provisioned };

QList<CourseStateFilter> courseStateFilters();
// "All", "Active", "Archived", "Provisioned".
QString courseStateLabel(CourseStateFilter state);
// The word after "states" in the gam command; none for all.
std::optional<QString> courseStateWord(CourseStateFilter state);
