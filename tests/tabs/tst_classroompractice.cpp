#include "TestSupport.h"

#include "core/CommandLine.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "tabs/ClassroomModel.h"

#include <QFile>
#include <QProcess>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString mathName = u"Math, Grade 7 \"Honors\""_s;
const QString roboticsName = u"Robotics Club\nAfter School"_s;
const QString hebrewName = u"מתמטיקה — כיתה ז׳"_s;
const QString arabicName = u"العلوم (الصف 8)"_s;

bool isDigits(const QString &text) {
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
}

} // namespace

// The Classroom tab end to end against the practice domain: what it deletes is
// gone on the next search, what fails stays.
class ClassroomPracticeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void find_listsEveryCourseWithAwkwardNamesAndOrphans();
    void delete_activeAndArchivedGoneAFailureStaysSelected();
    void delete_stoppedMidLoopWritesTheSummary();

private:
    bool waitIdle() const;
    void find();
    const Course *named(const QString &name) const;
    void deleteSelectedAndConfirm();
    // Runs the practice gam directly, outside the tab.
    int gam(const QStringList &arguments) const;

    QTemporaryDir m_district;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<ProfileStore> m_profiles;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<ClassroomModel> m_model;
};

void ClassroomPracticeTest::initTestCase() {
    if (!QFile::exists(QStringLiteral(PRACTICE_GAM_PATH)))
        QSKIP("the practice gam is not part of this build");
    QVERIFY(seedPracticeDomain(m_district.path(), u"example.org"_s, 60));

    m_settings = std::make_unique<IsolatedSettings>();
    QSettings().setValue(u"gamPath"_s, QStringLiteral(PRACTICE_GAM_PATH));
    m_profiles = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_profiles, m_district.path(), u"example.org"_s);
    m_console = std::make_unique<Console>(nullptr);
    m_model = std::make_unique<ClassroomModel>(m_console.get());
}

void ClassroomPracticeTest::cleanup() {
    qunsetenv("PRACTICE_GAM_DELAY_MS");
}

bool ClassroomPracticeTest::waitIdle() const {
    return QTest::qWaitFor([this] { return !m_console->isBusy(); }, 120000);
}

void ClassroomPracticeTest::find() {
    m_model->findClassrooms();
    QVERIFY(waitIdle());
}

const Course *ClassroomPracticeTest::named(const QString &name) const {
    for (const Course &course : m_model->courses())
        if (course.name == name)
            return &course;
    return nullptr;
}

void ClassroomPracticeTest::deleteSelectedAndConfirm() {
    m_model->deleteSelected();
    QVERIFY(m_console->alert().has_value());
    const AlertItem confirmation = *m_console->alert();
    QVERIFY(confirmation.message.endsWith(u"Domain: Practice (example.org)"_s));
    m_console->setAlert(std::nullopt);
    confirmation.onConfirm();
}

int ClassroomPracticeTest::gam(const QStringList &arguments) const {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"GAMCFGDIR"_s, m_district.path());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(PRACTICE_GAM_PATH), arguments);
    return process.waitForFinished(60000) ? process.exitCode() : -1;
}

void ClassroomPracticeTest::find_listsEveryCourseWithAwkwardNamesAndOrphans() {
    find();
    const QStringList log = logLines(*m_console);
    QVERIFY2(log.contains(u"[FIND] gam print courses fields id,name,owneremail,coursestate"_s),
             qPrintable(log.join(u'\n')));
    QVERIFY(log.contains(u"  Found "_s + QString::number(m_model->courses().size()) + u" classroom(s)."_s));
    QVERIFY(m_model->courses().size() >= 14);
    for (const QString &name : {mathName, roboticsName, hebrewName, arabicName})
        QVERIFY2(named(name), qPrintable(name));
    QCOMPARE(named(mathName)->state, u"ACTIVE"_s);
    QCOMPARE(named(roboticsName)->state, u"ARCHIVED"_s);

    // Orphaned courses show their stale owner ID; every other one an address.
    int orphans = 0;
    for (const Course &course : m_model->courses()) {
        QVERIFY2(course.owner.contains(u'@') || isDigits(course.owner), qPrintable(course.owner));
        orphans += isDigits(course.owner) ? 1 : 0;
    }
    QVERIFY(orphans > 0);

    m_model->setState(CourseStateFilter::archived);
    m_model->setNameFilter(u"robotics"_s);
    find();
    QCOMPARE(m_model->courses().size(), 1);
    QCOMPARE(m_model->courses().first().name, roboticsName);
    m_model->clearFields();
}

void ClassroomPracticeTest::delete_activeAndArchivedGoneAFailureStaysSelected() {
    find();
    const Course math = *named(mathName);
    const Course robotics = *named(roboticsName);
    const Course arabic = *named(arabicName);
    // Someone else deletes the Arabic course after the list was made.
    QCOMPARE(gam({u"delete"_s, u"course"_s, arabic.id}), 0);

    m_model->setSelection({math.id, robotics.id, arabic.id});
    deleteSelectedAndConfirm();
    QVERIFY(waitIdle());
    const QStringList log = logLines(*m_console);
    QVERIFY2(log.contains(u">> gam delete course "_s + math.id + u" archive"_s), qPrintable(log.join(u'\n')));
    QVERIFY(log.contains(u">> gam delete course "_s + robotics.id));
    QVERIFY(log.contains(u"  Deleted: Math, Grade 7 \"Honors\" ("_s + math.id + u')'));
    QVERIFY(log.contains(u"  Deleted: Robotics Club After School ("_s + robotics.id + u')'));
    QVERIFY(log.contains(u"  Course: "_s + arabic.id + u", Delete Failed: Requested entity was not found."_s));
    QCOMPARE(log.constLast(), u"Done — 2 deleted, 1 failed."_s);
    QVERIFY(!named(mathName) && !named(roboticsName));
    QVERIFY(named(arabicName));
    QCOMPARE(m_model->selection(), QSet<QString>{arabic.id});

    find();
    QVERIFY(!named(mathName) && !named(roboticsName) && !named(arabicName));
    QVERIFY(named(hebrewName));
}

void ClassroomPracticeTest::delete_stoppedMidLoopWritesTheSummary() {
    find();
    const QList<Course> three = m_model->courses().mid(0, 3);
    m_model->setSelection({three.at(0).id, three.at(1).id, three.at(2).id});
    qputenv("PRACTICE_GAM_DELAY_MS", QByteArray("20000@delete course ") + three.at(1).id.toUtf8());
    deleteSelectedAndConfirm();
    QVERIFY(QTest::qWaitFor(
        [this, &three] {
            return logLines(*m_console).contains(u">> "_s + displayCommand(three.at(1).deleteArguments()));
        },
        60000));
    m_console->stop();
    QVERIFY(waitIdle());
    const QStringList log = logLines(*m_console);
    QCOMPARE(log.mid(log.size() - 2), (QStringList{u"  Stopped by user."_s, u"Done — 1 deleted, 0 failed."_s}));
    QVERIFY(!log.contains(u">> "_s + displayCommand(three.at(2).deleteArguments())));
    QCOMPARE(m_model->selection(), (QSet<QString>{three.at(1).id, three.at(2).id}));

    qunsetenv("PRACTICE_GAM_DELAY_MS");
    find();
    QStringList listed;
    for (const Course &course : m_model->courses())
        listed.append(course.id);
    QVERIFY(!listed.contains(three.at(0).id));
    QVERIFY(listed.contains(three.at(1).id));
    QVERIFY(listed.contains(three.at(2).id));
}

QTEST_GUILESS_MAIN(ClassroomPracticeTest)
#include "tst_classroompractice.moc"
