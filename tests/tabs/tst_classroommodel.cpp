#include "FakeDesktopServices.h"
#include "FakeGam.h"
#include "TestSupport.h"

#include "core/CSV.h"
#include "core/CommandLine.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "tabs/ClassroomModel.h"
#include "tabs/CourseTableModel.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString header = u"id,name,courseState,ownerEmail,ownerId\n"_s;
// A comma, quotes, a line break, right-to-left script, and an orphaned course.
const QString listing = header + u"101,\"Algebra, I\",ACTIVE,a@lakeside.example.org,11\n"_s
                                 u"102,\"Say \"\"hi\"\"\",ARCHIVED,b@lakeside.example.org,12\n"_s
                                 u"103,\"Robotics Club\nAfter School\",PROVISIONED,,13\n"_s
                                 u"104,מתמטיקה,ACTIVE,c@lakeside.example.org,14\n"_s;
// A left-to-right mark, then a first-strong isolate.
const QString isolateStart = QString(QChar(0x200E)) + QChar(0x2068);
const QString isolateEnd = QString(QChar(0x2069));
const QString foundStatus = u"4 classroom(s) found  •  Ctrl-click or Shift-click to multi-select"_s;

QString readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList ids(const QList<Course> &courses) {
    QStringList list;
    for (const Course &course : courses)
        list.append(course.id);
    return list;
}

} // namespace

// ClassroomModel against a recording gam script: find vectors and status texts,
// selection, the confirmation, the delete loop, exports and clearing.
class ClassroomModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void find_exactVectorsAndStatusFlow();
    void find_nameFilterIsTrimmedAndIgnoresCase();
    void find_emptyListingsAndFailures();
    void find_refusedWhileBusyLeavesTheTable();
    void selection_selectAllDeselectAllAndByID();
    void confirmation_namesTenCoursesAndTheDomain();
    void delete_vectorsOutcomesAndTable();
    void delete_stopMidLoopWritesSummary();
    void delete_runnerFailureStopsTheLoop();
    void delete_dismissedConfirmationRunsNothing();
    void export_everyListedCourseInBothFormats();
    void export_refusalsCancelAndWriteFailure();
    void clearFields_andReset_restoreEveryField();
    void ownerDestroyedMidRun_taskEndsQuietly();

private:
    bool waitIdle() const;
    void find(const QString &output = listing);
    void confirm();
    // Lists the four courses and deletes them all; the first goes, the second's gam never ends.
    void deleteAllUntilTheSecondHangs();
    QStringList log() const { return logLines(*m_console); }

    std::unique_ptr<FakeGamDistrict> m_district;
    FakeGam *m_gam = nullptr;
    FakeDesktopServices m_desktop;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<ClassroomModel> m_model;
};

void ClassroomModelTest::init() {
    m_district = std::make_unique<FakeGamDistrict>();
    m_gam = &m_district->gam;
    m_desktop = FakeDesktopServices();
    m_console = std::make_unique<Console>(&m_desktop);
    m_model = std::make_unique<ClassroomModel>(m_console.get());
}

void ClassroomModelTest::cleanup() {
    m_model.reset();
    m_console.reset();
    m_district.reset();
}

bool ClassroomModelTest::waitIdle() const {
    return QTest::qWaitFor([this] { return !m_console->isBusy(); }, 30000);
}

// Run 1 answers with `output`.
void ClassroomModelTest::find(const QString &output) {
    m_gam->answer(m_gam->runs() + 1, output);
    m_model->findClassrooms();
    QVERIFY(waitIdle());
}

// What the window does when the user presses the confirmation's "Delete".
void ClassroomModelTest::confirm() {
    QVERIFY(m_console->alert().has_value());
    const AlertItem alert = *m_console->alert();
    QCOMPARE(alert.title, u"Confirm Delete"_s);
    QCOMPARE(alert.confirmTitle, std::optional(u"Delete"_s));
    QVERIFY(alert.isDestructive);
    m_console->setAlert(std::nullopt);
    alert.onConfirm();
}

