#include "TestSupport.h"

#include "core/Error.h"
#include "security/EvidenceFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <ctime>

using namespace Qt::StringLiterals;
using namespace EvidenceFiles;

namespace {

const QString user = u"morgan.ellis@example.org"_s;

QDateTime localTimeOf(int year, int month, int day, int hour, int minute) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, 7));
}

QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

constexpr int ownerOnlyFolder = 0700;
constexpr int ownerOnlyFile = 0600;

// sha256sum -c in the folder: its exit status and what it printed.
std::pair<int, QString> checkSums(const QString &folder, const QString &list) {
    QProcess check;
    check.setWorkingDirectory(folder);
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(u"sha256sum"_s, {u"-c"_s, u"--strict"_s, list});
    check.waitForFinished();
    return {check.exitCode(), QString::fromUtf8(check.readAll())};
}

} // namespace

// Evidence names, owner-only atomic writes that never replace a file, the
// SHA256SUMS ledger, the audit log and the Drive identifier in gam's output.
class EvidenceFilesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void names_localAndDriveFormsOfOneInstant();
    void names_userCannotLeaveTheFolder();
    void times_posixEnglishWhateverTheLocale();
    void write_createsOwnerOnlyFoldersAndFiles();
    void write_neverReplacesAnExistingFile();
    void write_aNameUploadedEarlierIsTaken();
    void write_folderThatIsAFileOrUnwritableFails();
    void checksums_folderChecksCleanBeforeAndAfterAnUpload();
    void audit_appendsLinesAndKeepsAnExistingMode();
    void audit_failuresThrowWithTheSystemsText();
    void driveIdentifier_lastQualifyingLineWins();
};

void EvidenceFilesTest::initTestCase() {
    // A fixed zone with a known abbreviation, without needing the zone database.
    qputenv("TZ", "EST5EDT");
    tzset();
}

void EvidenceFilesTest::names_localAndDriveFormsOfOneInstant() {
    const Name name = evidenceName(user, u"filters"_s, localTimeOf(2024, 3, 7, 9, 5));
    QCOMPARE(name.localName, u"morgan.ellis_example.org_2024-03-07_0905_filters.csv"_s);
    QCOMPARE(name.driveFolderPath, u"2024-03-07/morgan.ellis@example.org"_s);
    QCOMPARE(name.driveFileName, u"0905_filters.csv"_s);

    const Name third = numbered(name, 3);
    QCOMPARE(third.localName, u"morgan.ellis_example.org_2024-03-07_0905_filters-3.csv"_s);
    QCOMPARE(third.driveFolderPath, name.driveFolderPath);
    QCOMPARE(third.driveFileName, u"0905_filters-3.csv"_s);
}

void EvidenceFilesTest::names_userCannotLeaveTheFolder() {
    const Name name = evidenceName(u"../../etc/cron.d/x y\n@example.org"_s, u"apps"_s, localTimeOf(2024, 1, 2, 3, 4));
    QVERIFY(!name.localName.contains(u'/'));
    QVERIFY(!name.localName.contains(u'\n'));
    QCOMPARE(name.localName, u".._.._etc_cron.d_x_y__example.org_2024-01-02_0304_apps.csv"_s);
}

void EvidenceFilesTest::times_posixEnglishWhateverTheLocale() {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    const QDateTime winter = localTimeOf(2024, 1, 15, 14, 30);
    const QDateTime summer = localTimeOf(2024, 7, 15, 8, 0);
    QCOMPARE(timeStamp(winter), u"2024-01-15 14:30:07 EST"_s);
    QCOMPARE(timeStamp(summer), u"2024-07-15 08:00:07 EDT"_s);
    QCOMPARE(auditLine(winter, user, u"Deleted filters"_s),
             u"2024-01-15 14:30:07 | morgan.ellis@example.org | Deleted filters\n"_s);
    // The same instant given in UTC is written in the machine's zone.
    QCOMPARE(timeStamp(winter.toUTC()), u"2024-01-15 14:30:07 EST"_s);
    QLocale::setDefault(previous);
}

