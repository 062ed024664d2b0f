#include "TestSupport.h"

#include "core/Error.h"
#include "security/IndicatorFile.h"
#include "security/IndicatorMatching.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QList<qsizetype> counts(const QStringList &indicators, const QString &text) {
    return IndicatorMatcher(indicators).lineCounts(text);
}

} // namespace

// The known-indicator list: the whole-token rule, addresses and ranges in any
// written form, and the list file with its template, parsing and additions.
class IndicatorsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void wholeToken_data();
    void wholeToken();
    void lineCount_countsLinesNotOccurrences();
    void matcher_agreesWithTheRuleOnRandomText();
    void addresses_parseStrictlyAndCanonically();
    void matcher_addressesInAnyFormAndRanges();
    void file_pathFromTheSetting();
    void file_templateWrittenOnceNeverOverwritten();
    void file_parsesCommentsBlanksAndLineEnds();
    void file_addAppendsOnceAndKeepsTheRest();
    void file_unreadableOrNotUtf8IsNeverRewritten();
    void file_refusesWhatWouldBeAComment();
};

void IndicatorsTest::wholeToken_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("indicator");
    QTest::addColumn<bool>("found");
    QTest::newRow("comma after") << u"login,10.0.0.5,True"_s << u"10.0.0.5"_s << true;
    QTest::newRow("space after") << u"from 10.0.0.5 at"_s << u"10.0.0.5"_s << true;
    QTest::newRow("longer address") << u"login,10.0.0.55,True"_s << u"10.0.0.5"_s << false;
    QTest::newRow("digit before") << u"110.0.0.5"_s << u"10.0.0.5"_s << false;
    QTest::newRow("line start") << u"10.0.0.5,x"_s << u"10.0.0.5"_s << true;
    QTest::newRow("line end") << u"x,10.0.0.5"_s << u"10.0.0.5"_s << true;
    QTest::newRow("quotes") << u"\"10.0.0.5\""_s << u"10.0.0.5"_s << true;
    QTest::newRow("underscore before") << u"ip_10.0.0.5"_s << u"10.0.0.5"_s << false;
    QTest::newRow("letter after") << u"10.0.0.5a"_s << u"10.0.0.5"_s << false;
    QTest::newRow("domain continued") << u"evil.example.comx"_s << u"evil.example.com"_s << false;
    QTest::newRow("domain after @") << u"a@evil.example.com"_s << u"evil.example.com"_s << true;
    QTest::newRow("subdomain is found") << u"mail.evil.example.com"_s << u"evil.example.com"_s << true;
    QTest::newRow("non-ASCII around") << u"éevil.example.comé"_s << u"evil.example.com"_s << true;
    QTest::newRow("CR after") << u"x,10.0.0.5\r"_s << u"10.0.0.5"_s << true;
    QTest::newRow("case-sensitive") << u"EVIL.example.com"_s << u"evil.example.com"_s << false;
    QTest::newRow("second occurrence is whole") << u"10.0.0.55 10.0.0.5"_s << u"10.0.0.5"_s << true;
    QTest::newRow("overlapping retry") << u"aaa"_s << u"aa"_s << false;
    QTest::newRow("punctuation indicator") << u"x -- y"_s << u"--"_s << true;
    QTest::newRow("bare hash") << u"a # b"_s << u"#"_s << true;
    QTest::newRow("empty indicator") << u"anything"_s << QString() << false;
}

void IndicatorsTest::wholeToken() {
    QFETCH(QString, line);
    QFETCH(QString, indicator);
    QFETCH(bool, found);
    QCOMPARE(containsWholeToken(line, indicator), found);
    QCOMPARE(counts({indicator}, line).value(0), qsizetype(found ? 1 : 0));
}

void IndicatorsTest::lineCount_countsLinesNotOccurrences() {
    const QString text = u"10.0.0.5 and 10.0.0.5\n\n10.0.0.55\r\nlast 10.0.0.5\rx 10.0.0.5"_s;
    QCOMPARE(wholeTokenLineCount(text, u"10.0.0.5"), 3);
    QCOMPARE(wholeTokenLineCount(text, u"10.0.0.55"), 1);
    // Two indicators where one is the other's prefix each count only their own lines.
    QCOMPARE(counts({u"10.0.0.5"_s, u"10.0.0.55"_s}, u"login,10.0.0.55,True\n"_s), (QList<qsizetype>{0, 1}));
    // A repeated indicator is counted for each of its places in the list.
    QCOMPARE(counts({u"a.example"_s, u"a.example"_s}, u"a.example\na.example b.example"_s), (QList<qsizetype>{2, 2}));
}

