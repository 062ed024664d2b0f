#include "FakeDesktopServices.h"
#include "ReplayServer.h"
#include "TestSupport.h"

#include "app/GAMSetup.h"
#include "assistant/APIKeyChanges.h"
#include "assistant/AssistantModel.h"
#include "assistant/ui/AssistantPanel.h"
#include "assistant/ui/CodeBlock.h"
#include "assistant/ui/FormattedText.h"
#include "assistant/ui/MessageRow.h"
#include "assistant/ui/QuestionField.h"
#include "assistant/ui/ReplyView.h"

#include <QAbstractTextDocumentLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTcpSocket>
#include <QTextBlock>
#include <QtMath>

using namespace Qt::StringLiterals;

// The panel's real widgets over the real model, with replies from the local
// replay server and the key store replaced by a value the test controls.
class TestAssistantPanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void noKey_offersSettingsAndSaysWhereTheKeyGoes();
    void withKeyAndNoMessages_showsTheTryLine();
    void returnSends_shiftReturnBreaksTheLine_fieldGrowsToFourLines();
    void sendAndStop_swapWhileAReplyStreams();
    void reply_showsProseAndCodeBlocksWithInsertAndWarning();
    void streaming_rerendersOnlyTheChangedMessageAndLines();
    void badText_wrapsWithoutSidewaysScrollAndKeepsItsCharacters();
    void notices_showTheirIcon();
    void newChat_isEnabledOnlyWithMessagesAndEmptiesThePanel();
    void links_openOnlyWebAddresses();
    void conversation_followsTheNewestTextUnlessScrolledAway();

private:
    static QCoro::Task<std::optional<QString>> loadKey(TestAssistantPanel *test) {
        const std::optional<QString> key = test->m_key;
        co_return key;
    }
    void makePanel();
    // Asks through the field and Return; the server answers with events.
    void ask(const QString &question, ReplayServer &server);
    QWidget *currentPage() const;
    QList<MessageRow *> rows() const;
    QPushButton *button(const QString &name) const;
    bool waitUntilIdle() const;

    std::unique_ptr<IsolatedSettings> m_settings;
    std::optional<QString> m_key;
    FakeDesktopServices m_desktop;
    QStringList m_inserted;
    std::unique_ptr<AssistantModel> m_model;
    std::unique_ptr<AssistantPanel> m_panel;
};

void TestAssistantPanel::init() {
    m_settings = std::make_unique<IsolatedSettings>();
    m_key = u"sk-ant-test-key"_s;
    m_inserted.clear();
    m_desktop.openedUrls.clear();
    makePanel();
}

void TestAssistantPanel::cleanup() {
    m_panel.reset();
    m_model.reset();
    m_settings.reset();
}

void TestAssistantPanel::makePanel() {
    m_panel.reset();
    m_model = std::make_unique<AssistantModel>([this] { return loadKey(this); });
    m_panel = std::make_unique<AssistantPanel>(m_model.get(), &m_desktop,
                                               [this](const QString &command) { m_inserted.append(command); });
    m_panel->resize(640, 560);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel.get()));
    QTRY_COMPARE(m_model->hasAPIKey(), m_key.has_value());
}

void TestAssistantPanel::ask(const QString &question, ReplayServer &server) {
    auto *field = m_panel->findChild<QuestionField *>(u"questionField"_s);
    field->setFocus();
    QTest::keyClicks(field, question);
    QTest::keyClick(field, Qt::Key_Return);
    QTRY_VERIFY(server.request().has_value());
}

QWidget *TestAssistantPanel::currentPage() const {
    return m_panel->findChild<QStackedWidget *>()->currentWidget();
}

QList<MessageRow *> TestAssistantPanel::rows() const {
    QList<MessageRow *> found = m_panel->findChildren<MessageRow *>();
    std::sort(found.begin(), found.end(), [](MessageRow *a, MessageRow *b) { return a->y() < b->y(); });
    return found;
}

