#include "FakeDesktopServices.h"
#include "command/CustomCommandModel.h"
#include "command/ui/CustomCommandView.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"

#include "TestSupport.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

using namespace Qt::StringLiterals;

// Drives the tab's real widgets; the gam is a throw-away script that echoes
// what it was given and then behaves as each test needs.
class TestCustomCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void returnInField_streamsOutputIntoLog();
    void otherProgramsAndFailures_endWithTheirStatusLine();
    void stop_endsWithStoppedByUserAndNoExitLine();
    void secondStop_killsACommandIgnoringSIGTERM();
    void commandEndedBySignal_isReportedAsSuch();
    void destroyingModelAndConsoleMidRun_leavesNothingBehind();
    void secondRunWhileBusy_showsBusyAlertAndIsRemembered();
    void badInput_alertsWithoutRunning();
    void history_mostRecentFirstWithoutDuplicatesAtMostTwenty();
    void recentMenuAndClear_setTheField();

private:
    void type(const QString &command);
    QString gamScript(const QString &behaviour);

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProfileStore> m_store;
    FakeDesktopServices m_desktop;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<CustomCommandModel> m_model;
    std::unique_ptr<CustomCommandView> m_view;
    QLineEdit *m_field = nullptr;
};

void TestCustomCommand::init() {
    m_settings = std::make_unique<IsolatedSettings>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<ProfileStore>();
    m_console = std::make_unique<Console>(&m_desktop);
    m_model = std::make_unique<CustomCommandModel>(m_console.get());
    m_view = std::make_unique<CustomCommandView>(m_model.get(), m_console.get());
    m_view->show();
    m_field = m_view->findChild<QLineEdit *>(u"commandField"_s);
    QVERIFY(m_field);
}

void TestCustomCommand::cleanup() {
    if (m_console && m_console->isBusy()) {
        m_console->stop();
        QTRY_VERIFY(!m_console->isBusy());
    }
    m_view.reset();
    m_model.reset();
    m_console.reset();
    m_store.reset();
    m_dir.reset();
    m_settings.reset();
}

QString TestCustomCommand::gamScript(const QString &behaviour) {
    const QString path = writeScript(m_dir->path(), u"gam"_s, behaviour);
    QSettings().setValue(u"gamPath"_s, path);
    return path;
}

void TestCustomCommand::type(const QString &command) {
    m_field->selectAll();
    QTest::keyClick(m_field, Qt::Key_Backspace);
    QTest::keyClicks(m_field, command);
    QCOMPARE(m_model->command(), command);
}

void TestCustomCommand::returnInField_streamsOutputIntoLog() {
    QCOMPARE(m_field->text(), u"gam "_s);
    gamScript(u"for a in \"$@\"; do printf 'arg:%s\\n' \"$a\"; done\n"
              u"printf '\\n   \\n'\n"
              u"printf 'Getting all Messages\\n\\rGot 100 Messages\\rGot 157 Messages\\r\\n' >&2\n"
              u"echo '  indented stays'\n"_s);
    const QString command = u"  gam print users query \"orgUnitPath='/Students'\"\u00A0 "_s;
    type(command);
    QTest::keyClick(m_field, Qt::Key_Return);
    QTRY_VERIFY(!m_console->isBusy());

    const QString name = m_store->activeProfile().displayName();
    QCOMPARE(
        logLines(*m_console),
        QStringList({u"—— Custom Command · "_s + name + u" ——"_s,
                     u"[RUN] gam print users query \"orgUnitPath='/Students'\""_s, u"  arg:print"_s, u"  arg:users"_s,
                     u"  arg:query"_s, u"  arg:orgUnitPath='/Students'"_s, u"  Getting all Messages"_s,
                     u"  Got 157 Messages"_s, u"    indented stays"_s, u"  Command completed successfully."_s}));
    QCOMPARE(m_console->entryAt(1).kind, LogKind::command);
    QCOMPARE(m_console->entryAt(2).kind, LogKind::plain);
    QCOMPARE(m_console->entryAt(9).kind, LogKind::success);
    // The field keeps what was typed; the history holds the trimmed command.
    QCOMPARE(m_field->text(), command);
    QCOMPARE(m_model->history(), QStringList(u"gam print users query \"orgUnitPath='/Students'\""_s));
}