void ClassroomModelTest::deleteAllUntilTheSecondHangs() {
    find();
    m_model->selectAll();
    const int second = m_gam->runs() + 2;
    m_gam->hang(second);
    m_model->deleteSelected();
    confirm();
    QVERIFY(QTest::qWaitFor([this, second] { return m_gam->runs() == second; }, 20000));
}

void ClassroomModelTest::find_exactVectorsAndStatusFlow() {
    QCOMPARE(m_model->statusText(), u"No results — use Find Classrooms to search"_s);
    QStringList seen;
    connect(m_model.get(), &ClassroomModel::statusTextChanged, this, [&] { seen.append(m_model->statusText()); });

    find();
    QCOMPARE(m_gam->arguments(1),
             (QStringList{u"print"_s, u"courses"_s, u"fields"_s, u"id,name,owneremail,coursestate"_s}));
    QCOMPARE(seen, (QStringList{u"Searching..."_s, foundStatus}));
    QVERIFY(log().contains(u"[FIND] gam print courses fields id,name,owneremail,coursestate"_s));
    QVERIFY(log().contains(u"  Found 4 classroom(s)."_s));
    QCOMPARE(m_model->courses(), (QList<Course>{{u"101"_s, u"Algebra, I"_s, u"a@lakeside.example.org"_s, u"ACTIVE"_s},
                                                {u"102"_s, u"Say \"hi\""_s, u"b@lakeside.example.org"_s, u"ARCHIVED"_s},
                                                {u"103"_s, u"Robotics Club\nAfter School"_s, u"13"_s, u"PROVISIONED"_s},
                                                {u"104"_s, u"מתמטיקה"_s, u"c@lakeside.example.org"_s, u"ACTIVE"_s}}));

    // The teacher is trimmed of spaces and tabs; the state word follows it.
    m_model->setTeacher(u" \tt@lakeside.example.org \u00A0"_s);
    m_model->setState(CourseStateFilter::archived);
    find();
    QCOMPARE(m_gam->arguments(2),
             (QStringList{u"print"_s, u"courses"_s, u"teacher"_s, u"t@lakeside.example.org"_s, u"states"_s,
                          u"ARCHIVED"_s, u"fields"_s, u"id,name,owneremail,coursestate"_s}));
}

void ClassroomModelTest::find_nameFilterIsTrimmedAndIgnoresCase() {
    m_model->setNameFilter(u"  aLGEBRA \t"_s);
    find();
    QCOMPARE(ids(m_model->courses()), QStringList{u"101"_s});
    QCOMPARE(log().constLast(), u"  Found 1 classroom(s)."_s);
    QVERIFY(m_model->statusText().startsWith(u"1 classroom(s) found  •  "_s));

    // The filter acts on the whole name, line break included.
    m_model->setNameFilter(u"club\nafter"_s);
    find();
    QCOMPARE(ids(m_model->courses()), QStringList{u"103"_s});

    m_model->setNameFilter(u"Chemistry"_s);
    find();
    QVERIFY(m_model->courses().isEmpty());
    QCOMPARE(log().constLast(), u"  Found 0 classroom(s)."_s);
    QCOMPARE(m_model->statusText(), u"No classrooms matched the name filter."_s);
}