QPushButton *TestAssistantPanel::button(const QString &name) const {
    auto *found = m_panel->findChild<QPushButton *>(name);
    if (!found)
        qFatal("no button %s", qPrintable(name));
    return found;
}

bool TestAssistantPanel::waitUntilIdle() const {
    return QTest::qWaitFor([this] { return !m_model->isResponding(); }, 10000);
}

void TestAssistantPanel::noKey_offersSettingsAndSaysWhereTheKeyGoes() {
    m_key.reset();
    makePanel();
    QCOMPARE(currentPage()->objectName(), u"noKeyPage"_s);
    const QStringList texts = [this] {
        QStringList all;
        for (const QLabel *label : currentPage()->findChildren<QLabel *>())
            all.append(label->text());
        return all;
    }();
    QVERIFY(texts.contains(u"Add an Anthropic API Key"_s));
    QVERIFY(texts.contains(u"The assistant uses Claude through your own Anthropic API account. Add a key in "
                           u"Settings → Assistant."_s));

    QPushButton *open = button(u"openSettingsButton"_s);
    QCOMPARE(open->text(), u"Open Settings…"_s);
    QSignalSpy requested(m_panel.get(), &AssistantPanel::settingsRequested);
    QTest::mouseClick(open, Qt::LeftButton);
    QCOMPARE(requested.size(), 1);

    // A key saved elsewhere turns the assistant on.
    m_key = u"sk-ant-saved"_s;
    APIKeyChanges::post();
    QTRY_COMPARE(currentPage()->objectName(), u"tryPage"_s);
}

void TestAssistantPanel::withKeyAndNoMessages_showsTheTryLine() {
    QCOMPARE(currentPage()->objectName(), u"tryPage"_s);
    auto *line = m_panel->findChild<QLabel *>(u"tryLine"_s);
    QCOMPARE(line->text(), u"Try: “Give me a GAM command to check logins for pat@example.com”"_s);
    QVERIFY(line->isVisible());
    QCOMPARE(line->foregroundRole(), QPalette::PlaceholderText);
}

void TestAssistantPanel::returnSends_shiftReturnBreaksTheLine_fieldGrowsToFourLines() {
    auto *field = m_panel->findChild<QuestionField *>(u"questionField"_s);
    QCOMPARE(field->placeholderText(), u"Ask about GAM syntax…"_s);
    QPushButton *send = button(u"sendButton"_s);
    QVERIFY(!send->isEnabled());
    field->setFocus();
    QTest::keyClicks(field, u"   "_s);
    QVERIFY(!send->isEnabled());
    // Return with only blanks sends nothing.
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(m_model->messages().isEmpty());

    const int oneLine = field->height();
    QStringList heights;
    int previous = oneLine;
    for (int line = 2; line <= 6; ++line) {
        QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(field, u"line"_s + QString::number(line));
        QTRY_VERIFY(field->height() >= previous);
        heights.append(QString::number(field->height()));
        previous = field->height();
    }
    QVERIFY(send->isEnabled());
    const int lineHeight = field->fontMetrics().lineSpacing();
    // Grows a line at a time up to four lines, then stays and scrolls.
    QVERIFY2(heights.at(0).toInt() >= oneLine + lineHeight - 1, qPrintable(heights.join(u' ')));
    QVERIFY2(heights.at(2).toInt() >= oneLine + 3 * lineHeight - 1, qPrintable(heights.join(u' ')));
    QCOMPARE(heights.at(3), heights.at(2));
    QCOMPARE(heights.at(4), heights.at(2));
    QVERIFY(field->verticalScrollBar()->maximum() > 0);
    QCOMPARE(m_model->input().count(u'\n'), 5);

    ReplayServer server;
    server.respond = replyWith(streamHead() + textStart(0) + textDelta(0, "ok") + stopReason("end_turn"));
    QTest::keyClick(field, Qt::Key_Return);
    QTRY_VERIFY(server.request().has_value());
    QCOMPARE(m_model->messages().first().text, u"line2\nline3\nline4\nline5\nline6"_s.prepend(u"   \n"_s).trimmed());
    QCOMPARE(field->toPlainText(), QString());
    QTRY_COMPARE(field->height(), oneLine);
    QVERIFY(waitUntilIdle());
}

