#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

QList<QJsonObject> gamRuns(const QString &log) {
    QList<QJsonObject> runs;
    for (const QByteArray &line : contents(log).split('\n'))
        if (!line.trimmed().isEmpty())
            runs.append(QJsonDocument::fromJson(line).object());
    return runs;
}

bool ranVersion(const QString &log) {
    const QList<QJsonObject> runs = gamRuns(log);
    return std::any_of(runs.begin(), runs.end(),
                       [](const QJsonObject &run) { return run[u"argv"_s].toArray() == QJsonArray{u"version"_s}; });
}

} // namespace

// The tarnwick executable as a user starts it: information options without a window, and a
// practice window that never touches the user's own settings, gam configuration or gam.
class TestLaunch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void versionAndHelp_answerWithoutADisplay();
    void practice_leavesTheUsersSettingsAndGamAlone();

private:
    QProcessEnvironment headless() const;
};

QProcessEnvironment TestLaunch::headless() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
        environment.remove(name);
    return environment;
}

void TestLaunch::versionAndHelp_answerWithoutADisplay() {
    QProcess tarnwick;
    tarnwick.setProcessEnvironment(headless());
    tarnwick.start(QStringLiteral(TARNWICK_PATH), {u"--version"_s});
    QVERIFY(tarnwick.waitForFinished(30000));
    QCOMPARE(tarnwick.exitCode(), 0);
    QVERIFY(tarnwick.readAllStandardOutput().startsWith("Tarnwick "));

    tarnwick.start(QStringLiteral(TARNWICK_PATH), {u"--help"_s});
    QVERIFY(tarnwick.waitForFinished(30000));
    QCOMPARE(tarnwick.exitCode(), 0);
    const QByteArray help = tarnwick.readAllStandardOutput();
    QVERIFY(help.contains("--practice"));
    QVERIFY(help.contains("--version"));
}

void TestLaunch::practice_leavesTheUsersSettingsAndGamAlone() {
    QTemporaryDir home;
    // The user's own world: settings naming their district and their gam, a ~/.gam, the shell's GAMCFGDIR.
    const QString settings = home.filePath(u".config/Tarnwick/Tarnwick.conf"_s);
    const QString realGamRan = home.filePath(u"real-gam-ran"_s);
    const QString realGam = writeScript(home.path(), u"gam"_s, u"touch '"_s + realGamRan + u"'\n"_s);
    write(settings, "[General]\ngamPath=" + realGam.toUtf8() + "\nactiveDomainProfileID=\n");
    const QString gamConfig = home.filePath(u".gam/gam.cfg"_s);
    write(gamConfig, "[DEFAULT]\ndomain = lincoln-usd.example.org\n");
    const QDateTime settingsTime = QFileInfo(settings).lastModified();
    const QByteArray settingsBefore = contents(settings);

    QProcessEnvironment environment = headless();
    environment.insert(u"HOME"_s, home.path());
    environment.insert(u"XDG_CONFIG_HOME"_s, home.filePath(u".config"_s));
    environment.insert(u"XDG_CACHE_HOME"_s, home.filePath(u".cache"_s));
    environment.insert(u"XDG_DATA_HOME"_s, home.filePath(u".local/share"_s));
    environment.insert(u"GAMCFGDIR"_s, home.filePath(u".gam"_s));
    environment.insert(u"GAMCFGSECTION"_s, u"lincoln"_s);
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path=/nonexistent/tarnwick-test-bus"_s);
    const QString log = home.filePath(u"gam-runs.jsonl"_s);
    environment.insert(u"PRACTICE_GAM_LOG"_s, log);

    const QString practiceFolders = home.filePath(u".cache/tarnwick"_s);
    QString firstFolder;
    for (int start = 1; start <= 2; ++start) {
        QFile::remove(log);
        QProcess tarnwick;
        tarnwick.setProcessEnvironment(environment);
        tarnwick.start(QStringLiteral(TARNWICK_PATH), {u"--practice"_s});
        // The start-up check runs "gam version" once the window is up.
        QTRY_VERIFY_WITH_TIMEOUT(ranVersion(log) || tarnwick.state() == QProcess::NotRunning, 120000);
        QVERIFY2(ranVersion(log), tarnwick.readAllStandardError().constData());
        const QStringList folders = QDir(practiceFolders).entryList({u"practice-*"_s}, QDir::Dirs);
        QCOMPARE(folders.size(), 1); // the folder the first (killed) window left behind is gone
        const QString folder = practiceFolders + u'/' + folders.constFirst();
        QVERIFY(folder != firstFolder);
        firstFolder = folder;

        for (const QJsonObject &run : gamRuns(log)) {
            const QString argv = run[u"argv"_s].toVariant().toStringList().join(u' ');
            QVERIFY2(run[u"GAMCFGDIR"_s].toString().startsWith(folder + u'/'), qPrintable(argv));
            QVERIFY2(run[u"GAMCFGSECTION"_s].isNull(), qPrintable(argv));
        }
        QVERIFY(contents(folder + u"/config/Tarnwick/Tarnwick.conf"_s).contains("District A"));
        tarnwick.kill();
        tarnwick.waitForFinished(30000);
    }

    QCOMPARE(contents(settings), settingsBefore);
    QCOMPARE(QFileInfo(settings).lastModified(), settingsTime);
    QCOMPARE(contents(gamConfig), QByteArray("[DEFAULT]\ndomain = lincoln-usd.example.org\n"));
    QVERIFY(!QFile::exists(realGamRan));
}

QTEST_GUILESS_MAIN(TestLaunch)
#include "tst_launch.moc"
