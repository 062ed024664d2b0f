#include "security/ResponseRules.h"

#include "core/SpaceTrim.h"
#include "security/EvidenceFiles.h"
#include "security/SecurityTables.h"

using namespace Qt::StringLiterals;

namespace {

using enum SecurityCheck;
constexpr int sharesListed = 10;

const QList<InspectListing> &listings() {
    static const QList<InspectListing> all{
        {revokeApps,
         u"tokens"_s,
         u"Connected apps"_s,
         {u"clientId"_s},
         SecurityFlag::Kind::note,
         u" connected app token(s). Revoke any you don't recognize — or all of them."_s,
         u"No connected app tokens."_s,
         u"apps"_s},
        {filters,
         u"filters"_s,
         u"Gmail filters"_s,
         {u"id"_s},
         SecurityFlag::Kind::danger,
         u" filter(s). Look for filters that archive, delete, or forward replies."_s,
         u"No Gmail filters."_s,
         u"filters"_s},
        {forwarding,
         u"forwardingaddress"_s,
         u"Forwarding addresses"_s,
         {u"forwardingEmail"_s},
         SecurityFlag::Kind::danger,
         u" forwarding address(es) — confirm each is legitimate."_s,
         u"No forwarding addresses."_s,
         u"forwarding"_s},
        {delegates,
         u"delegates"_s,
         u"Mailbox delegates"_s,
         {u"delegateAddress"_s, u"delegateEmail"_s, u"delegate"_s},
         SecurityFlag::Kind::danger,
         u" delegate(s) can read this mailbox."_s,
         u"No mailbox delegates."_s,
         u"delegates"_s},
    };
    return all;
}

// One step per item: the prefix followed by the item.
void appendPerItem(QList<QStringList> &steps, const QStringList &prefix, const QStringList &items) {
    for (const QString &item : items)
        steps.append(prefix + QStringList{item});
}

QString number(qsizetype n) {
    return QString::number(n);
}

} // namespace

const InspectListing &inspectListing(SecurityCheck check) {
    const auto &all = listings();
    const auto found = std::find_if(all.cbegin(), all.cend(), [check](const auto &l) { return l.check == check; });
    Q_ASSERT(found != all.cend());
    return *found;
}

bool isInspectCheck(SecurityCheck check) {
    const auto &all = listings();
    return std::any_of(all.cbegin(), all.cend(), [check](const auto &l) { return l.check == check; });
}

QStringList listingCommand(const InspectListing &listing, const QString &user) {
    return {u"user"_s, user, u"print"_s, listing.object};
}

CheckResult inspectResult(const InspectListing &listing, const QString &user, const QString &output) {
    const CSVTable csv = parseCSV(output);
    const QStringList identifiers = columnValues(csv, listing.candidates);
    CheckResult result;
    if (identifiers.isEmpty())
        result.flags.append(SecurityFlag::ok(listing.noneText));
    else
        result.flags.append({QUuid::createUuid(), listing.foundKind, number(identifiers.size()) + listing.countText});
    result.tables.append(tableFromCSV(csv, listing.tableTitle));
    result.plan = removalPlan(listing.check, user, identifiers);
    return result;
}

std::optional<RemovalPlan> removalPlan(SecurityCheck check, const QString &user, const QStringList &identifiers) {
    if (identifiers.isEmpty() && check != forwarding)
        return std::nullopt; // forwarding can always be switched off
    const QString n = number(identifiers.size());
    const QStringList onUser{u"user"_s, user};
    RemovalPlan plan;
    switch (check) {
    case revokeApps:
        plan = {u"Revoke All "_s + n + u" App Token(s)…"_s,
                u"Revoke ALL "_s + n + u" app token(s) for "_s + user + u'?',
                {},
                u"Revoked all app tokens"_s,
                std::nullopt};
        appendPerItem(plan.steps, onUser + QStringList{u"delete"_s, u"token"_s, u"clientid"_s}, identifiers);
        break;
    case filters:
        plan = {u"Delete All "_s + n + u" Filter(s)…"_s,
                u"Delete ALL "_s + n + u" Gmail filter(s) for "_s + user + u'?',
                {},
                u"Deleted filters"_s,
                std::nullopt};
        appendPerItem(plan.steps, onUser + QStringList{u"delete"_s, u"filter"_s}, identifiers);
        break;
    case forwarding:
        if (identifiers.isEmpty()) {
            plan = {u"Disable Forwarding…"_s,
                    u"Disable forwarding for "_s + user + u'?',
                    {},
                    u"Removed forwarding and disabled"_s,
                    std::nullopt};
        } else {
            plan = {u"Disable Forwarding and Remove "_s + n + u" Address(es)…"_s,
                    u"Disable forwarding for "_s + user + u" and remove:\n\n"_s + identifiers.join(u'\n'),
                    {},
                    u"Removed forwarding and disabled"_s,
                    std::nullopt};
        }
        plan.steps.append(onUser + QStringList{u"forward"_s, u"off"_s});
        appendPerItem(plan.steps, onUser + QStringList{u"delete"_s, u"forwardingaddress"_s}, identifiers);
        break;
    case delegates:
        plan = {u"Remove All "_s + n + u" Delegate(s)…"_s,
                u"Remove ALL delegates from "_s + user + u"?\n\n"_s + identifiers.join(u'\n'),
                {},
                u"Removed delegates"_s,
                std::nullopt};
        appendPerItem(plan.steps, onUser + QStringList{u"delete"_s, u"delegate"_s}, identifiers);
        break;
    default:
        Q_UNREACHABLE();
    }
    return plan;
}