void TestAssistantPanel::sendAndStop_swapWhileAReplyStreams() {
    ReplayServer server;
    server.respond = [](QTcpSocket *socket) { socket->write(streamHead()); };
    QPushButton *send = button(u"sendButton"_s);
    QPushButton *stop = button(u"stopButton"_s);
    QVERIFY(send->isVisible());
    QVERIFY(!stop->isVisible());
    ask(u"List users"_s, server);
    QVERIFY(!send->isVisible());
    QVERIFY(stop->isVisible());
    // While no text has come, the reply says it is thinking.
    QList<MessageRow *> shown = rows();
    QCOMPARE(shown.size(), 2);
    QTRY_VERIFY(shown.at(1)->findChild<QWidget *>(u"thinking"_s)->isVisible());
    server.socket()->write(textStart(0) + textDelta(0, "Partial"));
    QTRY_VERIFY(!shown.at(1)->findChild<QWidget *>(u"thinking"_s)->isVisible());
    QTest::mouseClick(stop, Qt::LeftButton);
    QVERIFY(waitUntilIdle());
    QVERIFY(send->isVisible());
    QVERIFY(!stop->isVisible());
    QTRY_COMPARE(rows().at(1)->findChild<FormattedText *>(u"replyText"_s)->toPlainText(), u"Partial\n\n(Stopped.)"_s);

    // Escape in the question field stops the next reply too, and leaves the typed text.
    ReplayServer second;
    second.respond = [](QTcpSocket *socket) { socket->write(streamHead()); };
    ask(u"List groups"_s, second);
    auto *field = m_panel->findChild<QuestionField *>(u"questionField"_s);
    QTest::keyClicks(field, u"next"_s);
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(waitUntilIdle());
    QTRY_COMPARE(rows().at(3)->findChild<FormattedText *>(u"replyText"_s)->toPlainText(), u"(Stopped.)"_s);
    QCOMPARE(field->toPlainText(), u"next"_s);
}

