// Stopping gam for real: every run is a process group of its own, a stop reaches
// all of it, SIGTERM is followed by SIGKILL when ignored, and quitting leaves nothing.
#include "core/GAM.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace {

QCoro::Task<int> streamIgnoringLines(const QString &program, const QStringList &arguments, CancelToken cancel) {
    return GAM::stream(
        program, arguments, [](const QString &) {}, std::move(cancel));
}

// How a run ended when asked to stop and, `killAfter` later, to stop at once.
struct KillOutcome {
    bool endedWhenKillReturned = false;
    std::optional<Cancelled> stopped;
};

KillOutcome stopThenKill(QCoro::Task<int> run, CancelToken token, const QString &readyFile,
                         std::chrono::milliseconds killAfter) {
    KillOutcome outcome;
    bool ended = false;
    QObject scope; // ends the timers below with this call
    whenFileExists(readyFile, &scope, [&] {
        token.cancel();
        QTimer::singleShot(killAfter, &scope, [&] {
            token.kill();
            outcome.endedWhenKillReturned = ended;
        });
    });
    std::move(run).then([&](int) { ended = true; },
                        [&](const std::exception &error) {
                            if (const auto *cancelled = dynamic_cast<const Cancelled *>(&error))
                                outcome.stopped = *cancelled;
                            ended = true;
                        });
    if (!QTest::qWaitFor([&] { return ended; }, 30000))
        qFatal("the run never ended");
    return outcome;
}

constexpr auto quitChildVariable = "TARNWICK_TEST_QUIT_CHILD";

// The child half of quittingKillsEveryGroupStillRunning: starts a run that ignores
// SIGTERM, and quits the application as soon as it has started.
int quitWhileRunning(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QString folder = qEnvironmentVariable(quitChildVariable);
    const QString child =
        writeScript(folder, u"stubborn"_s, u"trap '' TERM\necho $$ > \""_s + folder + u"/pid\"\nexec sleep 60\n"_s);
    QCoro::Task<int> run = streamIgnoringLines(child, {}, {});
    whenFileExists(folder + u"/pid"_s, &app, [] { QCoreApplication::quit(); });
    return app.exec();
}

} // namespace

class TestProcessGroups : public QObject {
    Q_OBJECT

private:
    std::optional<QTemporaryDir> m_dir;

    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString script(const QString &body) const { return writeScript(m_dir->path(), u"child"_s, body); }
    // A leader that dies of SIGTERM, with a worker that ignores it and has written its pid.
    QString leaderWithStubbornWorker() const {
        return script(u"sh -c 'trap \"\" TERM; echo $$ > \""_s + path(u"worker"_s) +
                      u"\"; exec sleep 60' &\n"
                      u"while [ ! -s \""_s +
                      path(u"worker"_s) + u"\" ]; do sleep 0.01; done\ntouch \""_s + path(u"ready"_s) +
                      u"\"\nwait\n"_s);
    }

private Q_SLOTS:
    void init() {
        m_dir.emplace();
        qunsetenv("PRACTICE_GAM_FAULT");
        qunsetenv("PRACTICE_GAM_LOG");
    }

    void stopEndsEveryProcessOfTheGroup() {
        // A background worker, as GAM's multiprocess mode starts them.
        const QString child = script(u"sleep 60 &\necho $! > \""_s + path(u"worker"_s) + u"\"\ntouch \""_s +
                                     path(u"ready"_s) + u"\"\nwait\n"_s);
        CancelToken token;
        whenFileExists(path(u"ready"_s), this, [token] { token.cancel(); });
        const auto stopped = failureOf<Cancelled>(streamIgnoringLines(child, {}, token));
        QVERIFY(stopped);
        QVERIFY(!stopped->killed()); // SIGTERM was enough
        const qint64 worker = pidFromFile(path(u"worker"_s));
        QVERIFY(worker > 0);
        QVERIFY(!processIsRunning(worker));
    }

    void workerIgnoringSIGTERMIsKilledAfterTheGracePeriod() {
        CancelToken token;
        whenFileExists(path(u"ready"_s), this, [token] { token.cancel(); });
        // The leader ends at once; the run lasts until the worker is gone too.
        const auto stopped = failureOf<Cancelled>(streamIgnoringLines(leaderWithStubbornWorker(), {}, token));
        QVERIFY(stopped);
        QVERIFY(stopped->killed());
        QTRY_VERIFY(!processIsRunning(pidFromFile(path(u"worker"_s)))); // SIGKILL takes a moment to land
    }

    void secondRequestKillsWhatOutlivedTheLeader() {
        CancelToken token;
        // 300 ms after the SIGTERM the leader has died of it; the worker has not.
        const KillOutcome outcome = stopThenKill(streamIgnoringLines(leaderWithStubbornWorker(), {}, token), token,
                                                 path(u"ready"_s), std::chrono::milliseconds(300));
        QVERIFY(outcome.endedWhenKillReturned); // no waiting for the grace period
        QVERIFY(outcome.stopped && outcome.stopped->killed());
        QTRY_VERIFY(!processIsRunning(pidFromFile(path(u"worker"_s))));
    }

    void practiceGamIgnoringSIGTERM_isKilledAfterTheGracePeriodOrAtTheSecondStop() {
        qputenv("PRACTICE_GAM_FAULT", "ignore-sigterm");
        qputenv("PRACTICE_GAM_LOG", path(u"invocations"_s).toUtf8()); // written once it ignores SIGTERM
        const QString gam = QStringLiteral(PRACTICE_GAM_PATH);
        const QStringList infoDomain{u"info"_s, u"domain"_s};

        CancelToken polite;
        whenFileExists(path(u"invocations"_s), this, [polite] { polite.cancel(); });
        const auto graceful = failureOf<Cancelled>(streamIgnoringLines(gam, infoDomain, polite));
        QVERIFY(graceful);
        QVERIFY(graceful->killed());

        QFile::remove(path(u"invocations"_s));
        CancelToken insistent;
        const KillOutcome outcome = stopThenKill(streamIgnoringLines(gam, infoDomain, insistent), insistent,
                                                 path(u"invocations"_s), std::chrono::milliseconds(0));
        QVERIFY(outcome.endedWhenKillReturned);
        QVERIFY(outcome.stopped && outcome.stopped->killed());
    }

    void timeOutAlsoKillsAChildIgnoringSIGTERM() {
        const QString child = script(u"trap '' TERM\nexec sleep 60\n"_s);
        const auto error = failureOf<GAMError>(GAM::capture(child, {}, 0.2, GAM::ProfileChoice::none()));
        QVERIFY(error);
        QCOMPARE(error->kind(), GAMError::Kind::timedOut);
        QVERIFY(error->killed());
    }

    void quittingKillsEveryGroupStillRunning() {
        QProcess app;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(quitChildVariable), m_dir->path());
        environment.insert(u"ASAN_OPTIONS"_s, u"detect_leaks=0"_s); // the quit leaves the run's frames behind
        app.setProcessEnvironment(environment);
        app.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(app.waitForFinished(30000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        const qint64 stubborn = pidFromFile(path(u"pid"_s));
        QVERIFY(stubborn > 0);
        QTRY_VERIFY(!processIsRunning(stubborn));
    }
};

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsSet(quitChildVariable))
        return quitWhileRunning(argc, argv);
    QCoreApplication app(argc, argv);
    TestProcessGroups test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_process_groups.moc"
