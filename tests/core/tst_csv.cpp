#include "core/CSV.h"
#include "core/Error.h"

#include <QtTest>

using namespace Qt::StringLiterals;

using Records = QList<QStringList>;

class TestCSV : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsRecords_data();
    void readsRecords();
    void decodesUTF8();
    void parsesWithHeader();
    void dropsBlankLinesAndExtraFields();
    void rowsOutliveTheirInput();
    void readsFiles();
    void looksUpColumns();
    void constructsRowFromHeader();
    void writesCSV();
    void roundTrips();
};

void TestCSV::readsRecords_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<Records>("records");

    QTest::newRow("empty") << QString() << Records{};
    QTest::newRow("only a byte-order mark") << u"\uFEFF"_s << Records{};
    QTest::newRow("byte-order mark before the header") << u"\uFEFFa,b\n"_s << Records{{u"a"_s, u"b"_s}};
    QTest::newRow("byte-order mark later is text") << u"a\n\uFEFFb\n"_s << Records{{u"a"_s}, {u"\uFEFFb"_s}};
    QTest::newRow("CR LF records") << u"a,b\r\n1,2\r\n"_s << Records{{u"a"_s, u"b"_s}, {u"1"_s, u"2"_s}};
    QTest::newRow("CR dropped anywhere outside quotes") << u"a\rb,c\r"_s << Records{{u"ab"_s, u"c"_s}};
    QTest::newRow("quoted comma and doubled quotes")
        << u"a,b\n1,\"x, \"\"y\"\"\",3\n"_s << Records{{u"a"_s, u"b"_s}, {u"1"_s, u"x, \"y\""_s, u"3"_s}};
    QTest::newRow("quoted line feed and CR LF kept")
        << u"\"one\ntwo\",\"three\r\nfour\"\nnext\n"_s << Records{{u"one\ntwo"_s, u"three\r\nfour"_s}, {u"next"_s}};
    QTest::newRow("blank line") << u"a,b\n\n1,2"_s << Records{{u"a"_s, u"b"_s}, {QString()}, {u"1"_s, u"2"_s}};
    QTest::newRow("no final line feed") << u"a\n1,2"_s << Records{{u"a"_s}, {u"1"_s, u"2"_s}};
    QTest::newRow("final empty field") << u"a\n1,"_s << Records{{u"a"_s}, {u"1"_s, QString()}};
    QTest::newRow("quote inside a field") << u"ab\"c,d\"e"_s << Records{{u"abc,de"_s}};
    QTest::newRow("empty quoted fields") << u"\"\",\"\"\n"_s << Records{{QString(), QString()}};
    QTest::newRow("fields are not trimmed") << u" a , b \n"_s << Records{{u" a "_s, u" b "_s}};
    QTest::newRow("ragged records") << u"a,b,c\n1\n1,2,3,4\n"_s
                                    << Records{{u"a"_s, u"b"_s, u"c"_s}, {u"1"_s}, {u"1"_s, u"2"_s, u"3"_s, u"4"_s}};
    QTest::newRow("stray quote swallows the rest") << u"a,\"b\nc,d\n"_s << Records{{u"a"_s, u"b\nc,d\n"_s}};
    QTest::newRow("doubled quote at the very end") << u"\"a\"\""_s << Records{{u"a\""_s}};
    QTest::newRow("CRs before a field ending in a lone quote") << u"\r\rb\""_s << Records{{u"b"_s}};
    QTest::newRow("lone quote") << u"\""_s << Records{{QString()}};
    QTest::newRow("quoted empty field at the end") << u"a\n\"\""_s << Records{{u"a"_s}, {QString()}};
    QTest::newRow("CRs only at the end") << u"a\n\r\r"_s << Records{{u"a"_s}};
    // gam's writer escapes its escape character and nothing else.
    QTest::newRow("doubled backslashes") << u"C:\\\\x\\\\y,\"q\\\\\"\"\",\\\\\n"_s
                                         << Records{{u"C:\\x\\y"_s, u"q\\\""_s, u"\\"_s}};
    QTest::newRow("backslash keeps a CR, a separator ends the field anyway")
        << u"a\\\rb\\,c\n"_s << Records{{u"a\rb\\"_s, u"c"_s}};
    QTest::newRow("non-ASCII") << u"名前,Ελληνικά\n\"مرحبا, عالم\",😀\n"_s
                               << Records{{u"名前"_s, u"Ελληνικά"_s}, {u"مرحبا, عالم"_s, u"😀"_s}};
}

