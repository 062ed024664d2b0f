#pragma once

#include <QStringList>

namespace GAM {

// Where autodetection looks for gam, in order: the usual install folders
// under home and the system, then each non-empty component of pathVariable.
QStringList gamCandidates(const QString &home, const QString &pathVariable);

} // namespace GAM
