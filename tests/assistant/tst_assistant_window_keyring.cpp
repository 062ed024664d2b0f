#include "FakeDesktopServices.h"
#include "ReplayServer.h"
#include "TestSupport.h"

#include "app/AppModel.h"
#include "app/ui/MainWindow.h"
#include "assistant/APIKeyChanges.h"
#include "assistant/APIKeyStore.h"
#include "assistant/AssistantModel.h"
#include "assistant/ui/AssistantPanel.h"
#include "assistant/ui/QuestionField.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "profiles/ui/SettingsWindow.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

// The assistant end to end in the real window: the key in a private keyring,
// replies from the local replay server, and the inserted command run against
// the practice district with the Run button.
class TestAssistantWindowKeyring : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void keySavedInSettings_turnsThePanelOn();
    void ask_stream_insert_thenRunWithTheRunButton();
    void keyRemovedWhileAReplyStreams_hidesTheConversationButTheReplyEnds();
    void escapeWhileGamRunsAndAReplyStreams_stopsWhatHasTheFocus();

private:
    QString page() const;
    // Stores the key and announces it, as the Settings window does.
    void storeKey();
    void ask(const QString &question);
    bool waitUntilIdle() const;

    QTemporaryDir m_district;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<ProfileStore> m_profiles;
    FakeDesktopServices m_desktop;
    std::unique_ptr<AppModel> m_model;
    std::unique_ptr<MainWindow> m_window;
    AssistantPanel *m_panel = nullptr;
};

void TestAssistantWindowKeyring::initTestCase() {
    QVERIFY2(qEnvironmentVariableIsSet("TARNWICK_IN_KEYRING_SESSION"), "run this test through tests/with-keyring.sh");
    if (!QFile::exists(QStringLiteral(PRACTICE_GAM_PATH)))
        QSKIP("the practice gam is not part of this build");
    QVERIFY(seedPracticeDomain(m_district.path(), u"example.org"_s, 12));
}

void TestAssistantWindowKeyring::init() {
    awaitTask(APIKeyStore::deleteKey());
    m_settings = std::make_unique<IsolatedSettings>();
    QSettings().setValue(u"gamPath"_s, QStringLiteral(PRACTICE_GAM_PATH));
    m_profiles = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_profiles, m_district.path(), u"example.org"_s);
    m_model = std::make_unique<AppModel>(m_profiles.get(), &m_desktop);
    m_window = std::make_unique<MainWindow>(m_model.get(), &m_desktop);
    m_window->tabs()->setCurrentIndex(int(MainWindow::Tab::custom));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_panel = m_window->findChild<AssistantPanel *>();
    QVERIFY(m_panel);
}

void TestAssistantWindowKeyring::cleanup() {
    if (m_model->console()->isBusy()) {
        m_model->console()->stop();
        QTRY_VERIFY(!m_model->console()->isBusy());
    }
    m_window.reset();
    m_model.reset();
    m_profiles.reset();
    m_settings.reset();
}

QString TestAssistantWindowKeyring::page() const {
    return m_panel->findChild<QStackedWidget *>()->currentWidget()->objectName();
}

void TestAssistantWindowKeyring::storeKey() {
    awaitTask(APIKeyStore::saveKey(u"sk-ant-e2e-key"_s));
    APIKeyChanges::post();
}

void TestAssistantWindowKeyring::ask(const QString &question) {
    auto *field = m_panel->findChild<QuestionField *>(u"questionField"_s);
    field->setFocus();
    QTest::keyClicks(field, question);
    QTest::keyClick(field, Qt::Key_Return);
}

bool TestAssistantWindowKeyring::waitUntilIdle() const {
    return QTest::qWaitFor([this] { return !m_model->assistant()->isResponding(); }, 10000);
}

void TestAssistantWindowKeyring::keySavedInSettings_turnsThePanelOn() {
    QTRY_COMPARE(page(), u"noKeyPage"_s);
    QTest::mouseClick(m_panel->findChild<QPushButton *>(u"openSettingsButton"_s), Qt::LeftButton);
    QTRY_VERIFY(m_window->settingsWindow() && m_window->settingsWindow()->isVisible());
    SettingsWindow *settings = m_window->settingsWindow();
    QCOMPARE(settings->currentTab(), SettingsTab::assistant);

    QTest::keyClicks(settings->findChild<QLineEdit *>(u"apiKeyField"_s), u"sk-ant-e2e-key"_s);
    QTest::mouseClick(settings->findChild<QPushButton *>(u"saveKeyButton"_s), Qt::LeftButton);
    QTRY_COMPARE(page(), u"tryPage"_s);
    QTRY_VERIFY(settings->findChild<QPushButton *>(u"removeKeyButton"_s)->isEnabled());
    QTest::mouseClick(settings->findChild<QPushButton *>(u"removeKeyButton"_s), Qt::LeftButton);
    QTRY_COMPARE(page(), u"noKeyPage"_s);
}

