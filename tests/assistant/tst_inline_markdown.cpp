#include "assistant/InlineMarkdown.h"

#include <QtTest>

using namespace Qt::StringLiterals;

using Runs = QList<InlineRun>;

namespace {

InlineRun plain(const QString &text) {
    return InlineRun{text};
}

InlineRun bold(const QString &text) {
    InlineRun run{text};
    run.bold = true;
    return run;
}

InlineRun italic(const QString &text) {
    InlineRun run{text};
    run.italic = true;
    return run;
}

InlineRun code(const QString &text) {
    InlineRun run{text};
    run.code = true;
    return run;
}

InlineRun link(const QString &text, const QString &address) {
    InlineRun run{text};
    run.link = address;
    return run;
}

InlineRun struck(const QString &text) {
    InlineRun run{text};
    run.strikethrough = true;
    return run;
}

QString describe(const Runs &runs) {
    QStringList parts;
    for (const InlineRun &run : runs) {
        QString flags;
        flags += run.bold ? u"B"_s : QString();
        flags += run.italic ? u"I"_s : QString();
        flags += run.strikethrough ? u"S"_s : QString();
        flags += run.code ? u"C"_s : QString();
        parts.append(u"["_s + flags + (run.link.isEmpty() ? QString() : u" ->"_s + run.link) + u"]"_s + run.text);
    }
    return parts.join(u" "_s);
}

} // namespace

// Inline Markdown of one line of a reply: what is formatted, and that what
// does not pair up is shown exactly as written.
class TestInlineMarkdown : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void formatting_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Runs>("expected");

        QTest::newRow("plain") << u"List users with print."_s << Runs{plain(u"List users with print."_s)};
        QTest::newRow("code span keeps its text as is")
            << u"Run `gam print users query \"orgUnitPath='/A *b*'\"` now"_s
            << Runs{plain(u"Run "_s), code(u"gam print users query \"orgUnitPath='/A *b*'\""_s), plain(u" now"_s)};
        QTest::newRow("double backticks around a backtick") << u"`` a`b ``"_s << Runs{code(u"a`b"_s)};
        QTest::newRow("bold and italic") << u"**Warning:** this is *destructive*."_s
                                         << Runs{bold(u"Warning:"_s), plain(u" this is "_s), italic(u"destructive"_s),
                                                 plain(u"."_s)};
        QTest::newRow("underscore emphasis")
            << u"_note_ and __strong__"_s << Runs{italic(u"note"_s), plain(u" and "_s), bold(u"strong"_s)};
        QTest::newRow("snake_case stays")
            << u"use auto_batch_min and ou_and_children"_s << Runs{plain(u"use auto_batch_min and ou_and_children"_s)};
        QTest::newRow("nested") << u"*a **b** c*"_s
                                << Runs{italic(u"a "_s), InlineRun{u"b"_s, true, true}, italic(u" c"_s)};
        QTest::newRow("strikethrough") << u"~~old~~ new, ~one~"_s << Runs{struck(u"old"_s), plain(u" new, ~one~"_s)};
        QTest::newRow("link") << u"See [the wiki](https://github.com/GAM-team/GAM/wiki \"GAM\")."_s
                              << Runs{plain(u"See "_s), link(u"the wiki"_s, u"https://github.com/GAM-team/GAM/wiki"_s),
                                      plain(u"."_s)};
        QTest::newRow("bold link text") << u"[**wiki**](https://x.example)"_s
                                        << Runs{
                                               InlineRun{u"wiki"_s, true, false, false, false, u"https://x.example"_s}};
        QTest::newRow("autolink") << u"<https://example.com/a>"_s
                                  << Runs{link(u"https://example.com/a"_s, u"https://example.com/a"_s)};
        QTest::newRow("bare address without the full stop after it")
            << u"Read https://github.com/GAM-team/GAM/wiki."_s
            << Runs{plain(u"Read "_s),
                    link(u"https://github.com/GAM-team/GAM/wiki"_s, u"https://github.com/GAM-team/GAM/wiki"_s),
                    plain(u"."_s)};
        QTest::newRow("bare address in parentheses")
            << u"(see www.example.com)"_s
            << Runs{plain(u"(see "_s), link(u"www.example.com"_s, u"http://www.example.com"_s), plain(u")"_s)};
        QTest::newRow("escapes") << u"\\*not italic\\* and \\`x\\`"_s << Runs{plain(u"*not italic* and `x`"_s)};
        QTest::newRow("block syntax stays")
            << u"# Heading - 1. item > quote"_s << Runs{plain(u"# Heading - 1. item > quote"_s)};
        QTest::newRow("html stays") << u"<b>bold</b> &amp;"_s << Runs{plain(u"<b>bold</b> &amp;"_s)};
        QTest::newRow("white space kept") << u"  a   b\t c  "_s << Runs{plain(u"  a   b\t c  "_s)};
        QTest::newRow("right to left") << u"**שלום** עולם"_s << Runs{bold(u"שלום"_s), plain(u" עולם"_s)};
    }

    void formatting() {
        QFETCH(QString, line);
        QFETCH(Runs, expected);
        const Runs runs = inlineMarkdown(line);
        QVERIFY2(runs == expected, qPrintable(describe(runs) + u"\nexpected: "_s + describe(expected)));
    }

    // Markdown that does not parse is shown as the plain text it is.
    void unpairedMarkupStaysAsWritten_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("unclosed bold") << u"**unclosed bold"_s;
        QTest::newRow("lone backtick") << u"a ` b"_s;
        QTest::newRow("unmatched backtick lengths") << u"``a` b"_s;
        QTest::newRow("broken link") << u"[text](no closing"_s;
        QTest::newRow("link without address") << u"[text]()"_s;
        QTest::newRow("brackets only") << u"[[[ ]]"_s;
        QTest::newRow("spaced stars") << u"a * b * c"_s;
        QTest::newRow("autolink with a space") << u"<https://a b>"_s;
        QTest::newRow("not an address") << u"https:// and www."_s;
        QTest::newRow("stars around punctuation") << u"**)"_s;
    }

    void unpairedMarkupStaysAsWritten() {
        QFETCH(QString, line);
        QCOMPARE(inlineMarkdown(line), Runs{plain(line)});
    }

    // A very long line full of markup that never pairs is still read once through.
    void longUnpairedLineKeepsItsText() {
        QString line;
        for (int i = 0; i < 20000; ++i)
            line += u"a* [b](<c _e "_s;
        QString joined;
        for (const InlineRun &run : inlineMarkdown(line))
            joined += run.text;
        QCOMPARE(joined, line);
    }
};

QTEST_GUILESS_MAIN(TestInlineMarkdown)
#include "tst_inline_markdown.moc"
