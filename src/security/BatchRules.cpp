#include "security/BatchRules.h"

#include "core/SpaceTrim.h"
#include "security/EvidenceFiles.h"
#include "security/SecurityTables.h"
#include "security/UserResolution.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace {

// The accounts a domain search flag names before it points to the tables.
constexpr qsizetype accountsNamed = 50;

bool separatesAccounts(QChar c) {
    switch (c.unicode()) {
    case u',':
    case u'\n':
    case u'\r':
    case u'\v':
    case u'\f':
    case u'\u0085':
    case u'\u2028':
    case u'\u2029':
        return true;
    default:
        return false;
    }
}

QString number(qsizetype n) {
    return QString::number(n);
}

QString mark(bool done) {
    return done ? u"✓"_s : u"✗"_s;
}

QString fraction(qsizetype done, qsizetype found) {
    return number(done) + u'/' + number(found);
}

// The accounts of a report's records: actor.email, or emailAddress where that column is missing.
void collectAccounts(const CSVTable &report, QSet<QString> &accounts) {
    const QString column = report.header.contains(u"actor.email"_s) ? u"actor.email"_s : u"emailAddress"_s;
    for (const CSVRow &row : report.rows) {
        const QString account = trimSpacesAndTabs(row.value(column));
        if (!account.isEmpty())
            accounts.insert(account);
    }
}

} // namespace

QStringList parseAccountList(const QString &text) {
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !separatesAccounts(text[i]))
            continue;
        const QString piece = trimSpacesAndTabs(text.mid(start, i - start));
        if (!piece.isEmpty())
            pieces.append(piece);
        start = i + 1;
    }
    return pieces;
}

std::optional<QStringList> resolveAccounts(const QStringList &pieces, const QString &domain) {
    QStringList accounts;
    for (const QString &piece : pieces) {
        const std::optional<QString> account = resolveUser(piece, domain);
        if (!account)
            return std::nullopt;
        accounts.append(*account);
    }
    return accounts;
}

QString remediationConfirmMessage(const QStringList &accounts, const QString &domainName) {
    return u"This will do ALL of the following on "_s + number(accounts.size()) + u" account(s):\n\n"_s +
           u"• Force sign-out (all sessions)\n• Reset to a unique random password (change required)\n"_s +
           u"• Revoke all connected app tokens\n• Regenerate backup codes\n• Delete all mail filters\n"_s +
           u"• Disable forwarding and remove forwarding addresses\n\n"_s + accounts.join(u'\n') +
           u"\n\nThis cannot be undone."_s + u"\n\nDomain: "_s + domainName;
}

QString stepName(RemediationStep step) {
    switch (step) {
    case RemediationStep::signOut:
        return u"sign-out"_s;
    case RemediationStep::password:
        return u"password reset"_s;
    case RemediationStep::tokens:
        return u"app tokens"_s;
    case RemediationStep::backupCodes:
        return u"backup codes"_s;
    case RemediationStep::filters:
        return u"filters"_s;
    case RemediationStep::forwarding:
        return u"forwarding"_s;
    case RemediationStep::finished:
        break;
    }
    return QString();
}

QStringList remediationHeaders() {
    return {u"User"_s, u"Signed out"_s, u"Password"_s, u"Tokens"_s, u"Filters"_s, u"Forwarding"_s, u"Problems"_s};
}

QStringList remediationCells(const RemediationRow &row) {
    const auto ran = [&row](RemediationStep step) { return step <= row.reached; };
    const QString notRun = u"—"_s;
    QStringList problems;
    if (!row.problems.isEmpty())
        problems.append(u"Failed: "_s + row.problems.join(u", "_s));
    if (row.reached != RemediationStep::finished)
        problems.append(u"Stopped during "_s + stepName(row.reached));
    return {row.user,
            mark(row.signedOut),
            ran(RemediationStep::password) ? mark(row.passwordReset) : notRun,
            ran(RemediationStep::tokens) ? fraction(row.tokensRevoked, row.tokensFound) : notRun,
            ran(RemediationStep::filters) ? fraction(row.filtersDeleted, row.filtersFound) : notRun,
            ran(RemediationStep::forwarding) ? fraction(row.forwardingRemoved, row.forwardingFound) : notRun,
            problems.join(u"; "_s)};
}

QString remediationAuditAction(const RemediationRow &row) {
    static const QStringList steps{u"signout"_s,      u"password reset"_s, u"tokens"_s,
                                   u"backup codes"_s, u"filters"_s,        u"forwarding"_s};
    if (row.reached == RemediationStep::finished)
        return u"Batch remediation: "_s + steps.join(u" + "_s);
    const QStringList done = steps.first(qsizetype(row.reached));
    return u"Batch remediation stopped during "_s + stepName(row.reached) +
           (done.isEmpty() ? QString() : u": "_s + done.join(u" + "_s));
}

QString passwordLogText(const QList<PasswordReveal::Entry> &entries, const QDateTime &start) {
    const QString time = EvidenceFiles::timeStamp(start);
    QList<QStringList> rows;
    for (const PasswordReveal::Entry &entry : entries)
        rows.append({entry.user, u"full_batch_remediation"_s, entry.password, time});
    return csvText({u"user"_s, u"action"_s, u"temporary_password"_s, u"timestamp"_s}, rows);
}

QStringList triageHeaders() {
    return {u"User"_s, u"Filters"_s, u"Forwarding"_s, u"Apps"_s, u"Login events"_s, u"Persistence"_s};
}

QStringList triageCells(const TriageRow &row) {
    return {row.user,         number(row.filters), number(row.forwarding),
            number(row.apps), number(row.logins),  number(row.persistence)};
}

QStringList domainReportCommand(const QString &application, const QString &address) {
    return {u"report"_s, application, u"user"_s, u"all"_s, u"ip"_s, address};
}

CheckResult domainSearchResult(const QString &address, const QString &loginReport, const QString &driveReport) {
    const CSVTable logins = parseCSV(loginReport);
    const CSVTable drive = parseCSV(driveReport);
    CheckResult result;
    result.tables.append(tableFromCSV(logins, u"Login events from "_s + address));
    result.tables.append(tableFromCSV(drive, u"Drive events from "_s + address));
    const qsizetype loginEvents = logins.rows.size();
    const qsizetype driveEvents = drive.rows.size();
    if (loginEvents == 0 && driveEvents == 0) {
        result.flags.append(SecurityFlag::ok(u"No login or Drive activity from "_s + address + u'.'));
        return result;
    }
    QSet<QString> found;
    collectAccounts(logins, found);
    collectAccounts(drive, found);
    QStringList accounts(found.cbegin(), found.cend());
    std::sort(accounts.begin(), accounts.end());
    QString text = number(loginEvents) + u" login and "_s + number(driveEvents) + u" Drive event(s) from "_s + address;
    if (accounts.isEmpty()) {
        text += u'.';
    } else {
        text += u" across "_s + number(accounts.size()) + u" account(s): "_s +
                accounts.first(std::min(accounts.size(), accountsNamed)).join(u", "_s);
        if (accounts.size() > accountsNamed)
            text += u" … and "_s + number(accounts.size() - accountsNamed) + u" more (see the tables)"_s;
    }
    result.flags.append(SecurityFlag::danger(text));
    return result;
}
