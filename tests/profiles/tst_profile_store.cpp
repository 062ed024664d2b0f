#include "profiles/ProfileStore.h"

#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

class TestProfileStore : public QObject {
    Q_OBJECT

private:
    std::optional<IsolatedSettings> m_settings;
    QTemporaryDir m_home;

    static QJsonObject profileObject(const QString &id, const QString &name) {
        return {{u"id"_s, id},
                {u"name"_s, name},
                {u"configDir"_s, u"~/gam/district"_s},
                {u"section"_s, u"school2"_s},
                {u"domain"_s, u"district.example"_s},
                {u"exportDir"_s, u"/e"_s},
                {u"auditLog"_s, u"/e/log.txt"_s},
                {u"driveUploadUser"_s, u"admin@district.example"_s},
                {u"driveFolderID"_s, u"folder123"_s}};
    }
    static void storeProfiles(const QJsonArray &array) {
        QSettings().setValue(u"domainProfiles"_s, QJsonDocument(array).toJson());
    }
    static QJsonArray storedArray() {
        return QJsonDocument::fromJson(QSettings().value(u"domainProfiles"_s).toByteArray()).array();
    }

private Q_SLOTS:
    void init() {
        m_settings.reset();
        m_settings.emplace();
        qputenv("HOME", m_home.path().toUtf8());
        qunsetenv("GAMCFGDIR");
    }

    void firstLaunchMigratesDefaults() {
        ProfileStore store;
        QCOMPARE(store.profiles().size(), 1);
        const DomainProfile profile = store.profiles().first();
        QCOMPARE(profile.name, u"Default"_s);
        QVERIFY(profile.configDir.isEmpty());
        QVERIFY(profile.section.isEmpty());
        QVERIFY(profile.domain.isEmpty());
        QCOMPARE(profile.exportDir, m_home.path() + u"/security_exports"_s);
        QCOMPARE(profile.auditLog, m_home.path() + u"/incident_audit_log.txt"_s);
        QCOMPARE(store.activeID(), profile.id);
        // Saved straight away, so the static reader sees the same profile.
        QCOMPARE(ProfileStore::currentActiveProfile(), profile);
        QCOMPARE(QSettings().value(u"activeDomainProfileID"_s).toString(),
                 profile.id.toString(QUuid::WithoutBraces).toUpper());
    }

    void migrationReadsLegacyKeysTrimmed() {
        QSettings settings;
        settings.setValue(u"security.domain"_s, u"  District.EXAMPLE "_s);
        settings.setValue(u"gamConfigDir"_s, u" ~/gam/old "_s);
        settings.setValue(u"security.exportDir"_s, u"/srv/evidence"_s);
        settings.setValue(u"security.driveUploadUser"_s, u" up@district.example"_s);
        settings.setValue(u"security.driveFolderID"_s, u"F1 "_s);
        ProfileStore store;
        const DomainProfile profile = store.activeProfile();
        QCOMPARE(profile.name, u"district.example"_s);
        QCOMPARE(profile.domain, u"district.example"_s);
        QCOMPARE(profile.configDir, u"~/gam/old"_s);
        QCOMPARE(profile.exportDir, u"/srv/evidence"_s);
        QCOMPARE(profile.auditLog, m_home.path() + u"/incident_audit_log.txt"_s);
        QCOMPARE(profile.driveUploadUser, u"up@district.example"_s);
        QCOMPARE(profile.driveFolderID, u"F1"_s);
        // The legacy keys stay untouched.
        QCOMPARE(settings.value(u"security.domain"_s).toString(), u"  District.EXAMPLE "_s);
    }

    void emptyArrayIsTreatedAsNoData() {
        QSettings().setValue(u"domainProfiles"_s, QByteArray("[]"));
        ProfileStore store;
        QCOMPARE(store.profiles().size(), 1);
        QCOMPARE(store.profiles().first().name, u"Default"_s);
        QCOMPARE(storedArray().size(), 1);
    }

