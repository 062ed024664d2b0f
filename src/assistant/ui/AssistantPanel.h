#pragma once

#include <QList>
#include <QTimer>
#include <QWidget>
#include <functional>

class AssistantModel;
class DesktopServices;
class MessageRow;
class QLabel;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;
class QuestionField;

// The GAM syntax assistant in the Custom Command tab: the header, the no-key
// state or the conversation, and the question field with Send or Stop.
class AssistantPanel : public QWidget {
    Q_OBJECT
public:
    using InsertAction = std::function<void(const QString &command)>;

    AssistantPanel(AssistantModel *model, DesktopServices *desktop, InsertAction insert, QWidget *parent = nullptr);

Q_SIGNALS:
    void settingsRequested();

protected:
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QWidget *buildHeader();
    QWidget *buildNoKeyPage();
    QWidget *buildTryPage();
    QWidget *buildConversation();
    QWidget *buildInputRow();

    // The link button's and the key's colours come from the palette.
    void paintSymbols();
    void showBody();
    void appendRow(qsizetype index);
    void changeRow(qsizetype index);
    void clearRows();
    void renderPending();
    void showThinking();
    void orderTabs();
    void showResponding();
    void scrollToEnd();

    AssistantModel *m_model;
    DesktopServices *m_desktop;
    InsertAction m_insert;

    QPushButton *m_newChat;
    QPushButton *m_webAssistant;
    QStackedWidget *m_body;
    QWidget *m_noKeyPage;
    QWidget *m_tryPage;
    QScrollArea *m_scroll;
    QWidget *m_conversation;
    QVBoxLayout *m_rowsLayout;
    QList<MessageRow *> m_rows;
    QLabel *m_keyIcon;
    QPushButton *m_openSettings;
    QuestionField *m_field;
    QPushButton *m_send;
    QPushButton *m_stop;

    // Streamed text is drawn once per turn of the event loop, not once per piece.
    QList<qsizetype> m_pendingRows;
    QTimer m_renderTimer;
    QTimer m_tabOrderTimer;
    // The list follows new text while the user has not scrolled away from its end.
    bool m_followEnd = true;
};
