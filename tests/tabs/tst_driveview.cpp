#include "FakeGam.h"
#include "TestSupport.h"

#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "tabs/DriveModel.h"
#include "tabs/ui/DriveView.h"
#include "tabs/ui/LinesEditor.h"
#include "tabs/ui/OUPickerSheet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

// The Drive tab and the OU picker driven through their widgets, as the user would.
class DriveViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void scopes_showTheirFieldsWithoutClipping();
    void typing_drivesTheModelAndTheLiveQuery();
    void modelChanges_showInTheWidgets();
    void busy_disablesActionsAndBrowse();
    void findFromTheForm_sendsWhatWasTyped();
    void picker_filterSelectAndDoubleClick();
    void picker_returnOnARowChoosesOnceAndCancelKeepsThePath();

private:
    template <typename T> T *child(const QString &name) const {
        T *found = m_view->findChild<T *>(name);
        if (!found)
            qFatal("no child %s", qPrintable(name));
        return found;
    }
    OUPickerSheet *openPicker(const QStringList &paths);
    QString clippedText() const;
    void screenshot(QWidget *widget, const QString &name) const;

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<FakeGam> m_gam;
    std::unique_ptr<ProfileStore> m_profiles;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<DriveModel> m_model;
    std::unique_ptr<DriveView> m_view;
};

void DriveViewTest::init() {
    m_settings = std::make_unique<IsolatedSettings>();
    m_gam = std::make_unique<FakeGam>();
    m_gam->install();
    m_profiles = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_profiles, QString(), u"lakeside.example.org"_s);
    m_console = std::make_unique<Console>(nullptr);
    m_model = std::make_unique<DriveModel>(m_console.get());
    m_view = std::make_unique<DriveView>(m_model.get(), m_console.get());
    // The work area of a window at its smallest.
    m_view->resize(760, 430);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void DriveViewTest::cleanup() {
    m_view.reset();
    m_model.reset();
    m_console.reset();
    m_profiles.reset();
    m_gam.reset();
    m_settings.reset();
}

