#include "tabs/CourseTableModel.h"

#include "core/InlineText.h"

using namespace Qt::StringLiterals;

CourseTableModel::CourseTableModel(QObject *parent)
    : QAbstractTableModel(parent) {}

QStringList CourseTableModel::columnTitles() {
    return {u"Course ID"_s, u"Course Name"_s, u"Owner Email"_s, u"State"_s};
}

void CourseTableModel::setCourses(QList<Course> courses) {
    beginResetModel();
    m_courses = std::move(courses);
    endResetModel();
}

void CourseTableModel::removeCourse(const QString &id) {
    // From the end, one contiguous run at a time, so earlier rows keep their numbers.
    for (qsizetype last = m_courses.size() - 1; last >= 0; --last) {
        if (m_courses.at(last).id != id)
            continue;
        qsizetype first = last;
        while (first > 0 && m_courses.at(first - 1).id == id)
            --first;
        beginRemoveRows({}, int(first), int(last));
        m_courses.remove(first, last - first + 1);
        endRemoveRows();
        last = first;
    }
}

int CourseTableModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_courses.size());
}

int CourseTableModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : columnTotal;
}

QVariant CourseTableModel::data(const QModelIndex &index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Course &course = m_courses.at(index.row());
    switch (index.column()) {
    case idColumn:
        return course.id;
    case nameColumn:
        // The tooltip shows a name with line breaks as it is.
        return role == Qt::ToolTipRole ? course.name : inlineIsolated(course.name);
    case ownerColumn:
        return inlineIsolated(course.owner);
    case stateColumn:
        return course.state;
    }
    return {};
}

QVariant CourseTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columnTotal)
        return columnTitles().at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
