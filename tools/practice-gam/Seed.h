#pragma once

#include <QJsonObject>
#include <QString>

// Builds a realistic school district at a documentation domain: organizational units by
// grade and for staff, users (some suspended), ordinary mail and a phishing campaign,
// Drive files with a malicious file pattern, shared drives, Sites, courses in every state
// (some orphaned), one compromised account with its persistence, login and Drive audit
// events and Alert Center alerts. The same domain and seed always give the same district.
QJsonObject seedDistrict(const QString &domain, int userCount, quint32 seed);

// Names the seeded district uses, so tests and the README can point at them.
namespace Seeded {
inline constexpr auto phishSender = "helpdesk@secure-login.example.net";
inline constexpr auto phishMessageId = "<phish-0412.7781@secure-login.example.net>";
inline constexpr auto phishSubject = "Action required: your password expires today";
inline constexpr auto maliciousFile = "63783.html";
inline constexpr auto knownBadIP = "203.0.113.66";
// The same attacker signing in over IPv6, as Google reports it (compressed, lower case).
inline constexpr auto knownBadIPv6 = "2001:db8:bad::66";
inline constexpr auto exfilAddress = "m.backup.inbox@example.net";
} // namespace Seeded

// Writes the three credential files GAM expects, marked as practice credentials.
bool writePracticeCredentials(const QString &configDir, const QString &domain, const QString &admin, bool project,
                              bool oauth, QString *error);
// True when the oauth2.txt at path was written by the practice domain.
bool isPracticeToken(const QString &path);
