#include "core/CommandLine.h"

#include <QProcess>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tokenizes_data();
    void tokenizes();
    void rejectsUnbalancedQuotes_data();
    void rejectsUnbalancedQuotes();
    void unbalancedQuoteDescription();
    void quotesForTheShell_data();
    void quotesForTheShell();
    void displaysCommands();
    void quotedArgumentsReadBack();
};

void TestCommandLine::tokenizes_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("tokens");

    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("white space only") << u" \t \n "_s << QStringList();
    QTest::newRow("words") << u"gam print users"_s << QStringList{u"gam"_s, u"print"_s, u"users"_s};
    QTest::newRow("tabs and runs of spaces")
        << u"\tgam  \t print   users "_s << QStringList{u"gam"_s, u"print"_s, u"users"_s};
    QTest::newRow("quoted then bare") << u"'a b'c"_s << QStringList{u"a bc"_s};
    QTest::newRow("adjacent stretches") << u"a\"b c\"d"_s << QStringList{u"ab cd"_s};
    QTest::newRow("two quoted words") << u"\"x\" \"y\""_s << QStringList{u"x"_s, u"y"_s};
    QTest::newRow("empty single quotes") << u"''"_s << QStringList{QString()};
    QTest::newRow("empty double quotes") << u"\"\""_s << QStringList{QString()};
    QTest::newRow("word and empty token") << u"a ''"_s << QStringList{u"a"_s, QString()};
    QTest::newRow("double-quote escapes") << u"\"\\\" \\\\ \\$ \\`\""_s << QStringList{u"\" \\ $ `"_s};
    QTest::newRow("other escape in double quotes keeps backslash") << u"\"a\\nb\""_s << QStringList{u"a\\nb"_s};
    QTest::newRow("backslash literal in single quotes") << u"'a\\b'"_s << QStringList{u"a\\b"_s};
    QTest::newRow("single quote inside double quotes") << u"\"it's\""_s << QStringList{u"it's"_s};
    QTest::newRow("line break inside quotes kept") << u"'a\nb'"_s << QStringList{u"a\nb"_s};
    QTest::newRow("escaped space") << u"a\\ b"_s << QStringList{u"a b"_s};
    QTest::newRow("escaped quote") << u"\\\""_s << QStringList{u"\""_s};
    QTest::newRow("lone backslash") << u"\\"_s << QStringList{QString()};
    QTest::newRow("trailing backslash") << u"abc\\"_s << QStringList{u"abc"_s};
    QTest::newRow("no expansion") << u"$HOME *.csv `id` a>b"_s
                                  << QStringList{u"$HOME"_s, u"*.csv"_s, u"`id`"_s, u"a>b"_s};

    // White space is exactly the Unicode White_Space set.
    QTest::newRow("ideographic space") << u"a\u3000b"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("no-break space") << u"a\u00A0b"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("narrow no-break space") << u"a\u202Fb"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("next line and separators")
        << u"a\u0085b\u2028c\u2029d\u1680e\u205Ff"_s << QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s};
    QTest::newRow("en quad to hair space") << u"a\u2000b\u200Ac"_s << QStringList{u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("vertical tab and form feed") << u"a\vb\fc"_s << QStringList{u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("CR LF separates once") << u"a\r\nb"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("zero width space is not white space") << u"a\u200Bb"_s << QStringList{u"a\u200Bb"_s};
    QTest::newRow("escaped ideographic space") << u"a\\\u3000b"_s << QStringList{u"a\u3000b"_s};

    // A special character carrying a combining mark is an ordinary character.
    QTest::newRow("quote with combining mark") << u"a\"\u0301b"_s << QStringList{u"a\"\u0301b"_s};
    QTest::newRow("lone quote with combining mark") << u"'\u0301"_s << QStringList{u"'\u0301"_s};
    QTest::newRow("closing quote with combining mark stays inside")
        << u"'x'\u0301 y'"_s << QStringList{u"x'\u0301 y"_s};
    QTest::newRow("backslash with combining mark") << u"a\\\u0301 b"_s << QStringList{u"a\\\u0301"_s, u"b"_s};
    QTest::newRow("space with combining mark joins") << u"a \u0301b"_s << QStringList{u"a \u0301b"_s};
    QTest::newRow("escape takes a whole cluster") << u"\\e\u0301x"_s << QStringList{u"e\u0301x"_s};
    QTest::newRow("non-Latin words") << u"Ελληνικά  日本語"_s << QStringList{u"Ελληνικά"_s, u"日本語"_s};
}

void TestCommandLine::tokenizes() {
    QFETCH(QString, line);
    QFETCH(QStringList, tokens);
    QCOMPARE(tokenize(line), tokens);
}

void TestCommandLine::rejectsUnbalancedQuotes_data() {
    QTest::addColumn<QString>("line");
    QTest::newRow("open double quote") << u"\"abc"_s;
    QTest::newRow("lone single quote") << u"'"_s;
    QTest::newRow("quote at the end") << u"abc \""_s;
    QTest::newRow("backslash ends double quotes") << u"\"abc\\"_s;
    QTest::newRow("escaped closing quote") << u"\"abc\\\""_s;
    QTest::newRow("single quote cannot be escaped inside") << u"'it\\'s'"_s;
}

void TestCommandLine::rejectsUnbalancedQuotes() {
    QFETCH(QString, line);
    QVERIFY_THROWS_EXCEPTION(UnbalancedQuote, tokenize(line));
}

void TestCommandLine::unbalancedQuoteDescription() {
    try {
        tokenize(u"'open"_s);
        QFAIL("no error raised");
    } catch (const Error &error) {
        QCOMPARE(error.description(), u"No closing quotation."_s);
    }
}

void TestCommandLine::quotesForTheShell_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("quoted");

    QTest::newRow("path") << u"/Users/x/file_1.csv"_s << u"/Users/x/file_1.csv"_s;
    QTest::newRow("query") << u"query:is:unread"_s << u"query:is:unread"_s;
    QTest::newRow("all safe punctuation") << u"a@b%c+d=e:f,g.h/i-j_k"_s << u"a@b%c+d=e:f,g.h/i-j_k"_s;
    QTest::newRow("Cyrillic") << u"Привет"_s << u"Привет"_s;
    QTest::newRow("Devanagari with marks") << u"हिन्दी"_s << u"हिन्दी"_s;
    QTest::newRow("Arabic-Indic digits") << u"١٢٣"_s << u"١٢٣"_s;
    QTest::newRow("letter outside the BMP") << u"𝐀𐐷"_s << u"𝐀𐐷"_s;
    QTest::newRow("space") << u"older_than 30d"_s << u"'older_than 30d'"_s;
    QTest::newRow("apostrophe") << u"it's"_s << u"'it'\\''s'"_s;
    QTest::newRow("empty") << QString() << u"''"_s;
    QTest::newRow("no-break space") << u"a\u00A0b"_s << u"'a\u00A0b'"_s;
    QTest::newRow("shell metacharacters") << u"$(rm -rf ~)"_s << u"'$(rm -rf ~)'"_s;
    QTest::newRow("glob") << u"*.csv"_s << u"'*.csv'"_s;
    QTest::newRow("emoji") << u"😀"_s << u"'😀'"_s;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << u"'"_s + QChar(0xD800) + u"'"_s;
    QTest::newRow("apostrophe with combining mark") << u"'\u0301"_s << u"''\"'\u0301\"''"_s;
    QTest::newRow("leading mark") << u"\u0301 x"_s << u"\u0301' x'"_s;
    QTest::newRow("trailing prepended mark") << u"a\u0600"_s << u"'a'\u0600"_s;
}

