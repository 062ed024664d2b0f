#pragma once

#include "tabs/Course.h"

#include <QAbstractTableModel>
#include <QList>

// The listed courses, in gam's order, as the four columns of the Classroom table.
class CourseTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { idColumn, nameColumn, ownerColumn, stateColumn };
    static constexpr int columnTotal = 4;

    explicit CourseTableModel(QObject *parent = nullptr);

    const QList<Course> &courses() const { return m_courses; }
    void setCourses(QList<Course> courses);
    // Removes every row of the course with this id; the rows of other courses keep their selection.
    void removeCourse(const QString &id);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static QStringList columnTitles();

private:
    QList<Course> m_courses;
};
