#pragma once

#include "core/CancelToken.h"
#include "core/Console.h"
#include "tabs/Course.h"
#include "tabs/CourseStateFilter.h"

#include <QCoroTask>
#include <QObject>
#include <QSet>
#include <QStringList>

class CourseTableModel;
class QItemSelectionModel;

// The Classroom tab: find courses by teacher, state and name, select some in the
// table, export the list and delete the selected courses one by one.
class ClassroomModel : public QObject {
    Q_OBJECT
public:
    explicit ClassroomModel(Console *console, QObject *parent = nullptr);

    Console *console() const { return m_console; }

    QString teacher() const { return m_teacher; }
    void setTeacher(const QString &teacher);
    QString nameFilter() const { return m_nameFilter; }
    void setNameFilter(const QString &nameFilter);
    CourseStateFilter state() const { return m_state; }
    void setState(CourseStateFilter state);
    QString statusText() const { return m_statusText; }

    // The listed courses; the table view shows this model and shares its selection.
    CourseTableModel *courseTable() const { return m_table; }
    QItemSelectionModel *courseSelection() const { return m_selection; }
    const QList<Course> &courses() const;
    // The IDs of the selected courses.
    QSet<QString> selection() const;
    void setSelection(const QSet<QString> &ids);

    void findClassrooms();
    void selectAll();
    void deselectAll();
    void deleteSelected();
    // Every listed course, selected or not, through the save dialog.
    QCoro::Task<> exportCourses(ExportFormat format);
    void clearFields();
    // After a domain switch nothing of the previous domain's courses stays.
    void reset();

    static QString sampleTeacher();
    static QString initialStatusText();

Q_SIGNALS:
    // teacher, nameFilter or state changed.
    void fieldsChanged();
    void statusTextChanged();
    void selectionChanged();

private:
    // The selected courses in table order, each once.
    QList<Course> selectedCourses() const;
    void setStatusText(const QString &text);
    void startDelete(QList<Course> courses);

    QCoro::Task<> runFind(QStringList arguments, QString nameFilter, CancelToken cancel);
    QCoro::Task<> runDelete(QList<Course> courses, CancelToken cancel);

    Console *m_console;
    QString m_teacher;
    QString m_nameFilter;
    CourseStateFilter m_state = CourseStateFilter::all;
    QString m_statusText;
    CourseTableModel *m_table;
    QItemSelectionModel *m_selection;
};
