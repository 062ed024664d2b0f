#pragma once

#include <QStringList>
#include <optional>

struct CommandResult;

// The connection test both the Domains pane and the setup wizard run:
// `gam info domain` with a profile's settings, and how to read its answer.
namespace DomainCheck {

inline constexpr double timeoutSeconds = 60;
QStringList arguments();

// The primary domain gam printed (as printed), from standard output then standard error.
std::optional<QString> primaryDomain(const CommandResult &result);
// Why a run failed: the first non-empty line of standard error, else the last
// non-empty line of standard output, else empty.
QString failureDetail(const CommandResult &result);

} // namespace DomainCheck
