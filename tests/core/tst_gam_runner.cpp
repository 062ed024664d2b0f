#include "core/GAM.h"
#include "core/GAMLocator.h"
#include "profiles/ProfileStore.h"

#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace {

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Cancels the token as soon as the child has written its ready file.
void cancelWhenReady(const QString &readyFile, const CancelToken &token, QObject *owner) {
    whenFileExists(readyFile, owner, [token] { token.cancel(); });
}

} // namespace

class TestGAMRunner : public QObject {
    Q_OBJECT

private:
    std::optional<IsolatedSettings> m_settings;
    std::optional<QTemporaryDir> m_dir;
    QByteArray m_originalPath = qgetenv("PATH");

    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString script(const QString &body) const { return writeScript(m_dir->path(), u"child"_s, body); }
    QString gamAt(const QString &folder) const {
        QDir().mkpath(folder);
        return writeScript(folder, u"gam"_s, u"exit 0\n"_s);
    }

    QStringList streamed(const QString &body, int *status = nullptr) const {
        QStringList lines;
        const int exit =
            awaitTask(GAM::stream(script(body), {}, [&lines](const QString &line) { lines.append(line); }));
        if (status)
            *status = exit;
        return lines;
    }

    // PATH, GAMCFGDIR and GAMCFGSECTION as the child saw them.
    QStringList childEnvironment(const GAM::ProfileChoice &profile) const {
        const QString child = script(u"printf '%s\\n' \"$PATH\" \"${GAMCFGDIR-unset}\" \"${GAMCFGSECTION-unset}\"\n"_s);
        return awaitTask(GAM::capture(child, {}, 30, profile)).stdOut.split(u'\n');
    }

private Q_SLOTS:
    void init() {
        m_settings.reset();
        m_settings.emplace();
        m_dir.emplace();
        qputenv("HOME", m_dir->path().toUtf8());
        qputenv("PATH", m_originalPath);
        qunsetenv("GAMCFGDIR");
        qunsetenv("GAMCFGSECTION");
    }

    void streamDropsCRAndDeliversTheUnterminatedLastLine() {
        QCOMPARE(streamed(u"printf 'a\\r\\nb'\n"_s), (QStringList{u"a"_s, u"b"_s}));
    }

    void streamDeliversBlankLinesAndOnlyOneCR() {
        QCOMPARE(streamed(u"printf 'x\\n\\n\\r\\ny\\r\\r\\n'\n"_s), (QStringList{u"x"_s, u""_s, u""_s, u"y\r"_s}));
    }

    void streamReplacesInvalidUTF8() {
        QCOMPARE(streamed(u"printf 'bad \\377 byte \\303\\251\\n'\n"_s), QStringList{u"bad \uFFFD byte é"_s});
    }

    void streamDeliversBothChannelsInOrderBeforeTheResult() {
        int status = -1;
        const QStringList lines = streamed(u"i=0\nwhile [ $i -lt 300 ]; do echo out$i; echo err$i >&2; "
                                           "i=$((i+1)); done\nexit 4\n"_s,
                                           &status);
        QCOMPARE(status, 4);
        QCOMPARE(lines.size(), 600);
        for (int i = 0; i < 300; ++i) {
            QCOMPARE(lines.at(2 * i), u"out"_s + QString::number(i));
            QCOMPARE(lines.at(2 * i + 1), u"err"_s + QString::number(i));
        }
    }

    void captureKeepsChannelsApart() {
        const CommandResult result =
            awaitTask(GAM::capture(script(u"echo out; echo err >&2; exit 7\n"_s), {}, 30, GAM::ProfileChoice::none()));
        QCOMPARE(result.exitCode, 7);
        QCOMPARE(result.stdOut, u"out\n"_s);
        QCOMPARE(result.stdErr, u"err\n"_s);
    }