void TestCommandLine::quotesForTheShell() {
    QFETCH(QString, argument);
    QFETCH(QString, quoted);
    QCOMPARE(shellQuote(argument), quoted);
}

void TestCommandLine::displaysCommands() {
    QCOMPARE(displayCommand({}), u"gam"_s);
    QCOMPARE(displayCommand({u"print"_s, u"users"_s}), u"gam print users"_s);
    QCOMPARE(displayCommand({u"print"_s, u"users"_s, u"query"_s, u"orgUnitPath='/Students'"_s}),
             u"gam print users query 'orgUnitPath='\\''/Students'\\'''"_s);

    // What is displayed reads back as the same arguments.
    const QStringList arguments{u"user"_s, u"a@b.org"_s,    u"query"_s, u"name contains 'x \"y\"'"_s,
                                QString(), u"back\\slash"_s};
    QCOMPARE(tokenize(displayCommand(arguments)).mid(1), arguments);

    // A space would join an argument's leading mark or trailing prepended mark.
    QCOMPARE(displayCommand({u"\u0301"_s, u"a\u0600"_s, u"x"_s}), u"gam\t\u0301 'a'\u0600\tx"_s);
}

namespace {

// Arguments whose marks cling to the quotes and spaces around them.
const QList<QStringList> awkwardArguments = {
    {u"'\u0301"_s},
    {u"\u0301"_s, u"\u0301'"_s, u"\u0301 '\u0301"_s},
    {u"a\u0600"_s, u"\u0600"_s, u"\u0600'"_s, u"x\u0600\u0600"_s},
    {u"\u200D"_s, u"\u200D\U0001F600"_s, u"\U0001F600\u200D"_s, u"'\u200D'"_s},
    {u"it's \u0903"_s, u"\u0D4E"_s, u"\u0D4Ea"_s, u"'\u0D4E"_s},
    {u"\r\n"_s, u"\t\u0301"_s, u"\u0600\t"_s, u"\u0301\r"_s},
    {u"''"_s, u"\\'"_s, u"\"\u0301"_s, u"\\\u0301"_s, u" \u0301"_s},
    // Telugu marks split by syllables when alone, joined to a quote after Latin text.
    {u"\u0C00"_s, QString(), u"\u0300"_s, u"\u2200\u0C00"_s},
    {u"'\u0C00"_s, u"\u0C15'\u0C00"_s, u"\u0C00'"_s, u"x'\u0C00"_s},
};

// What /bin/sh makes of a command line: its words, "gam" first.
QStringList shellWords(const QString &line) {
    QProcess shell;
    shell.start(u"/bin/sh"_s, {u"-c"_s, u"printf '%s\\0' "_s + line});
    if (!shell.waitForFinished() || shell.exitCode() != 0)
        return {u"<sh failed>"_s};
    QStringList words = QString::fromUtf8(shell.readAllStandardOutput()).split(QChar(0));
    words.removeLast();
    return words;
}

} // namespace

void TestCommandLine::quotedArgumentsReadBack() {
    for (const QStringList &arguments : awkwardArguments) {
        for (const QString &argument : arguments)
            QCOMPARE(tokenize(shellQuote(argument)), QStringList{argument});
        const QString line = displayCommand(arguments);
        QCOMPARE(tokenize(line), QStringList{u"gam"_s} + arguments);
        QCOMPARE(shellWords(line), QStringList{u"gam"_s} + arguments);
    }
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
