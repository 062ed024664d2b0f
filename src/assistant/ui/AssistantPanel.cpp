#include "assistant/ui/AssistantPanel.h"

#include "app/ui/Icons.h"
#include "assistant/AssistantModel.h"
#include "assistant/ui/CodeBlock.h"
#include "assistant/ui/MessageRow.h"
#include "assistant/ui/QuestionField.h"
#include "assistant/ui/ReplyView.h"
#include "core/DesktopServices.h"
#include "tabs/ui/HintText.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel *headline(const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

// A flat button drawn in the link colour of the palette it is given.
void showAsLink(QPushButton *button, const QPalette &palette) {
    QPalette linkColours = button->palette();
    linkColours.setBrush(QPalette::ButtonText, palette.brush(QPalette::Link));
    button->setPalette(linkColours);
}

// Links in replies open in the browser only when they are web or mail addresses.
bool isSafeToOpen(const QUrl &url) {
    return url.scheme() == "https"_L1 || url.scheme() == "http"_L1 || url.scheme() == "mailto"_L1;
}

} // namespace

AssistantPanel::AssistantPanel(AssistantModel *model, DesktopServices *desktop, InsertAction insert, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_desktop(desktop)
    , m_insert(std::move(insert))
    , m_body(new QStackedWidget(this)) {
    setObjectName(u"assistantPanel"_s);
    m_renderTimer.setSingleShot(true);
    m_renderTimer.setInterval(0);
    connect(&m_renderTimer, &QTimer::timeout, this, &AssistantPanel::renderPending);
    m_tabOrderTimer.setSingleShot(true);
    m_tabOrderTimer.setInterval(0);
    connect(&m_tabOrderTimer, &QTimer::timeout, this, &AssistantPanel::orderTabs);

    m_noKeyPage = buildNoKeyPage();
    m_tryPage = buildTryPage();
    m_body->addWidget(m_noKeyPage);
    m_body->addWidget(m_tryPage);
    m_body->addWidget(buildConversation());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(buildHeader());
    layout->addWidget(m_body, 1);
    layout->addWidget(buildInputRow());

    connect(model, &AssistantModel::messageAppended, this, &AssistantPanel::appendRow);
    connect(model, &AssistantModel::messageChanged, this, &AssistantPanel::changeRow);
    connect(model, &AssistantModel::messagesCleared, this, &AssistantPanel::clearRows);
    connect(model, &AssistantModel::hasAPIKeyChanged, this, &AssistantPanel::showBody);
    connect(model, &AssistantModel::waitingForTextChanged, this, &AssistantPanel::showThinking);
    connect(model, &AssistantModel::respondingChanged, this, &AssistantPanel::showResponding);
    // A key stored or removed by another program shows when the user comes back.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            m_model->refreshKey();
    });

    paintSymbols();
    for (qsizetype i = 0; i < model->messages().size(); ++i)
        appendRow(i);
    showBody();
    showResponding();
}

QWidget *AssistantPanel::buildHeader() {
    auto *header = new QWidget(this);
    auto *title = headline(u"GAM Syntax Assistant"_s, header);
    auto *hint =
        new HintText(u"Ask about GAM command syntax — suggested commands can be inserted into the field above. "
                     u"Questions are sent to Anthropic's API; don't paste passwords or student data."_s,
                     header);
    m_newChat = new QPushButton(u"New Chat"_s, header);
    m_newChat->setObjectName(u"newChatButton"_s);
    m_newChat->setAutoDefault(false);
    connect(m_newChat, &QPushButton::clicked, m_model, &AssistantModel::newChat);

    m_webAssistant = new QPushButton(u"GAM Orrin →"_s, header);
    QPushButton *web = m_webAssistant;
    web->setObjectName(u"webAssistantButton"_s);
    web->setFlat(true);
    web->setAutoDefault(false);
    web->setCursor(Qt::PointingHandCursor);
    web->setToolTip(u"Open the GAM Orrin assistant in your browser"_s);
    web->setAccessibleDescription(web->toolTip());
    const QUrl address = AssistantModel::webAssistantURL();
    web->setVisible(!address.isEmpty());
    connect(web, &QPushButton::clicked, this, [this, address] { m_desktop->openUrl(address); });

    auto *top = new QHBoxLayout;
    top->addWidget(title, 1);
    top->addWidget(m_newChat);
    top->addWidget(web);
    auto *layout = new QVBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addWidget(hint);
    return header;
}