void ClassroomModelTest::find_emptyListingsAndFailures() {
    // gam's bare header with its progress lines on stderr.
    m_gam->answer(1, u"id\n"_s,
                  u"Getting all Courses, may take some time on a large Google Workspace Account...\n\rGot 0 "_s
                  u"Courses...\r\n"_s);
    m_model->findClassrooms();
    QVERIFY(waitIdle());
    QCOMPARE(m_model->statusText(), u"No classrooms found."_s);
    QStringList lines = log();
    QCOMPARE(lines.mid(lines.size() - 3),
             (QStringList{u"  Getting all Courses, may take some time on a large Google Workspace Account..."_s,
                          u"  Got 0 Courses..."_s, u"  No classrooms found."_s}));
    QCOMPARE(m_console->entryAt(m_console->entryCount() - 1).kind, LogKind::warning);

    // An unknown teacher: gam says so and exits 56; that is a failed search, not an empty one.
    m_gam->answer(2, {}, u"Teacher: nobody@lakeside.example.org, Does not exist\n"_s, 56);
    m_model->findClassrooms();
    QVERIFY(waitIdle());
    lines = log();
    QCOMPARE(lines.mid(lines.size() - 2), (QStringList{u"  Teacher: nobody@lakeside.example.org, Does not exist"_s,
                                                       u"  Search failed (exit 56)."_s}));
    QCOMPARE(m_model->statusText(), u"Search failed — see the log."_s);

    // Rows that came with a non-zero status are still shown.
    m_gam->answer(3, listing, u"Course: 105, Print Failed: Backend Error\n"_s, 50);
    m_model->findClassrooms();
    QVERIFY(waitIdle());
    QCOMPARE(m_model->courses().size(), 4);
    QCOMPARE(m_model->statusText(), foundStatus);

    // A stop while gam runs.
    m_gam->hang(4);
    m_model->findClassrooms();
    QVERIFY(QTest::qWaitFor([this] { return m_gam->runs() == 4; }, 20000));
    QCOMPARE(m_model->statusText(), u"Searching..."_s);
    QVERIFY(m_model->courses().isEmpty());
    m_console->stop();
    QVERIFY(waitIdle());
    QCOMPARE(log().constLast(), u"  Stopped by user."_s);
    QCOMPARE(m_model->statusText(), u"Search stopped."_s);

    // No gam at all.
    QSettings().setValue(u"gamPath"_s, QString(m_gam->path() + u".missing"_s));
    m_model->findClassrooms();
    QVERIFY(waitIdle());
    QVERIFY(log().constLast().startsWith(u"ERROR: 'gam' not found."_s));
    QCOMPARE(m_model->statusText(), u"Search failed — see the log."_s);
}

void ClassroomModelTest::find_refusedWhileBusyLeavesTheTable() {
    find();
    m_model->selectAll();
    m_gam->hang(2);
    startGAMTask(*m_console, u"Other Work"_s, {u"info"_s, u"domain"_s});
    m_model->findClassrooms();
    QCOMPARE(m_console->alert()->title, u"Busy"_s);
    QCOMPARE(m_model->courses().size(), 4);
    QCOMPARE(m_model->selection().size(), 4);
    QCOMPARE(m_model->statusText(), foundStatus);
    m_console->stop();
    QVERIFY(waitIdle());
}

void ClassroomModelTest::selection_selectAllDeselectAllAndByID() {
    QSignalSpy changes(m_model.get(), &ClassroomModel::selectionChanged);
    m_model->selectAll();
    QVERIFY(m_model->selection().isEmpty());

    find();
    m_model->selectAll();
    QCOMPARE(m_model->selection(), (QSet<QString>{u"101"_s, u"102"_s, u"103"_s, u"104"_s}));
    QVERIFY(m_model->courseSelection()->isRowSelected(3));
    m_model->deselectAll();
    QVERIFY(m_model->selection().isEmpty());
    QVERIFY(!m_model->courseSelection()->hasSelection());

    m_model->setSelection({u"102"_s, u"104"_s, u"999"_s});
    QCOMPARE(m_model->selection(), (QSet<QString>{u"102"_s, u"104"_s}));
    QCOMPARE(m_model->courseSelection()->selectedRows().size(), 2);
    QVERIFY(changes.size() >= 3);

    // A new search drops the selection, and says so.
    const qsizetype before = changes.size();
    find();
    QVERIFY(m_model->selection().isEmpty());
    QVERIFY(changes.size() > before);
}

