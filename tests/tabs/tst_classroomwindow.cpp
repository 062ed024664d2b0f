#include "FakeDesktopServices.h"
#include "TestSupport.h"

#include "app/AppModel.h"
#include "app/ui/MainWindow.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "tabs/ClassroomModel.h"
#include "tabs/CourseTableModel.h"
#include "tabs/ui/ClassroomView.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

// The Classroom tab inside the real main window, against two practice districts:
// a delete confirmed in the window's own message box, and a domain switch.
class ClassroomWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void findSelectAndDeleteFromTheWindow();
    void domainSwitch_resetsTheTab();

private:
    template <typename T> T *child(const QString &name) const { return view()->findChild<T *>(name); }
    ClassroomView *view() const { return m_window->findChild<ClassroomView *>(); }
    QPushButton *button(const QString &text) const;
    bool waitIdle() const;
    void shoot(QWidget *widget, const QString &name) const;

    QTemporaryDir m_district;
    QTemporaryDir m_otherDistrict;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<ProfileStore> m_store;
    FakeDesktopServices m_desktop;
    std::unique_ptr<AppModel> m_model;
    std::unique_ptr<MainWindow> m_window;
};

void ClassroomWindowTest::initTestCase() {
    if (!QFile::exists(QStringLiteral(PRACTICE_GAM_PATH)))
        QSKIP("the practice gam is not part of this build");
    QVERIFY(seedPracticeDomain(m_district.path(), u"example.org"_s, 30));
    QVERIFY(seedPracticeDomain(m_otherDistrict.path(), u"district-b.example.net"_s, 30));

    m_settings = std::make_unique<IsolatedSettings>();
    QSettings().setValue(u"gamPath"_s, QStringLiteral(PRACTICE_GAM_PATH));
    m_store = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_store, m_district.path(), u"example.org"_s);
    m_model = std::make_unique<AppModel>(m_store.get(), &m_desktop);
    m_window = std::make_unique<MainWindow>(m_model.get(), &m_desktop);
    m_window->resize(1000, 900);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->tabs()->setCurrentIndex(int(MainWindow::Tab::classroom));
    QCOMPARE(m_window->tabs()->tabText(int(MainWindow::Tab::classroom)), u"Google Classroom"_s);
    QCOMPARE(m_window->tabs()->currentWidget(), view());
    QVERIFY(waitIdle());
}

void ClassroomWindowTest::cleanupTestCase() {
    m_window.reset();
    m_model.reset();
    m_store.reset();
    m_settings.reset();
}

QPushButton *ClassroomWindowTest::button(const QString &text) const {
    const auto buttons = view()->findChildren<QPushButton *>();
    for (QPushButton *candidate : buttons)
        if (candidate->text() == text)
            return candidate;
    return nullptr;
}

bool ClassroomWindowTest::waitIdle() const {
    return QTest::qWaitFor([this] { return !m_model->console()->isBusy(); }, 120000);
}

