#include "TestSupport.h"

#include "assistant/APIKeyStore.h"

using namespace Qt::StringLiterals;

// No Secret Service at all: the session bus address leads nowhere.
class TestAPIKeyWithoutSecretService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tarnwick-test-bus");
        qunsetenv("DISPLAY");
    }

    void loadingGivesNoKey() { QCOMPARE(awaitTask(APIKeyStore::loadKey()), std::nullopt); }

    void savingFailsWithTheKeyringMessage() {
        try {
            awaitTask(APIKeyStore::saveKey(u"sk-ant-nowhere"_s));
            QFAIL("saving without a Secret Service succeeded");
        } catch (const KeychainError &error) {
            qInfo("save error: %s (code %d)", qPrintable(error.description()), error.code());
            QVERIFY2(error.description().startsWith(u"Couldn't reach your system keyring: "_s),
                     qPrintable(error.description()));
            QVERIFY(!error.description().contains(u"sk-ant-nowhere"_s));
        }
    }

    void deletingStillFinishes() { awaitTask(APIKeyStore::deleteKey()); }
};

QTEST_GUILESS_MAIN(TestAPIKeyWithoutSecretService)
#include "tst_api_key_without_secret_service.moc"
