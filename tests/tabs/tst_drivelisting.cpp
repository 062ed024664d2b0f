#include "core/CSV.h"
#include "tabs/DriveListing.h"
#include "tabs/DriveQuery.h"
#include "tabs/OUList.h"
#include "tabs/ScanFailures.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// The pure parts of the Drive tab: query quoting, the wildcard rules, what is
// made of gam's file and OU listings, and the failure lines of a batched scan.
class DriveListingTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void quoting_escapesApostrophesAndBackslashes();
    void domainPattern_translation_data();
    void domainPattern_translation();
    void domainPattern_matchesLikeFnmatchIgnoringCase_data();
    void domainPattern_matchesLikeFnmatchIgnoringCase();
    void foundFiles_ownerColumnFollowsTheFirstRow();
    void foundFiles_keepOnlyMatchingNames();
    void foundFiles_tableAndLogLines();
    void deleteTargets_skipIncompleteRowsAndRepeatedFiles();
    void ouPaths_trimmedUniqueInCharacterCodeOrder();
    void ouPaths_filterIgnoresCaseButNotSpaces();
    void scanFailures_distinctUsersFromChildLines();
};

void DriveListingTest::quoting_escapesApostrophesAndBackslashes() {
    QCOMPARE(escapeDriveQueryValue(u"year's plan"_s), u"year\\'s plan"_s);
    QCOMPARE(escapeDriveQueryValue(u"a\\b \"c\" ''"_s), u"a\\\\b \"c\" \\'\\'"_s);
    QCOMPARE(escapeDriveQueryValue(u"ends\\"_s), u"ends\\\\"_s);
    QCOMPARE(nameContainsQuery(u"year's plan"_s), u"name contains 'year\\'s plan'"_s);
}

void DriveListingTest::domainPattern_translation_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("wildcard");
    QTest::addColumn<bool>("tooBroad");
    QTest::newRow("exact name") << u"Budget 2024.xlsx"_s << u"name = 'Budget 2024.xlsx'"_s << false << false;
    QTest::newRow("exact short name") << u"ab"_s << u"name = 'ab'"_s << false << false;
    QTest::newRow("exact with apostrophe") << u"year's plan"_s << u"name = 'year\\'s plan'"_s << false << false;
    QTest::newRow("63783.*") << u"63783.*"_s << u"name contains '63783.'"_s << true << false;
    QTest::newRow("longest piece") << u"report_202?.pdf"_s << u"name contains 'report_202'"_s << true << false;
    QTest::newRow("first of equals") << u"abc*def"_s << u"name contains 'abc'"_s << true << false;
    QTest::newRow("ab*cd has two-letter pieces") << u"ab*cd"_s << u"name contains 'ab'"_s << true << true;
    QTest::newRow("6*.*") << u"6*.*"_s << u"name contains '6'"_s << true << true;
    QTest::newRow("only wildcards") << u"*?*"_s << u"name contains ''"_s << true << true;
    QTest::newRow("apostrophe in literal") << u"*o'neil*"_s << u"name contains 'o\\'neil'"_s << true << false;
    QTest::newRow("astral characters count once")
        << u"\U0001F4F7\U0001F4F7*"_s << u"name contains '\U0001F4F7\U0001F4F7'"_s << true << true;
}

void DriveListingTest::domainPattern_translation() {
    QFETCH(QString, pattern);
    const DomainNamePattern translated(pattern);
    QTEST(translated.query(), "query");
    QTEST(translated.isWildcard(), "wildcard");
    QTEST(translated.isTooBroad(), "tooBroad");
}

void DriveListingTest::domainPattern_matchesLikeFnmatchIgnoringCase_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("star") << u"63783.*"_s << u"63783.html"_s << true;
    QTest::newRow("star needs the prefix") << u"63783.*"_s << u"x63783.html"_s << false;
    QTest::newRow("contains is not enough") << u"63783.*"_s << u"copy of 63783.html"_s << false;
    QTest::newRow("case ignored") << u"REPORT_202?.PDF"_s << u"report_2024.pdf"_s << true;
    QTest::newRow("question is one character") << u"report_202?.pdf"_s << u"report_20245.pdf"_s << false;
    QTest::newRow("question is one non-ASCII character") << u"caf?.txt"_s << u"café.txt"_s << true;
    QTest::newRow("bracket expression") << u"grade[6-8]*"_s << u"Grade7 roster"_s << true;
    QTest::newRow("bracket excludes") << u"grade[6-8]*"_s << u"Grade9 roster"_s << false;
    QTest::newRow("brackets are not literal") << u"plan[1]*"_s << u"plan[1] final"_s << false;
    QTest::newRow("unclosed bracket is literal") << u"plan[1*"_s << u"plan[1 final"_s << true;
}

