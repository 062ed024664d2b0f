#include "FakeDesktopServices.h"
#include "TestSupport.h"
#include "core/Console.h"
#include "core/GAM.h"

#include <QCoroSignal>
#include <QCoroTimer>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

QStringList texts(const Console &console) {
    QStringList lines;
    for (qsizetype i = 0; i < console.entryCount(); ++i)
        lines.append(console.entryAt(i).text);
    return lines;
}

QString readFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// Waits for Stop, then fails as the runner does when it terminates the child.
QCoro::Task<> untilStopped(CancelToken cancel) {
    if (!cancel.isCancelled())
        co_await qCoro(cancel.state(), &CancelState::requested);
    throw Cancelled();
}

} // namespace

class TestConsole : public QObject {
    Q_OBJECT

private:
    IsolatedSettings m_settings;
    FakeDesktopServices m_desktop;

private Q_SLOTS:
    void log_splitsAtLineFeedsKeepingEmptyPieces() {
        Console console(&m_desktop);
        console.log(u""_s);
        console.log(u"a\n\nb"_s, LogKind::success);
        console.log(u"end\n"_s);
        QCOMPARE(texts(console), (QStringList{u""_s, u"a"_s, u""_s, u"b"_s, u"end"_s, u""_s}));
        for (qsizetype i = 0; i < console.entryCount(); ++i)
            QCOMPARE(console.entryAt(i).id, i);
        QCOMPARE(console.entryAt(2).kind, LogKind::success);
        QCOMPARE(console.entryAt(4).kind, LogKind::plain);
    }

    void log_showsCarriageReturnsAsATerminalWould() {
        Console console(&m_desktop);
        console.log(u"\rGot 100 Messages\u2026\rGot 157 Messages\u2026\r"_s);
        console.log(u"done\r\nnext"_s);
        console.logOutput(u"\rGetting 5\rGot 7\r\n\r\n"_s, LogKind::plain);
        QCOMPARE(texts(console), (QStringList{u"Got 157 Messages\u2026"_s, u"done"_s, u"next"_s, u"  Got 7"_s}));
    }

    void log_notifiesOncePerEventLoopTurn() {
        Console console(&m_desktop);
        QSignalSpy appended(&console, &Console::entriesAppended);
        console.log(u"one"_s);
        console.log(u"two\nthree"_s);
        QCOMPARE(appended.size(), 0);
        QTRY_COMPARE(appended.size(), 1);
        QCOMPARE(appended[0][0].value<qsizetype>(), 0);
        QCOMPARE(appended[0][1].value<qsizetype>(), 3);
        console.log(u"four"_s);
        QTRY_COMPARE(appended.size(), 2);
        QCOMPARE(appended[1][0].value<qsizetype>(), 3);
        QCOMPARE(appended[1][1].value<qsizetype>(), 1);
    }

    void clear_emptiesTheLogButKeepsCountingIds() {
        Console console(&m_desktop);
        QSignalSpy appended(&console, &Console::entriesAppended);
        QSignalSpy cleared(&console, &Console::entriesCleared);
        console.log(u"a\nb"_s);
        console.clear();
        QCOMPARE(cleared.size(), 1);
        QCOMPARE(console.entryCount(), 0);
        QCOMPARE(console.plainText(), QString());
        console.log(u"c"_s);
        QCOMPARE(console.entryAt(0).id, 2);
        QTRY_COMPARE(appended.size(), 1);
        QCOMPARE(appended[0][0].value<qsizetype>(), 0); // nothing announced from before the clear
        QCOMPARE(appended[0][1].value<qsizetype>(), 1);
    }

