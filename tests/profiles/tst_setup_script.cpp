#include "TestSupport.h"

#include "profiles/SetupScript.h"

#include <QDir>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace {

SetupScriptValues sectionValues() {
    SetupScriptValues values;
    values.cfgDir = u"/home/pat/.gam"_s;
    values.section = u"district-b"_s;
    values.gam = u"/home/pat/bin/gam7/gam"_s;
    values.target = u"/home/pat/.gam/district-b"_s;
    values.admin = u"admin@district-b.example.org"_s;
    values.domain = u"district-b.example.org"_s;
    values.checkUser = u"student@district-b.example.org"_s;
    return values;
}

struct BashRun {
    int exitCode = -1;
    QString output;
};

BashRun runBash(const QStringList &arguments, const QString &workingFolder, const QByteArray &input = {}) {
    QProcess bash;
    bash.setWorkingDirectory(workingFolder);
    bash.setProcessChannelMode(QProcess::MergedChannels);
    bash.start(u"bash"_s, arguments);
    bash.write(input);
    bash.closeWriteChannel();
    if (!bash.waitForFinished(30000))
        return {};
    return {bash.exitCode(), QString::fromUtf8(bash.readAll())};
}

} // namespace

// The script the new-domain wizard opens in a terminal.
class TestSetupScript : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sectionLayout_isTheScriptAsDesigned() {
        QFile expected(QStringLiteral(TESTS_SOURCE_DIR "/profiles/data/setup-script-section.txt"));
        QVERIFY(expected.open(QIODevice::ReadOnly));
        QCOMPARE(setupScript(sectionValues()), QString::fromUtf8(expected.readAll()));
    }

    void folderLayout_unsetsTheSectionAndPrintsNone() {
        SetupScriptValues values = sectionValues();
        values.section.reset();
        values.cfgDir = u"/home/pat/GAMConfig/district b"_s;
        const QString script = setupScript(values);
        QVERIFY(script.contains(u"\nexport GAMCFGDIR='/home/pat/GAMConfig/district b'\nunset GAMCFGSECTION\nGAM="_s));
        QVERIFY(!script.contains(u"Section:"_s));
        QVERIFY(script.contains(u"echo \"  gam.cfg folder: $GAMCFGDIR\"\necho \"  Credentials:    \""_s));
    }

    // Addresses and folders are the user's text: whatever they hold, the
    // script must parse, print them as written and run nothing of them.
    void hostileValues_printAsWrittenAndRunNothing_data() {
        QTest::addColumn<QString>("admin");
        QTest::addColumn<QString>("folder");
        QTest::newRow("command substitution")
            << u"$(touch pwned-admin)@school.example.org"_s << u"/tmp/GAM $(touch pwned-folder)"_s;
        QTest::newRow("quotes and backticks")
            << u"x\"; touch pwned-quote; echo \"@school.example.org"_s << u"/tmp/a\"b`touch pwned-tick`c'd"_s;
        QTest::newRow("variables and globs") << u"$HOME*@school.example.org"_s << u"/tmp/${PATH}/*/ ~"_s;
        QTest::newRow("line break") << u"admin@school.example.org\ntouch pwned-line"_s << u"/tmp/x\n;touch pwned"_s;
    }

    void hostileValues_printAsWrittenAndRunNothing() {
        QFETCH(QString, admin);
        QFETCH(QString, folder);
        SetupScriptValues values;
        values.cfgDir = folder;
        values.section = u"s$(touch pwned-section)"_s;
        values.gam = folder + u"/gam"_s;
        values.target = folder + u"/creds"_s;
        values.admin = admin;
        values.domain = u"d`touch pwned-domain`"_s;
        values.checkUser = admin;
        const QString script = setupScript(values);

        QTemporaryDir sandbox;
        const QString scriptPath = sandbox.filePath(u"setup.command"_s);
        QFile file(scriptPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script.toUtf8());
        file.close();
        const BashRun syntax = runBash({u"-n"_s, scriptPath}, sandbox.path());
        QVERIFY2(syntax.exitCode == 0, qPrintable(syntax.output));

        // The settings, the echo lines and every step's arguments, with a run_step
        // that only prints what it would run.
        QStringList safeLines{u"run_step() { printf '[%s]\\n' \"$@\"; }"_s};
        const QStringList lines = script.split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString &line = lines.at(i);
            if (line.startsWith(u"export "_s) || line.startsWith(u"unset "_s) || line.startsWith(u"GAM="_s) ||
                line.startsWith(u"echo"_s) || line.startsWith(u"run_step \""_s)) {
                QString statement = line;
                // A quoted value may span lines; take lines until bash accepts the statement.
                while (runBash({u"-n"_s, u"-c"_s, statement}, sandbox.path()).exitCode != 0 && i + 1 < lines.size())
                    statement += u'\n' + lines.at(++i);
                safeLines.append(statement);
            }
        }
        const QString workFolder = sandbox.filePath(u"work"_s);
        QVERIFY(QDir().mkpath(workFolder));
        const BashRun run = runBash({u"-c"_s, safeLines.join(u'\n')}, workFolder);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(QDir(workFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());

        const QString output = run.output;
        QVERIFY2(output.contains(u"  gam.cfg folder: "_s + folder + u'\n'), qPrintable(output));
        QVERIFY(output.contains(u"  Section:       s$(touch pwned-section)\n"_s));
        QVERIFY(output.contains(u"  Credentials:    "_s + folder + u"/creds\n"_s));
        QVERIFY(output.contains(u"  Admin:          "_s + admin + u'\n'));
        QVERIFY(output.contains(u"[Step 2 of 4: Authorize GAM as "_s + admin + u"]\n[no]\n["_s + values.gam +
                                u"]\n[oauth]\n[create]\n["_s + admin + u"]\n"_s));
        QVERIFY(output.contains(u"["_s + values.gam + u"]\n[user]\n["_s + admin + u"]\n[check]\n[serviceaccount]\n"_s));
    }
};

QTEST_GUILESS_MAIN(TestSetupScript)
#include "tst_setup_script.moc"
