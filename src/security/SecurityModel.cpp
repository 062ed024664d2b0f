#include "security/SecurityModel.h"

#include "core/Console.h"
#include "core/DesktopServices.h"
#include "core/Error.h"
#include "core/PlatformTexts.h"
#include "core/SpaceTrim.h"
#include "profiles/ProfileStore.h"
#include "security/BatchOperations.h"
#include "security/BatchRules.h"
#include "security/IndicatorFile.h"
#include "security/IndicatorMatching.h"
#include "security/InvestigationChecks.h"
#include "security/PasswordGenerator.h"
#include "security/ResponseActions.h"
#include "security/ResponseRules.h"
#include "security/UserResolution.h"

using namespace Qt::StringLiterals;

namespace {

QString domainLine() {
    return u"\n\nDomain: "_s + currentActiveProfile().displayName();
}

} // namespace

SecurityModel::SecurityModel(Console *console, QObject *parent)
    : QObject(parent)
    , m_console(console) {}

// ---- State ----

Console *SecurityModel::console() const {
    return m_console;
}

void SecurityModel::setSelection(std::optional<SecurityCheck> selection) {
    if (m_selection == selection)
        return;
    m_selection = selection;
    Q_EMIT selectionChanged();
}

void SecurityModel::setUserInput(const QString &text) {
    if (m_userInput == text)
        return;
    m_userInput = text;
    Q_EMIT userInputChanged();
}

const CheckResult *SecurityModel::result(SecurityCheck check) const {
    const auto found = m_results.constFind(check);
    return found == m_results.cend() ? nullptr : &*found;
}

void SecurityModel::setBatchUsersText(const QString &text) {
    if (m_batchUsersText == text)
        return;
    m_batchUsersText = text;
    Q_EMIT batchUsersTextChanged();
}

void SecurityModel::setTriageUsersText(const QString &text) {
    if (m_triageUsersText == text)
        return;
    m_triageUsersText = text;
    Q_EMIT triageUsersTextChanged();
}

void SecurityModel::setNewIndicator(const QString &text) {
    if (m_newIndicator == text)
        return;
    m_newIndicator = text;
    Q_EMIT newIndicatorChanged();
}

void SecurityModel::setSearchIndicator(const QString &text) {
    if (m_searchIndicator == text)
        return;
    m_searchIndicator = text;
    Q_EMIT searchIndicatorChanged();
}

void SecurityModel::setIndicators(const QStringList &indicators, const QString &problem) {
    if (m_indicators == indicators && m_indicatorFileProblem == problem)
        return;
    m_indicators = indicators;
    m_indicatorFileProblem = problem;
    Q_EMIT indicatorsChanged();
}

void SecurityModel::setPasswordReveal(std::optional<PasswordReveal> reveal) {
    if (!reveal && !m_passwordReveal)
        return;
    m_passwordReveal = std::move(reveal);
    Q_EMIT passwordRevealChanged();
}

// ---- Target ----

void SecurityModel::setTarget() {
    const std::optional<QString> user = resolveUser(m_userInput, defaultDomain());
    if (!user) {
        if (trimSpacesAndTabs(m_userInput).isEmpty())
            m_console->showAlert(u"No User"_s, u"Enter a username or email address."_s);
        else
            m_console->showAlert(u"Domain Not Set"_s, u"Enter a full email address, or set a primary domain in "_s +
                                                          PlatformTexts::settingsReference() +
                                                          u" → Domains so bare usernames work."_s);
        return;
    }
    m_targetUser = user;
    setUserInput(*user);
    dropTargetResults();
    m_console->log(u"[SECURITY] Target user: "_s + *user, LogKind::info);
    Q_EMIT targetChanged();
}

void SecurityModel::clearTarget() {
    m_targetUser.reset();
    setUserInput(QString());
    dropTargetResults();
    Q_EMIT targetChanged();
}

void SecurityModel::dropTargetResults() {
    for (const SecurityCheckInfo &info : securityCatalogue()) {
        if (!info.needsTarget)
            continue;
        const bool wasCompleted = m_completed.remove(info.check);
        const bool hadResult = m_results.remove(info.check);
        if (wasCompleted || hadResult)
            Q_EMIT resultChanged(info.check);
    }
}

void SecurityModel::reset() {
    ++m_resets;
    clearTarget();
    const QList<SecurityCheck> remaining = m_results.keys() + m_completed.values();
    m_completed.clear();
    m_results.clear();
    for (const SecurityCheck check : QSet<SecurityCheck>(remaining.cbegin(), remaining.cend()))
        Q_EMIT resultChanged(check);
    setBatchUsersText(QString());
    setTriageUsersText(QString());
    setSearchIndicator(QString());
    setPasswordReveal(std::nullopt);
}