void DriveListingTest::domainPattern_matchesLikeFnmatchIgnoringCase() {
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QTEST(DomainNamePattern(pattern).matches(name), "matches");
}

void DriveListingTest::foundFiles_ownerColumnFollowsTheFirstRow() {
    QVERIFY(describeFoundFiles(parseCSV(u"OWNER,id,name\nu@x.org,1A,a.pdf\n"_s)).hasOwner);
    const FoundFiles found = describeFoundFiles(parseCSV(u"id,Name\n1A,a\n2B,b\n"_s));
    QVERIFY(!found.hasOwner);
    QCOMPARE(found.logLines, u"    a  (1A)\n    b  (2B)"_s);
    QCOMPARE(foundFilesTable(found, {}, std::nullopt).columns,
             (QStringList{u"File Name"_s, u"MIME Type"_s, u"Size (bytes)"_s, u"Modified Time"_s, u"File ID"_s}));
    // An exact "name" column wins over one that differs only in case.
    QCOMPARE(describeFoundFiles(parseCSV(u"NAME,name,id\nX,a,1A\n"_s)).cells.first().first(), u"a"_s);
}

void DriveListingTest::foundFiles_keepOnlyMatchingNames() {
    const CSVTable listing = parseCSV(u"Owner,id,name\na@x.org,1A,63783.html\nb@x.org,1B,copy of 63783.html\n"
                                      u"c@x.org,1C,63783.PDF\n"_s);
    const DomainNamePattern pattern(u"63783.*"_s);
    const FoundFiles found = describeFoundFiles(listing, &pattern);
    QCOMPARE(found.cells.size(), 2);
    QCOMPARE(found.logLines, u"    63783.html  (1A)  owner: a@x.org\n    63783.PDF  (1C)  owner: c@x.org"_s);
    const DomainNamePattern zip(u"*.zip"_s);
    QVERIFY(describeFoundFiles(listing, &zip).cells.isEmpty());
}

void DriveListingTest::foundFiles_tableAndLogLines() {
    const CSVTable listing = parseCSV(u"Owner,id,name,mimeType,modifiedTime,size\n"
                                      u"a@x.org,1A,\"Plan, v2\",application/pdf,2024-05-01T17:22:33Z,1843\n"
                                      u"b@x.org,1F,,application/vnd.google-apps.folder,2024-05-02T08:00:00Z,\n"
                                      u"c@x.org,1G\n"_s);
    const FoundFiles found = describeFoundFiles(listing);
    QCOMPARE(found.logLines, u"    Plan, v2  (1A)  owner: a@x.org\n"
                             u"    (unknown)  (1F)  owner: b@x.org\n"
                             u"    (unknown)  (1G)  owner: c@x.org"_s);

    const ResultsTable table = foundFilesTable(found, u"name contains 'plan'"_s, 100);
    QCOMPARE(table.title, u"Found Files — 3 result(s)"_s);
    QCOMPARE(table.query, u"name contains 'plan'"_s);
    QCOMPARE(table.summary, u"3 file(s) matched  •  max 100 shown"_s);
    QCOMPARE(table.exportName, u"drive_results"_s);
    QCOMPARE(table.columns, (QStringList{u"File Name"_s, u"Owner / Drive"_s, u"MIME Type"_s, u"Size (bytes)"_s,
                                         u"Modified Time"_s, u"File ID"_s}));
    QCOMPARE(table.rows.at(0), (QStringList{u"Plan, v2"_s, u"a@x.org"_s, u"application/pdf"_s, u"1843"_s,
                                            u"2024-05-01T17:22:33Z"_s, u"1A"_s}));
    // Missing fields are empty cells, in every column.
    QCOMPARE(table.rows.at(2), (QStringList{QString(), u"c@x.org"_s, QString(), QString(), QString(), u"1G"_s}));
    QCOMPARE(foundFilesTable(found, {}, std::nullopt).summary, u"3 file(s) matched"_s);
}