QList<CalendarShare> calendarShares(const CSVTable &acls, const QString &user) {
    const QString owner = user.toLower();
    QList<CalendarShare> shares;
    for (const CSVRow &row : acls.rows) {
        const QString calendarID = trimSpacesAndTabs(row.value(u"calendarId"_s));
        const QString aclID = trimSpacesAndTabs(row.value(u"id"_s));
        const QString scopeType = trimSpacesAndTabs(row.value(u"scope.type"_s)).toLower();
        const QString scopeValue = trimSpacesAndTabs(row.value(u"scope.value"_s)).toLower();
        if (calendarID.isEmpty() || aclID.isEmpty() || scopeType == u"domain"_s || scopeValue == owner ||
            scopeValue == calendarID.toLower())
            continue;
        shares.append({calendarID, aclID, row.value(u"role"_s), scopeValue});
    }
    return shares;
}

CheckResult calendarResult(const QString &user, const QString &output) {
    const CSVTable csv = parseCSV(output);
    const QList<CalendarShare> shares = calendarShares(csv, user);
    CheckResult result;
    if (shares.isEmpty()) {
        result.flags.append(
            SecurityFlag::ok(u"No calendar shares to remove (only owner, calendar, and domain entries)."_s));
    } else {
        const QString count = number(shares.size());
        result.flags.append(SecurityFlag::danger(count + u" calendar share(s) would be removed."_s));
        SecurityTable table{
            u"Shares that would be removed"_s, {u"Calendar"_s, u"ACL"_s, u"Role"_s, u"Shared with"_s}, {}};
        QStringList listed;
        RemovalPlan plan{u"Remove "_s + count + u" Calendar Share(s)…"_s,
                         {},
                         {},
                         u"Removed "_s + count + u" calendar share(s)"_s,
                         std::nullopt};
        for (const CalendarShare &share : shares) {
            table.rows.append({share.calendarID, share.aclID, share.role, share.sharedWith});
            // A "default" (public) entry has no address; its ACL ID says what it is.
            if (listed.size() < sharesListed)
                listed.append((share.sharedWith.isEmpty() ? share.aclID : share.sharedWith) + u" ("_s + share.role +
                              u')');
            plan.steps.append({u"user"_s, user, u"delete"_s, u"calendaracl"_s, share.calendarID, share.aclID});
        }
        plan.confirmMessage =
            u"Remove these "_s + count + u" calendar share(s) from "_s + user + u"?\n\n"_s + listed.join(u'\n');
        if (shares.size() > sharesListed)
            plan.confirmMessage += u"\n… and "_s + number(shares.size() - sharesListed) + u" more"_s;
        result.tables.append(table);
        result.plan = plan;
    }
    result.tables.append(tableFromCSV(csv, u"All calendar sharing"_s));
    return result;
}

QString signatureText(const QString &out, const QString &err) {
    return QString(out + err).trimmed();
}

CheckResult signatureResult(const QString &user, const QString &signature) {
    CheckResult result;
    result.text = signature.isEmpty() ? u"(no output)"_s : signature;
    result.flags.append(
        SecurityFlag::note(u"Check for links or instructions an attacker may have added to the signature."_s));
    result.plan = RemovalPlan{u"Clear Signature…"_s,
                              u"Clear the email signature for "_s + user + u"? It has been saved as evidence."_s,
                              {{u"user"_s, user, u"signature"_s, QString()}},
                              u"Cleared email signature"_s,
                              std::nullopt};
    return result;
}

QString signatureEvidence(const QString &user, const QString &signature) {
    return csvText({u"user"_s, u"signature_html"_s}, {{user, signature}});
}

QString signOutEvidence(const QString &user, const QDateTime &time) {
    return csvText({u"user"_s, u"action"_s, u"timestamp"_s},
                   {{user, u"forced_signout_all_sessions"_s, EvidenceFiles::timeStamp(time)}});
}

QString passwordResetEvidence(const QString &user, const QDateTime &time) {
    return csvText({u"user"_s, u"action"_s, u"timestamp"_s, u"note"_s},
                   {{user, u"password_reset"_s, EvidenceFiles::timeStamp(time), u"random_password_applied"_s}});
}

QString maskedResetCommand(const QString &user) {
    return u"gam update user "_s + user + u" password ******** changepassword on"_s;
}
