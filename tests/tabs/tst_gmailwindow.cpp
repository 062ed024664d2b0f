#include "FakeDesktopServices.h"
#include "TestSupport.h"

#include "app/AppModel.h"
#include "app/ui/MainWindow.h"
#include "app/ui/ResultsSheet.h"
#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "tabs/ui/GmailView.h"
#include "tabs/ui/LinesEditor.h"

#include <QAbstractButton>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString phisher = u"helpdesk@secure-login.example.net"_s;

} // namespace

// The Gmail tab inside the real main window, against the practice domain: the
// confirmation is the window's own message box.
class GmailWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void deleteBySenderFromTheWindow();

private:
    QPushButton *visibleButton(const QString &text) const;
    // The widget of this name on the Gmail tab's current page.
    template <typename T> T *visible(const QString &name) const {
        const auto candidates = m_window->findChild<GmailView *>()->findChildren<T *>(name);
        for (T *candidate : candidates)
            if (candidate->isVisible())
                return candidate;
        return nullptr;
    }
    QStringList log() const;
    // The message box the window shows for the next alert, once visible.
    QMessageBox *alertBox() const;
    static QStringList sheetColumn(const ResultsSheet *sheet, int column);

    QTemporaryDir m_district;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<ProfileStore> m_store;
    FakeDesktopServices m_desktop;
    std::unique_ptr<AppModel> m_model;
    std::unique_ptr<MainWindow> m_window;
};

