#include "assistant/ReplySegment.h"

#include <QtTest>

using namespace Qt::StringLiterals;

using Segments = QList<ReplySegment>;

namespace {

ReplySegment prose(const QString &text) {
    return ReplySegment::prose(text);
}

ReplySegment code(const QStringList &lines) {
    return ReplySegment::code(lines);
}

QString describe(const Segments &segments) {
    QStringList parts;
    for (const ReplySegment &segment : segments) {
        if (segment.kind == ReplySegment::Kind::text)
            parts.append(u"text("_s + segment.text + u")"_s);
        else
            parts.append(u"code("_s + segment.lines.join(u" | "_s) + u")"_s);
    }
    return parts.join(u", "_s);
}

} // namespace

// Splitting a reply into prose and the command lines of fenced blocks, and which
// lines get Insert and the warning label.
class TestReplySegment : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void splitting_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<Segments>("expected");

        QTest::newRow("fence with a language word")
            << u"Use this:\n```bash\ngam print users\n\n```\nDone."_s
            << Segments{prose(u"Use this:"_s), code({u"gam print users"_s}), prose(u"Done."_s)};
        QTest::newRow("fence without a language word")
            << u"```\ngam info domain\n```"_s << Segments{code({u"gam info domain"_s})};
        QTest::newRow("unclosed fence still gives its lines")
            << u"Try:\n```\ngam print users\ngam print groups"_s
            << Segments{prose(u"Try:"_s), code({u"gam print users"_s, u"gam print groups"_s})};
        QTest::newRow("code lines trimmed, blank ones dropped")
            << u"```\n  gam info domain  \n\t\n   \ngam print users\t\n```"_s
            << Segments{code({u"gam info domain"_s, u"gam print users"_s})};
        QTest::newRow("indented fence lines count")
            << u"Run\n   ```sh\ngam version\n  ```  \nthen"_s
            << Segments{prose(u"Run"_s), code({u"gam version"_s}), prose(u"then"_s)};
        QTest::newRow("empty block gives nothing")
            << u"a\n```\n\n  \n```\nb"_s << Segments{prose(u"a"_s), prose(u"b"_s)};
        QTest::newRow("prose keeps inner blank lines and indentation, trims its ends")
            << u"\n\n  First\n\n    indented\n\n"_s << Segments{prose(u"First\n\n    indented"_s)};
        QTest::newRow("no fences is one text") << u"Just prose."_s << Segments{prose(u"Just prose."_s)};
        QTest::newRow("whitespace only is nothing") << u"  \n\t\n \u00A0 "_s << Segments{};
        QTest::newRow("empty") << QString() << Segments{};
        QTest::newRow("backticks inside a line are not a fence")
            << u"Say ```gam print users``` here"_s << Segments{prose(u"Say ```gam print users``` here"_s)};
        QTest::newRow("two blocks back to back")
            << u"```\ngam a\n```\n```\ngam b\n```"_s << Segments{code({u"gam a"_s}), code({u"gam b"_s})};
        QTest::newRow("a fence line closes even with text after it")
            << u"```\ngam a\n```bash\nafter"_s << Segments{code({u"gam a"_s}), prose(u"after"_s)};
        QTest::newRow("carriage returns are trimmed from code lines")
            << u"```\r\ngam print users\r\n```\r\n"_s << Segments{code({u"gam print users"_s})};
    }

    void splitting() {
        QFETCH(QString, reply);
        QFETCH(Segments, expected);
        const Segments segments = replySegments(reply);
        QVERIFY2(segments == expected, qPrintable(describe(segments) + u"\nexpected: "_s + describe(expected)));
    }

    // Fed the reply as it grows, the splitter gives what a fresh split of the
    // same text gives, at every length, also across fences and blank lines.
    void growingReplySplitsLikeAFreshSplit() {
        const QString reply = u"Intro line\n\nWith a blank.\n```bash\n  gam user x delete  \n\ngam print users\n"
                              u"```\nBetween.\n``` \ngam info domain\n"_s;
        ReplySplitter splitter;
        for (qsizetype length = 0; length <= reply.size(); ++length) {
            const QString text = reply.first(length);
            const Segments incremental = splitter.split(text);
            const Segments fresh = replySegments(text);
            QVERIFY2(incremental == fresh, qPrintable(u"at "_s + QString::number(length) + u": "_s +
                                                      describe(incremental) + u" vs "_s + describe(fresh)));
        }
    }

    void replacedReplyStartsOver() {
        ReplySplitter splitter;
        QCOMPARE(splitter.split(u"```\ngam print users\n```\n"_s), Segments{code({u"gam print users"_s})});
        QCOMPARE(splitter.split(u"Different\n"_s), Segments{prose(u"Different"_s)});
        // A shorter text that keeps the read lines, and a stop note appended later.
        QCOMPARE(splitter.split(u"Different\nmore"_s), Segments{prose(u"Different\nmore"_s)});
        QCOMPARE(splitter.split(u"Different\nmore\n\n(Stopped.)"_s),
                 Segments{prose(u"Different\nmore\n\n(Stopped.)"_s)});
    }

    void commandLines_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("command");
        QTest::addColumn<bool>("warning");
        QTest::newRow("destructive") << u"gam user x delete"_s << true << true;
        QTest::newRow("print") << u"gam print users"_s << true << false;
        QTest::newRow("bare gam") << u"gam"_s << true << false;
        QTest::newRow("gamadv") << u"gamadv print"_s << false << false;
        QTest::newRow("capital GAM") << u"GAM user x delete"_s << false << true;
        QTest::newRow("path to gam") << u"/usr/bin/gam print users"_s << false << false;
        QTest::newRow("doit any case") << u"gam all users delete messages query x DoIt"_s << true << true;
        QTest::newRow("undelete") << u"gam undelete user x"_s << true << true;
        QTest::newRow("turnoff2sv") << u"gam user x turnoff2sv"_s << true << true;
        QTest::newRow("word inside another word") << u"gam print users query name:deleteme"_s << true << false;
        QTest::newRow("followed by punctuation") << u"gam update,user"_s << true << true;
        QTest::newRow("underscore joins words") << u"gam print remove_me"_s << true << false;
        QTest::newRow("signout and suspend") << u"gam user x signout"_s << true << true;
        QTest::newRow("tab after gam") << u"gam\tprint users"_s << false << false;
    }

    void commandLines() {
        QFETCH(QString, line);
        QFETCH(bool, command);
        QFETCH(bool, warning);
        QCOMPARE(isGAMCommand(line), command);
        QCOMPARE(changesData(line), warning);
    }
};

QTEST_GUILESS_MAIN(TestReplySegment)
#include "tst_reply_segment.moc"
