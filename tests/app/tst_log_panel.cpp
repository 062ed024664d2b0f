#include "FakeDesktopServices.h"
#include "TestSupport.h"
#include "app/ui/AlertPresenter.h"
#include "app/ui/LogPanel.h"
#include "app/ui/QtDesktopServices.h"
#include "app/ui/ResultsSheet.h"
#include "core/Console.h"
#include "core/Error.h"
#include "core/LogListModel.h"

#include <QApplication>
#include <QClipboard>
#include <QCoroSignal>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>

using namespace Qt::StringLiterals;

class TestLogPanel : public QObject {
    Q_OBJECT

private:
    IsolatedSettings m_settings;
    FakeDesktopServices m_desktop;

private Q_SLOTS:
    void entriesAppearColouredByKind() {
        Console console(&m_desktop);
        LogPanel panel(&console);
        panel.resize(700, 300);
        panel.show();
        console.log(u"plain"_s);
        console.log(u"fine"_s, LogKind::success);
        console.log(u"ERROR: bad"_s, LogKind::error);
        QAbstractItemModel *model = panel.listView()->model();
        QTRY_COMPARE(model->rowCount(), 3);
        QCOMPARE(model->index(2, 0).data().toString(), u"ERROR: bad"_s);
        QCOMPARE(model->index(0, 0).data(Qt::ForegroundRole).value<QColor>(), QColor::fromRgbF(0.831f, 0.831f, 0.831f));
        QCOMPARE(model->index(1, 0).data(Qt::ForegroundRole).value<QColor>(), QColor::fromRgbF(0.306f, 0.788f, 0.690f));
        QCOMPARE(model->index(2, 0).data(Qt::ForegroundRole).value<QColor>(), QColor::fromRgbF(0.957f, 0.278f, 0.278f));
        QCOMPARE(model->index(2, 0).data(LogListModel::IdRole).toLongLong(), 2);
        QCOMPARE(panel.listView()->font().pointSize(), 11);

        console.clear();
        QCOMPARE(model->rowCount(), 0);
    }

    void followsTheNewestEntry() {
        Console console(&m_desktop);
        LogPanel panel(&console);
        panel.resize(700, 240);
        panel.show();
        for (int i = 0; i < 500; ++i)
            console.log(u"line "_s + QString::number(i));
        QTableView *list = panel.listView();
        QTRY_COMPARE(list->model()->rowCount(), 500);
        QTRY_COMPARE(list->rowAt(list->viewport()->height() - 2), 499);
    }

    void longLinesScrollSidewaysInsteadOfBeingCut() {
        Console console(&m_desktop);
        LogPanel panel(&console);
        panel.resize(500, 240);
        panel.show();
        const QString longLine = u"WARNING: "_s + QString(200, u'x') + u" end"_s;
        console.log(u"short"_s);
        console.log(longLine, LogKind::warning);
        QTableView *list = panel.listView();
        QTRY_COMPARE(list->model()->rowCount(), 2);
        QVERIFY(list->columnWidth(0) >= QFontMetrics(list->font()).horizontalAdvance(longLine));
        QVERIFY(list->columnWidth(0) > list->viewport()->width());
        QTRY_VERIFY(list->horizontalScrollBar()->maximum() > 0);

        console.clear();
        console.log(u"short again"_s);
        QTRY_COMPARE(list->model()->rowCount(), 1);
        QTRY_COMPARE(list->columnWidth(0), list->viewport()->width());
    }