// The one-pass matcher must agree with the rule as written for every text indicator.
void IndicatorsTest::matcher_agreesWithTheRuleOnRandomText() {
    QRandomGenerator random(1234);
    const QString alphabet = u"ab_.-:@ ,\"é1\n"_s;
    auto randomText = [&](int length) {
        QString text;
        for (int i = 0; i < length; ++i)
            text += alphabet[random.bounded(int(alphabet.size()))];
        return text;
    };
    for (int round = 0; round < 300; ++round) {
        QStringList indicators;
        for (int i = 0; i < 6; ++i) {
            const QString indicator = randomText(1 + random.bounded(3)).remove(u'\n');
            // Addresses such as "::1" also match by address, beyond the text rule.
            if (!indicator.isEmpty() && !parseIPRange(indicator))
                indicators.append(indicator);
        }
        const QString text = randomText(200);
        const QList<qsizetype> matched = counts(indicators, text);
        for (qsizetype i = 0; i < indicators.size(); ++i)
            QVERIFY2(matched[i] == wholeTokenLineCount(text, indicators[i]),
                     qPrintable(u"indicator "_s + indicators[i] + u" in "_s + text));
    }
}

void IndicatorsTest::addresses_parseStrictlyAndCanonically() {
    const auto canonical = [](const QString &text) {
        const auto address = parseIPAddress(text);
        return address ? canonicalIPAddress(*address) : u"-"_s;
    };
    QCOMPARE(canonical(u"203.0.113.45"_s), u"203.0.113.45"_s);
    QCOMPARE(canonical(u"2001:0DB8:0000:0000:0000:0000:0000:0001"_s), u"2001:db8::1"_s);
    QCOMPARE(canonical(u"2001:db8::1"_s), u"2001:db8::1"_s);
    QCOMPARE(canonical(u"::ffff:203.0.113.45"_s), u"203.0.113.45"_s);
    for (const QString &bad :
         {u"203.0.113"_s, u"203.0.113.256"_s, u"203.0.113.045"_s, u"1.2.3.4.5"_s, u"evil.example.com"_s,
          u"2001:db8::1::2"_s, u"fe80::1%eth0"_s, u" 203.0.113.45"_s, u"203.0.113.0/24"_s, QString()})
        QVERIFY2(!parseIPAddress(bad), qPrintable(bad));

    const auto range = parseIPRange(u"203.0.113.77/24"_s);
    QVERIFY(range);
    QVERIFY(range->contains(*parseIPAddress(u"203.0.113.1"_s)));
    QVERIFY(!range->contains(*parseIPAddress(u"203.0.114.1"_s)));
    QVERIFY(parseIPRange(u"0.0.0.0/0"_s)->contains(*parseIPAddress(u"198.51.100.1"_s)));
    QVERIFY(!parseIPRange(u"0.0.0.0/0"_s)->contains(*parseIPAddress(u"2001:db8::1"_s)));
    QVERIFY(parseIPRange(u"2001:db8::/32"_s)->contains(*parseIPAddress(u"2001:DB8:FFFF::9"_s)));
    for (const QString &bad :
         {u"203.0.113.0/33"_s, u"2001:db8::/129"_s, u"203.0.113.0/"_s, u"203.0.113.0/024"_s, u"evil.example/8"_s})
        QVERIFY2(!parseIPRange(bad), qPrintable(bad));
}

void IndicatorsTest::matcher_addressesInAnyFormAndRanges() {
    const QString report = u"name,ipAddress\n"
                           u"login_success,2001:DB8:0:0:0:0:0:66\n"
                           u"login_success,\"2001:db8::66\"\n"
                           u"login_failure,2001:db8::67\n"
                           u"view,203.0.113.9\n"
                           u"view,ip:203.0.113.10.\n"
                           u"view,203.0.113.11:443\n"
                           u"view,x203.0.113.12\n"
                           u"view,::ffff:203.0.113.13\n"
                           u"view,198.51.100.7\n"_s;
    const QStringList indicators{u"2001:0db8::0066"_s, u"203.0.113.0/24"_s, u"2001:db8::/32"_s,
                                 u"198.51.100.7"_s,    u"192.0.2.0/24"_s,   u"evil.example"_s};
    // Per indicator: the lines holding an address in it, in whatever form.
    QCOMPARE(counts(indicators, report), (QList<qsizetype>{2, 4, 3, 1, 0, 0}));
}

void IndicatorsTest::file_pathFromTheSetting() {
    QCOMPARE(IndicatorFile::path(QString()), QDir::homePath() + u"/known_iocs.txt"_s);
    QCOMPARE(IndicatorFile::path(u" \t"_s), QDir::homePath() + u"/known_iocs.txt"_s);
    QCOMPARE(IndicatorFile::path(u"\t~/iocs/list.txt "_s), QDir::homePath() + u"/iocs/list.txt"_s);
    QCOMPARE(IndicatorFile::path(u"/srv/it/iocs.txt"_s), u"/srv/it/iocs.txt"_s);
}