    void handWrittenArrayIsLoadedWithItsActiveProfile() {
        const QString second = u"6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8"_s;
        storeProfiles(
            {profileObject(u"11111111-2222-4333-8444-555555555555"_s, u"First"_s), profileObject(second, u"Second"_s)});
        QSettings().setValue(u"activeDomainProfileID"_s, second);
        ProfileStore store;
        QCOMPARE(store.profiles().size(), 2);
        const DomainProfile active = store.activeProfile();
        QCOMPARE(active.name, u"Second"_s);
        QCOMPARE(active.id, QUuid::fromString(second));
        QCOMPARE(active.configDir, u"~/gam/district"_s);
        QCOMPARE(active.section, u"school2"_s);
        QCOMPARE(active.domain, u"district.example"_s);
        QCOMPARE(active.exportDir, u"/e"_s);
        QCOMPARE(active.auditLog, u"/e/log.txt"_s);
        QCOMPARE(active.driveUploadUser, u"admin@district.example"_s);
        QCOMPARE(active.driveFolderID, u"folder123"_s);
    }

    void anyBrokenEntryRejectsTheWholeArray_data() {
        QTest::addColumn<QJsonObject>("broken");
        QJsonObject missing = profileObject(u"11111111-2222-4333-8444-555555555555"_s, u"B"_s);
        missing.remove(u"driveFolderID"_s);
        QJsonObject notString = profileObject(u"11111111-2222-4333-8444-555555555555"_s, u"B"_s);
        notString.insert(u"section"_s, 3);
        QTest::newRow("missing key") << missing;
        QTest::newRow("number value") << notString;
        QTest::newRow("bad id") << profileObject(u"not-a-uuid"_s, u"B"_s);
    }
    void anyBrokenEntryRejectsTheWholeArray() {
        QFETCH(QJsonObject, broken);
        storeProfiles({profileObject(u"6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8"_s, u"Good"_s), broken});
        ProfileStore store;
        QCOMPARE(store.profiles().size(), 1);
        QCOMPARE(store.profiles().first().name, u"Default"_s);
    }

    void savedJSONHasExactlyTheNineKeysAndUpperCaseID() {
        ProfileStore store;
        const DomainProfile added = store.add(u"District A"_s);
        const QJsonArray array = storedArray();
        QCOMPARE(array.size(), 2);
        const QJsonObject object = array.at(1).toObject();
        QStringList keys = object.keys();
        keys.sort();
        QCOMPARE(keys, (QStringList{u"auditLog"_s, u"configDir"_s, u"domain"_s, u"driveFolderID"_s,
                                    u"driveUploadUser"_s, u"exportDir"_s, u"id"_s, u"name"_s, u"section"_s}));
        const QString id = object.value(u"id"_s).toString();
        QCOMPARE(id, added.id.toString(QUuid::WithoutBraces).toUpper());
        QCOMPARE(id.toUpper(), id);
        // A second store reads back exactly what the first saved.
        ProfileStore reloaded;
        QCOMPARE(reloaded.profiles(), store.profiles());
        QCOMPARE(reloaded.activeID(), store.activeID());
    }

    void addMakesNamesUniqueIgnoringCase() {
        ProfileStore store;
        QSignalSpy changed(&store, &ProfileStore::profilesChanged);
        const QUuid active = store.activeID();
        QCOMPARE(store.add(u"New Domain"_s).name, u"New Domain"_s);
        QCOMPARE(store.add(u"New Domain"_s).name, u"New Domain 2"_s);
        QCOMPARE(store.add(u"New Domain"_s).name, u"New Domain 3"_s);
        const DomainProfile fourth = store.add(u"new domain"_s);
        QCOMPARE(fourth.name, u"new domain 4"_s);
        QCOMPARE(fourth.exportDir, m_home.path() + u"/security_exports/new-domain-4"_s);
        QCOMPARE(fourth.auditLog, m_home.path() + u"/security_exports/new-domain-4/incident_audit_log.txt"_s);
        QCOMPARE(changed.size(), 4);
        QCOMPARE(store.activeID(), active); // adding never activates
        QCOMPARE(ProfileStore().profiles().size(), 5);
    }

    void updateReplacesByID() {
        ProfileStore store;
        DomainProfile profile = store.add(u"B"_s);
        profile.section = u"school2"_s;
        store.update(profile);
        QCOMPARE(ProfileStore().profiles().at(1).section, u"school2"_s);
        DomainProfile stranger = profile;
        stranger.id = QUuid::createUuid();
        store.update(stranger);
        QCOMPARE(store.profiles().size(), 2);
    }