void SecurityModel::alertNoUser() {
    m_console->showAlert(u"No User Selected"_s,
                         u"Enter a username or email at the top of the Security tab, then click Set."_s);
}

// ---- Running checks ----

CheckContext SecurityModel::checkContext(CancelToken cancel) const {
    return CheckContext{m_console, std::move(cancel), currentActiveProfile()};
}

void SecurityModel::run(SecurityCheck check) {
    using enum SecurityCheck;
    switch (check) {
    case signOut:
        confirmSignOut();
        return;
    case resetPassword:
        preparePasswordReset();
        return;
    case revokeApps:
    case filters:
    case forwarding:
    case delegates:
        runCheck(check, [check](CheckContext context, QString user) { return inspectBody(context, check, user); });
        return;
    case calendar:
        runCheck(check, calendarBody);
        return;
    case signature:
        runCheck(check, signatureBody);
        return;
    case logins:
        runCheck(check, loginsBody);
        return;
    case suspicious:
        runCheck(check, suspiciousBody);
        return;
    case iocCheck:
        reloadIndicators();
        if (!m_indicatorFileProblem.isEmpty())
            m_console->log(u"WARNING: Couldn't read the indicator list: "_s + m_indicatorFileProblem, LogKind::warning);
        runCheck(check, [indicators = m_indicators](CheckContext context, QString user) {
            return iocBody(std::move(context), std::move(user), indicators);
        });
        return;
    case passwordHistory:
        runCheck(check, passwordHistoryBody);
        return;
    case externalSharing:
        runCheck(check, externalSharingBody);
        return;
    case twoStep:
        runCheck(check, twoStepBody);
        return;
    case alertCenter:
        runCheck(check, alertCenterBody);
        return;
    case sites:
        runCheck(check, sitesBody);
        return;
    case batch:
        startBatchRemediation();
        return;
    case batchTriage:
        startBatchTriage();
        return;
    case iocSearch:
        startDomainSearch();
        return;
    }
}

void SecurityModel::runCheck(SecurityCheck check, CheckBody body) {
    const SecurityCheckInfo &info = checkInfo(check);
    QString user;
    if (info.needsTarget) {
        if (!m_targetUser) {
            alertNoUser();
            return;
        }
        user = *m_targetUser;
    }
    m_console->run(info.title, [this, check, user, body = std::move(body)](CancelToken cancel) {
        return runCycle(check, user, body, std::move(cancel));
    });
}

QCoro::Task<> SecurityModel::runCycle(SecurityCheck check, QString user, CheckBody body, CancelToken cancel) {
    const SecurityCheckInfo &info = checkInfo(check);
    m_console->log(u'[' + info.number + u"] "_s + info.title + (user.isEmpty() ? QString() : u" — "_s + user),
                   LogKind::info);
    QPointer<SecurityModel> self(this);
    const quint64 resets = m_resets;
    // A failure propagates to the console's task, which logs it under the check's title.
    CheckResult result = co_await body(checkContext(cancel), user);
    if (self && self->stillCurrent(check, user, resets))
        self->storeResult(check, std::move(result));
}

bool SecurityModel::stillCurrent(SecurityCheck check, const QString &user, quint64 resets) const {
    return resets == m_resets && (!checkInfo(check).needsTarget || m_targetUser == user);
}

void SecurityModel::storeResult(SecurityCheck check, CheckResult result) {
    m_results.insert(check, std::move(result));
    m_completed.insert(check);
    Q_EMIT resultChanged(check);
}

// ---- Plans ----

void SecurityModel::confirmPlan(SecurityCheck check) {
    const CheckResult *current = result(check);
    if (!current || !current->plan || !m_targetUser)
        return;
    AlertItem alert;
    alert.title = u"Confirm"_s;
    alert.message = current->plan->confirmMessage + u"\n\nThis cannot be undone."_s + domainLine();
    alert.confirmTitle = u"Continue"_s;
    alert.isDestructive = true;
    alert.onConfirm = [self = QPointer(this), check, user = *m_targetUser, plan = *current->plan] {
        if (self)
            self->startPlan(check, user, plan);
    };
    m_console->setAlert(alert);
}

void SecurityModel::startPlan(SecurityCheck check, QString user, RemovalPlan plan) {
    const QString label = plan.buttonTitle;
    m_console->run(label, [this, check, user, plan](CancelToken cancel) {
        return executePlan(check, user, plan, std::move(cancel));
    });
}

