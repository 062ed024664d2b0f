#include "core/CommandLine.h"
#include "core/TerminalLauncher.h"

#include <QHash>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A folder a terminal reading its command as a shell line would split or unquote.
const QString awkwardFolder = u"/tmp/Jane O'Neil/\"scripts\" dir"_s;

} // namespace

class TestTerminalLauncher : public QObject {
    Q_OBJECT

private:
    static std::optional<TerminalCommand> pick(const QString &terminalVariable, const QStringList &installed,
                                               const QString &script = u"/tmp/setup.sh"_s) {
        return terminalCommand(
            script, [&](const QString &name) { return name == u"TERMINAL" ? terminalVariable : QString(); },
            [&](const QString &program) {
                return installed.contains(program) ? (program.startsWith(u'/') ? program : u"/usr/bin/"_s + program)
                                                   : QString();
            });
    }

private Q_SLOTS:
    void prefersTheTerminalVariable() {
        const auto command = pick(u"kitty"_s, {u"kitty"_s, u"xterm"_s});
        QVERIFY(command);
        QCOMPARE(command->program, u"/usr/bin/kitty"_s);
        QCOMPARE(command->arguments, (QStringList{u"-e"_s, u"./setup.sh"_s}));
        QCOMPARE(command->workingDirectory, u"/tmp"_s);

        const auto known = pick(u"/opt/bin/gnome-terminal"_s, {u"/opt/bin/gnome-terminal"_s});
        QVERIFY(known);
        QCOMPARE(known->arguments, (QStringList{u"--working-directory=/tmp"_s, u"--"_s, u"./setup.sh"_s}));
    }

    void fallsBackInOrderWithEachTerminalsFlags_data() {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("flags");
        QTest::newRow("missing $TERMINAL skipped") << QStringList{u"xterm"_s} << u"xterm"_s << QStringList{u"-e"_s};
        QTest::newRow("debian alternative first")
            << QStringList{u"xterm"_s, u"x-terminal-emulator"_s} << u"x-terminal-emulator"_s << QStringList{u"-e"_s};
        QTest::newRow("gnome") << QStringList{u"konsole"_s, u"gnome-terminal"_s} << u"gnome-terminal"_s
                               << QStringList{u"--working-directory=/tmp"_s, u"--"_s};
        QTest::newRow("konsole") << QStringList{u"xterm"_s, u"konsole"_s} << u"konsole"_s
                                 << QStringList{u"--workdir"_s, u"/tmp"_s, u"-e"_s};
        QTest::newRow("xfce") << QStringList{u"xterm"_s, u"xfce4-terminal"_s} << u"xfce4-terminal"_s
                              << QStringList{u"--working-directory=/tmp"_s, u"-x"_s};
    }
    void fallsBackInOrderWithEachTerminalsFlags() {
        QFETCH(QStringList, installed);
        QFETCH(QString, program);
        QFETCH(QStringList, flags);
        const auto command = pick(u"not-installed"_s, installed);
        QVERIFY(command);
        QCOMPARE(command->program, u"/usr/bin/"_s + program);
        QCOMPARE(command->arguments, flags << u"./setup.sh"_s);
    }

    // Some terminals (and x-terminal-emulator wrappers) read what follows their flag as
    // one shell line: it must split back into exactly the script, wherever the script is.
    void aFolderWithSpacesAndQuotesNeverReachesTheCommandLine_data() {
        QTest::addColumn<QString>("terminal");
        for (const QString &terminal : {u"x-terminal-emulator"_s, u"gnome-terminal"_s, u"konsole"_s,
                                        u"xfce4-terminal"_s, u"xterm"_s, u"terminator"_s})
            QTest::newRow(terminal.toUtf8().constData()) << terminal;
    }
    void aFolderWithSpacesAndQuotesNeverReachesTheCommandLine() {
        QFETCH(QString, terminal);
        const auto command = pick(terminal, {terminal}, awkwardFolder + u"/Install-GAM7.command"_s);
        QVERIFY(command);
        QCOMPARE(command->workingDirectory, awkwardFolder);
        const QString script = command->arguments.constLast();
        QCOMPARE(script, u"./Install-GAM7.command"_s);
        QCOMPARE(tokenize(script), QStringList(script));
        // Where the folder is passed, it is an option's value of its own, never part of the command.
        for (const QString &argument : command->arguments.mid(0, command->arguments.size() - 1))
            QVERIFY(!argument.contains(awkwardFolder) || argument.endsWith(awkwardFolder));
    }

    void noTerminalGivesNothing() { QVERIFY(!pick(QString(), {})); }
};

QTEST_GUILESS_MAIN(TestTerminalLauncher)
#include "tst_terminal_launcher.moc"