    void plainText_joinsAcrossStorageChunks() {
        Console console(&m_desktop);
        QStringList expected;
        for (int i = 0; i < 10000; ++i)
            expected.append(i % 7 == 0 ? QString() : u"line \u00e9 "_s + QString::number(i));
        console.log(expected.join(u'\n'));
        QCOMPARE(console.entryCount(), 10000);
        QCOMPARE(console.plainText(), expected.join(u'\n'));
        QCOMPARE(console.entryAt(9999).text, expected.last());
        QCOMPARE(console.entryAt(4096).id, 4096);
    }

    void entries_keepEveryCharacter() {
        Console console(&m_desktop);
        const QString marked = u"\uFEFFid,name"_s; // a CSV header as gam may print it
        console.log(marked);
        console.log(u"\uFEFF"_s);
        QCOMPARE(console.entryAt(0).text, marked);
        QCOMPARE(console.entryAt(1).text, u"\uFEFF"_s);
        QCOMPARE(console.plainText(), marked + u"\n\uFEFF"_s);
    }

    void entryPrefix_countsCharactersNotBytes() {
        Console console(&m_desktop);
        console.log(QString(4, u'\u00e9') + u"\U0001F600\U0001F600x"_s);
        const Console::TextPrefix prefix = console.entryPrefix(0, 5);
        QCOMPARE(prefix.text, QString(4, u'\u00e9') + u"\U0001F600"_s);
        QCOMPARE(prefix.more, 2);
        QCOMPARE(console.entryPrefix(0, 7).text, console.entryAt(0).text);
        QCOMPARE(console.entryPrefix(0, 7).more, 0);
        QCOMPARE(console.entryPrefix(0, 0).more, 7);
    }

    void logOutput_capsAtTheLimitIgnoringBlankLines() {
        Console console(&m_desktop);
        QStringList lines;
        for (int i = 1; i <= 20; ++i)
            lines.append(u"line "_s + QString::number(i) + u"\n"_s);
        console.logOutput(lines.join(u'\n'), LogKind::error, 15);
        QCOMPARE(console.entryCount(), 16);
        QCOMPARE(console.entryAt(0).text, u"  line 1"_s);
        QCOMPARE(console.entryAt(14).text, u"  line 15"_s);
        QCOMPARE(console.entryAt(15).text, u"  ... (5 more line(s) omitted)"_s);
        QCOMPARE(console.entryAt(15).kind, LogKind::error);

        console.clear();
        console.logOutput(u"\n\n"_s, LogKind::plain);
        QCOMPARE(console.entryCount(), 0);
        console.logOutput(u"a\nb"_s, LogKind::plain, 2);
        QCOMPARE(texts(console), (QStringList{u"  a"_s, u"  b"_s}));
    }

    void logFailure_describesEachKindOfFailure() {
        Console console(&m_desktop);
        console.logFailure(Cancelled(), u"Find"_s);
        console.logFailure(GAMError::timedOut(), u"gam version"_s);
        console.logFailure(GAMError::notFound(), u"gam version"_s);
        console.logFailure(LaunchError(u"Permission denied"_s), u"Run"_s);
        console.logFailure(std::runtime_error("disk \xc3\xa9"), u"Run"_s);
        QCOMPARE(console.entryAt(0).text, u"  Stopped by user."_s);
        QCOMPARE(console.entryAt(0).kind, LogKind::warning);
        QCOMPARE(console.entryAt(1).text, u"  TIMEOUT during gam version."_s);
        QCOMPARE(console.entryAt(1).kind, LogKind::error);
        QCOMPARE(console.entryAt(2).text, u"ERROR: "_s + GAMError::notFound().description());
        QCOMPARE(console.entryAt(3).text, u"ERROR: Permission denied"_s);
        QCOMPARE(console.entryAt(4).text, u"ERROR: disk \u00e9"_s);
        QCOMPARE(console.entryAt(4).kind, LogKind::error);

        // A gam that had to be killed gets one line saying so before the usual one.
        console.clear();
        console.logFailure(Cancelled(true), u"Find"_s);
        console.logFailure(GAMError::timedOut(true), u"gam version"_s);
        console.logFailure(EndedBySignal(9), u"Run"_s);
        QCOMPARE(texts(console),
                 (QStringList{u"  Killed the command and every process it started."_s, u"  Stopped by user."_s,
                              u"  Killed the command and every process it started."_s,
                              u"  TIMEOUT during gam version."_s, u"ERROR: Command ended by signal 9."_s}));
        QCOMPARE(console.entryAt(0).kind, LogKind::warning);
    }

