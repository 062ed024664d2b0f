#include "FakeDesktopServices.h"
#include "TestSupport.h"

#include "app/AppModel.h"
#include "app/ui/MainWindow.h"
#include "app/ui/ResultsSheet.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "tabs/DriveModel.h"
#include "tabs/ui/DriveView.h"
#include "tabs/ui/OUPickerSheet.h"

#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

// The Drive tab inside the real main window, against the practice domain:
// browse the OUs, find by name across an OU, trash what was found, and the OU
// list is dropped when the domain changes.
class DriveWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void browseFindAndTrashFromTheWindow();
    void domainSwitch_dropsTheOUList();

private:
    template <typename T> T *child(const QString &name) const { return m_view->findChild<T *>(name); }
    bool waitIdle() const;
    QStringList log() const { return logLines(*m_model->console()); }
    void screenshot(QWidget *widget, const QString &name) const;

    QTemporaryDir m_district;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<ProfileStore> m_store;
    FakeDesktopServices m_desktop;
    std::unique_ptr<AppModel> m_model;
    std::unique_ptr<MainWindow> m_window;
    DriveView *m_view = nullptr;
};

void DriveWindowTest::initTestCase() {
    if (!QFile::exists(QStringLiteral(PRACTICE_GAM_PATH)))
        QSKIP("the practice gam is not part of this build");
    QVERIFY(seedPracticeDomain(m_district.path(), u"example.org"_s, 60));
    m_settings = std::make_unique<IsolatedSettings>();
    QSettings().setValue(u"gamPath"_s, QStringLiteral(PRACTICE_GAM_PATH));
    m_store = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_store, m_district.path(), u"example.org"_s);
    m_model = std::make_unique<AppModel>(m_store.get(), &m_desktop);
    m_window = std::make_unique<MainWindow>(m_model.get(), &m_desktop);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    auto *tabs = m_window->findChild<QTabWidget *>();
    QCOMPARE(tabs->tabText(int(MainWindow::Tab::drive)), u"Google Drive"_s);
    m_view = qobject_cast<DriveView *>(tabs->widget(int(MainWindow::Tab::drive)));
    QVERIFY(m_view);
    tabs->setCurrentIndex(int(MainWindow::Tab::drive));
    QVERIFY(waitIdle());
}

void DriveWindowTest::cleanupTestCase() {
    m_window.reset();
    m_model.reset();
    m_store.reset();
    m_settings.reset();
}

bool DriveWindowTest::waitIdle() const {
    Console *console = m_model->console();
    return QTest::qWaitFor([console] { return !console->isBusy(); }, 120000);
}

void DriveWindowTest::screenshot(QWidget *widget, const QString &name) const {
    const QString shots = qEnvironmentVariable("TARNWICK_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        widget->grab().save(shots + u'/' + name + u".png"_s);
}

void DriveWindowTest::browseFindAndTrashFromTheWindow() {
    QTest::mouseClick(child<QRadioButton>(u"scopeOU"_s), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(u"browseOUsButton"_s), Qt::LeftButton);
    OUPickerSheet *sheet = nullptr;
    QVERIFY(QTest::qWaitFor(
        [&] {
            sheet = m_window->findChild<OUPickerSheet *>();
            return sheet && sheet->isVisible();
        },
        60000));
    auto *list = sheet->findChild<QListView *>(u"ouList"_s);
    QCOMPARE(list->model()->rowCount(), 13);
    QTest::keyClicks(sheet->findChild<QLineEdit *>(u"ouFilter"_s), u"grade 1"_s);
    QCOMPARE(list->model()->rowCount(), 3);
    screenshot(m_window.get(), u"drive-window-picker"_s);
    list->setCurrentIndex(list->model()->index(0, 0));
    QTest::mouseClick(sheet->findChild<QPushButton *>(u"selectButton"_s), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([this] { return !m_window->findChild<OUPickerSheet *>(); }));
    QCOMPARE(child<QLineEdit>(u"driveOUPath"_s)->text(), u"/Students/Grade 10"_s);

    QTest::keyClicks(child<QLineEdit>(u"driveFileName"_s), u"Lesson plan"_s);
    QTest::mouseClick(child<QPushButton>(u"findFilesButton"_s), Qt::LeftButton);
    QVERIFY(waitIdle());
    auto *results = m_window->findChild<ResultsSheet *>();
    QVERIFY2(QTest::qWaitFor([results] { return results->isVisible(); }), qPrintable(log().join(u'\n')));
    const qsizetype found = results->tableView()->model()->rowCount();
    QVERIFY(found > 0);
    QCOMPARE(results->tableView()->model()->headerData(1, Qt::Horizontal).toString(), u"Owner / Drive"_s);
    QVERIFY(log().contains(u"  Found "_s + QString::number(found) + u" file(s) across OU /Students/Grade 10:"_s));
    screenshot(results, u"drive-window-results"_s);
    QTest::mouseClick(results->findChild<QPushButton *>(u"closeButton"_s), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([this] { return !m_model->console()->results().has_value(); }));

    QTest::mouseClick(child<QPushButton>(u"deleteFilesButton"_s), Qt::LeftButton);
    QMessageBox *box = nullptr;
    QVERIFY(QTest::qWaitFor([&] {
        box = m_window->findChild<QMessageBox *>(u"alert"_s);
        return box && box->isVisible();
    }));
    QCOMPARE(box->informativeText(), u"Find and move to trash all files matching:\n\nname contains 'Lesson plan'\n\n"
                                     u"across all users in OU: /Students/Grade 10\nDrive: My Drive\n\n"
                                     u"This action cannot be undone. Continue?\n\nDomain: Practice (example.org)"_s);
    screenshot(box, u"drive-window-confirm"_s);
    QTest::mouseClick(box->findChild<QPushButton *>(u"confirmButton"_s), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([this] { return log().constLast().startsWith(u"Done — "_s); }, 120000));
    QCOMPARE(log().constLast(), u"Done — "_s + QString::number(found) + u" completed, 0 failed."_s);
    screenshot(m_window.get(), u"drive-window-after-delete"_s);
}

void DriveWindowTest::domainSwitch_dropsTheOUList() {
    DomainProfile other = m_store->add(u"Other"_s);
    other.domain = u"other.example.net"_s;
    other.configDir = m_district.path();
    m_store->update(other);

    m_model->drive()->setOUList(OUList{QUuid::createUuid(), {u"/Staff"_s}});
    QVERIFY(QTest::qWaitFor([this] {
        auto *sheet = m_window->findChild<OUPickerSheet *>();
        return sheet && sheet->isVisible();
    }));
    m_model->chooseDomain(other.id);
    QVERIFY(!m_model->drive()->ouList().has_value());
    QVERIFY(QTest::qWaitFor([this] { return !m_window->findChild<OUPickerSheet *>(); }));
    QVERIFY(waitIdle());
}

QTEST_MAIN(DriveWindowTest)
#include "tst_drivewindow.moc"