    void veryLongLinesShowAPrefixButCopyWhole() {
        QtDesktopServices desktop;
        Console console(&desktop);
        LogPanel panel(&console);
        panel.resize(500, 240);
        panel.show();
        const qsizetype shown = LogListModel::displayedLength;
        const QString longLine = QString(shown - 1, u'x') + u"\u00e9\U0001F600"_s + QString(2'000'000, u'y');
        console.log(longLine);
        console.log(u"short"_s);
        QTableView *list = panel.listView();
        QTRY_COMPARE(list->model()->rowCount(), 2);
        QCOMPARE(list->model()->index(0, 0).data().toString(),
                 QString(shown - 1, u'x') + u"\u00e9\u2026 (2000001 more characters)"_s);
        QCOMPARE(list->model()->index(1, 0).data().toString(), u"short"_s);
        const int advance = QFontMetrics(list->font()).horizontalAdvance(u'M');
        QVERIFY(list->columnWidth(0) > advance * shown);
        QVERIFY(list->columnWidth(0) < advance * (shown + 100));

        list->selectAll();
        list->setFocus();
        QApplication::clipboard()->clear();
        QTest::keySequence(list, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(), longLine + u"\nshort"_s);
        QCOMPARE(console.plainText(), longLine + u"\nshort"_s);
    }

    void stopIsShownOnlyWhileBusy() {
        Console console(&m_desktop);
        LogPanel panel(&console);
        panel.show();
        auto *stop = panel.findChild<QPushButton *>(u"stopButton"_s);
        auto *label = panel.findChild<QLabel *>(u"busyLabel"_s);
        QVERIFY(stop && label);
        QVERIFY(!stop->isVisible());
        console.run(u"Find Files"_s, [](CancelToken cancel) -> QCoro::Task<> {
            co_await qCoro(cancel.state(), &CancelState::requested);
            throw Cancelled();
        });
        QVERIFY(stop->isVisible());
        QCOMPARE(label->text(), u"Find Files\u2026"_s);
        QTest::mouseClick(stop, Qt::LeftButton);
        QTRY_VERIFY(!console.isBusy());
        QVERIFY(!stop->isVisible());
        QCOMPARE(console.entryAt(console.entryCount() - 1).text, u"  Stopped by user."_s);
        for (const char *name : {"exportCSVButton", "exportTextButton", "clearLogButton"})
            QVERIFY(panel.findChild<QPushButton *>(QString::fromLatin1(name))->isEnabled());
    }