void EvidenceFilesTest::write_createsOwnerOnlyFoldersAndFiles() {
    QTemporaryDir root;
    const QString folder = root.path() + u"/exports/district a"_s;
    const Name name = evidenceName(user, u"filters"_s, QDateTime::currentDateTime());
    const Name written = writeNewEvidence(folder, name, "User,id\nx,1\n");
    QCOMPARE(written.localName, name.localName);
    QCOMPARE(contents(folder + u'/' + name.localName), QByteArray("User,id\nx,1\n"));
    QCOMPARE(fileMode(folder + u'/' + name.localName), ownerOnlyFile);
    QCOMPARE(fileMode(folder), ownerOnlyFolder);
    QCOMPARE(fileMode(root.path() + u"/exports"_s), ownerOnlyFolder);
    // No temporary file is left behind.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{name.localName});
}

void EvidenceFilesTest::write_neverReplacesAnExistingFile() {
    QTemporaryDir root;
    const Name name = evidenceName(user, u"signout_confirmation"_s, localTimeOf(2024, 5, 1, 10, 0));
    QCOMPARE(writeNewEvidence(root.path(), name, "first").localName, name.localName);
    const Name second = writeNewEvidence(root.path(), name, "second");
    const Name third = writeNewEvidence(root.path(), name, "third");
    QCOMPARE(second.localName, u"morgan.ellis_example.org_2024-05-01_1000_signout_confirmation-2.csv"_s);
    QCOMPARE(second.driveFileName, u"1000_signout_confirmation-2.csv"_s);
    QCOMPARE(third.localName, u"morgan.ellis_example.org_2024-05-01_1000_signout_confirmation-3.csv"_s);
    QCOMPARE(contents(root.filePath(name.localName)), QByteArray("first"));
    QCOMPARE(contents(root.filePath(second.localName)), QByteArray("second"));
    QCOMPARE(contents(root.filePath(third.localName)), QByteArray("third"));
}

void EvidenceFilesTest::write_aNameUploadedEarlierIsTaken() {
    QTemporaryDir root;
    const Name name = evidenceName(user, u"apps"_s, localTimeOf(2024, 5, 1, 10, 0));
    writeNewEvidence(root.path(), name, "uploaded");
    recordChecksum(root.path(), name.localName, sha256Hex("uploaded"));
    QVERIFY(moveChecksumToUploaded(root.path(), name.localName, u"2024-05-01/x/1000_apps.csv"_s));
    QFile::remove(root.filePath(name.localName));
    // The local copy is gone, but the name stays with the uploaded file.
    QCOMPARE(writeNewEvidence(root.path(), name, "later").localName, numbered(name, 2).localName);
}

