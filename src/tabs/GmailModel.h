#pragma once

#include "core/CancelToken.h"
#include "tabs/GmailListForm.h"
#include "tabs/GmailMode.h"
#include "tabs/GmailPropertiesForm.h"
#include "tabs/MessageRun.h"

#include <QCoroTask>
#include <QObject>
#include <QStringList>
#include <memory>

class Console;

// The Gmail tab: three independent forms and the actions that preview, delete
// and find messages through gam. Every failure ends up in the log or an alert.
class GmailModel : public QObject {
    Q_OBJECT
public:
    explicit GmailModel(Console *console, QObject *parent = nullptr);

    Console *console() const { return m_console; }
    GmailMode mode() const { return m_mode; }
    void setMode(GmailMode mode);

    GmailListForm *messageIDForm() const { return m_messageIDForm; }
    GmailListForm *senderForm() const { return m_senderForm; }
    GmailPropertiesForm *propertiesForm() const { return m_propertiesForm; }
    // The form of a list mode (messageID or sender).
    GmailListForm *listForm(GmailMode mode) const;

    void previewList(GmailMode mode);
    void deleteList(GmailMode mode);
    void findMessages();
    void previewProperties();
    void deleteProperties();
    // Clears the form of the current mode.
    void clear();

    // Domain and all-users runs through GAM's batching; remembered between launches.
    bool runInParallel() const { return m_runInParallel; }
    void setRunInParallel(bool parallel);

    static QString sampleSender();
    static QString sampleMessageID();

Q_SIGNALS:
    void modeChanged();
    void runInParallelChanged();

private:
    using WorkItems = MessageWorkItems;

    bool checkList(GmailMode mode);
    bool checkProperties(const QString &missingQueryMessage);
    WorkItems listItems(GmailMode mode) const;
    WorkItems propertiesItems() const;
    void confirmDelete(const QString &message, MailTargetFields *target, WorkItems items);
    void startRun(bool preview, MailTargetFields *target, WorkItems items);
    // The results sheet's "Retry Failed Mailboxes…": confirms, then runs the failed rows again.
    void confirmRetry(std::shared_ptr<MessageRun> run);
    void startRetry(std::shared_ptr<MessageRun> run);
    void showMailboxResults(const std::shared_ptr<MessageRun> &run);

    QCoro::Task<> runSteps(std::shared_ptr<MessageRun> run, QList<MessageRunStep> steps, QString targetDescription,
                           CancelToken cancel);
    QCoro::Task<> runFind(QStringList arguments, QString query, CancelToken cancel);

    Console *m_console;
    GmailMode m_mode = GmailMode::messageID;
    GmailListForm *m_messageIDForm;
    GmailListForm *m_senderForm;
    GmailPropertiesForm *m_propertiesForm;
    bool m_runInParallel;
};