    void captureSurvivesAMegabyteOnStandardError() {
        const CommandResult result =
            awaitTask(GAM::capture(script(u"head -c 1048576 /dev/zero | tr '\\000' x >&2\necho done\n"_s), {}, 30,
                                   GAM::ProfileChoice::none()));
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.stdOut, u"done\n"_s);
        QCOMPARE(result.stdErr.size(), 1048576);
    }

    void captureArgumentsPassUnchangedAndStdinIsEmpty() {
        const QString child = script(u"printf '[%s]' \"$@\"\nif read line; then echo got; else echo eof; fi\n"_s);
        const CommandResult result = awaitTask(
            GAM::capture(child, {u"a b"_s, u""_s, u"$HOME"_s, u"*"_s, u"it's"_s}, 30, GAM::ProfileChoice::none()));
        QCOMPARE(result.stdOut, u"[a b][][$HOME][*][it's]eof\n"_s);
    }

    void signalEndedChildIsAFailureNamingTheSignal() {
        const auto killed =
            failureOf<EndedBySignal>(GAM::capture(script(u"kill -KILL $$\n"_s), {}, 30, GAM::ProfileChoice::none()));
        QVERIFY(killed);
        QCOMPARE(killed->signal(), 9);
        QCOMPARE(killed->description(), u"Command ended by signal 9."_s);
        // A streamed run keeps the lines it delivered before the crash.
        QStringList lines;
        const auto crashed = failureOf<EndedBySignal>(GAM::stream(
            script(u"echo partial\nkill -SEGV $$\n"_s), {}, [&lines](const QString &line) { lines.append(line); }));
        QVERIFY(crashed);
        QCOMPARE(crashed->signal(), 11);
        QCOMPARE(lines, QStringList(u"partial"_s));
    }

    void timeOutIsAnErrorNotASignalStatus() {
        QElapsedTimer elapsed;
        elapsed.start();
        const auto error =
            failureOf<GAMError>(GAM::capture(script(u"exec sleep 30\n"_s), {}, 0.3, GAM::ProfileChoice::none()));
        QVERIFY(error);
        QCOMPARE(error->kind(), GAMError::Kind::timedOut);
        QCOMPARE(error->description(), u"The command timed out."_s);
        QVERIFY(elapsed.elapsed() < 10000);
    }

    void timeOutWinsOverCancellationAndAStubbornChildIsAwaited() {
        // The child ignores SIGTERM, so both the time-out and the cancel only ask.
        const QString child = script(u"trap '' TERM\ntouch \""_s + path(u"ready"_s) + u"\"\nsleep 1.5\n"_s);
        CancelToken token;
        cancelWhenReady(path(u"ready"_s), token, this);
        QElapsedTimer elapsed;
        elapsed.start();
        const auto error = failureOf<GAMError>(GAM::capture(child, {}, 0.3, GAM::ProfileChoice::none(), token));
        QVERIFY(error);
        QCOMPARE(error->kind(), GAMError::Kind::timedOut);
        QVERIFY(elapsed.elapsed() >= 1400);
    }

    void cancelBeforeLaunchNeverStartsTheChild() {
        const QString child = script(u"touch '"_s + path(u"started"_s) + u"'\n"_s);
        CancelToken token;
        token.cancel();
        QVERIFY(failureOf<Cancelled>(GAM::capture(child, {}, 30, GAM::ProfileChoice::none(), token)));
        QVERIFY(failureOf<Cancelled>(GAM::stream(
            child, {}, [](const QString &) {}, token)));
        QTest::qWait(200);
        QVERIFY(!QFile::exists(path(u"started"_s)));
    }

    void cancelDuringCaptureSendsSIGTERM() {
        const QString child = script(u"trap 'echo term > \""_s + path(u"marker"_s) + u"\"; exit 0' TERM\ntouch \""_s +
                                     path(u"ready"_s) + u"\"\nwhile :; do sleep 0.05; done\n"_s);
        CancelToken token;
        cancelWhenReady(path(u"ready"_s), token, this);
        QVERIFY(failureOf<Cancelled>(GAM::capture(child, {}, 30, GAM::ProfileChoice::none(), token)));
        QCOMPARE(readFile(path(u"marker"_s)), QByteArray("term\n"));
    }

    void cancelDuringStreamKeepsTheLinesSoFar() {
        const QString child = script(u"trap 'echo bye; exit 0' TERM\necho hello\ntouch \""_s + path(u"ready"_s) +
                                     u"\"\nwhile :; do sleep 0.05; done\n"_s);
        CancelToken token;
        cancelWhenReady(path(u"ready"_s), token, this);
        QStringList lines;
        QVERIFY(failureOf<Cancelled>(GAM::stream(
            child, {}, [&lines](const QString &line) { lines.append(line); }, token)));
        // The shell may also report its sleep as "Terminated": the whole group got SIGTERM.
        QVERIFY2(lines.size() >= 2, qPrintable(lines.join(u'|')));
        QCOMPARE(lines.first(), u"hello"_s);
        QCOMPARE(lines.last(), u"bye"_s);
    }

    void launchFailuresPassThrough() {
        QVERIFY(failureOf<LaunchError>(GAM::capture(path(u"missing"_s), {}, 30, GAM::ProfileChoice::none())));
        QFile plain(path(u"plain"_s));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(failureOf<LaunchError>(GAM::stream(path(u"plain"_s), {}, [](const QString &) {})));
        // exec itself fails in the child here, after the fork.
        QFile broken(path(u"broken"_s));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("#!/nonexistent/interpreter\n");
        broken.close();
        broken.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QVERIFY(failureOf<LaunchError>(GAM::capture(path(u"broken"_s), {}, 30, GAM::ProfileChoice::none())));
    }

    void environmentPathStartsWithTheGAMFolder() {
        qputenv("PATH", "/inherited/bin:/usr/bin:/bin");
        const QStringList seen = childEnvironment(GAM::ProfileChoice::none());
        QCOMPARE(seen.at(0), m_dir->path() + u":/usr/local/bin:/opt/homebrew/bin:/inherited/bin:/usr/bin:/bin"_s);
    }

    void environmentSectionSetOrRemoved_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("seen");
        QTest::newRow("default") << u"default"_s << u"unset"_s;
        QTest::newRow("Default with spaces") << u"  Default "_s << u"unset"_s;
        QTest::newRow("empty") << u""_s << u"unset"_s;
        QTest::newRow("named") << u" school2 "_s << u"school2"_s;
    }
    void environmentSectionSetOrRemoved() {
        QFETCH(QString, section);
        QFETCH(QString, seen);
        qputenv("GAMCFGSECTION", "inherited");
        DomainProfile profile;
        profile.section = section;
        QCOMPARE(childEnvironment(GAM::ProfileChoice::specific(profile)).at(2), seen);
    }

    void environmentConfigDir() {
        qputenv("GAMCFGDIR", "/inherited/cfg");
        qputenv("GAMCFGSECTION", "inherited");
        DomainProfile profile;
        QCOMPARE(childEnvironment(GAM::ProfileChoice::specific(profile)).at(1), u"/inherited/cfg"_s);
        profile.configDir = u"~/gam/district"_s;
        QCOMPARE(childEnvironment(GAM::ProfileChoice::specific(profile)).at(1), m_dir->path() + u"/gam/district"_s);
        // Without a profile only PATH changes.
        const QStringList plain = childEnvironment(GAM::ProfileChoice::none());
        QCOMPARE(plain.at(1), u"/inherited/cfg"_s);
        QCOMPARE(plain.at(2), u"inherited"_s);
    }

    void activeProfileIsReadAtLaunch() {
        ProfileStore store;
        DomainProfile profile = store.add(u"District B"_s);
        profile.configDir = u"/cfg/b"_s;
        profile.section = u"b"_s;
        store.update(profile);
        QCOMPARE(childEnvironment(GAM::ProfileChoice::active()).at(2), u"unset"_s);
        QVERIFY(!GAM::activeConfigDir());
        store.activate(profile.id);
        const QStringList seen = childEnvironment(GAM::ProfileChoice::active());
        QCOMPARE(seen.at(1), u"/cfg/b"_s);
        QCOMPARE(seen.at(2), u"b"_s);
        profile.configDir = u"~/cfg"_s;
        store.update(profile);
        QCOMPARE(GAM::activeConfigDir().value_or(QString()), m_dir->path() + u"/cfg"_s);
    }

    void gamPathNamingANonExecutableFileIsNotFound() {
        gamAt(path(u"bin/gam7"_s)); // autodetection would find this one
        QFile plain(path(u"plain-gam"_s));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QSettings().setValue(u"gamPath"_s, path(u"plain-gam"_s));
        QVERIFY(!GAM::locateGAM());
        const auto error = failureOf<GAMError>(GAM::runGAM({u"version"_s}, 30, GAM::ProfileChoice::none()));
        QVERIFY(error);
        QCOMPARE(error->kind(), GAMError::Kind::notFound);
        QCOMPARE(error->description(), u"'gam' not found. Install GAM or set its location in Settings (Ctrl+,)."_s);
        QVERIFY(failureOf<GAMError>(GAM::streamGAM({u"version"_s}, [](const QString &) {})));
    }

    void gamPathNamingAnExecutableIsUsed() {
        const QString chosen = gamAt(path(u"elsewhere"_s));
        gamAt(path(u"bin/gam7"_s));
        QSettings().setValue(u"gamPath"_s, chosen);
        QCOMPARE(GAM::locateGAM().value_or(QString()), chosen);
    }

    void autodetectionPrefersGAM7UnderHome() {
        gamAt(path(u"bin/gam"_s));
        const QString gam7 = gamAt(path(u"bin/gam7"_s));
        QCOMPARE(GAM::locateGAM().value_or(QString()), gam7);
    }

    void autodetectionSkipsEmptyPathComponents() {
        const QStringList candidates = GAM::gamCandidates(u"/h"_s, u":/usr/bin::/opt/x"_s);
        QCOMPARE(candidates, (QStringList{u"/h/bin/gam7/gam"_s, u"/h/bin/gam/gam"_s, u"/usr/local/bin/gam"_s,
                                          u"/opt/homebrew/bin/gam"_s, u"/h/bin/gamadv-xtd3/gam"_s, u"/usr/bin/gam"_s,
                                          u"/opt/x/gam"_s}));
    }

    void autodetectionSearchesPath() {
        if (QFile::exists(u"/usr/local/bin/gam"_s) || QFile::exists(u"/opt/homebrew/bin/gam"_s))
            QSKIP("a system-wide gam is installed");
        QVERIFY(!GAM::autodetectGAM() || !GAM::autodetectGAM()->startsWith(m_dir->path()));
        const QString gam = gamAt(path(u"b"_s));
        qputenv("PATH", (u":"_s + path(u"a"_s) + u"::"_s + path(u"b"_s)).toUtf8());
        QCOMPARE(GAM::autodetectGAM().value_or(QString()), gam);
        // runGAM runs the located gam with its folder first on PATH.
        writeScript(path(u"b"_s), u"gam"_s, u"printf '%s|%s' \"$1\" \"${PATH%%:*}\"\n"_s);
        QCOMPARE(awaitTask(GAM::runGAM({u"version"_s}, 30, GAM::ProfileChoice::none())).stdOut,
                 u"version|"_s + path(u"b"_s));
    }

    void shellProbeOutput_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("folder");
        QTest::newRow("noise around") << u"noise __TARNWICK_CFG_START__ ~/cfg __TARNWICK_CFG_END__ more"_s
                                      << u"HOME/cfg"_s;
        QTest::newRow("line breaks") << u"__TARNWICK_CFG_START__\n/srv/gam\r\n__TARNWICK_CFG_END__"_s << u"/srv/gam"_s;
        QTest::newRow("spaces only") << u"__TARNWICK_CFG_START__   __TARNWICK_CFG_END__"_s << QString();
        QTest::newRow("end before start") << u"__TARNWICK_CFG_END__ x __TARNWICK_CFG_START__ /a"_s << QString();
        QTest::newRow("no start") << u"/a __TARNWICK_CFG_END__"_s << QString();
        QTest::newRow("first pair wins")
            << u"__TARNWICK_CFG_START__/a__TARNWICK_CFG_END____TARNWICK_CFG_START__/b__TARNWICK_CFG_END__"_s << u"/a"_s;
    }
    void shellProbeOutput() {
        QFETCH(QString, output);
        QFETCH(QString, folder);
        folder.replace(u"HOME"_s, m_dir->path());
        QCOMPARE(GAM::parseShellProbeOutput(output).value_or(QString()), folder);
    }

    void shellProbeRunsTheLoginShell() {
        qputenv("SHELL", "/bin/sh");
        qputenv("GAMCFGDIR", "~/from-shell");
        QCOMPARE(awaitTask(GAM::detectShellConfigDir()).value_or(QString()), m_dir->path() + u"/from-shell"_s);
        qunsetenv("GAMCFGDIR");
        QVERIFY(!awaitTask(GAM::detectShellConfigDir()));
        qunsetenv("SHELL");
    }
};

QTEST_GUILESS_MAIN(TestGAMRunner)
#include "tst_gam_runner.moc"
