#pragma once

#include <QString>
#include <optional>

struct DomainProfile;

// The profile's primary domain trimmed, lower-cased and stripped of "@" at both ends; may be empty.
QString defaultDomain(const DomainProfile &profile);
// defaultDomain of the active profile.
QString defaultDomain();

// A typed account as a lower-case address: as typed when it holds "@", else with
// "@" + domain added; none when nothing is typed or a bare name has no domain.
std::optional<QString> resolveUser(const QString &input, const QString &domain);
