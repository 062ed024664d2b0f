#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>

// The Security tab's checks, in catalogue order.
enum class SecurityCheck {
    batch,
    signOut,
    resetPassword,
    revokeApps,
    filters,
    forwarding,
    delegates,
    logins,
    suspicious,
    iocCheck,
    passwordHistory,
    calendar,
    externalSharing,
    signature,
    twoStep,
    alertCenter,
    iocSearch,
    batchTriage,
    sites,
};

enum class CheckGroup { immediateResponse, investigation };

struct SecurityCheckInfo {
    SecurityCheck check;
    // "B" for batch, else "1" to "18"; also the identifier shown in the list and the log.
    QString number;
    QString title;
    CheckGroup group;
    // A system symbol name; the views map it to a themed icon.
    QString icon;
    bool needsTarget;
    QString description;
    // The title of the button that runs it from its detail pane.
    QString actionTitle;
};

// Every check, in catalogue order.
const QList<SecurityCheckInfo> &securityCatalogue();
const SecurityCheckInfo &checkInfo(SecurityCheck check);

QString groupTitle(CheckGroup group);
QString groupSubtitle(CheckGroup group);
// The capsule shown beside checks that change accounts; empty for read-only groups.
QString groupBadge(CheckGroup group);

// So checks can key QSet and QHash.
inline size_t qHash(SecurityCheck check, size_t seed = 0) noexcept {
    return ::qHash(int(check), seed);
}
