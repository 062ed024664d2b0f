#include "security/SecurityCheck.h"

using namespace Qt::StringLiterals;

const QList<SecurityCheckInfo> &securityCatalogue() {
    using enum SecurityCheck;
    constexpr auto now = CheckGroup::immediateResponse;
    constexpr auto later = CheckGroup::investigation;
    static const QList<SecurityCheckInfo> catalogue{
        {batch, u"B"_s, u"Batch Remediate"_s, now, u"person.3.sequence.fill"_s, false,
         u"Remediate several accounts at once: sign out, reset password, revoke app tokens, regenerate backup codes, "
         u"delete filters, and remove forwarding."_s,
         u"Remediate Accounts…"_s},
        {signOut, u"1"_s, u"Sign Out"_s, now, u"rectangle.portrait.and.arrow.right"_s, true,
         u"Force sign-out of all sessions (web, mobile, apps)."_s, u"Sign Out All Sessions…"_s},
        {resetPassword, u"2"_s, u"Reset Password"_s, now, u"key.fill"_s, true,
         u"Reset to a secure random password. The user must change it at next sign-in."_s, u"Generate Password…"_s},
        {revokeApps, u"3"_s, u"Revoke Apps"_s, now, u"app.badge.checkmark"_s, true,
         u"Show and revoke all connected third-party app tokens."_s, u"Scan App Tokens"_s},
        {filters, u"4"_s, u"Filters"_s, now, u"line.3.horizontal.decrease.circle"_s, true,
         u"Show and delete Gmail filters. Attackers use them to hide replies."_s, u"Scan Filters"_s},
        {forwarding, u"5"_s, u"Forwarding"_s, now, u"arrowshape.turn.up.right"_s, true,
         u"Show and remove forwarding addresses, and disable forwarding."_s, u"Scan Forwarding"_s},
        {delegates, u"6"_s, u"Delegates"_s, now, u"person.2"_s, true, u"Show and remove mailbox delegates."_s,
         u"Scan Delegates"_s},
        {logins, u"7"_s, u"Logins"_s, later, u"list.bullet.rectangle"_s, true,
         u"Account info and full login history, flagging risky_sensitive_action_allowed events — a common sign of an "
         u"attacker reusing a stolen session."_s,
         u"Run Check"_s},
        {suspicious, u"8"_s, u"Suspicious Logins"_s, later, u"exclamationmark.shield"_s, true,
         u"Only the logins Google flagged is_suspicious=True."_s, u"Run Check"_s},
        {iocCheck, u"9"_s, u"IOC Check"_s, later, u"scope"_s, true,
         u"Check this account's login and Drive activity against your list of known-bad IPs and domains."_s,
         u"Run IOC Check"_s},
        {passwordHistory, u"10"_s, u"Password History"_s, later, u"clock.arrow.circlepath"_s, true,
         u"Password change events. An unexplained change after your reset means the attacker still has access."_s,
         u"Run Check"_s},
        {calendar, u"11"_s, u"Calendar Sharing"_s, later, u"calendar"_s, true,
         u"Show and remove calendar sharing. Keeps the owner, the calendar itself, and domain-wide entries."_s,
         u"Scan Calendar Sharing"_s},
        {externalSharing, u"12"_s, u"External Drive Sharing"_s, later, u"externaldrive.badge.person.crop"_s, true,
         u"Files shared externally or by public link."_s, u"Run Check"_s},
        {signature, u"13"_s, u"Signature"_s, later, u"signature"_s, true,
         u"Show, save, and optionally clear the email signature."_s, u"Show Signature"_s},
        {twoStep, u"14"_s, u"2-Step Verification"_s, later, u"lock.shield"_s, true,
         u"2-Step Verification status, recovery phone, and backup-code regeneration."_s,
         u"Check 2-Step Verification"_s},
        {alertCenter, u"15"_s, u"Alert Center"_s, later, u"bell.badge"_s, true,
         u"Google Alert Center detections that mention this account."_s, u"Run Check"_s},
        {iocSearch, u"16"_s, u"Domain IOC Search"_s, later, u"magnifyingglass"_s, false,
         u"Search the whole domain for an IP or indicator in login and Drive activity."_s, u"Search Domain"_s},
        {batchTriage, u"17"_s, u"Batch Triage"_s, later, u"checklist"_s, false,
         u"Read-only checks across several accounts: filters, forwarding, apps, and logins."_s, u"Run Triage"_s},
        {sites, u"18"_s, u"Google Sites"_s, later, u"globe"_s, true,
         u"Find Google Sites owned by the account. Attackers build fake login pages on Sites."_s, u"Run Check"_s},
    };
    return catalogue;
}

const SecurityCheckInfo &checkInfo(SecurityCheck check) {
    // The catalogue is declared in enumeration order.
    return securityCatalogue().at(qsizetype(check));
}

QString groupTitle(CheckGroup group) {
    return group == CheckGroup::immediateResponse ? u"Immediate Response"_s : u"Investigation"_s;
}

QString groupSubtitle(CheckGroup group) {
    return group == CheckGroup::immediateResponse ? u"Do these first if someone may have clicked a bad link"_s
                                                  : u"Run after the account is secured"_s;
}

QString groupBadge(CheckGroup group) {
    return group == CheckGroup::immediateResponse ? u"Changes accounts"_s : QString();
}