void DriveListingTest::deleteTargets_skipIncompleteRowsAndRepeatedFiles() {
    const CSVTable listing = parseCSV(u"Owner,id,name\n"
                                      u"a@x.org,1A,a.pdf\n"
                                      u"b@x.org,,no id.pdf\n"
                                      u",1C,no owner.pdf\n"
                                      u"c@x.org,1A,a.pdf\n"
                                      u"c@x.org,1D,\n"_s);
    const QList<DeleteTarget> perRow = deleteTargets(listing.rows, std::nullopt);
    QCOMPARE(perRow.size(), 2);
    QCOMPARE(perRow.at(0).owner, u"a@x.org"_s);
    QCOMPARE(perRow.at(0).id, u"1A"_s);
    QCOMPARE(perRow.at(0).label, u"a.pdf (1A)"_s);
    QCOMPARE(perRow.at(1).owner, u"c@x.org"_s);
    QCOMPARE(perRow.at(1).label, u"(unknown) (1D)"_s);

    // One user's listing: every row is theirs, whatever its owner column says.
    const QList<DeleteTarget> mine = deleteTargets(listing.rows, u"me@x.org"_s);
    QCOMPARE(mine.size(), 3);
    for (const DeleteTarget &target : mine)
        QCOMPARE(target.owner, u"me@x.org"_s);
    QCOMPARE(mine.at(1).id, u"1C"_s);
}

void DriveListingTest::ouPaths_trimmedUniqueInCharacterCodeOrder() {
    const CSVTable listing = parseCSV(u"OrgUnitPath,name\n"
                                      u"/students/Grade 9,Grade 9\n"
                                      u"/Staff,Staff\n"
                                      u"  /Staff\t,Staff again\n"
                                      u"/Students,Students\n"
                                      u"/staff,lower\n"
                                      u"   ,blank\n"
                                      u"/Staff,Staff\n"_s);
    QCOMPARE(ouPathsFromListing(listing),
             (QStringList{u"/Staff"_s, u"/Students"_s, u"/staff"_s, u"/students/Grade 9"_s}));
    QVERIFY(ouPathsFromListing(parseCSV(u"name\nStaff\n"_s)).isEmpty());
}

void DriveListingTest::ouPaths_filterIgnoresCaseButNotSpaces() {
    const QStringList paths{u"/Staff/Teachers"_s, u"/Students/Grade 9"_s, u"/Students/Grade 10"_s};
    QCOMPARE(filterOUPaths(paths, QString()), paths);
    QCOMPARE(filterOUPaths(paths, u"grade"_s), (QStringList{u"/Students/Grade 9"_s, u"/Students/Grade 10"_s}));
    QCOMPARE(filterOUPaths(paths, u" 1"_s), QStringList{u"/Students/Grade 10"_s});
    QCOMPARE(filterOUPaths(paths, u" staff"_s), QStringList());
}

void DriveListingTest::scanFailures_distinctUsersFromChildLines() {
    const QString stdErr =
        u"Getting all Users in the Organizational Unit for /Students, may take some time on a large Organizational "
        u"Unit...\n\rGot 40 Users in the Organizational Unit for /Students...\r\n"
        u"2024-03-24T08:04:46.235+00:00,0/40,Using 20 processes...\n"
        u"Getting all Drive Files/Folders that match query ('me' in owners) for a@x.org\n"
        u"\rGot 2 Drive Files/Folders that matched query ('me' in owners) for a@x.org...\r\n"
        u"User: b@x.org, Drive Files/Folders, Print Failed: Rate Limit Exceeded: User rate limit exceeded.\n"
        u"\rGot 3 Drive Files/FoldersUser: C@x.org, Shared Drive ID: 0AB, Does not exist\n"
        u"  User: b@x.org, Drive Files/Folders, Print Failed: Backend Error\n"
        u"User: d@x.org, Drive Service/App not enabled\r\n"
        u"User: e@x.org, Drive Files/Folders, Printed\n"
        u"2024-03-24T08:04:50.001+00:00,0/40,Processing complete\n"_s;
    const ScanFailures failures = findScanFailures(stdErr);
    QCOMPARE(failures.users, (QStringList{u"b@x.org"_s, u"C@x.org"_s, u"d@x.org"_s}));
    QCOMPARE(failures.lines.size(), 4);
    QCOMPARE(failures.lines.at(1), u"User: C@x.org, Shared Drive ID: 0AB, Does not exist"_s);
    QVERIFY(findScanFailures(u"Got 0 Drive Files/Folders for a@x.org...\n"_s).users.isEmpty());
}

QTEST_GUILESS_MAIN(DriveListingTest)
#include "tst_drivelisting.moc"
