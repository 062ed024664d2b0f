#include "profiles/GAMConfigFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace GAMConfigFile;

namespace {

constexpr auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// The owner, group and other bits (Qt's "user" bits mirror the owner's).
QFileDevice::Permissions mode(const QString &path) {
    return QFile::permissions(path) & QFileDevice::Permissions::fromInt(0x7077);
}

void writeBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList entries(const QString &folder) {
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QString stampNow() {
    return QLocale::c().toString(QDateTime::currentDateTime(), u"yyyyMMdd-HHmmss"_s);
}

// Caps the size of files this process may write, so writes past it fail with
// EFBIG even for root (who ignores permission bits).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

const QByteArray threeSections = "[DEFAULT]\nconfig_dir = /creds\n\n[a]\ndomain = a.org\n\n[b]\ndomain = b.org\n\n"
                                 "[c]\ndomain = c.org\n";

} // namespace

class TestGAMConfigFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_folder;
    QString m_cfg;
    int m_count = 0;

private Q_SLOTS:
    void init() {
        m_folder = m_tmp.filePath(QString::number(++m_count));
        QVERIFY(QDir().mkpath(m_folder));
        m_cfg = filePath(m_folder);
    }

    void sectionNamesRecognisesHeaders() {
        writeBytes(m_cfg, "[DEFAULT]\nsection = a\n[ a ]\n\t[\u00a0B\t]  \n[]\n[unclosed\n# [commented]\n"
                          "key = [not a header\n[default]\n[a]\n[Schüler-Süd]\n");
        QCOMPARE(sectionNames(m_folder), (QStringList{u"a"_s, u"B"_s, u"a"_s, u"Schüler-Süd"_s}));
    }