void TestAssistantPanel::reply_showsProseAndCodeBlocksWithInsertAndWarning() {
    ReplayServer server;
    server.respond = replyWith(streamHead() + textStart(0) +
                               textDelta(0, "Use **this**:\\n```bash\\ngam user x delete\\n  gam info domain\\n"
                                            "gamadv print\\n```\\nDone.") +
                               stopReason("end_turn"));
    ask(u"How?"_s, server);
    QVERIFY(waitUntilIdle());
    QCOMPARE(currentPage()->objectName(), u"conversation"_s);
    ReplyView *reply = rows().at(1)->reply();
    QTRY_COMPARE(reply->document()->blockCount(), 5);
    QCOMPARE(reply->toPlainText(), u"Use this:\ngam user x delete\ngam info domain\ngamadv print\nDone."_s);
    QTextBlock::iterator fragment = reply->document()->firstBlock().begin();
    QCOMPARE(fragment.fragment().text(), u"Use "_s);
    QCOMPARE(fragment.fragment().charFormat().fontWeight(), int(QFont::Normal));
    ++fragment;
    QCOMPARE(fragment.fragment().text(), u"this"_s);
    QCOMPARE(fragment.fragment().charFormat().fontWeight(), int(QFont::Bold));

    QCOMPARE(reply->codeBlocks().size(), 1);
    const QList<CodeBlock::Row> &lines = reply->codeBlocks().first()->rows();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0).line, u"gam user x delete"_s);
    QCOMPARE(lines.at(1).line, u"gam info domain"_s);
    QVERIFY(lines.at(0).insert && lines.at(0).warning);
    QVERIFY(lines.at(1).insert && !lines.at(1).warning);
    QVERIFY(!lines.at(2).insert && !lines.at(2).warning);
    QTRY_VERIFY(lines.at(0).insert->isVisible() && lines.at(0).warning->isVisible() && lines.at(1).insert->isVisible());

    // Each button sits beside its own line, clear of the text.
    const auto lineRect = [reply](int block) {
        return reply->document()->documentLayout()->blockBoundingRect(reply->document()->findBlockByNumber(block));
    };
    const auto beside = [&](int i) {
        const QRect button = lines.at(i).insert->geometry();
        const QRectF line = lineRect(1 + i);
        return button.top() < line.bottom() && button.bottom() > line.top() &&
               button.right() <= reply->viewport()->width();
    };
    QTRY_VERIFY(beside(0) && beside(1));
    QVERIFY(lines.at(0).insert->geometry().bottom() < lines.at(1).insert->geometry().top());
    QVERIFY(lines.at(0).warning->geometry().right() < lines.at(0).insert->geometry().left());

    QCOMPARE(lines.at(0).warning->findChild<QLabel *>(u"warningText"_s)->text(), u"Changes data"_s);
    QCOMPARE(lines.at(0).warning->toolTip(),
             u"This command can change or delete data. Run a preview or print command first."_s);
    QCOMPARE(lines.at(1).insert->text(), u"Insert"_s);
    QCOMPARE(lines.at(1).insert->toolTip(),
             u"Put this command in the GAM Command field. It won't run until you press Run."_s);

    // Tab goes from the header through the Insert buttons to the question field.
    QWidget *web = button(u"webAssistantButton"_s);
    web->setFocus();
    QTRY_VERIFY(web->hasFocus());
    QTest::keyClick(web, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), lines.at(0).insert.data());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), lines.at(1).insert.data());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), m_panel->findChild<QuestionField *>(u"questionField"_s));

    QTest::mouseClick(lines.at(1).insert, Qt::LeftButton);
    QCOMPARE(m_inserted, QStringList{u"gam info domain"_s});
    QTest::mouseClick(lines.at(0).insert, Qt::LeftButton);
    QCOMPARE(m_inserted, (QStringList{u"gam info domain"_s, u"gam user x delete"_s}));
}

void TestAssistantPanel::streaming_rerendersOnlyTheChangedMessageAndLines() {
    {
        ReplayServer first;
        first.respond = replyWith(streamHead() + textStart(0) + textDelta(0, "First answer") + stopReason("end_turn"));
        ask(u"One"_s, first);
        QVERIFY(waitUntilIdle());
    }
    ReplyView *firstText = rows().at(1)->reply();
    QTRY_COMPARE(firstText->toPlainText(), u"First answer"_s);
    const int firstRevision = firstText->document()->revision();

    ReplayServer second;
    second.respond = [](QTcpSocket *socket) {
        socket->write(streamHead() + textStart(0) + textDelta(0, "Line one\\nLine t"));
    };
    ask(u"Two"_s, second);
    QTRY_COMPARE(rows().size(), 4);
    MessageRow *streaming = rows().at(3);
    ReplyView *text = streaming->reply();
    QTRY_COMPARE(text->toPlainText(), u"Line one\nLine t"_s);
    const int lineOneRevision = text->document()->firstBlock().revision();
    second.socket()->write(textDelta(0, "wo\\nLine three"));
    QTRY_COMPARE(text->toPlainText(), u"Line one\nLine two\nLine three"_s);
    // The complete first line untouched, and the earlier reply left alone.
    QCOMPARE(text->document()->firstBlock().revision(), lineOneRevision);
    QCOMPARE(firstText->document()->revision(), firstRevision);
    second.socket()->disconnectFromHost();
    QVERIFY(waitUntilIdle());
}

