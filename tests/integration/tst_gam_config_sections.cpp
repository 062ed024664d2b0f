#include "TestSupport.h"
#include "core/GAM.h"
#include "profiles/GAMConfigFile.h"

#include <QDir>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

// The sections Tarnwick writes into gam.cfg are the ones the practice gam (and
// so GAM) selects domains by.
class TestGAMConfigSections : public QObject {
    Q_OBJECT

private:
    IsolatedSettings m_settings;
    QTemporaryDir m_dir;

    static QString primaryDomain(const CommandResult &result) {
        static const QRegularExpression pattern(u"(?i)primary\\s*domain\\s*:\\s*(\\S+)"_s);
        const auto match = pattern.match(result.stdOut + u'\n' + result.stdErr);
        return match.hasMatch() ? match.captured(1) : QString();
    }

    CommandResult infoDomain(const QString &configDir, const QString &section) {
        DomainProfile profile;
        profile.configDir = configDir;
        profile.section = section;
        return awaitTask(GAM::runGAM({u"info"_s, u"domain"_s}, 30, GAM::ProfileChoice::specific(profile)));
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(QFileInfo(QStringLiteral(PRACTICE_GAM_PATH)).isExecutable());
        QSettings().setValue(u"gamPath"_s, QStringLiteral(PRACTICE_GAM_PATH));
    }

    void appendedSectionSelectsItsDomainAndRemovalUnselectsIt() {
        const QString main = m_dir.filePath(u"main"_s);
        const QString second = m_dir.filePath(u"second"_s);
        QVERIFY(seedPracticeDomain(main, u"example.org"_s, 30));
        QVERIFY(seedPracticeDomain(second, u"district-b.example.net"_s, 30));

        QCOMPARE(primaryDomain(infoDomain(main, QString())), u"example.org"_s);

        GAMConfigFile::appendSection(main, u"district-b"_s, second, u"district-b.example.net"_s);
        QCOMPARE(GAMConfigFile::sectionNames(main), QStringList{u"district-b"_s});
        QCOMPARE(primaryDomain(infoDomain(main, u"district-b"_s)), u"district-b.example.net"_s);
        // The default section still answers for the first district.
        QCOMPARE(primaryDomain(infoDomain(main, u" default "_s)), u"example.org"_s);

        GAMConfigFile::removeSection(u"district-b"_s, main);
        QVERIFY(GAMConfigFile::sectionNames(main).isEmpty());
        const CommandResult removed = infoDomain(main, u"district-b"_s);
        QVERIFY(removed.exitCode != 0);
        QVERIFY(primaryDomain(removed).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestGAMConfigSections)
#include "tst_gam_config_sections.moc"
