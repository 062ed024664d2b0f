#include "security/SecurityModel.h"

#include "core/Console.h"
#include "core/Error.h"
#include "core/PlatformTexts.h"
#include "core/SpaceTrim.h"
#include "profiles/ProfileStore.h"
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

void SecurityModel::setIndicators(const QStringList &indicators) {
    if (m_indicators == indicators)
        return;
    m_indicators = indicators;
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
    case batch:
    case logins:
    case suspicious:
    case iocCheck:
    case passwordHistory:
    case externalSharing:
    case twoStep:
    case alertCenter:
    case iocSearch:
    case batchTriage:
    case sites:
        m_console->showAlert(u"Not Available Yet"_s,
                             u"“"_s + checkInfo(check).title + u"” is not available in this version yet."_s);
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