void TestAssistantPanel::badText_wrapsWithoutSidewaysScrollAndKeepsItsCharacters() {
    const QByteArray longWord(6000, 'x');
    const QByteArray longCommand = "gam print users query " + QByteArray(3000, 'y');
    ReplayServer server;
    server.respond = replyWith(streamHead() + textStart(0) +
                               textDelta(0, longWord +
                                                "\\n**unclosed `tick [link](\\n\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d "
                                                "\xd7\xa2\xd7\x95\xd7\x9c\xd7\x9d\\n```\\n" +
                                                longCommand + "\\n```") +
                               stopReason("end_turn"));
    // The question itself is one long word too.
    const QString longQuestion = QString(3000, u'q');
    m_model->setInput(longQuestion);
    m_model->send();
    QTRY_VERIFY(server.request().has_value());
    QVERIFY(waitUntilIdle());
    MessageRow *reply = rows().at(1);
    QTRY_COMPARE(reply->reply()->codeBlocks().size(), 1);
    auto *scroll = m_panel->findChild<QScrollArea *>(u"conversation"_s);
    QCOMPARE(scroll->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    const int viewportWidth = scroll->viewport()->width();
    QTRY_VERIFY(scroll->widget()->width() <= viewportWidth);
    auto *question = rows().at(0)->findChild<FormattedText *>(u"messageText"_s);
    QCOMPARE(question->toPlainText(), longQuestion);
    QVERIFY(question->mapTo(scroll->viewport(), QPoint(question->width(), 0)).x() <= viewportWidth);

    ReplyView *text = reply->reply();
    const int lineHeight = text->fontMetrics().lineSpacing();
    QVERIFY(text->width() <= viewportWidth);
    // Laid out once the layout request is handled.
    QTRY_VERIFY(text->height() > 20 * lineHeight);
    QCOMPARE(text->document()->findBlockByNumber(0).text(), QString::fromLatin1(longWord));
    // Markdown that does not pair up reads as written.
    QCOMPARE(text->document()->findBlockByNumber(1).text(), u"**unclosed `tick [link]("_s);
    QCOMPARE(text->document()->findBlockByNumber(1).textDirection(), Qt::LeftToRight);
    QCOMPARE(text->document()->findBlockByNumber(2).text(), u"שלום עולם"_s);
    QCOMPARE(text->document()->findBlockByNumber(2).textDirection(), Qt::RightToLeft);

    const QTextBlock codeLine = text->document()->findBlockByNumber(3);
    QCOMPARE(codeLine.text(), QString::fromLatin1(longCommand));
    QVERIFY(codeLine.layout()->lineCount() > 5);
    QPushButton *insert = text->codeBlocks().first()->rows().first().insert;
    QTRY_VERIFY(insert->isVisible());
    QVERIFY(insert->mapTo(scroll->viewport(), QPoint(insert->width(), 0)).x() <= viewportWidth);
    // A reply that ends in a code block is tall enough for the whole box.
    QTRY_COMPARE(qCeil(text->codeBlocks().first()->box(text->document()).bottom()), text->height());
    QTest::mouseClick(insert, Qt::LeftButton);
    QCOMPARE(m_inserted, QStringList{QString::fromLatin1(longCommand)});
}

void TestAssistantPanel::notices_showTheirIcon() {
    {
        ReplayServer server;
        server.respond = replyWith(streamHead() + textStart(0) + textDelta(0, "  ") + stopReason("end_turn"));
        ask(u"Blank please"_s, server);
        QVERIFY(waitUntilIdle());
    }
    {
        ReplayServer server;
        server.respond = replyWith(httpReply(429, "Too Many Requests", "application/json", "{}"));
        ask(u"Again"_s, server);
        QVERIFY(waitUntilIdle());
    }
    QTRY_COMPARE(rows().size(), 4);
    const QList<MessageRow *> shown = rows();
    QCOMPARE(shown.at(1)->objectName(), u"noticeMessage"_s);
    QVERIFY(shown.at(1)->findChild<QLabel *>(u"infoIcon"_s));
    QCOMPARE(shown.at(1)->findChild<FormattedText *>(u"messageText"_s)->toPlainText(),
             u"The assistant's reply was empty. Try asking again."_s);
    QVERIFY(shown.at(3)->findChild<QLabel *>(u"warningIcon"_s));
    QCOMPARE(shown.at(3)->findChild<FormattedText *>(u"messageText"_s)->toPlainText(),
             u"Rate limited by the Anthropic API. Wait a moment and try again."_s);
    QCOMPARE(shown.at(2)->objectName(), u"userMessage"_s);
}

void TestAssistantPanel::newChat_isEnabledOnlyWithMessagesAndEmptiesThePanel() {
    QPushButton *newChat = button(u"newChatButton"_s);
    QVERIFY(!newChat->isEnabled());
    ReplayServer server;
    server.respond = replyWith(streamHead() + textStart(0) + textDelta(0, "Answer") + stopReason("end_turn"));
    ask(u"Question"_s, server);
    QVERIFY(waitUntilIdle());
    QVERIFY(newChat->isEnabled());
    QTest::mouseClick(newChat, Qt::LeftButton);
    QVERIFY(rows().isEmpty());
    QCOMPARE(currentPage()->objectName(), u"tryPage"_s);
    QVERIFY(!newChat->isEnabled());
}

void TestAssistantPanel::links_openOnlyWebAddresses() {
    QPushButton *web = button(u"webAssistantButton"_s);
    QCOMPARE(web->text(), u"GAM Orrin →"_s);
    QCOMPARE(web->toolTip(), u"Open the GAM Orrin assistant in your browser"_s);
    QTest::mouseClick(web, Qt::LeftButton);
    QCOMPARE(m_desktop.openedUrls, QList<QUrl>{GAMSetup::wikiURL()});

    ReplayServer server;
    server.respond =
        replyWith(streamHead() + textStart(0) +
                  textDelta(0, "[wiki](https://example.org/w) [file](file:///etc/passwd)") + stopReason("end_turn"));
    ask(u"Links"_s, server);
    QVERIFY(waitUntilIdle());
    ReplyView *text = rows().at(1)->reply();
    Q_EMIT text->anchorClicked(QUrl(u"file:///etc/passwd"_s));
    Q_EMIT text->anchorClicked(QUrl(u"https://example.org/w"_s));
    QCOMPARE(m_desktop.openedUrls, (QList<QUrl>{GAMSetup::wikiURL(), QUrl(u"https://example.org/w"_s)}));

    QSettings().setValue(AssistantModel::webAssistantSetting, QString());
    makePanel();
    QVERIFY(!button(u"webAssistantButton"_s)->isVisible());
}

void TestAssistantPanel::conversation_followsTheNewestTextUnlessScrolledAway() {
    QByteArray lines;
    for (int i = 0; i < 80; ++i)
        lines += "Line " + QByteArray::number(i) + "\\n";
    ReplayServer server;
    server.respond = [lines](QTcpSocket *socket) { socket->write(streamHead() + textStart(0) + textDelta(0, lines)); };
    ask(u"Long"_s, server);
    QScrollBar *bar = m_panel->findChild<QScrollArea *>(u"conversation"_s)->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    QTRY_COMPARE(bar->value(), bar->maximum());

    bar->setValue(0);
    const int maximum = bar->maximum();
    server.socket()->write(textDelta(0, lines));
    QTRY_VERIFY(bar->maximum() > maximum);
    QCOMPARE(bar->value(), 0);
    server.socket()->disconnectFromHost();
    QVERIFY(waitUntilIdle());
}

QTEST_MAIN(TestAssistantPanel)
#include "tst_assistant_panel.moc"