void GmailWindowTest::initTestCase() {
    if (!QFile::exists(QStringLiteral(PRACTICE_GAM_PATH)))
        QSKIP("the practice gam is not part of this build");
    QVERIFY(seedPracticeDomain(m_district.path(), u"example.org"_s, 30));

    m_settings = std::make_unique<IsolatedSettings>();
    QSettings().setValue(u"gamPath"_s, QStringLiteral(PRACTICE_GAM_PATH));
    m_store = std::make_unique<ProfileStore>();
    activatePracticeProfile(*m_store, m_district.path(), u"example.org"_s);
    m_model = std::make_unique<AppModel>(m_store.get(), &m_desktop);
    m_window = std::make_unique<MainWindow>(m_model.get(), &m_desktop);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void GmailWindowTest::cleanupTestCase() {
    m_window.reset();
    m_model.reset();
    m_store.reset();
    m_settings.reset();
}

QPushButton *GmailWindowTest::visibleButton(const QString &text) const {
    const auto buttons = m_window->findChild<GmailView *>()->findChildren<QPushButton *>();
    for (QPushButton *button : buttons)
        if (button->text() == text && button->isVisible())
            return button;
    return nullptr;
}

QStringList GmailWindowTest::log() const {
    QStringList lines;
    const Console *console = m_model->console();
    for (qsizetype i = 0; i < console->entryCount(); ++i)
        lines.append(console->entryAt(i).text);
    return lines;
}

QMessageBox *GmailWindowTest::alertBox() const {
    QMessageBox *box = nullptr;
    const bool shown = QTest::qWaitFor([&] {
        box = m_window->findChild<QMessageBox *>(u"alert"_s);
        return box && box->isVisible();
    });
    return shown ? box : nullptr;
}

QStringList GmailWindowTest::sheetColumn(const ResultsSheet *sheet, int column) {
    QStringList cells;
    const QAbstractItemModel *model = sheet->tableView()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        cells.append(model->index(row, column).data().toString());
    return cells;
}

void GmailWindowTest::deleteBySenderFromTheWindow() {
    auto *tabs = m_window->findChild<QTabWidget *>();
    QCOMPARE(tabs->tabText(0), u"Gmail"_s);
    auto *view = qobject_cast<GmailView *>(tabs->widget(0));
    QVERIFY(view);
    tabs->setCurrentIndex(0);
    Console *console = m_model->console();
    QVERIFY(QTest::qWaitFor([console] { return !console->isBusy(); }, 60000));

    QTest::mouseClick(visibleButton(u"Delete by Sender"_s), Qt::LeftButton);
    QTest::mouseClick(visible<QAbstractButton>(u"targetDomain"_s), Qt::LeftButton);
    QTest::keyClicks(visible<QLineEdit>(u"targetDomainName"_s), u"example.org"_s);
    auto *editor = visible<LinesEditor>(u"valuesEditor"_s);
    editor->setFocus();
    QTest::keyClicks(editor, phisher);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, u"nobody@nowhere.example"_s);

    const qsizetype before = console->entryCount();
    auto fault = std::make_unique<Hook>("PRACTICE_GAM_FAULT",
                                        "ratelimit:2@domains_ns example.org delete messages query from:helpdesk");
    QTest::mouseClick(visibleButton(u"Delete Messages"_s), Qt::LeftButton);
    QMessageBox *box = alertBox();
    QVERIFY(box);
    QVERIFY(box->informativeText().startsWith(u"Delete all messages from 2 senders:\n\n"_s + phisher));
    QVERIFY(box->informativeText().endsWith(u"Domain: Practice (example.org)"_s));
    QCOMPARE(console->entryCount(), before);
    QTest::mouseClick(box->findChild<QPushButton *>(u"confirmButton"_s), Qt::LeftButton);

    // The sheet lists every mailbox's outcome once the run ends.
    ResultsSheet *sheet = m_window->findChild<ResultsSheet *>();
    QVERIFY(QTest::qWaitFor([&] { return !console->isBusy() && sheet->isVisible(); }, 120000));
    fault.reset();
    const QStringList lines = log();
    QVERIFY2(lines.contains(u">> gam domains_ns example.org delete messages query from:"_s + phisher +
                            u" max_to_delete 0 doit"_s),
             qPrintable(lines.join(u'\n')));
    QVERIFY(lines.contains(u"  No messages found for: nobody@nowhere.example"_s));
    QCOMPARE(lines.constLast(), u"Done — 1 completed, 1 failed."_s);
    QVERIFY(sheetColumn(sheet, 4).filter(u"Failed: Rate Limit Exceeded"_s).size() > 0);

    const QString shots = qEnvironmentVariable("TARNWICK_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        sheet->grab().save(shots + u"/gmail-mailbox-results-failed.png"_s);

    // Retried from the sheet, after a confirmation shown over it.
    QPushButton *retry = sheet->findChild<QPushButton *>(u"resultsActionButton"_s);
    QVERIFY(retry);
    QVERIFY(retry->isVisible());
    QCOMPARE(retry->text(), u"Retry Failed Mailboxes…"_s);
    QTest::mouseClick(retry, Qt::LeftButton);
    box = alertBox();
    QVERIFY(box);
    QCOMPARE(box->parentWidget(), sheet);
    QVERIFY(box->informativeText().startsWith(u"Delete the matching messages again in the "_s));
    if (!shots.isEmpty())
        box->grab().save(shots + u"/gmail-retry-confirmation.png"_s);
    QTest::mouseClick(box->findChild<QPushButton *>(u"confirmButton"_s), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return console->isBusy() || !sheet->isVisible(); }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return !console->isBusy() && sheet->isVisible(); }, 120000));
    QVERIFY(sheetColumn(sheet, 4).filter(u"Failed"_s).isEmpty());
    QVERIFY(QTest::qWaitFor([sheet] { return !sheet->findChild<QPushButton *>(u"resultsActionButton"_s); }, 5000));
    QVERIFY(log().contains(u"  Finished: "_s + phisher));
    QCOMPARE(log().constLast(), u"Done — 1 completed, 0 failed."_s);

    if (!shots.isEmpty())
        sheet->grab().save(shots + u"/gmail-mailbox-results.png"_s);

    // Exported as the record of the purge.
    const QString record = m_district.filePath(u"purge.csv"_s);
    m_desktop.nextSavePath = record;
    QTest::mouseClick(sheet->findChild<QPushButton *>(u"exportCSVButton"_s), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return QFile::exists(record); }, 5000));
    QTest::mouseClick(sheet->findChild<QPushButton *>(u"closeButton"_s), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return !sheet->isVisible(); }, 5000));

    // A second look finds nothing left.
    QTest::mouseClick(visibleButton(u"Preview"_s), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return !console->isBusy() && sheet->isVisible(); }, 120000));
    QCOMPARE(log().count(u"  No messages found for: "_s + phisher), 1);
    QCOMPARE(log().constLast(), u"Preview done — 2 completed, 0 failed."_s);
    QCOMPARE(sheetColumn(sheet, 4).filter(u"No match"_s).size(), sheetColumn(sheet, 4).size());

    if (!shots.isEmpty())
        m_window->grab().save(shots + u"/gmail-window.png"_s);
}

QTEST_MAIN(GmailWindowTest)
#include "tst_gmailwindow.moc"