    void run_logsTheHeaderAndRefusesASecondTask() {
        Console console(&m_desktop);
        QSignalSpy busy(&console, &Console::busyChanged);
        bool secondStarted = false;
        console.run(u"Find Messages"_s, untilStopped);
        QVERIFY(console.isBusy());
        QCOMPARE(console.busyLabel(), u"Find Messages"_s);
        QVERIFY(console.entryAt(0).text.startsWith(u"\u2014\u2014 Find Messages \u00B7 "_s));
        QVERIFY(console.entryAt(0).text.endsWith(u" \u2014\u2014"_s));
        QCOMPARE(console.entryAt(0).kind, LogKind::info);

        console.run(u"Delete"_s, [&](CancelToken) -> QCoro::Task<> {
            secondStarted = true;
            co_return;
        });
        QVERIFY(!secondStarted);
        QCOMPARE(console.busyLabel(), u"Find Messages"_s);
        QVERIFY(console.alert());
        QCOMPARE(console.alert()->title, u"Busy"_s);
        QCOMPARE(console.alert()->message,
                 u"\"Find Messages\" is still running. Wait for it to finish or press Stop."_s);
        QVERIFY(!console.alert()->confirmTitle);
        QCOMPARE(console.entryCount(), 1);

        console.stop();
        QTRY_VERIFY(!console.isBusy());
        QCOMPARE(console.busyLabel(), QString());
        QCOMPARE(busy.size(), 2);
    }

    void stop_cancelsTheRunningTasksToken() {
        Console console(&m_desktop);
        CancelToken seen;
        console.run(u"Long"_s, [&](CancelToken cancel) -> QCoro::Task<> {
            seen = cancel;
            co_await untilStopped(cancel);
        });
        QVERIFY(!seen.isCancelled());
        // Not a swallowed error: the operation reports the stop itself.
        console.run(u"Other"_s, [](CancelToken) -> QCoro::Task<> { co_return; });
        console.stop();
        QVERIFY(seen.isCancelled());
        QTRY_VERIFY(!console.isBusy());
        QCOMPARE(texts(console).mid(1), (QStringList{u"Stopping\u2026"_s, u"  Stopped by user."_s}));
        QCOMPARE(console.entryAt(1).kind, LogKind::warning);

        // The next task gets a fresh token.
        CancelToken next;
        console.run(u"Next"_s, [&](CancelToken cancel) -> QCoro::Task<> {
            next = cancel;
            co_return;
        });
        QVERIFY(!next.isCancelled());
        QVERIFY(!console.isBusy());
    }

    void stop_secondStopAsksForAKillWithoutLoggingAgain() {
        Console console(&m_desktop);
        CancelToken seen;
        console.run(u"Long"_s, [&](CancelToken cancel) -> QCoro::Task<> {
            seen = cancel;
            co_await qCoro(cancel.state(), &CancelState::killRequested);
            throw Cancelled(true);
        });
        console.stop();
        QVERIFY(seen.isCancelled());
        QVERIFY(!seen.state()->isKillRequested());
        console.stop();
        QVERIFY(seen.state()->isKillRequested());
        QTRY_VERIFY(!console.isBusy());
        QCOMPARE(texts(console).mid(1),
                 (QStringList{u"Stopping\u2026"_s, u"  Killed the command and every process it started."_s,
                              u"  Stopped by user."_s}));
    }