QCoro::Task<> SecurityModel::executePlan(SecurityCheck check, QString user, RemovalPlan plan, CancelToken cancel) {
    QPointer<SecurityModel> self(this);
    const quint64 resets = m_resets;
    const CheckContext context = checkContext(cancel);
    const qsizetype total = plan.steps.size();
    qsizetype failed = 0;
    // Every step is tried; a stop or a runner error ends the plan unrecorded (the console logs it).
    for (const QStringList &step : std::as_const(plan.steps)) {
        if (cancel.isCancelled())
            throw Cancelled();
        const CommandResult run = co_await context.runSecurityCommand(step, SecurityTimeout::command);
        if (run.exitCode != 0)
            ++failed;
    }
    const QString failures = QString::number(failed);
    context.audit(user, plan.auditAction + (failed > 0 ? u" ("_s + failures + u" step(s) failed)"_s : QString()));

    const SecurityFlag flag = failed > 0 ? SecurityFlag::danger(failures + u" of "_s + QString::number(total) +
                                                                u" step(s) failed. See the Output Log."_s)
                                         : SecurityFlag::ok(u"Done: "_s + plan.auditAction.toLower() + u'.');
    if (self && self->stillCurrent(check, user, resets)) {
        CheckResult updated = self->m_results.value(check);
        updated.plan.reset();
        updated.flags.prepend(flag);
        self->storeResult(check, std::move(updated));
    }
    if (plan.followUp) {
        const CommandResult followUp = co_await context.runSecurityCommand(*plan.followUp, SecurityTimeout::command);
        if (self && self->stillCurrent(check, user, resets)) {
            CheckResult updated = self->m_results.value(check);
            updated.sensitiveText = followUp.stdOut;
            self->storeResult(check, std::move(updated));
        }
    }
    context.liveConsole().log(u"Done — "_s + QString::number(total - failed) + u" succeeded, "_s + failures +
                                  u" failed."_s,
                              failed > 0 ? LogKind::warning : LogKind::success);
}

// ---- Response actions ----

void SecurityModel::confirmSignOut() {
    if (!m_targetUser) {
        alertNoUser();
        return;
    }
    AlertItem alert;
    alert.title = u"Force Sign-Out?"_s;
    alert.message =
        u"This will sign "_s + *m_targetUser + u" out of ALL sessions (web, mobile, apps)."_s + domainLine();
    alert.confirmTitle = u"Sign Out"_s;
    alert.isDestructive = true;
    alert.onConfirm = [self = QPointer(this)] {
        if (self)
            self->runCheck(SecurityCheck::signOut, signOutBody);
    };
    m_console->setAlert(alert);
}

void SecurityModel::preparePasswordReset() {
    if (!m_targetUser) {
        alertNoUser();
        return;
    }
    PasswordReveal reveal;
    reveal.purpose = PasswordReveal::Purpose::pendingReset;
    try {
        reveal.entries.append({*m_targetUser, generatePassword()});
    } catch (const Error &error) {
        m_console->showAlert(u"No Password Generated"_s, error.description());
        return;
    }
    setPasswordReveal(std::move(reveal));
}

void SecurityModel::applyPasswordReset() {
    if (!m_passwordReveal || m_passwordReveal->purpose != PasswordReveal::Purpose::pendingReset)
        return;
    const PasswordReveal::Entry entry = m_passwordReveal->entries.value(0);
    setPasswordReveal(std::nullopt);
    // The password was shown for this account; it is never set on another one.
    if (m_targetUser != entry.user) {
        alertNoUser();
        return;
    }
    runCheck(SecurityCheck::resetPassword, [password = entry.password](CheckContext context, QString user) {
        return resetPasswordBody(context, user, password);
    });
}

void SecurityModel::dismissPasswordReveal() {
    setPasswordReveal(std::nullopt);
}

// ---- Batch remediation, triage and the domain search ----

std::optional<QStringList> SecurityModel::batchAccounts(const QString &text, const QString &emptyMessage) {
    const QStringList pieces = parseAccountList(text);
    if (pieces.isEmpty()) {
        m_console->showAlert(u"No Accounts"_s, emptyMessage);
        return std::nullopt;
    }
    std::optional<QStringList> accounts = resolveAccounts(pieces, defaultDomain());
    if (!accounts)
        m_console->showAlert(u"Domain Not Set"_s, u"Some entries are bare usernames. Enter full email addresses, or "
                                                  u"set a primary domain in "_s +
                                                      PlatformTexts::settingsReference() + u" → Domains."_s);
    return accounts;
}

void SecurityModel::startBatchRemediation() {
    const std::optional<QStringList> accounts =
        batchAccounts(m_batchUsersText, u"Enter the accounts to remediate, separated by commas or new lines."_s);
    if (!accounts)
        return;
    AlertItem alert;
    alert.title = u"Batch Remediation"_s;
    alert.message = remediationConfirmMessage(*accounts, currentActiveProfile().displayName());
    alert.confirmTitle = u"Remediate "_s + QString::number(accounts->size()) + u" Account(s)"_s;
    alert.isDestructive = true;
    alert.onConfirm = [self = QPointer(this), accounts = *accounts] {
        if (!self)
            return;
        // The log choice is the one in force when the administrator confirmed.
        const PasswordLogMode mode = currentPasswordLogMode();
        self->runCheck(SecurityCheck::batch, [self, accounts, mode](CheckContext context, QString) {
            return remediationCycle(self, std::move(context), accounts, mode);
        });
    };
    m_console->setAlert(alert);
}