void ClassroomWindowTest::shoot(QWidget *widget, const QString &name) const {
    const QString shots = qEnvironmentVariable("TARNWICK_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        widget->grab().save(shots + u'/' + name + u".png"_s);
}

void ClassroomWindowTest::findSelectAndDeleteFromTheWindow() {
    shoot(m_window.get(), u"classroom-window-empty"_s);
    QTest::mouseClick(button(u"Find Classrooms"_s), Qt::LeftButton);
    QVERIFY(waitIdle());
    QTableView *table = view()->table();
    const int listed = table->model()->rowCount();
    QVERIFY(listed >= 14);
    QVERIFY(child<QLabel>(u"statusText"_s)->text().startsWith(QString::number(listed) + u" classroom(s) found"_s));

    // One ACTIVE and one ARCHIVED course, picked with the mouse.
    const auto rowOf = [table](const QString &state, int skip) {
        for (int row = 0; row < table->model()->rowCount(); ++row)
            if (table->model()->index(row, CourseTableModel::stateColumn).data().toString() == state && skip-- == 0)
                return row;
        return -1;
    };
    const int active = rowOf(u"ACTIVE"_s, 1);
    const int archived = rowOf(u"ARCHIVED"_s, 0);
    QVERIFY(active >= 0 && archived >= 0);
    const QString activeID = table->model()->index(active, CourseTableModel::idColumn).data().toString();
    const QString archivedID = table->model()->index(archived, CourseTableModel::idColumn).data().toString();
    for (const int row : {active, archived}) {
        table->scrollTo(table->model()->index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton,
                          row == active ? Qt::KeyboardModifiers() : Qt::ControlModifier,
                          table->visualRect(table->model()->index(row, 1)).center());
    }
    QCOMPARE(m_model->classroom()->selection(), (QSet<QString>{activeID, archivedID}));
    shoot(m_window.get(), u"classroom-window-results"_s);

    QTest::mouseClick(button(u"Delete Selected"_s), Qt::LeftButton);
    QMessageBox *box = nullptr;
    QVERIFY(QTest::qWaitFor([&] {
        box = m_window->findChild<QMessageBox *>(u"alert"_s);
        return box && box->isVisible();
    }));
    QVERIFY(box->informativeText().startsWith(u"Permanently delete 2 classrooms?\n\n"_s));
    QVERIFY(box->informativeText().endsWith(u"Domain: Practice (example.org)"_s));
    shoot(box, u"classroom-window-confirm"_s);
    QTest::mouseClick(box->findChild<QPushButton *>(u"confirmButton"_s), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([this] { return m_model->console()->isBusy(); }, 5000) ||
            logLines(*m_model->console()).constLast().startsWith(u"Done"_s));
    QVERIFY(waitIdle());

    const QStringList log = logLines(*m_model->console());
    QVERIFY2(log.contains(u">> gam delete course "_s + activeID + u" archive"_s), qPrintable(log.join(u'\n')));
    QVERIFY(log.contains(u">> gam delete course "_s + archivedID));
    QCOMPARE(log.constLast(), u"Done — 2 deleted, 0 failed."_s);
    QCOMPARE(table->model()->rowCount(), listed - 2);
    QVERIFY(!button(u"Delete Selected"_s)->isEnabled());

    QTest::mouseClick(button(u"Find Classrooms"_s), Qt::LeftButton);
    QVERIFY(waitIdle());
    QCOMPARE(table->model()->rowCount(), listed - 2);
}

void ClassroomWindowTest::domainSwitch_resetsTheTab() {
    QTest::keyClicks(child<QLineEdit>(u"teacherField"_s), u"nobody@example.org"_s);
    QTest::mouseClick(child<QRadioButton>(u"stateActive"_s), Qt::LeftButton);
    m_model->classroom()->selectAll();
    QVERIFY(view()->table()->model()->rowCount() > 0);

    DomainProfile other = m_store->add(u"District B"_s);
    other.domain = u"district-b.example.net"_s;
    other.configDir = m_otherDistrict.path();
    m_store->update(other);
    m_model->chooseDomain(other.id);
    QCOMPARE(m_store->activeID(), other.id);

    QCOMPARE(view()->table()->model()->rowCount(), 0);
    QVERIFY(child<QLineEdit>(u"teacherField"_s)->text().isEmpty());
    QVERIFY(child<QRadioButton>(u"stateAll"_s)->isChecked());
    QCOMPARE(child<QLabel>(u"statusText"_s)->text(), u"No results — use Find Classrooms to search"_s);
    QVERIFY(!button(u"Delete Selected"_s)->isEnabled());
    QVERIFY(waitIdle());

    // The next search is the other district's.
    QTest::mouseClick(button(u"Find Classrooms"_s), Qt::LeftButton);
    QVERIFY(waitIdle());
    const QAbstractItemModel *courses = view()->table()->model();
    QVERIFY(courses->rowCount() > 0);
    for (int row = 0; row < courses->rowCount(); ++row) {
        const QString owner = courses->index(row, CourseTableModel::ownerColumn).data().toString();
        QVERIFY2(!owner.contains(u'@') || owner.endsWith(u"@district-b.example.net"_s), qPrintable(owner));
    }
}

QTEST_MAIN(ClassroomWindowTest)
#include "tst_classroomwindow.moc"