QWidget *AssistantPanel::buildNoKeyPage() {
    auto *page = new QWidget(this);
    page->setObjectName(u"noKeyPage"_s);
    m_keyIcon = new QLabel(page);
    m_keyIcon->setAlignment(Qt::AlignCenter);
    auto *heading = headline(u"Add an Anthropic API Key"_s, page);
    heading->setAlignment(Qt::AlignCenter);
    auto *text = new QLabel(u"The assistant uses Claude through your own Anthropic API account. "
                            u"Add a key in Settings → Assistant."_s,
                            page);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);
    m_openSettings = new QPushButton(u"Open Settings…"_s, page);
    m_openSettings->setObjectName(u"openSettingsButton"_s);
    m_openSettings->setAutoDefault(false);
    connect(m_openSettings, &QPushButton::clicked, this, &AssistantPanel::settingsRequested);

    auto *column = new QVBoxLayout;
    column->setSpacing(8);
    column->addWidget(m_keyIcon);
    column->addWidget(heading);
    column->addWidget(text);
    column->addWidget(m_openSettings, 0, Qt::AlignCenter);
    auto *centred = new QHBoxLayout;
    centred->addStretch(1);
    centred->addLayout(column, 4);
    centred->addStretch(1);
    auto *layout = new QVBoxLayout(page);
    layout->addStretch(1);
    layout->addLayout(centred);
    layout->addStretch(1);
    return page;
}

QWidget *AssistantPanel::buildTryPage() {
    auto *page = new QWidget(this);
    page->setObjectName(u"tryPage"_s);
    auto *line = new QLabel(u"Try: “Give me a GAM command to check logins for pat@example.com”"_s, page);
    line->setObjectName(u"tryLine"_s);
    line->setWordWrap(true);
    line->setAlignment(Qt::AlignCenter);
    line->setForegroundRole(QPalette::PlaceholderText);
    auto *layout = new QVBoxLayout(page);
    layout->addStretch(1);
    layout->addWidget(line);
    layout->addStretch(1);
    return page;
}

QWidget *AssistantPanel::buildConversation() {
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(u"conversation"_s);
    // It takes focus so the keyboard can scroll it; it has no visible label of its own.
    m_scroll->setAccessibleName(u"Conversation"_s);
    m_scroll->setWidgetResizable(true);
    // Long lines wrap; the conversation never scrolls sideways.
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_conversation = new QWidget;
    m_conversation->setObjectName(u"conversationContent"_s);
    m_rowsLayout = new QVBoxLayout(m_conversation);
    m_rowsLayout->setContentsMargins(8, 8, 8, 8);
    m_rowsLayout->setSpacing(12);
    m_rowsLayout->addStretch(1);
    m_scroll->setWidget(m_conversation);

    QScrollBar *bar = m_scroll->verticalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar] {
        if (m_followEnd)
            bar->setValue(bar->maximum());
    });
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int value) { m_followEnd = value >= bar->maximum() - bar->singleStep(); });
    return m_scroll;
}

QWidget *AssistantPanel::buildInputRow() {
    auto *row = new QWidget(this);
    m_field = new QuestionField(row);
    m_field->setObjectName(u"questionField"_s);
    m_field->setPlaceholderText(u"Ask about GAM syntax…"_s);
    m_field->setAccessibleName(u"Ask about GAM syntax"_s);
    m_field->setPlainText(m_model->input());
    m_send = new QPushButton(u"Send"_s, row);
    m_send->setObjectName(u"sendButton"_s);
    m_send->setAutoDefault(false);
    m_send->setToolTip(u"Send the question (Return)"_s);
    m_stop = new QPushButton(u"Stop"_s, row);
    m_stop->setObjectName(u"stopButton"_s);
    m_stop->setAutoDefault(false);
    m_stop->setToolTip(u"Stop the reply (Esc)"_s);

    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_field, 1, Qt::AlignBottom);
    layout->addWidget(m_send, 0, Qt::AlignBottom);
    layout->addWidget(m_stop, 0, Qt::AlignBottom);

    const auto enableSend = [this] { m_send->setEnabled(!m_model->input().trimmed().isEmpty()); };
    connect(m_field, &QTextEdit::textChanged, this, [this] { m_model->setInput(m_field->toPlainText()); });
    connect(m_model, &AssistantModel::inputChanged, this, [this, enableSend](const QString &input) {
        if (m_field->toPlainText() != input)
            m_field->setPlainText(input);
        enableSend();
    });
    connect(m_field, &QuestionField::submitted, m_model, &AssistantModel::send);
    connect(m_send, &QPushButton::clicked, m_model, &AssistantModel::send);
    connect(m_stop, &QPushButton::clicked, m_model, &AssistantModel::stop);
    enableSend();
    return row;
}

