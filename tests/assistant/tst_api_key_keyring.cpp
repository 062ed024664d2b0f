#include "TestSupport.h"

#include "assistant/APIKeyStore.h"

#include <QProcess>

using namespace Qt::StringLiterals;

namespace {

// secret-tool's view of the items carrying the key's service and account.
QString searchItems() {
    QProcess tool;
    tool.start(u"secret-tool"_s, {u"search"_s, u"--all"_s, u"service"_s, APIKeyStore::serviceName(), u"account"_s,
                                  APIKeyStore::accountName()});
    if (!tool.waitForFinished(30000))
        qFatal("secret-tool did not finish");
    return QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
}

void storeWithSecretTool(const QByteArray &value) {
    QProcess tool;
    tool.start(u"secret-tool"_s, {u"store"_s, u"--label=other"_s, u"service"_s, APIKeyStore::serviceName(),
                                  u"account"_s, APIKeyStore::accountName()});
    tool.write(value);
    tool.closeWriteChannel();
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0)
        qFatal("secret-tool store failed");
}

} // namespace

// Runs inside tests/with-keyring.sh: a private D-Bus session with its own gnome-keyring.
class TestAPIKeyKeyring : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(qEnvironmentVariableIsSet("TARNWICK_IN_KEYRING_SESSION"),
                 "run this test through tests/with-keyring.sh");
    }

    void init() { awaitTask(APIKeyStore::deleteKey()); }

    void noKeyLoadsAsNone() { QCOMPARE(awaitTask(APIKeyStore::loadKey()), std::nullopt); }

    void savingTwiceLeavesOneItem() {
        awaitTask(APIKeyStore::saveKey(u"sk-ant-first"_s));
        awaitTask(APIKeyStore::saveKey(u"sk-ant-second-ü"_s));
        QCOMPARE(awaitTask(APIKeyStore::loadKey()), u"sk-ant-second-ü"_s);

        const QString items = searchItems();
        QCOMPARE(items.count(u"label = "_s), 1);
        QVERIFY2(items.contains(u"label = Tarnwick – Anthropic API key\n"_s), qPrintable(items));
        QVERIFY(items.contains(u"attribute.service = org.tarnwick.Tarnwick.anthropic-api-key\n"_s));
        QVERIFY(items.contains(u"attribute.account = default\n"_s));
    }

    void savingReplacesAnItemStoredElsewhere() {
        storeWithSecretTool("sk-ant-from-elsewhere");
        QCOMPARE(awaitTask(APIKeyStore::loadKey()), u"sk-ant-from-elsewhere"_s);
        awaitTask(APIKeyStore::saveKey(u"sk-ant-mine"_s));
        QCOMPARE(searchItems().count(u"label = "_s), 1);
        QCOMPARE(awaitTask(APIKeyStore::loadKey()), u"sk-ant-mine"_s);
    }

    void deleteThenLoadGivesNone() {
        awaitTask(APIKeyStore::saveKey(u"sk-ant-gone"_s));
        awaitTask(APIKeyStore::deleteKey());
        QCOMPARE(awaitTask(APIKeyStore::loadKey()), std::nullopt);
        QCOMPARE(searchItems().count(u"label = "_s), 0);
        // Deleting when nothing is stored is harmless.
        awaitTask(APIKeyStore::deleteKey());
    }

    void unusableValuesLoadAsNone() {
        storeWithSecretTool("");
        QCOMPARE(searchItems().count(u"label = "_s), 1);
        QCOMPARE(awaitTask(APIKeyStore::loadKey()), std::nullopt);
        storeWithSecretTool("\xff\xfe not UTF-8");
        QCOMPARE(searchItems().count(u"label = "_s), 1);
        QCOMPARE(awaitTask(APIKeyStore::loadKey()), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestAPIKeyKeyring)
#include "tst_api_key_keyring.moc"