    void copiesTheSelectedLinesInOrder() {
        QtDesktopServices desktop;
        Console console(&desktop);
        LogPanel panel(&console);
        panel.show();
        console.log(u"first\nsecond\nthird"_s);
        QTableView *list = panel.listView();
        QTRY_COMPARE(list->model()->rowCount(), 3);
        list->selectionModel()->select(list->model()->index(2, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list->selectionModel()->select(list->model()->index(0, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list->setFocus();
        QApplication::clipboard()->clear();
        QTest::keySequence(list, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(), u"first\nthird"_s);
    }

    void resultsSheetShowsRaggedRowsAndCloseClearsResults() {
        Console console(&m_desktop);
        QWidget window;
        window.show();
        ResultsSheet sheet(&console, &window);
        QVERIFY(!sheet.isVisible());
        ResultsTable table;
        table.title = u"Courses"_s;
        table.query = u"gam print courses"_s;
        table.columns = {u"name"_s, u"id"_s};
        table.rows = {{u"Algebra"_s, u"42"_s, u"extra"_s}, {u"Art"_s}};
        console.setResults(table);
        QVERIFY(sheet.isVisible());
        QCOMPARE(sheet.windowModality(), Qt::WindowModal);
        QAbstractItemModel *model = sheet.tableView()->model();
        QCOMPARE(model->columnCount(), 2);
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), u"id"_s);
        QCOMPARE(model->index(0, 1).data().toString(), u"42"_s);
        QCOMPARE(model->index(1, 1).data().toString(), QString());
        QCOMPARE(sheet.findChild<QLabel *>(u"query"_s)->text(), u"Query: gam print courses"_s);

        auto *close = sheet.findChild<QPushButton *>(u"closeButton"_s);
        QVERIFY(close->isDefault());
        QTest::keyClick(&sheet, Qt::Key_Return);
        QVERIFY(!sheet.isVisible());
        QVERIFY(!console.results());

        // Clearing the results from elsewhere (a domain switch) closes the sheet.
        console.setResults(table);
        QVERIFY(sheet.isVisible());
        console.setResults(std::nullopt);
        QVERIFY(!sheet.isVisible());
    }

    void alertPresenterShowsInformationalAlerts() {
        Console console(&m_desktop);
        QWidget window;
        window.show();
        AlertPresenter presenter(&console, &window);
        console.showAlert(u"Missing Input"_s, u"Enter a user."_s);
        QMessageBox *box = presenter.messageBox();
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QCOMPARE(box->buttons().size(), 1);
        QCOMPARE(box->buttons().constFirst()->text(), u"OK"_s);
        QVERIFY(box->informativeText().contains(u"Enter a user."_s));

        // A new alert replaces the pending one.
        console.showAlert(u"Busy"_s, u"Wait."_s);
        QMessageBox *second = presenter.messageBox();
        QVERIFY(second && second != box);
        QCOMPARE(second->windowTitle(), u"Busy"_s);
        QTest::mouseClick(second->buttons().constFirst(), Qt::LeftButton);
        QVERIFY(!console.alert());
        QVERIFY(!presenter.messageBox());
    }

    void alertPresenterConfirmsOnlyWithTheConfirmButton() {
        Console console(&m_desktop);
        QWidget window;
        window.show();
        AlertPresenter presenter(&console, &window);
        int confirmations = 0;
        AlertItem alert;
        alert.title = u"Confirm Delete"_s;
        alert.message = u"Delete 3 messages?"_s;
        alert.confirmTitle = u"Delete"_s;
        alert.isDestructive = true;
        alert.onConfirm = [&] { ++confirmations; };

        console.setAlert(alert);
        QMessageBox *box = presenter.messageBox();
        QVERIFY(box);
        auto *confirm = box->findChild<QPushButton *>(u"confirmButton"_s);
        auto *cancel = box->findChild<QPushButton *>(u"cancelButton"_s);
        QVERIFY(confirm && cancel);
        QCOMPARE(confirm->text(), u"Delete"_s);
        QCOMPARE(cancel->text(), u"Cancel"_s);
        QCOMPARE(box->buttonRole(cancel), QMessageBox::RejectRole);
        QCOMPARE(box->defaultButton(), cancel); // destructive: Return is the safe answer
        QCOMPARE(box->escapeButton(), cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
        QCOMPARE(confirmations, 0);
        QVERIFY(!console.alert());

        alert.id = QUuid::createUuid();
        alert.isDestructive = false;
        console.setAlert(alert);
        box = presenter.messageBox();
        QCOMPARE(box->defaultButton(), box->findChild<QPushButton *>(u"confirmButton"_s));
        QTest::mouseClick(box->findChild<QPushButton *>(u"confirmButton"_s), Qt::LeftButton);
        QCOMPARE(confirmations, 1);
        QVERIFY(!console.alert());
    }

    void confirmActionMayRaiseTheNextAlert() {
        Console console(&m_desktop);
        QWidget window;
        window.show();
        AlertPresenter presenter(&console, &window);
        AlertItem alert;
        alert.title = u"Confirm"_s;
        alert.confirmTitle = u"Go"_s;
        alert.onConfirm = [&] { console.showAlert(u"Busy"_s, u"Still running."_s); };
        console.setAlert(alert);
        QTest::mouseClick(presenter.messageBox()->findChild<QPushButton *>(u"confirmButton"_s), Qt::LeftButton);
        QVERIFY(console.alert());
        QCOMPARE(console.alert()->title, u"Busy"_s);
        QVERIFY(presenter.messageBox() && presenter.messageBox()->isVisible());
    }
};

QTEST_MAIN(TestLogPanel)
#include "tst_log_panel.moc"
