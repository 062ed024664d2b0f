#include "tabs/ClassroomModel.h"

#include "core/CSV.h"
#include "core/CommandLine.h"
#include "core/GAM.h"
#include "core/InlineText.h"
#include "core/PlatformTexts.h"
#include "core/SpaceTrim.h"
#include "profiles/ProfileStore.h"
#include "tabs/CourseListing.h"
#include "tabs/CourseTableModel.h"

#include <QCoroFuture>
#include <QItemSelectionModel>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

constexpr double findTimeoutSeconds = 60;
constexpr double deleteTimeoutSeconds = 30;
constexpr qsizetype confirmationListLimit = 10;

bool isTimeout(const std::exception &error) {
    const auto *gamError = dynamic_cast<const GAMError *>(&error);
    return gamError && gamError->kind() == GAMError::Kind::timedOut;
}

// "name (id)" as one line of a log or message.
QString nameAndID(const Course &course, const QString &separator) {
    return inlineIsolated(course.name) + separator + u'(' + course.id + u')';
}

} // namespace

ClassroomModel::ClassroomModel(Console *console, QObject *parent)
    : QObject(parent)
    , m_console(console)
    , m_statusText(initialStatusText())
    , m_table(new CourseTableModel(this))
    , m_selection(new QItemSelectionModel(m_table, this)) {
    connect(m_selection, &QItemSelectionModel::selectionChanged, this, &ClassroomModel::selectionChanged);
    // A reset (a new search) drops the selection without a selectionChanged of its own.
    connect(m_table, &QAbstractItemModel::modelReset, this, &ClassroomModel::selectionChanged);
}

QString ClassroomModel::sampleTeacher() {
    return u"teacher@school.example.org"_s;
}

QString ClassroomModel::initialStatusText() {
    return u"No results — use Find Classrooms to search"_s;
}

// ---- Fields ----

void ClassroomModel::setTeacher(const QString &teacher) {
    if (m_teacher == teacher)
        return;
    m_teacher = teacher;
    Q_EMIT fieldsChanged();
}

void ClassroomModel::setNameFilter(const QString &nameFilter) {
    if (m_nameFilter == nameFilter)
        return;
    m_nameFilter = nameFilter;
    Q_EMIT fieldsChanged();
}

void ClassroomModel::setState(CourseStateFilter state) {
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT fieldsChanged();
}

void ClassroomModel::setStatusText(const QString &text) {
    if (m_statusText == text)
        return;
    m_statusText = text;
    Q_EMIT statusTextChanged();
}

// ---- Courses and selection ----

const QList<Course> &ClassroomModel::courses() const {
    return m_table->courses();
}