void DriveViewTest::screenshot(QWidget *widget, const QString &name) const {
    const QPixmap image = widget->grab();
    QVERIFY(!image.isNull());
    const QString shots = qEnvironmentVariable("TARNWICK_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        image.save(shots + u'/' + name + u".png"_s);
}

void DriveViewTest::scopes_showTheirFieldsWithoutClipping() {
    struct Case {
        QString button;
        DriveScope scope;
        QString shot;
    };
    const QList<Case> cases{{u"scopeUser"_s, DriveScope::user, u"drive-user"_s},
                            {u"scopeOU"_s, DriveScope::ou, u"drive-ou"_s},
                            {u"scopeDomain"_s, DriveScope::domain, u"drive-domain"_s}};
    for (const Case &each : cases) {
        QTest::mouseClick(child<QRadioButton>(each.button), Qt::LeftButton);
        QCOMPARE(m_model->scope(), each.scope);
        QApplication::processEvents();
        QCOMPARE(child<QLineEdit>(u"driveUserEmail"_s)->isVisible(), each.scope == DriveScope::user);
        QCOMPARE(child<QLineEdit>(u"driveOUPath"_s)->isVisible(), each.scope == DriveScope::ou);
        QCOMPARE(child<QPushButton>(u"browseOUsButton"_s)->isVisible(), each.scope == DriveScope::ou);
        QCOMPARE(child<QLabel>(u"domainScopeCaption"_s)->isVisible(), each.scope == DriveScope::domain);
        QCOMPARE(child<QRadioButton>(u"methodName"_s)->isEnabled(), each.scope == DriveScope::user);
        QCOMPARE(child<QPushButton>(u"deleteFilesButton"_s)->isEnabled(), each.scope != DriveScope::domain);
        // Find by is ignored away from one user, so the name field is there even with File ID(s) chosen.
        QCOMPARE(m_model->method(), DriveFindMethod::fileID);
        QCOMPARE(child<QLineEdit>(u"driveFileName"_s)->isVisible(), each.scope != DriveScope::user);
        QCOMPARE(child<LinesEditor>(u"fileIDsEditor"_s)->isVisible(), each.scope == DriveScope::user);

        QTRY_COMPARE(clippedText(), QString());
        screenshot(m_view.get(), each.shot);
    }

    QTest::mouseClick(child<QRadioButton>(u"kindShared"_s), Qt::LeftButton);
    QTest::mouseClick(child<QRadioButton>(u"scopeUser"_s), Qt::LeftButton);
    QTest::mouseClick(child<QRadioButton>(u"methodName"_s), Qt::LeftButton);
    QApplication::processEvents();
    QVERIFY(child<QLineEdit>(u"sharedDriveID"_s)->isVisible());
    QVERIFY(child<QLabel>(u"driveQuery"_s)->isVisible());
    QVERIFY(!child<LinesEditor>(u"fileIDsEditor"_s)->isVisible());
    // The fields of the three sections start at one edge.
    const auto left = [this](QWidget *field) { return field->mapTo(m_view.get(), QPoint(0, 0)).x(); };
    QCOMPARE(left(child<QLineEdit>(u"sharedDriveID"_s)), left(child<QLineEdit>(u"driveUserEmail"_s)));
    QCOMPARE(left(child<QLineEdit>(u"driveFileName"_s)), left(child<QLineEdit>(u"driveUserEmail"_s)));
    screenshot(m_view.get(), u"drive-user-name-shared"_s);
}

void DriveViewTest::typing_drivesTheModelAndTheLiveQuery() {
    QTest::mouseClick(child<QRadioButton>(u"methodName"_s), Qt::LeftButton);
    QLabel *query = child<QLabel>(u"driveQuery"_s);
    QCOMPARE(query->text(), u"—"_s);
    QTest::keyClicks(child<QLineEdit>(u"driveFileName"_s), u"year's plan"_s);
    QCOMPARE(m_model->name(), u"year's plan"_s);
    QCOMPARE(query->text(), u"name contains 'year\\'s plan'"_s);
    QTRY_COMPARE(clippedText(), QString());
    QTest::mouseClick(child<QRadioButton>(u"scopeDomain"_s), Qt::LeftButton);
    QCOMPARE(query->text(), u"name = 'year\\'s plan'"_s);
    QCOMPARE(child<QLineEdit>(u"driveFileName"_s)->accessibleDescription(),
             u"Exact match, or use * / ? wildcards (e.g. 63783.* or report_202?.pdf)  •  case-insensitive"_s);

    QTest::mouseClick(child<QRadioButton>(u"scopeUser"_s), Qt::LeftButton);
    QTest::mouseClick(child<QRadioButton>(u"methodFileID"_s), Qt::LeftButton);
    LinesEditor *ids = child<LinesEditor>(u"fileIDsEditor"_s);
    ids->setFocus();
    QTest::keyClicks(ids, u"1A"_s);
    QTest::keyClick(ids, Qt::Key_Return);
    QTest::keyClicks(ids, u"1B "_s);
    QCOMPARE(m_model->fileIDs(), (QStringList{u"1A"_s, u"1B"_s}));

    QCheckBox *purge = child<QCheckBox>(u"purgeToggle"_s);
    QTest::mouseClick(purge, Qt::LeftButton, {}, QPoint(8, purge->height() / 2));
    QVERIFY(m_model->purge());
    // A value set without the keyboard reaches the model too.
    child<QLineEdit>(u"driveUserEmail"_s)->setText(u"pat@lakeside.example.org"_s);
    QCOMPARE(m_model->email(), u"pat@lakeside.example.org"_s);
}

void DriveViewTest::modelChanges_showInTheWidgets() {
    m_model->setScope(DriveScope::ou);
    m_model->setOUPath(u"/Staff"_s);
    m_model->setName(u"plan"_s);
    m_model->setPurge(true);
    QVERIFY(child<QRadioButton>(u"scopeOU"_s)->isChecked());
    QCOMPARE(child<QLineEdit>(u"driveOUPath"_s)->text(), u"/Staff"_s);
    QCOMPARE(child<QLineEdit>(u"driveFileName"_s)->text(), u"plan"_s);
    QVERIFY(child<QCheckBox>(u"purgeToggle"_s)->isChecked());
    QTest::mouseClick(child<QPushButton>(u"clearFieldsButton"_s), Qt::LeftButton);
    QVERIFY(child<QLineEdit>(u"driveOUPath"_s)->text().isEmpty());
    QVERIFY(child<QLineEdit>(u"driveFileName"_s)->text().isEmpty());
    QVERIFY(!child<QCheckBox>(u"purgeToggle"_s)->isChecked());
    QVERIFY(child<QRadioButton>(u"scopeOU"_s)->isChecked());
}

void DriveViewTest::busy_disablesActionsAndBrowse() {
    m_model->setScope(DriveScope::ou);
    m_gam->hang(1);
    m_model->browseOUs();
    QVERIFY(m_console->isBusy());
    QVERIFY(!child<QPushButton>(u"browseOUsButton"_s)->isEnabled());
    QVERIFY(!child<QPushButton>(u"findFilesButton"_s)->isEnabled());
    QVERIFY(!child<QPushButton>(u"clearFieldsButton"_s)->isEnabled());
    m_console->stop();
    QVERIFY(QTest::qWaitFor([this] { return !m_console->isBusy(); }, 10000));
    QVERIFY(child<QPushButton>(u"browseOUsButton"_s)->isEnabled());
    QVERIFY(child<QPushButton>(u"findFilesButton"_s)->isEnabled());
}

void DriveViewTest::findFromTheForm_sendsWhatWasTyped() {
    QTest::mouseClick(child<QRadioButton>(u"methodName"_s), Qt::LeftButton);
    QTest::keyClicks(child<QLineEdit>(u"driveUserEmail"_s), u"pat@lakeside.example.org"_s);
    QTest::keyClicks(child<QLineEdit>(u"driveFileName"_s), u"plan"_s);
    // Shortcuts reach only the active window.
    m_view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
    QTest::keyClick(child<QLineEdit>(u"driveFileName"_s), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(QTest::qWaitFor([this] { return m_gam->runs() == 1 && !m_console->isBusy(); }, 10000));
    QCOMPARE(m_gam->arguments(1).mid(0, 6), (QStringList{u"user"_s, u"pat@lakeside.example.org"_s, u"print"_s,
                                                         u"filelist"_s, u"query"_s, u"name contains 'plan'"_s}));
    QCOMPARE(child<QPushButton>(u"findFilesButton"_s)->toolTip(), u"Find Files (Ctrl+F)"_s);
}

// The text of a visible label or button that does not get the room it needs, once laid out.
QString DriveViewTest::clippedText() const {
    const auto labels = m_view->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (!label->isVisible())
            continue;
        const bool fits = label->wordWrap() ? label->height() >= label->heightForWidth(label->width())
                                            : label->width() >= label->sizeHint().width();
        if (!fits)
            return label->text();
    }
    const auto buttons = m_view->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons)
        if (button->isVisible() && button->width() < button->sizeHint().width())
            return button->text();
    return {};
}

