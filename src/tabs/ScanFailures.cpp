#include "tabs/ScanFailures.h"

#include "core/SpaceTrim.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace {

bool reportsFailure(QStringView report) {
    return report.contains(u"Failed"_s) || report.contains(u"Does not exist"_s) || report.contains(u"not enabled"_s);
}

} // namespace

ScanFailures findScanFailures(const QString &stdErr) {
    ScanFailures failures;
    QSet<QString> seen;
    // Children's progress counters rewrite their line with carriage returns, and
    // their lines interleave, so a report may start after a counter on the same line.
    for (const QStringView line : QStringView(stdErr).tokenize(u'\n')) {
        for (const QStringView fragment : line.tokenize(u'\r')) {
            const qsizetype at = fragment.indexOf(u"User: "_s);
            if (at < 0)
                continue;
            const QStringView report = fragment.sliced(at);
            if (!reportsFailure(report))
                continue;
            const QString user = trimSpacesAndTabs(report.sliced(6).split(u',').first().toString());
            failures.lines.append(report.toString());
            if (!user.isEmpty() && !seen.contains(user.toLower())) {
                seen.insert(user.toLower());
                failures.users.append(user);
            }
        }
    }
    return failures;
}