void TestAssistantWindowKeyring::ask_stream_insert_thenRunWithTheRunButton() {
    storeKey();
    QTRY_COMPARE(page(), u"tryPage"_s);
    ReplayServer server;
    server.respond = [](QTcpSocket *socket) {
        socket->write(streamHead() + textStart(0) + textDelta(0, "List them with:\\n```bash\\n"));
    };
    ask(u"How do I list every user?"_s);
    QTRY_VERIFY(server.request().has_value());
    const auto &headers = server.request()->headers;
    QVERIFY(std::find(headers.begin(), headers.end(),
                      std::pair<QByteArray, QByteArray>("x-api-key", "sk-ant-e2e-key")) != headers.end());
    QCOMPARE(page(), u"conversation"_s);
    server.socket()->write(textDelta(0, "gam print users\\n```\\nIt only reads.") + stopReason("end_turn"));
    server.socket()->disconnectFromHost();
    QVERIFY(waitUntilIdle());

    auto *commandField = m_window->findChild<QLineEdit *>(u"commandField"_s);
    QTRY_VERIFY(m_panel->findChild<QPushButton *>(u"insertButton"_s));
    const qsizetype logBefore = m_model->console()->entryCount();
    QTest::mouseClick(m_panel->findChild<QPushButton *>(u"insertButton"_s), Qt::LeftButton);
    QCOMPARE(commandField->text(), u"gam print users"_s);
    // Inserting runs nothing.
    QCOMPARE(m_model->console()->entryCount(), logBefore);
    QVERIFY(!m_model->console()->isBusy());

    QTest::mouseClick(m_window->findChild<QPushButton *>(u"runButton"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!m_model->console()->isBusy(), 60000);
    const QStringList log = logLines(*m_model->console());
    QVERIFY2(log.contains(u"[RUN] gam print users"_s), qPrintable(log.join(u'\n')));
    QVERIFY(log.contains(u"  admin@example.org"_s));
    QCOMPARE(log.last(), u"  Command completed successfully."_s);
}

void TestAssistantWindowKeyring::keyRemovedWhileAReplyStreams_hidesTheConversationButTheReplyEnds() {
    storeKey();
    QTRY_COMPARE(page(), u"tryPage"_s);
    ReplayServer server;
    server.respond = [](QTcpSocket *socket) { socket->write(streamHead() + textStart(0) + textDelta(0, "Part")); };
    ask(u"Question"_s);
    QTRY_COMPARE(m_model->assistant()->messages().value(1).text, u"Part"_s);

    awaitTask(APIKeyStore::deleteKey());
    APIKeyChanges::post();
    QTRY_COMPARE(page(), u"noKeyPage"_s);
    // Stop stays within reach; the reply already under way finishes.
    QVERIFY(m_panel->findChild<QPushButton *>(u"stopButton"_s)->isVisible());
    server.socket()->write(textDelta(0, " two") + stopReason("end_turn"));
    server.socket()->disconnectFromHost();
    QVERIFY(waitUntilIdle());
    QCOMPARE(m_model->assistant()->messages().at(1).text, u"Part two"_s);
    QCOMPARE(m_model->assistant()->history().size(), 2);

    // The next question finds no key and says so.
    ask(u"Another"_s);
    QTRY_COMPARE(m_model->assistant()->messages().size(), 3);
    QCOMPARE(m_model->assistant()->messages().last().text, AssistantModel::missingKeyNotice());

    storeKey();
    QTRY_COMPARE(page(), u"conversation"_s);
}

void TestAssistantWindowKeyring::escapeWhileGamRunsAndAReplyStreams_stopsWhatHasTheFocus() {
    storeKey();
    QTRY_COMPARE(page(), u"tryPage"_s);
    Hook hang("PRACTICE_GAM_FAULT", "hang@print users");
    auto *commandField = m_window->findChild<QLineEdit *>(u"commandField"_s);
    commandField->setText(u"gam print users"_s);
    QTest::mouseClick(m_window->findChild<QPushButton *>(u"runButton"_s), Qt::LeftButton);
    QTRY_VERIFY(m_model->console()->isBusy());
    ReplayServer server;
    server.respond = [](QTcpSocket *socket) { socket->write(streamHead() + textStart(0) + textDelta(0, "Part")); };
    ask(u"Question"_s);
    QTRY_COMPARE(m_model->assistant()->messages().value(1).text, u"Part"_s);

    // In the question field Escape stops the reply and leaves gam running.
    auto *field = m_panel->findChild<QuestionField *>(u"questionField"_s);
    QVERIFY(field->hasFocus());
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(waitUntilIdle());
    QVERIFY(m_model->console()->isBusy());

    // With no reply streaming it reaches the log's Stop.
    QTest::keyClick(field, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!m_model->console()->isBusy(), 15000);
    QVERIFY(logLines(*m_model->console()).contains(u"  Stopped by user."_s));
}

QTEST_MAIN(TestAssistantWindowKeyring)
#include "tst_assistant_window_keyring.moc"
