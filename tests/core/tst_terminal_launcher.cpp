#include "core/TerminalLauncher.h"

#include <QHash>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestTerminalLauncher : public QObject {
    Q_OBJECT

private:
    static std::optional<TerminalCommand> pick(const QString &terminalVariable, const QStringList &installed) {
        return terminalCommand(
            u"/tmp/setup.sh"_s, [&](const QString &name) { return name == u"TERMINAL" ? terminalVariable : QString(); },
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
        QCOMPARE(command->arguments, (QStringList{u"-e"_s, u"/tmp/setup.sh"_s}));

        const auto known = pick(u"/opt/bin/gnome-terminal"_s, {u"/opt/bin/gnome-terminal"_s});
        QVERIFY(known);
        QCOMPARE(known->arguments, (QStringList{u"--"_s, u"/tmp/setup.sh"_s}));
    }

    void fallsBackInOrderWithEachTerminalsFlag_data() {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("flag");
        QTest::newRow("missing $TERMINAL skipped") << QStringList{u"xterm"_s} << u"xterm"_s << u"-e"_s;
        QTest::newRow("debian alternative first")
            << QStringList{u"xterm"_s, u"x-terminal-emulator"_s} << u"x-terminal-emulator"_s << u"-e"_s;
        QTest::newRow("gnome") << QStringList{u"konsole"_s, u"gnome-terminal"_s} << u"gnome-terminal"_s << u"--"_s;
        QTest::newRow("konsole") << QStringList{u"xterm"_s, u"konsole"_s} << u"konsole"_s << u"-e"_s;
        QTest::newRow("xfce") << QStringList{u"xterm"_s, u"xfce4-terminal"_s} << u"xfce4-terminal"_s << u"-x"_s;
    }
    void fallsBackInOrderWithEachTerminalsFlag() {
        QFETCH(QStringList, installed);
        QFETCH(QString, program);
        QFETCH(QString, flag);
        const auto command = pick(u"not-installed"_s, installed);
        QVERIFY(command);
        QCOMPARE(command->program, u"/usr/bin/"_s + program);
        QCOMPARE(command->arguments, (QStringList{flag, u"/tmp/setup.sh"_s}));
    }

    void noTerminalGivesNothing() { QVERIFY(!pick(QString(), {})); }
};

QTEST_GUILESS_MAIN(TestTerminalLauncher)
#include "tst_terminal_launcher.moc"