QCoro::Task<CheckResult> SecurityModel::remediationCycle(QPointer<SecurityModel> self, CheckContext context,
                                                         QStringList accounts, PasswordLogMode mode) {
    RemediationOutcome outcome = co_await remediateAccounts(context, std::move(accounts));
    if (outcome.passwords.isEmpty())
        co_return outcome.result;
    // Shown before the log is written: an upload can take minutes. Shown even when
    // the domain was switched meanwhile: the accounts have these passwords now.
    if (self) {
        PasswordReveal reveal;
        reveal.purpose = PasswordReveal::Purpose::batchResult;
        reveal.entries = outcome.passwords;
        self->setPasswordReveal(std::move(reveal));
    }
    outcome.result.evidence = co_await context.writePasswordLog(outcome.passwords, outcome.start, mode);
    co_return outcome.result;
}

void SecurityModel::startBatchTriage() {
    const std::optional<QStringList> accounts =
        batchAccounts(m_triageUsersText, u"Enter the accounts to triage, separated by commas or new lines."_s);
    if (!accounts)
        return;
    runCheck(SecurityCheck::batchTriage, [accounts = *accounts](CheckContext context, QString) {
        return triageAccounts(std::move(context), accounts);
    });
}

void SecurityModel::startDomainSearch() {
    const QString typed = m_searchIndicator.trimmed();
    if (typed.isEmpty()) {
        m_console->showAlert(u"No Indicator"_s, u"Enter an IP address to search for across the domain."_s);
        return;
    }
    const auto address = parseIPAddress(typed);
    if (!address) {
        m_console->showAlert(u"Not an IP Address"_s,
                             u"“"_s + typed +
                                 u"” isn't an IP address. The domain search asks Google for the activity of one IPv4 "
                                 u"or IPv6 address, such as 203.0.113.45 or 2001:db8::1; check domains and ranges "
                                 u"against one account with the IOC Check."_s);
        return;
    }
    const QString owner = m_targetUser.value_or(u"domain_wide_search"_s);
    runCheck(SecurityCheck::iocSearch, [address = canonicalIPAddress(*address), owner](CheckContext context, QString) {
        return searchDomain(std::move(context), address, owner);
    });
}

// ---- The known-indicator list ----

QString SecurityModel::indicatorFilePath() const {
    return IndicatorFile::currentPath();
}

void SecurityModel::reloadIndicators() {
    const QString path = indicatorFilePath();
    IndicatorFile::createIfMissing(path);
    try {
        setIndicators(IndicatorFile::parse(IndicatorFile::read(path)), QString());
    } catch (const Error &error) {
        setIndicators({}, error.description());
    }
}

void SecurityModel::addIndicator(const QString &text) {
    const QString indicator = text.trimmed();
    if (indicator.isEmpty())
        return;
    if (const QString refusal = IndicatorFile::refusal(indicator); !refusal.isEmpty()) {
        m_console->showAlert(u"Not Added"_s, refusal);
        return;
    }
    reloadIndicators();
    try {
        if (IndicatorFile::add(indicatorFilePath(), indicator) == IndicatorFile::AddOutcome::alreadyListed) {
            m_console->log(u"Already in the known indicator list: "_s + indicator, LogKind::warning);
            return;
        }
    } catch (const Error &error) {
        m_console->showAlert(u"Couldn't Update Indicator List"_s, error.description());
        return;
    }
    m_console->log(u"Added to known indicator list: "_s + indicator, LogKind::success);
    reloadIndicators();
}

void SecurityModel::exportIndicators() {
    m_console->run(u"Export Indicator List"_s, [this](CancelToken cancel) { return exportCycle(std::move(cancel)); });
}

QCoro::Task<> SecurityModel::exportCycle(CancelToken cancel) {
    reloadIndicators();
    const QStringList indicators = m_indicators;
    const CheckContext context = checkContext(std::move(cancel));
    if (indicators.isEmpty()) {
        context.liveConsole().log(u"  The indicator list is empty — nothing to export."_s, LogKind::warning);
        co_return;
    }
    QList<QStringList> rows;
    for (const QString &indicator : indicators)
        rows.append({indicator});
    const QString csv = csvText({u"indicator"_s}, rows);
    co_await context.saveEvidence(csv, u"known_indicators_reference_list"_s, u"indicator_list"_s);
}

void SecurityModel::openIndicatorFile() {
    reloadIndicators();
    if (DesktopServices *desktop = m_console->desktop())
        desktop->openPath(indicatorFilePath());
}