void IndicatorsTest::file_templateWrittenOnceNeverOverwritten() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"known_iocs.txt"_s);
    IndicatorFile::createIfMissing(path);
    const QByteArray written = readBytes(path);
    QCOMPARE(written.count('\n'), 6);
    QVERIFY(written.startsWith("# Known indicators of compromise — one IP address or domain per line.\n"));
    QVERIFY(written.endsWith("# 203.0.113.45\n# 2001:db8::1\n"));
    QVERIFY(IndicatorFile::parse(QString::fromUtf8(written)).isEmpty());
    // Nothing else is left in the folder.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"known_iocs.txt"_s});

    writeFile(path, "10.0.0.5\n");
    IndicatorFile::createIfMissing(path);
    QCOMPARE(readBytes(path), QByteArray("10.0.0.5\n"));
    // A missing folder is not created, and nothing is thrown.
    IndicatorFile::createIfMissing(dir.filePath(u"missing/known_iocs.txt"_s));
    QVERIFY(!QFile::exists(dir.filePath(u"missing/known_iocs.txt"_s)));
}

void IndicatorsTest::file_parsesCommentsBlanksAndLineEnds() {
    QCOMPARE(IndicatorFile::parse(u"  10.0.0.5 \n#\n# 10.0.0.6\n\n\t\n"_s), QStringList{u"10.0.0.5"_s});
    QCOMPARE(IndicatorFile::parse(u"a.example\r\nB.example\r\na.example\rc.example"_s),
             (QStringList{u"a.example"_s, u"B.example"_s, u"a.example"_s, u"c.example"_s}));
}

void IndicatorsTest::file_addAppendsOnceAndKeepsTheRest() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"known_iocs.txt"_s);
    writeFile(path, "\xEF\xBB\xBF# mine\r\n  10.0.0.5 \r\nevil.example");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(IndicatorFile::add(path, u"10.0.0.5"_s), IndicatorFile::AddOutcome::alreadyListed);
    QCOMPARE(IndicatorFile::add(path, u"EVIL.example"_s), IndicatorFile::AddOutcome::added);
    QCOMPARE(IndicatorFile::add(path, u"2001:db8::/32"_s), IndicatorFile::AddOutcome::added);
    QCOMPARE(readBytes(path), QByteArray("\xEF\xBB\xBF# mine\r\n  10.0.0.5 \r\nevil.example\nEVIL.example\n"
                                         "2001:db8::/32\n"));
    QCOMPARE(fileMode(path), 0600);
    // A comment line that happens to read like the indicator after "#" does not count.
    writeFile(path, "# 10.0.0.7\n");
    QCOMPARE(IndicatorFile::add(path, u"10.0.0.7"_s), IndicatorFile::AddOutcome::added);
    QCOMPARE(readBytes(path), QByteArray("# 10.0.0.7\n10.0.0.7\n"));
}

void IndicatorsTest::file_unreadableOrNotUtf8IsNeverRewritten() {
    QTemporaryDir dir;
    const QString latin1 = dir.filePath(u"latin1.txt"_s);
    writeFile(latin1, "# caf\xE9\n10.0.0.5\n");
    QVERIFY_THROWS_EXCEPTION(Error, IndicatorFile::read(latin1));
    QVERIFY_THROWS_EXCEPTION(Error, IndicatorFile::add(latin1, u"10.0.0.6"_s));
    QCOMPARE(readBytes(latin1), QByteArray("# caf\xE9\n10.0.0.5\n"));

    const QString locked = dir.filePath(u"locked.txt"_s);
    writeFile(locked, "10.0.0.5\n");
    QFile::setPermissions(locked, QFileDevice::Permissions());
    if (QFile(locked).open(QIODevice::ReadOnly))
        QSKIP("running as a user who reads any file");
    QVERIFY_THROWS_EXCEPTION(Error, IndicatorFile::read(locked));
    QVERIFY_THROWS_EXCEPTION(Error, IndicatorFile::add(locked, u"10.0.0.6"_s));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(readBytes(locked), QByteArray("10.0.0.5\n"));
}

void IndicatorsTest::file_refusesWhatWouldBeAComment() {
    QVERIFY(!IndicatorFile::refusal(u"#"_s).isEmpty());
    QVERIFY(!IndicatorFile::refusal(u"#evil.example"_s).isEmpty());
    QVERIFY(!IndicatorFile::refusal(u"a.example\nb.example"_s).isEmpty());
    QVERIFY(IndicatorFile::refusal(u"evil.example#x"_s).isEmpty());
}

QTEST_GUILESS_MAIN(IndicatorsTest)
#include "tst_indicators.moc"
