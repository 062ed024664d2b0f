#include "FakeDesktopServices.h"
#include "TestSupport.h"

#include "assistant/APIKeyChanges.h"
#include "assistant/APIKeyStore.h"
#include "core/Console.h"
#include "profiles/AssistantKeySettings.h"
#include "profiles/ProfileStore.h"
#include "profiles/ui/SettingsWindow.h"
#include "profiles/ui/StatusLabel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

// The Assistant pane against a real (private) Secret Service keyring; runs
// inside tests/with-keyring.sh.
class TestSettingsKeyring : public QObject {
    Q_OBJECT

private:
    IsolatedSettings m_settings;
    FakeDesktopServices m_desktop;
    Console m_console{&m_desktop};
    ProfileStore m_store;
    QPointer<SettingsWindow> m_window;

    template <typename T> T *child(const QString &name) const { return m_window->findChild<T *>(name); }

    void openAssistant() {
        m_window = new SettingsWindow(&m_store, &m_console);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->showTab(SettingsTab::assistant);
        m_window->show();
        QTRY_VERIFY(m_window->assistantKey()->hasKey().has_value());
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(qEnvironmentVariableIsSet("TARNWICK_IN_KEYRING_SESSION"),
                 "run this test through tests/with-keyring.sh");
    }

    void init() { awaitTask(APIKeyStore::deleteKey()); }
    void cleanup() { delete m_window; }

    void aKeySavedElsewhere_showsAsSaved_butNeverItsText() {
        awaitTask(APIKeyStore::saveKey(u"sk-ant-from-another-run"_s));
        openAssistant();
        QCOMPARE(child<StatusLabel>(u"keyStatus"_s)->text(), u"Key saved in your system keyring"_s);
        auto *field = child<QLineEdit>(u"apiKeyField"_s);
        QCOMPARE(field->text(), QString());
        QCOMPARE(field->placeholderText(), u"Enter a new key to replace it"_s);
        QVERIFY(child<QPushButton>(u"removeKeyButton"_s)->isEnabled());
        QVERIFY(!child<QPushButton>(u"saveKeyButton"_s)->isEnabled());
        for (const QWidget *widget : m_window->findChildren<QWidget *>()) {
            if (const auto *label = qobject_cast<const QLabel *>(widget))
                QVERIFY(!label->text().contains(u"from-another-run"_s));
        }
    }

    void saveAndRemove_announceTheChange() {
        openAssistant();
        QSignalSpy announced(APIKeyChanges::instance(), &APIKeyChanges::keyChanged);
        auto *field = child<QLineEdit>(u"apiKeyField"_s);
        QTest::keyClicks(field, u"  sk-ant-new-key\t"_s);
        QTest::mouseClick(child<QPushButton>(u"saveKeyButton"_s), Qt::LeftButton);
        QTRY_COMPARE(announced.count(), 1);
        QCOMPARE(awaitTask(APIKeyStore::loadKey()), u"sk-ant-new-key"_s);
        QCOMPARE(field->text(), QString());
        QCOMPARE(child<StatusLabel>(u"keyMessage"_s)->text(), u"Key saved."_s);
        QCOMPARE(child<StatusLabel>(u"keyStatus"_s)->text(), u"Key saved in your system keyring"_s);

        QTest::mouseClick(child<QPushButton>(u"removeKeyButton"_s), Qt::LeftButton);
        QTRY_COMPARE(announced.count(), 2);
        QCOMPARE(awaitTask(APIKeyStore::loadKey()), std::nullopt);
        QCOMPARE(child<StatusLabel>(u"keyMessage"_s)->text(), u"Key removed."_s);
        QCOMPARE(child<StatusLabel>(u"keyStatus"_s)->text(), u"No key — the assistant is off"_s);
        QVERIFY(!child<QPushButton>(u"removeKeyButton"_s)->isEnabled());
    }

    void closingWhileSaving_stillSavesAndAnnounces() {
        openAssistant();
        QSignalSpy announced(APIKeyChanges::instance(), &APIKeyChanges::keyChanged);
        m_window->assistantKey()->setKeyInput(u"sk-ant-closing"_s);
        QCoro::Task<> saving = m_window->assistantKey()->save();
        m_window->close();
        QTRY_VERIFY(!m_window);
        awaitTask(std::move(saving));
        QCOMPARE(announced.count(), 1);
        QCOMPARE(awaitTask(APIKeyStore::loadKey()), u"sk-ant-closing"_s);
    }
};

QTEST_MAIN(TestSettingsKeyring)
#include "tst_settings_keyring.moc"