OUPickerSheet *DriveViewTest::openPicker(const QStringList &paths) {
    m_model->setOUList(OUList{QUuid::createUuid(), paths});
    OUPickerSheet *sheet = nullptr;
    const bool shown = QTest::qWaitFor([&] {
        sheet = m_view->window()->findChild<OUPickerSheet *>();
        return sheet && sheet->isVisible();
    });
    return shown ? sheet : nullptr;
}

void DriveViewTest::picker_filterSelectAndDoubleClick() {
    m_model->setScope(DriveScope::ou);
    OUPickerSheet *sheet = openPicker({u"/Staff"_s, u"/Students/Grade 10"_s, u"/Students/Grade 9"_s});
    QVERIFY(sheet);
    auto *list = sheet->findChild<QListView *>(u"ouList"_s);
    auto *filter = sheet->findChild<QLineEdit *>(u"ouFilter"_s);
    auto *select = sheet->findChild<QPushButton *>(u"selectButton"_s);
    auto *noMatches = sheet->findChild<QLabel *>(u"ouNoMatches"_s);
    QCOMPARE(list->model()->rowCount(), 3);
    QVERIFY(!select->isEnabled());
    QVERIFY(!noMatches->isVisible());
    screenshot(sheet, u"drive-ou-picker"_s);

    QTest::keyClicks(filter, u"GRADE"_s);
    QCOMPARE(list->model()->rowCount(), 2);
    list->setCurrentIndex(list->model()->index(1, 0));
    QVERIFY(select->isEnabled());
    // The chosen row survives a narrower filter that still shows it.
    QTest::keyClicks(filter, u" 9"_s);
    QCOMPARE(list->model()->rowCount(), 1);
    QVERIFY(select->isEnabled());
    QTest::keyClicks(filter, u"x"_s);
    QCOMPARE(list->model()->rowCount(), 0);
    QVERIFY(noMatches->isVisible());
    QVERIFY(!select->isEnabled());
    screenshot(sheet, u"drive-ou-picker-empty"_s);
    filter->clear();

    const QRect row = list->visualRect(list->model()->index(2, 0));
    // A single click only selects.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QVERIFY(select->isEnabled());
    QVERIFY(m_model->ouList().has_value());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QVERIFY(QTest::qWaitFor([this] { return !m_model->ouList().has_value(); }));
    QCOMPARE(m_model->ouPath(), u"/Students/Grade 9"_s);
    QCOMPARE(child<QLineEdit>(u"driveOUPath"_s)->text(), u"/Students/Grade 9"_s);
    QVERIFY(QTest::qWaitFor([this] { return !m_view->window()->findChild<OUPickerSheet *>(); }));
}

void DriveViewTest::picker_returnOnARowChoosesOnceAndCancelKeepsThePath() {
    m_model->setScope(DriveScope::ou);
    m_model->setOUPath(u"/typed"_s);
    int chosen = 0;
    connect(m_model.get(), &DriveModel::changed, this, [&chosen] { ++chosen; });
    OUPickerSheet *sheet = openPicker({u"/Staff"_s, u"/Students"_s});
    QVERIFY(sheet);
    auto *list = sheet->findChild<QListView *>(u"ouList"_s);
    list->setFocus();
    list->setCurrentIndex(list->model()->index(1, 0));
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([this] { return !m_model->ouList().has_value(); }));
    QCOMPARE(m_model->ouPath(), u"/Students"_s);
    QCOMPARE(chosen, 1);

    sheet = openPicker({u"/Staff"_s});
    QVERIFY(sheet);
    sheet->findChild<QListView *>(u"ouList"_s)->setCurrentIndex(sheet->findChild<QListView *>()->model()->index(0, 0));
    QTest::mouseClick(sheet->findChild<QPushButton *>(u"cancelButton"_s), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([this] { return !m_model->ouList().has_value(); }));
    QCOMPARE(m_model->ouPath(), u"/Students"_s);
}

QTEST_MAIN(DriveViewTest)
#include "tst_driveview.moc"