void ClassroomModelTest::confirmation_namesTenCoursesAndTheDomain() {
    const QString tail = u"\n\nAll course materials and rosters will be removed. This cannot be undone. Continue?"_s
                         u"\n\nDomain: Lakeside (lakeside.example.org)"_s;
    m_model->deleteSelected();
    QCOMPARE(m_console->alert()->title, u"No Selection"_s);
    QCOMPARE(m_console->alert()->message, u"Please select at least one classroom to delete."_s);
    QVERIFY(!m_console->alert()->confirmTitle);

    find();
    m_model->setSelection({u"102"_s});
    m_model->deleteSelected();
    QCOMPARE(m_console->alert()->title, u"Confirm Delete"_s);
    QCOMPARE(m_console->alert()->message, u"Permanently delete 1 classroom?\n\nSay \"hi\"  (102)"_s + tail);

    // Table order, whatever order the IDs were given in; one line per course.
    m_model->setSelection({u"104"_s, u"103"_s, u"101"_s});
    m_model->deleteSelected();
    QCOMPARE(m_console->alert()->message, u"Permanently delete 3 classrooms?\n\nAlgebra, I  (101)\n"_s
                                          u"Robotics Club After School  (103)\n"_s +
                                              isolateStart + u"מתמטיקה"_s + isolateEnd + u"  (104)"_s + tail);

    QString twelve = header;
    for (int i = 1; i <= 12; ++i)
        twelve += u"%1,Course %1,ACTIVE,t@lakeside.example.org,9\n"_s.arg(i);
    find(twelve);
    m_model->selectAll();
    m_model->deleteSelected();
    const QStringList lines = m_console->alert()->message.split(u'\n');
    QCOMPARE(lines.at(0), u"Permanently delete 12 classrooms?"_s);
    QCOMPARE(lines.mid(2, 11),
             (QStringList{u"Course 1  (1)"_s, u"Course 2  (2)"_s, u"Course 3  (3)"_s, u"Course 4  (4)"_s,
                          u"Course 5  (5)"_s, u"Course 6  (6)"_s, u"Course 7  (7)"_s, u"Course 8  (8)"_s,
                          u"Course 9  (9)"_s, u"Course 10  (10)"_s, u"... and 2 more"_s}));
    QVERIFY(m_console->alert()->message.endsWith(u"... and 2 more"_s + tail));
}

void ClassroomModelTest::delete_vectorsOutcomesAndTable() {
    find();
    m_model->setSelection({u"101"_s, u"102"_s, u"103"_s});
    m_gam->answer(2, u"Course: 101, Deleted\n"_s);
    m_gam->answer(3, {}, u"Course: 102, Delete Failed: Backend Error\n"_s, 50);
    m_gam->answer(4, u"Course: 103, Deleted\n"_s);
    const QString statusBefore = m_model->statusText();
    m_model->deleteSelected();
    confirm();
    QVERIFY(waitIdle());

    QCOMPARE(m_gam->arguments(2), (QStringList{u"delete"_s, u"course"_s, u"101"_s, u"archive"_s}));
    QCOMPARE(m_gam->arguments(3), (QStringList{u"delete"_s, u"course"_s, u"102"_s}));
    QCOMPARE(m_gam->arguments(4), (QStringList{u"delete"_s, u"course"_s, u"103"_s}));
    const QStringList lines = log();
    const qsizetype start = lines.indexOf(u"[DELETE] 3 classroom(s)"_s);
    QVERIFY(start > 0);
    QCOMPARE(lines.mid(start + 1),
             (QStringList{u">> gam delete course 101 archive"_s, u"  Deleted: Algebra, I (101)"_s,
                          u">> gam delete course 102"_s, u"  FAILED: Say \"hi\" (102) (exit 50)"_s,
                          u"  Course: 102, Delete Failed: Backend Error"_s, u">> gam delete course 103"_s,
                          u"  Deleted: Robotics Club After School (103)"_s, u"Done — 2 deleted, 1 failed."_s}));
    QCOMPARE(m_console->entryAt(m_console->entryCount() - 1).kind, LogKind::warning);
    QCOMPARE(m_console->entryAt(m_console->entryCount() - 4).kind, LogKind::error);

    // The failed course stays, and stays selected; the status line is the search's.
    QCOMPARE(ids(m_model->courses()), (QStringList{u"102"_s, u"104"_s}));
    QCOMPARE(m_model->selection(), QSet<QString>{u"102"_s});
    QVERIFY(m_model->courseSelection()->isRowSelected(0));
    QCOMPARE(m_model->statusText(), statusBefore);

    m_gam->answer(5, u"Course: 102, Deleted\n"_s);
    m_model->deleteSelected();
    confirm();
    QVERIFY(waitIdle());
    QCOMPARE(log().constLast(), u"Done — 1 deleted, 0 failed."_s);
    QCOMPARE(m_console->entryAt(m_console->entryCount() - 1).kind, LogKind::info);
    QVERIFY(m_model->selection().isEmpty());
    QCOMPARE(ids(m_model->courses()), QStringList{u"104"_s});
}