    void destruction_killsTheTasksGamAndFinishesTheTaskFirst() {
        QTemporaryDir dir;
        const QString child =
            writeScript(dir.path(), u"child"_s,
                        u"trap '' TERM\necho $$ > \""_s + dir.filePath(u"pid"_s) + u"\"\nexec sleep 60\n"_s);
        auto console = std::make_unique<Console>(&m_desktop);
        bool finished = false;
        const GAM::LineHandler ignoreLines = [](const QString &) {};
        console->run(u"Long"_s, [&](CancelToken cancel) -> QCoro::Task<> {
            try {
                co_await GAM::stream(child, QStringList(), ignoreLines, cancel);
            } catch (const Cancelled &) {
            }
            finished = true;
        });
        QTRY_VERIFY(pidFromFile(dir.filePath(u"pid"_s)) > 0);
        console.reset();
        // Nothing of the task is left to resume into the freed console.
        QVERIFY(finished);
        QTRY_VERIFY(!processIsRunning(pidFromFile(dir.filePath(u"pid"_s))));
    }

    void stop_withNoTaskDoesNothing() {
        Console console(&m_desktop);
        console.stop();
        QCOMPARE(console.entryCount(), 0);
    }

    void run_clearsBusyHoweverTheTaskEnds() {
        Console console(&m_desktop);
        console.run(u"Fails"_s, [&](CancelToken) -> QCoro::Task<> {
            console.logFailure(GAMError::timedOut(), u"Fails"_s);
            co_return;
        });
        QVERIFY(!console.isBusy());
        QCOMPARE(console.busyLabel(), QString());

        // An exception the operation did not handle is logged, not lost.
        console.run(u"Throws"_s, [](CancelToken) -> QCoro::Task<> {
            QTimer timer;
            timer.setSingleShot(true);
            timer.start(1);
            co_await timer;
            throw std::runtime_error("boom");
        });
        QVERIFY(console.isBusy());
        QTRY_VERIFY(!console.isBusy());
        QCOMPARE(console.entryAt(console.entryCount() - 1).text, u"ERROR: boom"_s);

        console.run(u"Empty"_s, Console::Operation());
        QVERIFY(!console.isBusy());
    }

    void tableText_alignsColumns() {
        const QString text = Console::tableText({u"name"_s, u"id"_s}, {{u"Algebra"_s, u"42"_s}}, u"teacher:x"_s);
        QCOMPARE(text, u"Query: teacher:x\nname     id\n-------  --\nAlgebra  42\n"_s);
        const QString ragged =
            Console::tableText({u"a"_s, u"b"_s}, {{u"1"_s, u"2"_s, u"extra"_s}, {u"caf\u0065\u0301"_s}}, std::nullopt);
        QCOMPARE(ragged, u"a     b\n----  -\n1     2\ncaf\u0065\u0301   \n"_s);
        QCOMPARE(Console::tableText({u"x"_s}, {}, QString()), u"Query: \nx\n-\n"_s);
        // A cell holding line breaks stays on its row.
        QCOMPARE(Console::tableText({u"name"_s, u"id"_s}, {{u"two\r\nlines"_s, u"7"_s}}, std::nullopt),
                 u"name       id\n---------  --\ntwo lines  7 \n"_s);
    }

    void exportLog_writesCsvAndText() {
        QTemporaryDir dir;
        Console console(&m_desktop);
        console.log(u"\n  \na,b\nsay \"hi\"\n\n"_s);
        m_desktop.nextSavePath = dir.filePath(u"log.csv"_s);
        awaitTask(console.exportLog(ExportFormat::csv));
        QCOMPARE(readFile(*m_desktop.nextSavePath), u"Line,Text\n1,\"a,b\"\n2,\"say \"\"hi\"\"\"\n"_s);
        QCOMPARE(m_desktop.savePrompts.last(), u"Export|gam_log.csv|Comma-separated text (*.csv)"_s);
        QCOMPARE(console.entryAt(console.entryCount() - 1).text, u"Log saved to "_s + *m_desktop.nextSavePath);
        QCOMPARE(console.entryAt(console.entryCount() - 1).kind, LogKind::info);

        console.clear();
        console.log(u"first\n\nlast"_s);
        m_desktop.nextSavePath = dir.filePath(u"log.txt"_s);
        awaitTask(console.exportLog(ExportFormat::plainText));
        QCOMPARE(readFile(*m_desktop.nextSavePath), u"first\n\nlast\n"_s);
        QCOMPARE(m_desktop.savePrompts.last(), u"Export|gam_log.txt|Plain text (*.txt)"_s);
    }