void TestCustomCommand::otherProgramsAndFailures_endWithTheirStatusLine() {
    gamScript(u"echo should-not-run\nexit 0\n"_s);
    // Not exactly "gam": run through env along PATH.
    type(u"echo hello  world"_s);
    QTest::mouseClick(m_view->findChild<QPushButton *>(u"runButton"_s), Qt::LeftButton);
    QTRY_VERIFY(!m_console->isBusy());
    QCOMPARE(logLines(*m_console).mid(2), QStringList({u"  hello world"_s, u"  Command completed successfully."_s}));

    m_console->clear();
    gamScript(u"echo usage >&2\nexit 2\n"_s);
    type(u"gam bogus"_s);
    QTest::keyClick(m_field, Qt::Key_Return);
    QTRY_VERIFY(!m_console->isBusy());
    QCOMPARE(logLines(*m_console).mid(2), QStringList({u"  usage"_s, u"  Command exited with code 2."_s}));
    QCOMPARE(m_console->entryAt(m_console->entryCount() - 1).kind, LogKind::warning);

    m_console->clear();
    QSettings().setValue(u"gamPath"_s, QString(m_dir->path() + u"/missing"_s));
    QTest::keyClick(m_field, Qt::Key_Return);
    QTRY_VERIFY(!m_console->isBusy());
    const QStringList lines = logLines(*m_console);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(2).startsWith(u"ERROR: 'gam' not found."_s));
}

void TestCustomCommand::stop_endsWithStoppedByUserAndNoExitLine() {
    gamScript(u"echo started\nexec sleep 60\n"_s);
    QTest::keyClick(m_field, Qt::Key_Return);
    QTRY_VERIFY(logLines(*m_console).contains(u"  started"_s));
    QVERIFY(m_console->isBusy());
    QVERIFY(!m_view->findChild<QPushButton *>(u"runButton"_s)->isEnabled());

    m_console->stop();
    QTRY_VERIFY_WITH_TIMEOUT(!m_console->isBusy(), 10000);
    const QStringList lines = logLines(*m_console);
    QCOMPARE(lines.mid(lines.size() - 2), QStringList({u"Stopping…"_s, u"  Stopped by user."_s}));
    for (const QString &line : lines)
        QVERIFY2(!line.contains(u"Command exited with code"_s) && !line.contains(u"completed successfully"_s),
                 qPrintable(line));
    QVERIFY(m_view->findChild<QPushButton *>(u"runButton"_s)->isEnabled());
    QVERIFY(m_console->busyLabel().isEmpty());
}

void TestCustomCommand::secondStop_killsACommandIgnoringSIGTERM() {
    gamScript(u"trap '' TERM\necho started\nsleep 60\n"_s);
    QTest::keyClick(m_field, Qt::Key_Return);
    QTRY_VERIFY(logLines(*m_console).contains(u"  started"_s));
    m_console->stop();
    m_console->stop();
    QVERIFY(!m_console->isBusy()); // killed and finished before the second Stop returned
    const QStringList lines = logLines(*m_console);
    QCOMPARE(lines.mid(lines.size() - 3),
             QStringList(
                 {u"Stopping…"_s, u"  Killed the command and every process it started."_s, u"  Stopped by user."_s}));
}

void TestCustomCommand::commandEndedBySignal_isReportedAsSuch() {
    gamScript(u"echo started\nkill -KILL $$\n"_s);
    QTest::keyClick(m_field, Qt::Key_Return);
    QTRY_VERIFY(!m_console->isBusy());
    const QStringList lines = logLines(*m_console);
    QCOMPARE(lines.mid(2), QStringList({u"  started"_s, u"ERROR: Command ended by signal 9."_s}));
    QCOMPARE(m_console->entryAt(m_console->entryCount() - 1).kind, LogKind::error);
}

void TestCustomCommand::destroyingModelAndConsoleMidRun_leavesNothingBehind() {
    const QString pidFile = m_dir->filePath(u"pid"_s);
    gamScript(u"echo $$ > '"_s + pidFile + u"'\necho started\nsleep 30\n"_s);
    QTest::keyClick(m_field, Qt::Key_Return);
    QTRY_VERIFY(logLines(*m_console).contains(u"  started"_s));
    const qint64 gam = pidFromFile(pidFile);
    QVERIFY(processIsRunning(gam));

    m_view.reset();
    m_model.reset();
    m_console.reset();
    // Events that would resume the run into freed objects get their chance here.
    QTRY_VERIFY(!processIsRunning(gam));
    QCoreApplication::processEvents();
}