void ClassroomModelTest::delete_stopMidLoopWritesSummary() {
    deleteAllUntilTheSecondHangs();
    m_console->stop();
    QVERIFY(waitIdle());

    QCOMPARE(m_gam->runs(), 3);
    const QStringList lines = log();
    QCOMPARE(lines.mid(lines.size() - 2), (QStringList{u"  Stopped by user."_s, u"Done — 1 deleted, 0 failed."_s}));
    QCOMPARE(ids(m_model->courses()), (QStringList{u"102"_s, u"103"_s, u"104"_s}));
    QCOMPARE(m_model->selection(), (QSet<QString>{u"102"_s, u"103"_s, u"104"_s}));
}

void ClassroomModelTest::delete_runnerFailureStopsTheLoop() {
    find();
    m_model->selectAll();
    m_model->deleteSelected();
    QSettings().setValue(u"gamPath"_s, QString(m_gam->path() + u".missing"_s));
    confirm();
    QVERIFY(waitIdle());
    const QStringList lines = log();
    QCOMPARE(lines.count(u">> gam delete course 101 archive"_s), 1);
    QVERIFY(!lines.contains(u">> gam delete course 102"_s));
    QVERIFY(lines.at(lines.size() - 2).startsWith(u"ERROR: 'gam' not found."_s));
    QCOMPARE(lines.constLast(), u"Done — 0 deleted, 0 failed."_s);
    QCOMPARE(m_model->courses().size(), 4);
}

void ClassroomModelTest::delete_dismissedConfirmationRunsNothing() {
    find();
    m_model->selectAll();
    const qsizetype entries = m_console->entryCount();
    m_model->deleteSelected();
    m_console->setAlert(std::nullopt); // Cancel
    QTest::qWait(50);
    QCOMPARE(m_console->entryCount(), entries);
    QCOMPARE(m_gam->runs(), 1);
    QCOMPARE(m_model->courses().size(), 4);
}

void ClassroomModelTest::export_everyListedCourseInBothFormats() {
    QTemporaryDir dir;
    find();
    m_model->setSelection({u"101"_s});

    m_desktop.nextSavePath = dir.filePath(u"courses.csv"_s);
    awaitTask(m_model->exportCourses(ExportFormat::csv));
    QCOMPARE(m_desktop.savePrompts.last(), u"Export|classrooms.csv|Comma-separated text (*.csv)"_s);
    QCOMPARE(log().constLast(), u"Saved 4 row(s) to "_s + dir.filePath(u"courses.csv"_s));
    const CSVTable read = parseCSV(readFile(dir.filePath(u"courses.csv"_s)));
    QCOMPARE(read.header, (QStringList{u"Course ID"_s, u"Course Name"_s, u"Owner Email"_s, u"State"_s}));
    QList<Course> roundTrip;
    for (const CSVRow &row : read.rows)
        roundTrip.append({row.value(u"Course ID"_s), row.value(u"Course Name"_s), row.value(u"Owner Email"_s),
                          row.value(u"State"_s)});
    QCOMPARE(roundTrip, m_model->courses());

    m_desktop.nextSavePath = dir.filePath(u"courses.txt"_s);
    awaitTask(m_model->exportCourses(ExportFormat::plainText));
    QCOMPARE(m_desktop.savePrompts.last(), u"Export|classrooms.txt|Plain text (*.txt)"_s);
    QCOMPARE(readFile(dir.filePath(u"courses.txt"_s)),
             u"Course ID  Course Name                 Owner Email             State      \n"_s
             u"---------  --------------------------  ----------------------  -----------\n"_s
             u"101        Algebra, I                  a@lakeside.example.org  ACTIVE     \n"_s
             u"102        Say \"hi\"                    b@lakeside.example.org  ARCHIVED   \n"_s
             u"103        Robotics Club After School  13                      PROVISIONED\n"_s
             u"104        מתמטיקה                     c@lakeside.example.org  ACTIVE     \n"_s);
    QCOMPARE(log().constLast(), u"Saved 4 row(s) to "_s + dir.filePath(u"courses.txt"_s));
}