    void exportLog_refusesAnEmptyLogAndReportsFailures() {
        Console console(&m_desktop);
        const qsizetype promptsBefore = m_desktop.savePrompts.size();
        console.log(u"  \n\t\n"_s);
        awaitTask(console.exportLog(ExportFormat::csv));
        QCOMPARE(m_desktop.savePrompts.size(), promptsBefore);
        QVERIFY(console.alert());
        QCOMPARE(console.alert()->title, u"Export"_s);
        QCOMPARE(console.alert()->message, u"The log is empty."_s);

        console.setAlert(std::nullopt);
        console.log(u"something"_s);
        const qsizetype entries = console.entryCount();
        m_desktop.nextSavePath = u"/proc/no-such-folder/log.txt"_s;
        awaitTask(console.exportLog(ExportFormat::plainText));
        QVERIFY(console.alert());
        QCOMPARE(console.alert()->title, u"Export Failed"_s);
        QVERIFY(!console.alert()->message.isEmpty());
        QCOMPARE(console.entryCount(), entries);

        console.setAlert(std::nullopt);
        m_desktop.nextSavePath.reset();
        awaitTask(console.exportLog(ExportFormat::plainText));
        QVERIFY(!console.alert());
        QCOMPARE(console.entryCount(), entries);
    }

    void exportResults_keepsExtraCellsOnlyInCsv() {
        QTemporaryDir dir;
        Console console(&m_desktop);
        ResultsTable table;
        table.query = u"q"_s;
        table.columns = {u"name"_s, u"id"_s};
        table.rows = {{u"Algebra"_s, u"42"_s, u"extra"_s}, {u"Art"_s}};
        table.exportName = u"courses"_s;

        m_desktop.nextSavePath = dir.filePath(u"t.csv"_s);
        awaitTask(console.exportResults(table, ExportFormat::csv));
        QCOMPARE(readFile(*m_desktop.nextSavePath), u"name,id\nAlgebra,42,extra\nArt\n"_s);
        QCOMPARE(m_desktop.savePrompts.last(), u"Export|courses.csv|Comma-separated text (*.csv)"_s);
        QCOMPARE(console.entryAt(console.entryCount() - 1).text, u"Saved 2 row(s) to "_s + *m_desktop.nextSavePath);

        m_desktop.nextSavePath = dir.filePath(u"t.txt"_s);
        awaitTask(console.exportResults(table, ExportFormat::plainText));
        QCOMPARE(readFile(*m_desktop.nextSavePath),
                 u"Query: q\nname     id\n-------  --\nAlgebra  42\nArt        \n"_s);
    }

    void alertsAndResults_notifyOnChange() {
        Console console(&m_desktop);
        QSignalSpy alerts(&console, &Console::alertChanged);
        QSignalSpy results(&console, &Console::resultsChanged);
        console.showAlert(u"Missing Input"_s, u"Enter a user."_s);
        QCOMPARE(alerts.size(), 1);
        QCOMPARE(console.alert()->title, u"Missing Input"_s);
        console.setAlert(std::nullopt);
        console.setAlert(std::nullopt);
        QCOMPARE(alerts.size(), 2);
        console.setResults(ResultsTable{});
        console.setResults(std::nullopt);
        QCOMPARE(results.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
