#include "core/CSV.h"
#include "core/InlineText.h"
#include "tabs/Course.h"
#include "tabs/CourseTableModel.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A left-to-right mark, then a first-strong isolate.
const QString isolateStart = QString(QChar(0x200E)) + QChar(0x2068);
const QString isolateEnd = QString(QChar(0x2069));

Course course(const QString &id, const QString &state = u"ACTIVE"_s) {
    return Course{id, u"Course "_s + id, u"t@example.org"_s, state};
}

} // namespace

// The Classroom tab's rules without gam: delete vectors, reading gam's rows,
// names placed inside our own lines, and the course table.
class ClassroomRulesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void deleteArguments_archiveOnlyActiveCourses_data();
    void deleteArguments_archiveOnlyActiveCourses();
    void fromRow_ownerAndStateFallbacks();
    void oneLine_everyLineBreakBecomesOneSpace();
    void inlineIsolated_onlyRightToLeftTextIsIsolated();
    void table_columnsAndDisplay();
    void table_removeCourse_dropsEveryRowOfItAndKeepsOtherSelections();
};

void ClassroomRulesTest::deleteArguments_archiveOnlyActiveCourses_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("archive");
    QTest::newRow("ACTIVE") << u"ACTIVE"_s << true;
    QTest::newRow("active, other case") << u"Active"_s << true;
    QTest::newRow("ARCHIVED") << u"ARCHIVED"_s << false;
    QTest::newRow("PROVISIONED") << u"PROVISIONED"_s << false;
    QTest::newRow("DECLINED") << u"DECLINED"_s << false;
    QTest::newRow("SUSPENDED") << u"SUSPENDED"_s << false;
    QTest::newRow("unknown") << QString() << false;
}

void ClassroomRulesTest::deleteArguments_archiveOnlyActiveCourses() {
    QFETCH(QString, state);
    QFETCH(bool, archive);
    QStringList expected{u"delete"_s, u"course"_s, u"612345678901"_s};
    if (archive)
        expected.append(u"archive"_s);
    QCOMPARE(course(u"612345678901"_s, state).deleteArguments(), expected);
}

void ClassroomRulesTest::fromRow_ownerAndStateFallbacks() {
    // gam's own header, an orphaned course (empty ownerEmail, stale ownerId) and a name holding a comma.
    const CSVTable gam = parseCSV(u"id,name,courseState,ownerEmail,ownerId\n"_s
                                  u"1,\"Algebra, I\",ACTIVE,t@example.org,104\n"_s
                                  u"2,Orphan,ARCHIVED,,105\n"_s);
    QCOMPARE(Course::fromRow(gam.rows.at(0)), (Course{u"1"_s, u"Algebra, I"_s, u"t@example.org"_s, u"ACTIVE"_s}));
    QCOMPARE(Course::fromRow(gam.rows.at(1)), (Course{u"2"_s, u"Orphan"_s, u"105"_s, u"ARCHIVED"_s}));

    // No ownerEmail column at all, "state" instead of "courseState", headers in other letter cases.
    const CSVTable other = parseCSV(u"ID,Name,OWNERID,state\n3,Biology,106,PROVISIONED\n4,Short\n"_s);
    QCOMPARE(Course::fromRow(other.rows.at(0)), (Course{u"3"_s, u"Biology"_s, u"106"_s, u"PROVISIONED"_s}));
    QCOMPARE(Course::fromRow(other.rows.at(1)), (Course{u"4"_s, u"Short"_s, QString(), QString()}));
}

void ClassroomRulesTest::oneLine_everyLineBreakBecomesOneSpace() {
    QCOMPARE(oneLine(u"Robotics Club\nAfter School"_s), u"Robotics Club After School"_s);
    QCOMPARE(oneLine(u"a\r\nb\rc\u2028d\u2029e\u0085f\vg\fh"_s), u"a b c d e f g h"_s);
    QCOMPARE(oneLine(u"two\n\nbreaks"_s), u"two  breaks"_s);
    QCOMPARE(oneLine(u"Math, Grade 7 \"Honors\""_s), u"Math, Grade 7 \"Honors\""_s);
}

void ClassroomRulesTest::inlineIsolated_onlyRightToLeftTextIsIsolated() {
    QCOMPARE(inlineIsolated(u"Algebra I"_s), u"Algebra I"_s);
    QCOMPARE(inlineIsolated(u"מתמטיקה"_s), isolateStart + u"מתמטיקה"_s + isolateEnd);
    QCOMPARE(inlineIsolated(u"Math العلوم 8"_s), isolateStart + u"Math العلوم 8"_s + isolateEnd);
    QCOMPARE(inlineIsolated(u"שלום\nעולם"_s), isolateStart + u"שלום עולם"_s + isolateEnd);
    // An RTL script outside the basic plane (Adlam).
    const QString adlam = QString::fromUcs4(U"\U0001E900\U0001E901");
    QCOMPARE(inlineIsolated(adlam), isolateStart + adlam + isolateEnd);
    // The name's own overrides and isolates cannot reach past its end.
    QCOMPARE(inlineIsolated(u"abc\u2069\u202Eevil"_s), u"abcevil"_s);
    QCOMPARE(inlineIsolated(u"\u202Bשלום\u202C"_s), isolateStart + u"שלום"_s + isolateEnd);
}

void ClassroomRulesTest::table_columnsAndDisplay() {
    CourseTableModel table;
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
    table.setCourses({Course{u"1"_s, u"Robotics\nClub"_s, u""_s, u"ARCHIVED"_s},
                      Course{u"2"_s, u"מתמטיקה"_s, u"t@example.org"_s, u"ACTIVE"_s}});
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(table.columnCount(), 4);
    QStringList titles;
    for (int column = 0; column < table.columnCount(); ++column)
        titles.append(table.headerData(column, Qt::Horizontal).toString());
    QCOMPARE(titles, (QStringList{u"Course ID"_s, u"Course Name"_s, u"Owner Email"_s, u"State"_s}));
    QCOMPARE(table.index(0, 1).data().toString(), u"Robotics Club"_s);
    QCOMPARE(table.index(0, 1).data(Qt::ToolTipRole).toString(), u"Robotics\nClub"_s);
    QCOMPARE(table.index(1, 1).data().toString(), isolateStart + u"מתמטיקה"_s + isolateEnd);
    QCOMPARE(table.index(1, 0).data().toString(), u"2"_s);
    QCOMPARE(table.index(1, 2).data().toString(), u"t@example.org"_s);
    QCOMPARE(table.index(1, 3).data().toString(), u"ACTIVE"_s);
}

void ClassroomRulesTest::table_removeCourse_dropsEveryRowOfItAndKeepsOtherSelections() {
    CourseTableModel table;
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QItemSelectionModel selection(&table);
    // gam never lists a course twice, but the table copes: both rows go.
    table.setCourses({course(u"a"_s), course(u"x"_s), course(u"x"_s), course(u"b"_s), course(u"x"_s), course(u"c"_s)});
    for (const int row : {0, 2, 5})
        selection.select(table.index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

    table.removeCourse(u"x"_s);
    QStringList ids;
    for (const Course &each : table.courses())
        ids.append(each.id);
    QCOMPARE(ids, (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    QCOMPARE(selection.selectedRows().size(), 2);
    QVERIFY(selection.isRowSelected(0));
    QVERIFY(!selection.isRowSelected(1));
    QVERIFY(selection.isRowSelected(2));

    table.removeCourse(u"missing"_s);
    QCOMPARE(table.rowCount(), 3);
}

QTEST_GUILESS_MAIN(ClassroomRulesTest)
#include "tst_classroomrules.moc"
