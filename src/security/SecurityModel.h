#pragma once

#include "core/CancelToken.h"
#include "security/CheckContext.h"
#include "security/CheckResult.h"
#include "security/SecurityCheck.h"

#include <QCoroTask>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <functional>
#include <optional>

class Console;

// The Security tab: the target user, the checks run against it with their
// latest results, and the confirmed changes those results offer. Every command
// runs as the console's one task; failures end up in the log or an alert.
class SecurityModel : public QObject {
    Q_OBJECT
public:
    // Runs a check's commands for the user ("" for checks without a target) and returns what to show.
    using CheckBody = std::function<QCoro::Task<CheckResult>(CheckContext context, QString user)>;

    explicit SecurityModel(Console *console, QObject *parent = nullptr);

    Console *console() const;

    std::optional<SecurityCheck> selection() const { return m_selection; }
    void setSelection(std::optional<SecurityCheck> selection);
    QString userInput() const { return m_userInput; }
    void setUserInput(const QString &text);
    std::optional<QString> targetUser() const { return m_targetUser; }
    const QSet<SecurityCheck> &completed() const { return m_completed; }
    const QHash<SecurityCheck, CheckResult> &results() const { return m_results; }
    const CheckResult *result(SecurityCheck check) const;

    QString batchUsersText() const { return m_batchUsersText; }
    void setBatchUsersText(const QString &text);
    QString triageUsersText() const { return m_triageUsersText; }
    void setTriageUsersText(const QString &text);
    QString newIndicator() const { return m_newIndicator; }
    void setNewIndicator(const QString &text);
    QString searchIndicator() const { return m_searchIndicator; }
    void setSearchIndicator(const QString &text);
    QStringList indicators() const { return m_indicators; }
    // Why the last reload found no readable list; empty when it read the file.
    QString indicatorFileProblem() const { return m_indicatorFileProblem; }

    const std::optional<PasswordReveal> &passwordReveal() const { return m_passwordReveal; }

    // The target bar: resolve userInput and make it the target, or forget it.
    void setTarget();
    void clearTarget();
    // A new domain: nothing of the previous one survives.
    void reset();

    // The action button of a check's detail pane.
    void run(SecurityCheck check);
    // The run/complete cycle: a check that needs a target gets it, the result replaces the previous one.
    void runCheck(SecurityCheck check, CheckBody body);
    // The button of a result's plan: confirm, then run its steps and record them.
    void confirmPlan(SecurityCheck check);

    void confirmSignOut();
    // Generates a password and shows it; nothing runs until it is applied.
    void preparePasswordReset();
    // The password sheet's "Apply Password": sets the shown password.
    void applyPasswordReset();
    // The password sheet's "Cancel" and "Done".
    void dismissPasswordReveal();

    // Validate the batch, triage and search fields, then run (after a confirmation for remediation).
    void startBatchRemediation();
    void startBatchTriage();
    void startDomainSearch();

    // The known-indicator list, read from its file before every use.
    QString indicatorFilePath() const;
    void reloadIndicators();
    void addIndicator(const QString &text);
    void exportIndicators();
    void openIndicatorFile();

Q_SIGNALS:
    void selectionChanged();
    void userInputChanged();
    void targetChanged();
    // The result or completion of this check changed.
    void resultChanged(SecurityCheck check);
    void batchUsersTextChanged();
    void triageUsersTextChanged();
    void newIndicatorChanged();
    void searchIndicatorChanged();
    void indicatorsChanged();
    void passwordRevealChanged();

private:
    CheckContext checkContext(CancelToken cancel) const;
    void alertNoUser();
    // Drops the results of every check that needs a target.
    void dropTargetResults();
    void setPasswordReveal(std::optional<PasswordReveal> reveal);
    void setIndicators(const QStringList &indicators, const QString &problem);
    // The accounts of a batch field, or none after the alert that says why not.
    std::optional<QStringList> batchAccounts(const QString &text, const QString &emptyMessage);
    static QCoro::Task<CheckResult> remediationCycle(QPointer<SecurityModel> self, CheckContext context,
                                                     QStringList accounts, PasswordLogMode mode);
    void startPlan(SecurityCheck check, QString user, RemovalPlan plan);

    // A run's result counts only for the target and domain it ran for.
    bool stillCurrent(SecurityCheck check, const QString &user, quint64 resets) const;
    void storeResult(SecurityCheck check, CheckResult result);

    QCoro::Task<> runCycle(SecurityCheck check, QString user, CheckBody body, CancelToken cancel);
    // Touches the model only before its first co_await.
    QCoro::Task<> exportCycle(CancelToken cancel);
    QCoro::Task<> executePlan(SecurityCheck check, QString user, RemovalPlan plan, CancelToken cancel);

    QPointer<Console> m_console;
    std::optional<SecurityCheck> m_selection = SecurityCheck::signOut;
    QString m_userInput;
    std::optional<QString> m_targetUser;
    QSet<SecurityCheck> m_completed;
    QHash<SecurityCheck, CheckResult> m_results;
    QString m_batchUsersText;
    QString m_triageUsersText;
    QString m_newIndicator;
    QString m_searchIndicator;
    QStringList m_indicators;
    QString m_indicatorFileProblem;
    std::optional<PasswordReveal> m_passwordReveal;
    // Counts domain switches, so a run that outlived one keeps its result to itself.
    quint64 m_resets = 0;
};