void TestCustomCommand::secondRunWhileBusy_showsBusyAlertAndIsRemembered() {
    gamScript(u"echo started\nexec sleep 60\n"_s);
    type(u"gam first"_s);
    QTest::keyClick(m_field, Qt::Key_Return);
    QTRY_VERIFY(logLines(*m_console).contains(u"  started"_s));
    const qsizetype before = m_console->entryCount();

    type(u"gam second"_s);
    QTest::keyClick(m_field, Qt::Key_Return);
    QVERIFY(m_console->alert());
    QCOMPARE(m_console->alert()->title, u"Busy"_s);
    QCOMPARE(m_console->alert()->message,
             u"\"Custom Command\" is still running. Wait for it to finish or press Stop."_s);
    QCOMPARE(m_console->entryCount(), before);
    QCOMPARE(m_console->busyLabel(), u"Custom Command"_s);
    QCOMPARE(m_model->history(), QStringList({u"gam second"_s, u"gam first"_s}));
    QCOMPARE(m_field->text(), u"gam second"_s);
}

void TestCustomCommand::badInput_alertsWithoutRunning() {
    type(u"gam print users query \"name:Smith"_s);
    QTest::keyClick(m_field, Qt::Key_Return);
    QVERIFY(m_console->alert());
    QCOMPARE(m_console->alert()->title, u"Invalid Command"_s);
    QCOMPARE(m_console->alert()->message, u"Could not parse command:\nNo closing quotation."_s);

    type(u" \u00A0 "_s);
    QTest::keyClick(m_field, Qt::Key_Return);
    QCOMPARE(m_console->alert()->title, u"No Command"_s);
    QCOMPARE(m_console->alert()->message, u"Please enter a GAM command to run."_s);

    QVERIFY(!m_console->isBusy());
    QCOMPARE(m_console->entryCount(), 0);
    QVERIFY(m_model->history().isEmpty());
}

void TestCustomCommand::history_mostRecentFirstWithoutDuplicatesAtMostTwenty() {
    gamScript(u"exit 0\n"_s);
    const auto runCommand = [this](const QString &command) {
        m_model->setCommand(command);
        m_model->run();
        QTRY_VERIFY(!m_console->isBusy());
    };
    runCommand(u"gam a"_s);
    runCommand(u"gam b"_s);
    runCommand(u"\tgam a\u3000"_s);
    QCOMPARE(m_model->history(), QStringList({u"gam a"_s, u"gam b"_s}));
    for (int i = 1; i <= 20; ++i)
        runCommand(u"gam n"_s + QString::number(i));
    QCOMPARE(m_model->history().size(), 20);
    QCOMPARE(m_model->history().first(), u"gam n20"_s);
    QCOMPARE(m_model->history().last(), u"gam n1"_s);
}

void TestCustomCommand::recentMenuAndClear_setTheField() {
    auto *recent = m_view->findChild<QPushButton *>(u"recentButton"_s);
    QVERIFY(recent && recent->menu());
    Q_EMIT recent->menu()->aboutToShow();
    QCOMPARE(recent->menu()->actions().size(), 1);
    QCOMPARE(recent->menu()->actions().first()->text(), u"No commands run this session"_s);
    QVERIFY(!recent->menu()->actions().first()->isEnabled());

    gamScript(u"exit 0\n"_s);
    for (const QString &command : {u"gam info domain"_s, u"gam print users query 'orgUnitPath=/R&D'"_s}) {
        type(command);
        QTest::keyClick(m_field, Qt::Key_Return);
        QTRY_VERIFY(!m_console->isBusy());
    }
    Q_EMIT recent->menu()->aboutToShow();
    QCOMPARE(recent->menu()->actions().size(), 2);
    // As typed: the "&" is no shortcut mark.
    QCOMPARE(recent->menu()->actions().at(0)->iconText(), u"gam print users query 'orgUnitPath=/R&D'"_s);
    const qsizetype before = m_console->entryCount();
    recent->menu()->actions().at(1)->trigger();
    QCOMPARE(m_field->text(), u"gam info domain"_s);
    QCOMPARE(m_console->entryCount(), before); // choosing never runs

    QTest::mouseClick(m_view->findChild<QPushButton *>(u"clearButton"_s), Qt::LeftButton);
    QCOMPARE(m_field->text(), u"gam "_s);
    QCOMPARE(m_model->command(), u"gam "_s);
}

QTEST_MAIN(TestCustomCommand)
#include "tst_customcommand.moc"