void AssistantPanel::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        paintSymbols();
}

// Escape anywhere in the panel stops a streaming reply, so the question field keeps
// the focus. It is claimed before the window's shortcuts see it: the log's Stop
// (Escape too) then stops a running gam only when the focus is elsewhere.
bool AssistantPanel::event(QEvent *event) {
    if (event->type() == QEvent::ShortcutOverride && m_model->isResponding() &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::Cancel)) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void AssistantPanel::keyPressEvent(QKeyEvent *event) {
    if (m_model->isResponding() && event->matches(QKeySequence::Cancel)) {
        m_model->stop();
        return;
    }
    QWidget::keyPressEvent(event);
}

void AssistantPanel::paintSymbols() {
    showAsLink(m_webAssistant, palette());
    m_keyIcon->setPixmap(Icons::tinted(Icons::Symbol::key, palette().color(QPalette::PlaceholderText), 40));
}

void AssistantPanel::showBody() {
    if (!m_model->hasAPIKey())
        m_body->setCurrentWidget(m_noKeyPage);
    else if (m_rows.isEmpty())
        m_body->setCurrentWidget(m_tryPage);
    else
        m_body->setCurrentWidget(m_scroll);
    m_newChat->setEnabled(!m_rows.isEmpty());
}

void AssistantPanel::appendRow(qsizetype index) {
    auto *row = new MessageRow(m_model->messages().at(index), m_conversation);
    connect(row, &MessageRow::insertRequested, this, [this](const QString &command) { m_insert(command); });
    if (row->reply())
        connect(row->reply(), &ReplyView::insertAdded, &m_tabOrderTimer, qOverload<>(&QTimer::start));
    connect(row, &MessageRow::linkActivated, this, [this](const QUrl &url) {
        if (isSafeToOpen(url))
            m_desktop->openUrl(url);
    });
    m_rows.insert(index, row);
    m_rowsLayout->insertWidget(int(index), row);
    showThinking();
    showBody();
    scrollToEnd();
}

void AssistantPanel::changeRow(qsizetype index) {
    const AssistantModel::Message &message = m_model->messages().at(index);
    if (m_rows.at(index)->messageID() != message.id) {
        delete m_rows.takeAt(index);
        m_pendingRows.removeAll(index);
        appendRow(index);
        return;
    }
    if (!m_pendingRows.contains(index))
        m_pendingRows.append(index);
    m_renderTimer.start();
}

void AssistantPanel::renderPending() {
    const QList<qsizetype> pending = std::exchange(m_pendingRows, {});
    for (const qsizetype index : pending) {
        if (index < m_rows.size())
            m_rows.at(index)->setText(m_model->messages().at(index).text);
    }
}

void AssistantPanel::clearRows() {
    m_pendingRows.clear();
    qDeleteAll(std::exchange(m_rows, {}));
    showBody();
}

void AssistantPanel::showThinking() {
    for (qsizetype i = 0; i < m_rows.size(); ++i)
        m_rows.at(i)->setThinking(i == m_rows.size() - 1 && m_model->isWaitingForText());
}

// Insert buttons come after the header and before the question field, in reading order.
void AssistantPanel::orderTabs() {
    QWidget *previous = m_webAssistant;
    for (MessageRow *row : std::as_const(m_rows)) {
        if (!row->reply())
            continue;
        for (const CodeBlock *codeBlock : row->reply()->codeBlocks()) {
            for (const CodeBlock::Row &line : codeBlock->rows()) {
                if (!line.insert)
                    continue;
                setTabOrder(previous, line.insert);
                previous = line.insert;
            }
        }
    }
}

void AssistantPanel::showResponding() {
    const bool responding = m_model->isResponding();
    m_send->setVisible(!responding);
    m_stop->setVisible(responding);
}

void AssistantPanel::scrollToEnd() {
    m_followEnd = true;
    QScrollBar *bar = m_scroll->verticalScrollBar();
    bar->setValue(bar->maximum());
}