void EvidenceFilesTest::write_folderThatIsAFileOrUnwritableFails() {
    QTemporaryDir root;
    QFile blocker(root.filePath(u"exports"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const Name name = evidenceName(user, u"apps"_s, QDateTime::currentDateTime());
    try {
        writeNewEvidence(root.filePath(u"exports"_s), name, "x");
        QFAIL("wrote into a file");
    } catch (const Error &error) {
        QCOMPARE(error.description(), root.filePath(u"exports"_s) + u": Not a directory"_s);
    }
    try {
        writeNewEvidence(root.filePath(u"exports/inner"_s), name, "x");
        QFAIL("wrote below a file");
    } catch (const Error &error) {
        QVERIFY2(error.description().endsWith(u": Not a directory"_s), qPrintable(error.description()));
    }
    // Even root cannot create folders in /proc.
    QVERIFY_THROWS_EXCEPTION(Error, writeNewEvidence(u"/proc/tarnwick-evidence"_s, name, "x"));
}

void EvidenceFilesTest::checksums_folderChecksCleanBeforeAndAfterAnUpload() {
    if (QStandardPaths::findExecutable(u"sha256sum"_s).isEmpty())
        QSKIP("sha256sum is not installed");
    QTemporaryDir root;
    QStringList names;
    for (const QByteArray &content : {QByteArray("a,b\n1,2\n"), QByteArray("ü,\"x\"\n"), QByteArray("c\n")}) {
        const Name name =
            writeNewEvidence(root.path(), evidenceName(user, u"filters"_s, QDateTime::currentDateTime()), content);
        recordChecksum(root.path(), name.localName, sha256Hex(content));
        names.append(name.localName);
    }
    QCOMPARE(fileMode(root.filePath(u"SHA256SUMS"_s)), ownerOnlyFile);
    auto [status, output] = checkSums(root.path(), u"SHA256SUMS"_s);
    QVERIFY2(status == 0, qPrintable(output));
    QCOMPARE(output.count(u": OK"_s), 3);

    // The second one is uploaded: its line moves, its local copy goes, the folder still checks clean.
    const auto hash = moveChecksumToUploaded(root.path(), names[1], u"2024-05-01/u/1000_filters-2.csv"_s);
    QCOMPARE(hash, sha256Hex("ü,\"x\"\n"));
    QFile::remove(root.filePath(names[1]));
    std::tie(status, output) = checkSums(root.path(), u"SHA256SUMS"_s);
    QVERIFY2(status == 0, qPrintable(output));
    QCOMPARE(output.count(u": OK"_s), 2);
    QCOMPARE(contents(root.filePath(u"SHA256SUMS.uploaded"_s)),
             (*hash + u"  "_s + names[1] + u"  2024-05-01/u/1000_filters-2.csv\n"_s).toUtf8());
    QCOMPARE(fileMode(root.filePath(u"SHA256SUMS.uploaded"_s)), ownerOnlyFile);
    QCOMPARE(fileMode(root.filePath(u"SHA256SUMS"_s)), ownerOnlyFile);
    // A file that was never recorded has nothing to move.
    QCOMPARE(moveChecksumToUploaded(root.path(), u"other.csv"_s, u"x"_s), std::nullopt);
}

void EvidenceFilesTest::audit_appendsLinesAndKeepsAnExistingMode() {
    QTemporaryDir root;
    const QString path = root.filePath(u"logs/district/incident_audit_log.txt"_s);
    appendAuditLine(path, u"first | a | b\n"_s);
    appendAuditLine(path, u"second | a | ü\n"_s);
    QCOMPARE(contents(path), QByteArray("first | a | b\nsecond | a | \xC3\xBC\n"));
    QCOMPARE(fileMode(path), ownerOnlyFile);

    const QString shared = root.filePath(u"shared_log.txt"_s);
    QFile existing(shared);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("kept\n");
    existing.close();
    QVERIFY(QFile::setPermissions(shared, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    appendAuditLine(shared, u"added\n"_s);
    QCOMPARE(contents(shared), QByteArray("kept\nadded\n"));
    QCOMPARE(fileMode(shared), 0644);
}

void EvidenceFilesTest::audit_failuresThrowWithTheSystemsText() {
    if (QFileInfo::exists(u"/dev/full"_s)) {
        try {
            appendAuditLine(u"/dev/full"_s, u"line\n"_s);
            QFAIL("a full disk took the line");
        } catch (const Error &error) {
            QVERIFY2(error.description().contains(u"No space left on device"_s), qPrintable(error.description()));
        }
    }
    QTemporaryDir root;
    QFile blocker(root.filePath(u"logs"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        appendAuditLine(root.filePath(u"logs/audit.txt"_s), u"line\n"_s);
        QFAIL("the log's folder is a file");
    } catch (const Error &error) {
        QCOMPARE(error.description(), root.filePath(u"logs"_s) + u": Not a directory"_s);
    }
}

void EvidenceFilesTest::driveIdentifier_lastQualifyingLineWins() {
    QCOMPARE(driveIdentifier(u"1AbC-def_GHIjkl0123456789\n"_s), u"1AbC-def_GHIjkl0123456789"_s);
    // A warning after the identifier is skipped; so are short and spaced lines.
    QCOMPARE(driveIdentifier(u"  1AbCdefGHIjkl012345  \nWARNING: quota is low\nok\n"_s), u"1AbCdefGHIjkl012345"_s);
    QCOMPARE(driveIdentifier(u"first_identifier_0001\nsecond_identifier_002\n"_s), u"second_identifier_002"_s);
    QCOMPARE(driveIdentifier(u"abcdefghijklmno"_s), u"abcdefghijklmno"_s); // 15
    QCOMPARE(driveIdentifier(u"abcdefghijklmn"_s), std::nullopt);          // 14
    QCOMPARE(driveIdentifier(u"1AbCdefGHIjkl012345\r\n"_s), u"1AbCdefGHIjkl012345"_s);
    QCOMPARE(driveIdentifier(u"User: a@x.org, Drive File: x.csv(1AbC), Created\n"_s), std::nullopt);
    QCOMPARE(driveIdentifier(QString()), std::nullopt);
}

QTEST_GUILESS_MAIN(EvidenceFilesTest)
#include "tst_evidencefiles.moc"