// Both entry points, UTF-16 text and UTF-8 bytes, must read the same records.
void TestCSV::readsRecords() {
    QFETCH(QString, text);
    QFETCH(Records, records);
    QCOMPARE(parseCSVRecords(text), records);
    QCOMPARE(parseCSVRecords(text.toUtf8()), records);
}

void TestCSV::decodesUTF8() {
    // Invalid sequences become U+FFFD, exactly as when the whole text is decoded
    // first, also where a separator cuts a sequence short.
    const QByteArray bytes = "a\xff"
                             "b,\xe6\x97,\"\xc3\xa9\xc3\"\n\xef\xbb\xbfx,\"\xef\xbb\xbf\xef\xbb\xbf\"\n";
    const Records records = parseCSVRecords(bytes);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0].size(), 3);
    QCOMPARE(records[0][0], u"a\uFFFDb"_s);
    QVERIFY(records[0][1].contains(u'\uFFFD'));
    QCOMPARE(records[0][2].front(), u'é');
    QCOMPARE(records, parseCSVRecords(QString::fromUtf8(bytes)));
    // Invalid bytes on both sides of a dropped quote stay invalid, and a piece
    // that starts with a byte-order mark still ends in U+FFFD when cut short.
    for (const QByteArray &joined : {QByteArray("\xef\xa9\"\xbf\xc3\xbb\n"), QByteArray("a\"\xef\xbb\xbf\xa9\xef")})
        QCOMPARE(parseCSVRecords(joined), parseCSVRecords(QString::fromUtf8(joined)));
    // A byte-order mark after the first is text, even at the start of a field.
    QCOMPARE(records[1], (QStringList{u"\uFEFFx"_s, u"\uFEFF\uFEFF"_s}));

    // Multi-byte characters split across joined stretches decode whole.
    QCOMPARE(parseCSVRecords(QByteArray("\xc3\xa9\"\xc3\xa9\"\"\"\r\xc3\xa9\n")), Records{{u"éé\"é"_s}});
    // Only a leading UTF-8 byte-order mark is skipped.
    QCOMPARE(parseCSVRecords(QByteArray("\xef\xbb\xbf")), Records{});
    QCOMPARE(parseCSVRecords(QByteArray("\xef\xbb\xbfid\n")), Records{{u"id"_s}});
}

void TestCSV::parsesWithHeader() {
    const CSVTable empty = parseCSV(QString());
    QVERIFY(empty.header.isEmpty());
    QVERIFY(empty.rows.isEmpty());

    const CSVTable headerOnly = parseCSV(u"id,name\n"_s);
    QCOMPARE(headerOnly.header, (QStringList{u"id"_s, u"name"_s}));
    QVERIFY(headerOnly.rows.isEmpty());

    const CSVTable table = parseCSV(QByteArray("\xef\xbb\xbf"
                                               "a, b\n1,\"x, \"\"y\"\"\",3\n"));
    QCOMPARE(table.header, (QStringList{u"a"_s, u" b"_s}));
    QCOMPARE(table.rows.size(), 1);
    QCOMPARE(table.rows[0][u"a"_s], u"1"_s);
    QCOMPARE(table.rows[0][u" b"_s], u"x, \"y\""_s);
    QCOMPARE(table.rows[0][u"b"_s], std::nullopt); // column names are not trimmed
}

void TestCSV::dropsBlankLinesAndExtraFields() {
    const CSVTable table = parseCSV(u"a,b\r\n\r\n1\n,\n1,2,3\n\n"_s);
    QCOMPARE(table.rows.size(), 3);
    // A short record gives empty text for the missing column, not nothing.
    QCOMPARE(table.rows[0][u"b"_s], QString());
    QVERIFY(table.rows[0][u"b"_s].has_value());
    // "," is two empty fields, not a blank line.
    QCOMPARE(table.rows[1][u"a"_s], QString());
    QCOMPARE(table.rows[2].values(), (QHash<QString, QString>{{u"a"_s, u"1"_s}, {u"b"_s, u"2"_s}}));

    // Dropped and missing fields leave their neighbours intact.
    const CSVTable ragged = parseCSV(QByteArray("\"a\",b\nx,\"y\",extra,more\n,\n\n\"\"\n\xc3\xa9,\"1\n2\"\n"));
    QCOMPARE(ragged.header, (QStringList{u"a"_s, u"b"_s}));
    QCOMPARE(ragged.rows.size(), 4);
    QCOMPARE(ragged.rows[0].values(), (QHash<QString, QString>{{u"a"_s, u"x"_s}, {u"b"_s, u"y"_s}}));
    QCOMPARE(ragged.rows[1].values(), (QHash<QString, QString>{{u"a"_s, QString()}, {u"b"_s, QString()}}));
    // A quoted empty field alone on its line is a row, not a blank line.
    QCOMPARE(ragged.rows[2].values(), (QHash<QString, QString>{{u"a"_s, QString()}, {u"b"_s, QString()}}));
    QCOMPARE(ragged.rows[3].values(), (QHash<QString, QString>{{u"a"_s, u"é"_s}, {u"b"_s, u"1\n2"_s}}));

    // In a one-column listing an empty value is a row of its own.
    for (const QString &text : {u"email\n\"\"\nb@x.org\n"_s, u"email\r\n\"\"\r\nb@x.org\r\n"_s}) {
        const CSVTable column = parseCSV(text.toUtf8());
        QCOMPARE(column.rows.size(), 2);
        QCOMPARE(column.rows[0][u"email"_s], QString());
        QCOMPARE(parseCSV(text).rows.size(), 2);
    }
}