    void sectionNamesSplitsAtEveryLineBreak() {
        writeBytes(m_cfg, "[a]\r\n[b]\r[c]\v[d]\f[e]\u0085[f]\u2028[g]\u2029[h]");
        QCOMPARE(sectionNames(m_folder), (QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s, u"g"_s, u"h"_s}));
    }

    void sectionNamesOfUnreadableFilesAreEmpty() {
        QVERIFY(sectionNames(m_folder).isEmpty());
        writeBytes(m_cfg, "[a]\n[b\xff\xfe]\n");
        QVERIFY(sectionNames(m_folder).isEmpty());
    }

    void sectionNamesDefaultsToDotGamInHome() {
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", m_folder.toUtf8());
        QVERIFY(QDir(m_folder).mkdir(u".gam"_s));
        writeBytes(m_folder + u"/.gam/gam.cfg"_s, "[home]\n");
        const QStringList names = sectionNames();
        qputenv("HOME", oldHome);
        QCOMPARE(names, QStringList{u"home"_s});
    }

    void credentialsBase_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected"); // "<folder>" and "<home>" are replaced

        QTest::newRow("no file") << QByteArray() << u"<folder>"_s;
        QTest::newRow("quoted tilde") << QByteArray("[DEFAULT]\nconfig_dir = \"~/GAM Config\"\n")
                                      << u"<home>/GAM Config"_s;
        QTest::newRow("single quotes, relative")
            << QByteArray("[DEFAULT]\nconfig_dir='creds'\n") << u"<folder>/creds"_s;
        QTest::newRow("bare relative") << QByteArray("[DEFAULT]\n Config_Dir =  district-a \n")
                                       << u"<folder>/district-a"_s;
        QTest::newRow("dot") << QByteArray("[DEFAULT]\nconfig_dir = .\n") << u"<folder>"_s;
        QTest::newRow("blank value") << QByteArray("[DEFAULT]\nconfig_dir = /x\nconfig_dir =  \n") << u"<folder>"_s;
        QTest::newRow("nothing after =") << QByteArray("[DEFAULT]\nconfig_dir = /x\nconfig_dir=\n") << u"/x"_s;
        QTest::newRow("absolute") << QByteArray("[default]\nconfig_dir = /srv/gam\n") << u"/srv/gam"_s;
        QTest::newRow("later wins") << QByteArray("[DEFAULT]\nconfig_dir = /one\nconfig_dir = /two\n") << u"/two"_s;
        QTest::newRow("other section ignored")
            << QByteArray("config_dir = /before\n[a]\nconfig_dir = /a\n[DEFAULT]\ncache_dir = /c\n") << u"<folder>"_s;
        QTest::newRow("non-ASCII, CR LF")
            << QByteArray("[DEFAULT]\r\nconfig_dir = Schulbezirk Süd\r\n") << u"<folder>/Schulbezirk Süd"_s;
    }

    void credentialsBase() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        if (!content.isNull())
            writeBytes(m_cfg, content);
        expected.replace(u"<folder>"_s, m_folder).replace(u"<home>"_s, QDir::homePath());
        QCOMPARE(GAMConfigFile::credentialsBase(m_folder), expected);
    }

    void backupCopiesWithOwnerOnlyMode() {
        writeBytes(m_cfg, threeSections);
        QVERIFY(QFile::setPermissions(m_cfg, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                                 QFileDevice::ReadOther));
        const QString stamp = stampNow();
        const QString backup = makeBackup(m_folder);
        QVERIFY2(
            QRegularExpression(u"^"_s + QRegularExpression::escape(m_folder) + uR"(/gam\.cfg\.backup-\d{8}-\d{6}$)"_s)
                .match(backup)
                .hasMatch(),
            qPrintable(backup));
        QVERIFY(backup.sliced(m_folder.size() + 16) >= stamp);
        QCOMPARE(readBytes(backup), threeSections);
        QCOMPARE(mode(backup), ownerOnly);
        QCOMPARE(readBytes(m_cfg), threeSections);
    }

    void backupsInOneSecondGetCounters() {
        writeBytes(m_cfg, "[a]\n");
        // Retry if the second happened to change between the two backups.
        for (int attempt = 0; attempt < 5; ++attempt) {
            const QString before = stampNow();
            const QStringList backups{makeBackup(m_folder), makeBackup(m_folder), makeBackup(m_folder)};
            if (stampNow() != before) {
                for (const QString &b : backups)
                    QFile::remove(b);
                continue;
            }
            const QString base = m_folder + u"/gam.cfg.backup-"_s + before;
            QCOMPARE(backups, (QStringList{base, base + u"-2"_s, base + u"-3"_s}));
            return;
        }
        QFAIL("the clock kept changing seconds");
    }

    void backupOfMissingFileFails() {
        QVERIFY_THROWS_EXCEPTION(FileError, makeBackup(m_folder));
        QVERIFY(entries(m_folder).isEmpty());
    }

    void appendSectionWritesTheNewSection_data() {
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray section = "\n[district-b]\nconfig_dir = /home/admin/.gam/Bezirk Süd\n"
                                   "customer_id = my_customer\ndomain = bézirk.example\n";
        QTest::newRow("empty file") << QByteArray("") << section;
        QTest::newRow("final line feed") << QByteArray("[a]\nx = 1\n") << QByteArray("[a]\nx = 1\n" + section);
        QTest::newRow("no final line feed") << QByteArray("[a]\nx = 1") << QByteArray("[a]\nx = 1" + section);
        QTest::newRow("blank lines kept") << QByteArray("[a]\n\n \n") << QByteArray("[a]\n\n \n" + section);
        QTest::newRow("byte-order marks kept")
            << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF# x\n") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF# x\n" + section);
        QTest::newRow("CR LF file") << QByteArray("[a]\r\nx = 1\r\n")
                                    << QByteArray("[a]\r\nx = 1\r\n" + QByteArray(section).replace("\n", "\r\n"));
    }

    void appendSectionWritesTheNewSection() {
        QFETCH(QByteArray, old);
        QFETCH(QByteArray, expected);
        writeBytes(m_cfg, old);
        const auto expectedMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
        QVERIFY(QFile::setPermissions(m_cfg, expectedMode));

        const QString backup =
            appendSection(m_folder, u"district-b"_s, u"/home/admin/.gam/Bezirk Süd"_s, u"bézirk.example"_s);
        QCOMPARE(readBytes(m_cfg), expected);
        QCOMPARE(mode(m_cfg), expectedMode);
        QCOMPARE(readBytes(backup), old);
        QCOMPARE(entries(m_folder).size(), 2);
        QVERIFY(sectionNames(m_folder).endsWith(u"district-b"_s));
        QCOMPARE(GAMConfigFile::credentialsBase(m_folder), m_folder);
    }

    void appendSectionRefusesWithoutBackup() {
        try {
            appendSection(m_folder, u"x"_s, u"/c"_s, u"x.org"_s);
            QFAIL("appended to a missing file");
        } catch (const EditError &e) {
            QCOMPARE(e.kind(), EditError::Kind::missing);
            QCOMPARE(e.description(), u"There's no gam.cfg at "_s + m_cfg + u"."_s);
        }
        QVERIFY(entries(m_folder).isEmpty());

        writeBytes(m_cfg, threeSections);
        try {
            appendSection(m_folder, u"B"_s, u"/c"_s, u"x.org"_s);
            QFAIL("appended a duplicate section");
        } catch (const EditError &e) {
            QCOMPARE(e.kind(), EditError::Kind::sectionExists);
            QCOMPARE(e.description(), u"gam.cfg already has a section named B."_s);
        }
        QCOMPARE(entries(m_folder), QStringList{u"gam.cfg"_s});
        QCOMPARE(readBytes(m_cfg), threeSections);
    }

    void removeSectionKeepsOneBlankLine_data() {
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("middle") << threeSections << u"b"_s
                                << QByteArray("[DEFAULT]\nconfig_dir = /creds\n\n[a]\ndomain = a.org\n\n"
                                              "[c]\ndomain = c.org\n");
        QTest::newRow("last") << QByteArray("[a]\ndomain = a.org\n\n[b]\ndomain = b.org\n\n") << u"b"_s
                              << QByteArray("[a]\ndomain = a.org\n");
        QTest::newRow("last keeps further blank lines")
            << QByteArray("[a]\ndomain = a.org\n\n  \n[b]\ndomain = b.org\n") << u"b"_s
            << QByteArray("[a]\ndomain = a.org\n\n  ");
        QTest::newRow("last, CR LF") << QByteArray("[a]\r\nx = 1\r\n\r\n[b]\r\ny = 2\r\n") << u"b"_s
                                     << QByteArray("[a]\r\nx = 1\r\n");
        QTest::newRow("middle, CR LF") << QByteArray("[a]\r\nx = 1\r\n\r\n[b]\r\ny = 2\r\n\r\n[c]\r\n") << u"b"_s
                                       << QByteArray("[a]\r\nx = 1\r\n\r\n[c]\r\n");
        QTest::newRow("byte-order mark before the first header")
            << QByteArray("\xEF\xBB\xBF[a]\nx = 1\n[b]\n") << u"a"_s << QByteArray("\xEF\xBB\xBF[b]\n");
        QTest::newRow("first line") << QByteArray("[a]\ndomain = a.org\n\n[b]\ndomain = b.org\n") << u"a"_s
                                    << QByteArray("[b]\ndomain = b.org\n");
        QTest::newRow("after leading blanks")
            << QByteArray("\n\n[a]\nx = 1\n[b]\ny = 2") << u"a"_s << QByteArray("[b]\ny = 2\n");
        QTest::newRow("stops at DEFAULT") << QByteArray("# top\n[a]\nx = 1\n[DEFAULT]\nz = 3\n") << u"a"_s
                                          << QByteArray("# top\n\n[DEFAULT]\nz = 3\n");
        QTest::newRow("only first duplicate")
            << QByteArray("[a]\nx = 1\n[ a ]\ny = 2\n") << u"a"_s << QByteArray("[ a ]\ny = 2\n");
        QTest::newRow("non-ASCII") << QByteArray("[Süd]\ndomain = süd.example\n\n[Nord]\ndomain = nord.example\n")
                                   << u"Nord"_s << QByteArray("[Süd]\ndomain = süd.example\n");
    }

    void removeSectionKeepsOneBlankLine() {
        QFETCH(QByteArray, old);
        QFETCH(QString, section);
        QFETCH(QByteArray, expected);
        writeBytes(m_cfg, old);
        const QString backup = removeSection(section, m_folder);
        QCOMPARE(readBytes(m_cfg), expected);
        QCOMPARE(readBytes(backup), old);
    }

    void removeSectionRefusesWithoutBackup_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::newRow("case differs") << threeSections << u"B"_s;
        QTest::newRow("DEFAULT is not the named section") << QByteArray("[a]\n") << u"DEFAULT"_s;
        QTest::newRow("after a second byte-order mark") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF[a]\n") << u"a"_s;
    }

    void removeSectionRefusesWithoutBackup() {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        writeBytes(m_cfg, content);
        try {
            removeSection(section, m_folder);
            QFAIL("removed a section that isn't there");
        } catch (const EditError &e) {
            QCOMPARE(e.kind(), EditError::Kind::sectionNotFound);
            QCOMPARE(e.description(), u"gam.cfg has no section named "_s + section + u"."_s);
        }
        QCOMPARE(readBytes(m_cfg), content);
        QCOMPARE(entries(m_folder), QStringList{u"gam.cfg"_s});
    }

    void removeSectionOfMissingFile() {
        QVERIFY_THROWS_EXCEPTION(EditError, removeSection(u"a"_s, m_folder));
        QVERIFY(entries(m_folder).isEmpty());
    }

    void validateSectionName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message"); // empty: valid
        const QString charset = u"Section names can use letters, numbers, dots, dashes and underscores."_s;
        QTest::newRow("empty") << QString() << u"Enter a section name."_s;
        QTest::newRow("default") << u"default"_s << u"DEFAULT is reserved by GAM."_s;
        QTest::newRow("leading dash") << u"-a"_s << charset;
        QTest::newRow("blank inside") << u"district a"_s << charset;
        QTest::newRow("non-ASCII letter") << u"süd"_s << charset;
        QTest::newRow("trailing line feed") << u"a\n"_s << charset;
        QTest::newRow("exists in other case")
            << u"District-A"_s << u"gam.cfg already has a section named District-A."_s;
        QTest::newRow("charset before duplicate") << u"_x"_s << charset;
        QTest::newRow("valid") << u"9district_b.2-x"_s << QString();
    }

    void validateSectionName() {
        QFETCH(QString, name);
        QFETCH(QString, message);
        const std::optional<QString> result =
            GAMConfigFile::validateSectionName(name, {u"district-a"_s, u"_x"_s, u"other"_s});
        QCOMPARE(result.value_or(QString()), message);
        QCOMPARE(result.has_value(), !message.isEmpty());
    }

    void removingAnAppendedSectionRestoresTheFile_data() {
        QTest::addColumn<QByteArray>("old");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("final line feed") << QByteArray("[a]\nx = 1\n");
        QTest::newRow("no final line feed") << QByteArray("[a]\nx = 1");
        QTest::newRow("blank lines at the end") << QByteArray("[a]\nx = 1\n\n\n\t\n");
        QTest::newRow("CR LF") << QByteArray("[a]\r\nx=1\r\n");
        QTest::newRow("CR LF blank line") << QByteArray("[a]\r\nx=1\r\n\r\n");
        QTest::newRow("ends in CR") << QByteArray("[a]\rx=1\r");
        QTest::newRow("byte-order marks") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF[a]\n");
        QTest::newRow("only a byte-order mark") << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("other line breaks") << QByteArray("[a]\vx = 1\f\xC2\x85\xE2\x80\xA8");
    }

    void removingAnAppendedSectionRestoresTheFile() {
        QFETCH(QByteArray, old);
        writeBytes(m_cfg, old);
        appendSection(m_folder, u"district-b"_s, u"/creds/b"_s, u"b.example.org"_s);
        QCOMPARE(sectionNames(m_folder).last(), u"district-b"_s);
        removeSection(u"district-b"_s, m_folder);
        QCOMPARE(readBytes(m_cfg), old);
    }

    void sectionsAddedLaterSurviveACRLFHeader() {
        writeBytes(m_cfg, "[a]\r\nx=1\r\n");
        appendSection(m_folder, u"s"_s, u"/creds/s"_s, u"s.example.org"_s);
        QFile file(m_cfg);
        QVERIFY(file.open(QIODevice::Append));
        file.write("[t]\r\ny=2\r\n");
        file.close();
        removeSection(u"s"_s, m_folder);
        QCOMPARE(readBytes(m_cfg), QByteArray("[a]\r\nx=1\r\n\r\n[t]\r\ny=2\r\n"));
        QCOMPARE(sectionNames(m_folder), (QStringList{u"a"_s, u"t"_s}));
    }

    void textThatIsNotUTF8IsNeverRewritten_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("Latin-1") << QByteArray("[a]\ndomain = m\xFCnchen.example\n");
        QTest::newRow("incomplete sequence at the end") << QByteArray("[a]\nx = caf\xC3");
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFE[\0a\0]\0\n\0", 10);
    }

    void textThatIsNotUTF8IsNeverRewritten() {
        QFETCH(QByteArray, content);
        writeBytes(m_cfg, content);
        QVERIFY(sectionNames(m_folder).isEmpty());
        const auto expectNotUTF8 = [&](const std::function<void()> &edit) {
            try {
                edit();
                QFAIL("edited a file that is not UTF-8");
            } catch (const EditError &e) {
                QCOMPARE(e.kind(), EditError::Kind::notUTF8);
                QCOMPARE(e.description(),
                         u"The gam.cfg at "_s + m_cfg + u" isn't UTF-8 text, so Tarnwick left it unchanged."_s);
            }
        };
        expectNotUTF8([&] { appendSection(m_folder, u"b"_s, u"/creds/b"_s, u"b.org"_s); });
        expectNotUTF8([&] { removeSection(u"a"_s, m_folder); });
        QCOMPARE(readBytes(m_cfg), content);
        QCOMPARE(entries(m_folder), QStringList{u"gam.cfg"_s});
    }

    void readOnlyFolderStopsBeforeWriting() {
        if (geteuid() == 0)
            QSKIP("root ignores permission bits; backupFailureWritesNothing covers the failed backup");
        writeBytes(m_cfg, threeSections);
        QVERIFY(QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        try {
            removeSection(u"b"_s, m_folder);
            QFAIL("edited a file in a read-only folder");
        } catch (const FileError &e) {
            QVERIFY2(e.description().contains(u"Permission denied"_s), qPrintable(e.description()));
        }
        QVERIFY(
            QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        QCOMPARE(readBytes(m_cfg), threeSections);
        QCOMPARE(entries(m_folder), QStringList{u"gam.cfg"_s});
    }

    void backupFailureWritesNothing() {
        // The backup (full size) cannot be written, but the shorter result
        // could: only stopping after the failed backup keeps gam.cfg intact.
        writeBytes(m_cfg, threeSections);
        {
            FileSizeLimit limit(threeSections.size() - 10);
            try {
                removeSection(u"b"_s, m_folder);
                QFAIL("removed a section without a backup");
            } catch (const FileError &e) {
                QVERIFY2(e.description().startsWith(u"The backup "_s + m_folder + u"/gam.cfg.backup-"_s),
                         qPrintable(e.description()));
                QVERIFY2(e.description().contains(u"too large"_s), qPrintable(e.description()));
            }
        }
        QCOMPARE(readBytes(m_cfg), threeSections);
        QCOMPARE(entries(m_folder), QStringList{u"gam.cfg"_s});
    }

    void failedWriteKeepsOldFileAndBackup() {
        writeBytes(m_cfg, threeSections);
        QString backupName;
        {
            FileSizeLimit limit(threeSections.size() + 10);
            QVERIFY_THROWS_EXCEPTION(FileError, appendSection(m_folder, u"d"_s, u"/creds/d"_s, u"d.org"_s));
        }
        QCOMPARE(readBytes(m_cfg), threeSections);
        const QStringList files = entries(m_folder);
        QCOMPARE(files.size(), 2); // no temporary file left behind
        QVERIFY(files[1].startsWith(u"gam.cfg.backup-"_s));
        QCOMPARE(readBytes(m_folder + u'/' + files[1]), threeSections);
    }

    void symbolicLinkIsWrittenThrough() {
        const QString targetFolder = m_folder + u"/dotfiles"_s;
        QVERIFY(QDir().mkpath(targetFolder));
        const QString target = targetFolder + u"/gam.cfg"_s;
        writeBytes(target, threeSections);
        const auto expectedMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
        QVERIFY(QFile::setPermissions(target, expectedMode));
        QVERIFY(QFile::link(u"dotfiles/gam.cfg"_s, m_cfg));

        QCOMPARE(sectionNames(m_folder), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
        const QString backup = removeSection(u"a"_s, m_folder);

        QVERIFY(QFileInfo(m_cfg).isSymLink());
        QCOMPARE(QFileInfo(m_cfg).symLinkTarget(), target);
        QCOMPARE(readBytes(target),
                 QByteArray("[DEFAULT]\nconfig_dir = /creds\n\n[b]\ndomain = b.org\n\n[c]\ndomain = c.org\n"));
        QCOMPARE(mode(target), expectedMode);
        QCOMPARE(QFileInfo(backup).absolutePath(), m_folder);
        QVERIFY(!QFileInfo(backup).isSymLink());
        QCOMPARE(readBytes(backup), threeSections);
        QCOMPARE(entries(targetFolder), QStringList{u"gam.cfg"_s});
    }
};

QTEST_GUILESS_MAIN(TestGAMConfigFile)
#include "tst_gam_config_file.moc"
