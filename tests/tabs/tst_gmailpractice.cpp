#include "TestSupport.h"

#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "tabs/GmailModel.h"

#include <QFile>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString phisher = u"helpdesk@secure-login.example.net"_s;
const QString victim = u"morgan.ellis@example.org"_s;

} // namespace

// The Gmail tab end to end against the practice domain: what it deletes is gone
// on the next run.
class GmailPracticeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void deleteBySenderAcrossDomain_removesTheMessages();

private:
    QStringList log() const;
    bool waitIdle() const;
    void findPhishInVictimMailbox();

    QTemporaryDir m_district;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<ProfileStore> m_profiles;
    std::unique_ptr<Console> m_console;
    std::unique_ptr<GmailModel> m_model;
};

void GmailPracticeTest::initTestCase() {
    if (!QFile::exists(QStringLiteral(PRACTICE_GAM_PATH)))
        QSKIP("the practice gam is not part of this build");
    QVERIFY(seedPracticeDomain(m_district.path(), u"example.org"_s, 40));

    m_settings = std::make_unique<IsolatedSettings>();
    QSettings().setValue(u"gamPath"_s, QStringLiteral(PRACTICE_GAM_PATH));
    m_profiles = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_profiles, m_district.path(), u"example.org"_s);
    m_console = std::make_unique<Console>(nullptr);
    m_model = std::make_unique<GmailModel>(m_console.get());
}

QStringList GmailPracticeTest::log() const {
    QStringList lines;
    for (qsizetype i = 0; i < m_console->entryCount(); ++i)
        lines.append(m_console->entryAt(i).text);
    return lines;
}

bool GmailPracticeTest::waitIdle() const {
    return QTest::qWaitFor([this] { return !m_console->isBusy(); }, 120000);
}

void GmailPracticeTest::findPhishInVictimMailbox() {
    GmailPropertiesForm *form = m_model->propertiesForm();
    form->targetFields()->setEmail(victim);
    form->setFrom(phisher);
    m_console->setResults(std::nullopt);
    m_model->findMessages();
    QVERIFY(waitIdle());
}

void GmailPracticeTest::deleteBySenderAcrossDomain_removesTheMessages() {
    findPhishInVictimMailbox();
    QVERIFY2(m_console->results().has_value(), qPrintable(log().join(u'\n')));
    QVERIFY(!m_console->results()->rows.isEmpty());
    QCOMPARE(m_console->results()->rows.first().first(), victim);

    GmailListForm *form = m_model->senderForm();
    form->targetFields()->setTarget(MailTarget::domain);
    form->targetFields()->setDomain(u"example.org"_s);
    form->setText(phisher);

    m_model->previewList(GmailMode::sender);
    QVERIFY(waitIdle());
    QVERIFY2(log().contains(u"  Preview complete: "_s + phisher), qPrintable(log().join(u'\n')));

    m_model->deleteList(GmailMode::sender);
    const AlertItem confirmation = *m_console->alert();
    QVERIFY(confirmation.message.endsWith(u"Domain: Practice (example.org)"_s));
    m_console->setAlert(std::nullopt);
    confirmation.onConfirm();
    QVERIFY(waitIdle());
    QVERIFY2(log().contains(u"  Finished: "_s + phisher), qPrintable(log().join(u'\n')));
    QCOMPARE(log().constLast(), u"Done — 1 completed, 0 failed."_s);

    m_model->previewList(GmailMode::sender);
    QVERIFY(waitIdle());
    QVERIFY2(log().contains(u"  No messages found for: "_s + phisher), qPrintable(log().join(u'\n')));
    QCOMPARE(log().constLast(), u"Preview done — 1 completed, 0 failed."_s);

    findPhishInVictimMailbox();
    QVERIFY(!m_console->results().has_value());
    QCOMPARE(log().constLast(), u"  No messages returned — the mailbox may have no matching messages."_s);
}

QTEST_GUILESS_MAIN(GmailPracticeTest)
#include "tst_gmailpractice.moc"