void TestCSV::rowsOutliveTheirInput() {
    CSVTable table;
    {
        QByteArray bytes("id,name\n1,\"a \"\"b\"\"\"\n");
        table = parseCSV(bytes);
        bytes.fill('x'); // the caller's copy changes; the rows keep what was parsed
    }
    const CSVTable copy = table;
    table = CSVTable();
    QCOMPARE(copy.rows.at(0)[u"name"_s], u"a \"b\""_s);
    QCOMPARE(copy.rows.at(0)[u"id"_s], u"1"_s);
}

// parseCSVFile reads what parseCSV reads from the same bytes, small files and
// ones large enough for the huge-page buffer alike, and fails on a missing file.
void TestCSV::readsFiles() {
    QTemporaryDir dir;
    QByteArray large("\xef\xbb\xbfid,name\r\n");
    for (int i = 0; large.size() < (5 << 20); ++i)
        large += QByteArray::number(i) + ",\"n\xc3\xa9 \"\"" + QByteArray::number(i) + "\"\"\nx\"\r\n";
    const QList<QByteArray> contents{QByteArray("a,b\n1,\"x,\ny\"\n\n2"), large};
    for (const QByteArray &bytes : contents) {
        const QString path = dir.filePath(u"listing.csv"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
        file.close();
        const CSVTable expected = parseCSV(bytes);
        const CSVTable table = parseCSVFile(path);
        QVERIFY(QFile::remove(path)); // the rows do not need the file
        QCOMPARE(table.header, expected.header);
        QCOMPARE(table.rows.size(), expected.rows.size());
        for (qsizetype r = 0; r < table.rows.size(); r += 997)
            QCOMPARE(table.rows[r].values(), expected.rows[r].values());
        QCOMPARE(table.rows.back().values(), expected.rows.back().values());
    }
    try {
        parseCSVFile(dir.filePath(u"missing.csv"_s));
        QFAIL("a missing file was read");
    } catch (const Error &error) {
        QVERIFY(error.description().startsWith(u"Could not read "_s + dir.filePath(u"missing.csv"_s) + u": "_s));
    }
}

void TestCSV::looksUpColumns() {
    const CSVTable table = parseCSV(u"id,id,name,Owner,OWNER\n1,2,report,first,second\n"_s);
    const CSVRow &row = table.rows.at(0);
    QCOMPARE(row[u"id"_s], u"2"_s); // the later of two equal names wins
    QCOMPARE(row[u"ID"_s], u"2"_s);
    QCOMPARE(row[u"Name"_s], u"report"_s);
    QCOMPARE(row[u"Owner"_s], u"first"_s); // exact before case-insensitive
    QCOMPARE(row[u"OWNER"_s], u"second"_s);
    QCOMPARE(row[u"owner"_s], u"first"_s); // several case-insensitive matches: the leftmost
    QCOMPARE(row[u"ÖWNER"_s], std::nullopt);
    QCOMPARE(row[u"missing"_s], std::nullopt);
    QCOMPARE(row.value(u"missing"_s), QString());
    QCOMPARE(row.values().size(), 4);
    QCOMPARE(row.values().value(u"id"_s), u"2"_s);

    const CSVTable greek = parseCSV(u"ΌΝΟΜΑ\nx\n"_s);
    QCOMPARE(greek.rows.at(0)[u"όνομα"_s], u"x"_s);

    QCOMPARE(CSVRow()[u"id"_s], std::nullopt);

    // By position: the column a name finds is the one operator[] reads.
    QCOMPARE(row.column(u"owner"_s), 3);
    QCOMPARE(row.column(u"id"_s), 1);
    QCOMPARE(row.column(u"missing"_s), std::nullopt);
    QCOMPARE(row.field(4), u"second"_s);
    const CSVTable ragged = parseCSV(u"a,b\n1\n"_s);
    QCOMPARE(ragged.rows.at(0).field(1), QString()); // the record was short
    QCOMPARE(ragged.rows.at(0).field(-1), QString());
    QCOMPARE(CSVRow().field(0), QString());
}

void TestCSV::constructsRowFromHeader() {
    const CSVRow row({u"a"_s, u"b"_s, u"c"_s}, {u"1"_s, u"2\\\\n"_s});
    QCOMPARE(row[u"a"_s], u"1"_s);
    QCOMPARE(row[u"b"_s], u"2\\\\n"_s);
    QCOMPARE(row[u"C"_s], QString());
    const CSVRow longer({u"a"_s}, {u"1"_s, u"2"_s});
    QCOMPARE(longer.values(), (QHash<QString, QString>{{u"a"_s, u"1"_s}}));
}

void TestCSV::writesCSV() {
    QCOMPARE(csvText({u"Line"_s, u"Text"_s}, {{u"1"_s, u"a,b"_s}}), u"Line,Text\n1,\"a,b\"\n"_s);
    QCOMPARE(csvText({u"q"_s}, {{u"say \"hi\""_s}, {u"\""_s}}), u"q\n\"say \"\"hi\"\"\"\n\"\"\"\"\n"_s);
    QCOMPARE(csvText({u"x"_s}, {{u"a\rb"_s}, {u"a\r\nb"_s}, {u"a\nb"_s}}), u"x\n\"a\rb\"\n\"a\r\nb\"\n\"a\nb\"\n"_s);
    // Empty fields and spaces stay bare; rows keep their own lengths.
    QCOMPARE(csvText({u"a"_s, u"b"_s}, {{QString(), u" x "_s}, {u"1"_s}, {}}), u"a,b\n, x \n1\n\n"_s);
    // A record of one empty field is quoted, or it would read as a blank line.
    QCOMPARE(csvText({u"a"_s}, {{QString()}, {u"x"_s}}), u"a\n\"\"\nx\n"_s);
    QCOMPARE(csvText({}, {}), u"\n"_s);
    // Exports are for spreadsheets, which take a backslash as it stands.
    QCOMPARE(csvText({u"path"_s}, {{u"C:\\x"_s}}), u"path\nC:\\x\n"_s);
}

void TestCSV::roundTrips() {
    const QStringList header{u"Owner"_s, u"name"_s, u"notes"_s};
    const QList<QStringList> rows{
        {u"ana@school.org"_s, u"Plan, \"final\""_s, u"line one\nline two"_s},
        {u"bo@school.org"_s, u"日本語 レポート"_s, u"CR\r\nLF"_s},
        {u"cy@school.org"_s, QString(), u"\"\""_s},
    };
    const QString text = csvText(header, rows);
    const CSVTable table = parseCSV(text);
    QCOMPARE(table.header, header);
    QCOMPARE(table.rows.size(), rows.size());
    for (qsizetype r = 0; r < rows.size(); ++r) {
        for (qsizetype c = 0; c < header.size(); ++c)
            QCOMPARE(table.rows[r][header[c]], rows[r][c]);
    }
    QCOMPARE(parseCSVRecords(text.toUtf8()), QList<QStringList>{header} + rows);

    // Records a bare rendering would lose: a lone empty field (a blank line) and
    // a leading byte-order mark (skipped by readers).
    const QList<QStringList> awkward{{u"\uFEFFid"_s}, {QString()}, {u"\uFEFF"_s}, {QString(), QString()}};
    const QString awkwardText = csvText(awkward[0], awkward.mid(1));
    QCOMPARE(awkwardText, u"\"\uFEFFid\"\n\"\"\n\"\uFEFF\"\n,\n"_s);
    QCOMPARE(parseCSVRecords(awkwardText), awkward);
    QCOMPARE(parseCSVRecords(awkwardText.toUtf8()), awkward);
    const CSVTable awkwardTable = parseCSV(awkwardText);
    QCOMPARE(awkwardTable.header, awkward[0]);
    QCOMPARE(awkwardTable.rows.size(), 3);
}

QTEST_GUILESS_MAIN(TestCSV)
#include "tst_csv.moc"