QSet<QString> ClassroomModel::selection() const {
    QSet<QString> ids;
    const QList<Course> &all = courses();
    for (const QItemSelectionRange &range : m_selection->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            ids.insert(all.at(row).id);
    return ids;
}

void ClassroomModel::setSelection(const QSet<QString> &ids) {
    // Consecutive selected rows become one range, so selecting thousands stays cheap.
    QItemSelection rows;
    const QList<Course> &all = courses();
    const int lastColumn = CourseTableModel::columnTotal - 1;
    for (int row = 0; row < all.size(); ++row) {
        if (!ids.contains(all.at(row).id))
            continue;
        const int first = row;
        while (row + 1 < all.size() && ids.contains(all.at(row + 1).id))
            ++row;
        rows.append(QItemSelectionRange(m_table->index(first, 0), m_table->index(row, lastColumn)));
    }
    m_selection->select(rows, QItemSelectionModel::ClearAndSelect);
}

void ClassroomModel::selectAll() {
    if (courses().isEmpty())
        return;
    m_selection->select(QItemSelection(m_table->index(0, 0),
                                       m_table->index(int(courses().size()) - 1, CourseTableModel::columnTotal - 1)),
                        QItemSelectionModel::ClearAndSelect);
}

void ClassroomModel::deselectAll() {
    m_selection->clearSelection();
}

QList<Course> ClassroomModel::selectedCourses() const {
    const QSet<QString> ids = selection();
    QSet<QString> taken;
    QList<Course> chosen;
    for (const Course &course : courses()) {
        if (ids.contains(course.id) && !taken.contains(course.id)) {
            taken.insert(course.id);
            chosen.append(course);
        }
    }
    return chosen;
}

// ---- Find ----

void ClassroomModel::findClassrooms() {
    const QStringList arguments = findCoursesArguments(trimSpacesAndTabs(m_teacher), m_state);
    m_console->run(u"Find Classrooms"_s, [this, arguments, filter = trimSpacesAndTabs(m_nameFilter)](
                                             CancelToken cancel) { return runFind(arguments, filter, cancel); });
}

QCoro::Task<> ClassroomModel::runFind(QStringList arguments, QString nameFilter, CancelToken cancel) {
    // Cleared only once the task has started: a refused (busy) search leaves the table alone.
    m_table->setCourses({});
    setStatusText(u"Searching..."_s);
    m_console->log(u"[FIND] "_s + displayCommand(arguments), LogKind::command);

    const QPointer<ClassroomModel> self(this);
    CommandResult result;
    try {
        result = co_await GAM::runGAM(arguments, findTimeoutSeconds, GAM::ProfileChoice::active(), cancel);
    } catch (const std::exception &error) {
        if (!self)
            co_return;
        m_console->logFailure(error, u"Find Classrooms"_s);
        setStatusText(dynamic_cast<const Cancelled *>(&error) ? u"Search stopped."_s
                                                              : u"Search failed — see the log."_s);
        co_return;
    }
    if (!self)
        co_return;

    m_console->logOutput(result.stdErr, LogKind::warning, 15);
    CourseListing listing = co_await readCourseListingInBackground(result.stdOut, nameFilter);
    if (!self)
        co_return;
    if (cancel.isCancelled()) {
        m_console->logFailure(Cancelled(), u"Find Classrooms"_s);
        setStatusText(u"Search stopped."_s);
        co_return;
    }
    if (listing.rows == 0) {
        // gam prints the bare header and exits 0 when there is nothing; any other status is a failure.
        if (result.exitCode != 0) {
            m_console->log(u"  Search failed (exit "_s + QString::number(result.exitCode) + u")."_s, LogKind::error);
            setStatusText(u"Search failed — see the log."_s);
            co_return;
        }
        m_console->log(u"  No classrooms found."_s, LogKind::warning);
        setStatusText(u"No classrooms found."_s);
        co_return;
    }

    const QString count = QString::number(listing.matching.size());
    m_console->log(u"  Found "_s + count + u" classroom(s)."_s, LogKind::preview);
    const bool any = !listing.matching.isEmpty();
    m_table->setCourses(std::move(listing.matching));
    setStatusText(any ? count + u" classroom(s) found  •  "_s + PlatformTexts::multiSelectClicks() +
                            u" to multi-select"_s
                      : u"No classrooms matched the name filter."_s);
}

// ---- Delete ----

void ClassroomModel::deleteSelected() {
    const QList<Course> chosen = selectedCourses();
    if (chosen.isEmpty()) {
        m_console->showAlert(u"No Selection"_s, u"Please select at least one classroom to delete."_s);
        return;
    }
    const qsizetype count = chosen.size();
    QStringList lines;
    for (qsizetype i = 0; i < std::min(count, confirmationListLimit); ++i)
        lines.append(nameAndID(chosen.at(i), u"  "_s));
    if (count > confirmationListLimit)
        lines.append(u"... and "_s + QString::number(count - confirmationListLimit) + u" more"_s);

    AlertItem alert;
    alert.title = u"Confirm Delete"_s;
    alert.message = u"Permanently delete "_s + QString::number(count) +
                    (count == 1 ? u" classroom"_s : u" classrooms"_s) + u"?\n\n"_s + lines.join(u'\n') +
                    u"\n\nAll course materials and rosters will be removed. This cannot be undone. Continue?"_s +
                    u"\n\nDomain: "_s + currentActiveProfile().displayName();
    alert.confirmTitle = u"Delete"_s;
    alert.isDestructive = true;
    alert.onConfirm = [self = QPointer(this), chosen] {
        if (self)
            self->startDelete(chosen);
    };
    m_console->setAlert(alert);
}

void ClassroomModel::startDelete(QList<Course> courses) {
    m_console->run(u"Delete Classrooms"_s, [this, courses](CancelToken cancel) { return runDelete(courses, cancel); });
}

QCoro::Task<> ClassroomModel::runDelete(QList<Course> courses, CancelToken cancel) {
    m_console->log(u"[DELETE] "_s + QString::number(courses.size()) + u" classroom(s)"_s, LogKind::info);
    const QPointer<ClassroomModel> self(this);
    int deleted = 0;
    int failed = 0;
    for (const Course &course : std::as_const(courses)) {
        if (cancel.isCancelled())
            break;
        const QStringList arguments = course.deleteArguments();
        m_console->log(u">> "_s + displayCommand(arguments), LogKind::command);
        CommandResult result;
        try {
            result = co_await GAM::runGAM(arguments, deleteTimeoutSeconds, GAM::ProfileChoice::active(), cancel);
        } catch (const std::exception &error) {
            if (!self)
                co_return;
            if (!isTimeout(error)) {
                m_console->logFailure(error, u"delete"_s);
                break;
            }
            m_console->log(u"  TIMEOUT: "_s + inlineIsolated(course.name), LogKind::error);
            ++failed;
            continue;
        }
        if (!self)
            co_return;
        if (result.exitCode == 0) {
            m_console->log(u"  Deleted: "_s + nameAndID(course, u" "_s), LogKind::success);
            m_table->removeCourse(course.id);
            ++deleted;
        } else {
            m_console->log(u"  FAILED: "_s + nameAndID(course, u" "_s) + u" (exit "_s +
                               QString::number(result.exitCode) + u')',
                           LogKind::error);
            m_console->logOutput(result.stdErr, LogKind::error, 15);
            ++failed;
        }
    }
    m_console->log(u"Done — "_s + QString::number(deleted) + u" deleted, "_s + QString::number(failed) + u" failed."_s,
                   failed == 0 ? LogKind::info : LogKind::warning);
}

// ---- Export ----

QCoro::Task<> ClassroomModel::exportCourses(ExportFormat format) {
    const QList<Course> &all = courses();
    if (all.isEmpty()) {
        m_console->showAlert(u"Export"_s, u"No results to export."_s);
        co_return;
    }
    const bool csv = format == ExportFormat::csv;
    QList<QStringList> rows;
    rows.reserve(all.size());
    for (const Course &course : all) {
        // Plain text keeps one line per course; CSV quotes a name's line breaks and keeps them.
        rows.append({course.id, csv ? course.name : oneLine(course.name), csv ? course.owner : oneLine(course.owner),
                     course.state});
    }
    const QString contents = csv ? csvText(CourseTableModel::columnTitles(), rows)
                                 : Console::tableText(CourseTableModel::columnTitles(), rows, std::nullopt);
    const QString count = QString::number(rows.size());

    const QPointer<Console> console = m_console;
    try {
        const std::optional<QString> path = co_await m_console->saveText(contents, u"classrooms"_s, format);
        if (console && path)
            console->log(u"Saved "_s + count + u" row(s) to "_s + *path, LogKind::info);
    } catch (const Error &error) {
        if (console)
            console->showAlert(u"Export Failed"_s, error.description());
    }
}

// ---- Clear ----

void ClassroomModel::clearFields() {
    setTeacher({});
    setNameFilter({});
    setState(CourseStateFilter::all);
    m_table->setCourses({});
    setStatusText(initialStatusText());
}

void ClassroomModel::reset() {
    clearFields();
}