void ClassroomModelTest::export_refusalsCancelAndWriteFailure() {
    awaitTask(m_model->exportCourses(ExportFormat::csv));
    QCOMPARE(m_console->alert()->title, u"Export"_s);
    QCOMPARE(m_console->alert()->message, u"No results to export."_s);
    QVERIFY(m_desktop.savePrompts.isEmpty());
    m_console->setAlert(std::nullopt);

    find();
    const qsizetype entries = m_console->entryCount();
    m_desktop.nextSavePath.reset(); // the user cancels the dialog
    awaitTask(m_model->exportCourses(ExportFormat::plainText));
    QCOMPARE(m_desktop.savePrompts.size(), 1);
    QVERIFY(!m_console->alert());
    QCOMPARE(m_console->entryCount(), entries);

    // A folder that cannot be written: its "parent" is a plain file.
    QTemporaryDir dir;
    QFile blocker(dir.filePath(u"not-a-folder"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_desktop.nextSavePath = dir.filePath(u"not-a-folder/classrooms.csv"_s);
    awaitTask(m_model->exportCourses(ExportFormat::csv));
    QVERIFY(m_console->alert());
    QCOMPARE(m_console->alert()->title, u"Export Failed"_s);
    QVERIFY(!m_console->alert()->message.isEmpty());
    QCOMPARE(m_console->entryCount(), entries);
}

void ClassroomModelTest::clearFields_andReset_restoreEveryField() {
    for (const bool viaReset : {false, true}) {
        m_model->setTeacher(u"t@lakeside.example.org"_s);
        m_model->setNameFilter(u"Algebra"_s);
        m_model->setState(CourseStateFilter::provisioned);
        m_model->setNameFilter({});
        find();
        m_model->selectAll();
        QSignalSpy fields(m_model.get(), &ClassroomModel::fieldsChanged);
        viaReset ? m_model->reset() : m_model->clearFields();
        QVERIFY(!fields.isEmpty());
        QCOMPARE(m_model->teacher(), QString());
        QCOMPARE(m_model->nameFilter(), QString());
        QCOMPARE(m_model->state(), CourseStateFilter::all);
        QVERIFY(m_model->courses().isEmpty());
        QVERIFY(m_model->selection().isEmpty());
        QCOMPARE(m_model->statusText(), u"No results — use Find Classrooms to search"_s);
    }
}

void ClassroomModelTest::ownerDestroyedMidRun_taskEndsQuietly() {
    m_gam->hang(1);
    m_model->findClassrooms();
    QVERIFY(QTest::qWaitFor([this] { return m_gam->runs() == 1; }, 20000));
    m_model.reset();
    m_console->stop();
    QVERIFY(waitIdle());
    QCOMPARE(log().constLast(), u"Stopping…"_s);

    m_model = std::make_unique<ClassroomModel>(m_console.get());
    deleteAllUntilTheSecondHangs();
    const int runs = m_gam->runs();
    m_model.reset();
    m_console->stop();
    QVERIFY(waitIdle());
    QCOMPARE(m_gam->runs(), runs);
    QCOMPARE(log().constLast(), u"Stopping…"_s);
}

QTEST_GUILESS_MAIN(ClassroomModelTest)
#include "tst_classroommodel.moc"
