#include "core/LineSplitter.h"

#include "TestSupport.h"

using namespace Qt::StringLiterals;

class TestLineSplitter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void piecesAcrossReadsJoinUp() {
        QStringList lines;
        const GAM::LineHandler collect = [&lines](const QString &line) { lines.append(line); };
        LineSplitter splitter;
        splitter.feed("caf\xC3", collect); // é split between two reads
        splitter.feed("\xA9\r", collect);
        QVERIFY(lines.isEmpty());
        splitter.feed("\nsecond\n\nlong", collect);
        splitter.feed(" tail", collect);
        splitter.finish(collect);
        QCOMPARE(lines, (QStringList{u"café"_s, u"second"_s, u""_s, u"long tail"_s}));
    }

    void nothingLeftMeansNoExtraLine() {
        QStringList lines;
        const GAM::LineHandler collect = [&lines](const QString &line) { lines.append(line); };
        LineSplitter splitter;
        splitter.feed("a\n", collect);
        splitter.finish(collect);
        QCOMPARE(lines, QStringList{u"a"_s});
    }
};

QTEST_GUILESS_MAIN(TestLineSplitter)
#include "tst_line_splitter.moc"