    void removeAndActivateRules() {
        ProfileStore store;
        const QUuid first = store.activeID();
        const DomainProfile second = store.add(u"Second"_s);
        const DomainProfile third = store.add(u"Third"_s);

        store.activate(QUuid::createUuid());
        QCOMPARE(store.activeID(), first);
        store.activate(third.id);
        QCOMPARE(store.activeID(), third.id);
        QCOMPARE(ProfileStore::currentActiveProfile().id, third.id); // read afresh from settings

        store.remove(third.id);
        QCOMPARE(store.activeID(), first); // the new first profile
        QCOMPARE(ProfileStore::currentActiveProfile().id, first);

        store.remove(first);
        QCOMPARE(store.profiles().size(), 1);
        QCOMPARE(store.activeID(), second.id);
        store.remove(second.id); // the last profile stays
        QCOMPARE(store.profiles().size(), 1);
        QCOMPARE(ProfileStore().profiles().size(), 1);
    }

    void removeNeverEmptiesAListOfRepeatedIDs() {
        const QString id = u"6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8"_s;
        storeProfiles({profileObject(id, u"A"_s), profileObject(id, u"B"_s)});
        ProfileStore store;
        store.remove(QUuid::fromString(id));
        QCOMPARE(store.profiles().size(), 2);
    }

    void invalidActiveIDFallsBackToFirst() {
        storeProfiles({profileObject(u"11111111-2222-4333-8444-555555555555"_s, u"First"_s),
                       profileObject(u"6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8"_s, u"Second"_s)});
        QSettings().setValue(u"activeDomainProfileID"_s, u"garbage"_s);
        QCOMPARE(ProfileStore::currentActiveProfile().name, u"First"_s);
        QCOMPARE(ProfileStore().activeProfile().name, u"First"_s);
    }

    void displayName() {
        DomainProfile profile;
        profile.name = u"District A"_s;
        QCOMPARE(profile.displayName(), u"District A"_s);
        profile.domain = u"district-a.example"_s;
        QCOMPARE(profile.displayName(), u"District A (district-a.example)"_s);
        profile.name = u"District-A.Example"_s;
        QCOMPARE(profile.displayName(), u"District-A.Example"_s);
    }

    void effectiveSection() {
        DomainProfile profile;
        QVERIFY(!profile.effectiveSection());
        profile.section = u"  DeFault "_s;
        QVERIFY(!profile.effectiveSection());
        profile.section = u" school2  "_s;
        QCOMPARE(profile.effectiveSection().value_or(QString()), u"school2"_s);
    }

    void effectiveConfigDir() {
        DomainProfile profile;
        QCOMPARE(profile.effectiveConfigDir(), m_home.path() + u"/.gam"_s);
        qputenv("GAMCFGDIR", "~/inherited");
        QCOMPARE(profile.effectiveConfigDir(), m_home.path() + u"/inherited"_s);
        profile.configDir = u"~/gam/district"_s;
        QCOMPARE(profile.effectiveConfigDir(), m_home.path() + u"/gam/district"_s);
        profile.configDir = u"~other/gam"_s; // another user's home is not ours
        QCOMPARE(profile.effectiveConfigDir(), u"~other/gam"_s);
        qunsetenv("GAMCFGDIR");
    }

    void folderSlug_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("slug");
        QTest::newRow("plain") << u"District A"_s << u"district-a"_s;
        QTest::newRow("blanks only") << u"   "_s << u"domain"_s;
        QTest::newRow("trailing bang") << u"Schools!"_s << u"schools"_s;
        QTest::newRow("no collapsing") << u"a  b"_s << u"a--b"_s;
        QTest::newRow("kept punctuation") << u"K12_north.example"_s << u"k12_north.example"_s;
        QTest::newRow("other scripts") << u"École Ünïon 東京"_s << u"école-ünïon-東京"_s;
        QTest::newRow("outside BMP") << u"a\U0001F600b"_s << u"a-b"_s;
        QTest::newRow("dot") << u"."_s << u"domain"_s;
        QTest::newRow("dot dot") << u".."_s << u"domain"_s;
        QTest::newRow("dots behind dashes") << u"/../"_s << u"domain"_s;
        QTest::newRow("slash") << u"a/b"_s << u"a-b"_s;
    }
    void folderSlug() {
        QFETCH(QString, text);
        QFETCH(QString, slug);
        QCOMPARE(::folderSlug(text), slug);
    }
};

QTEST_GUILESS_MAIN(TestProfileStore)
#include "tst_profile_store.moc"
