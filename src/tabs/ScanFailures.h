#pragma once

#include <QStringList>

// The users a batched scan could not cover. GAM's parent exits 0 whatever its
// children did, so the children's failure lines on standard error are the only
// sign: "User: u@x, …, Print Failed: …", "User: u@x, Does not exist",
// "User: u@x, … Service/App not enabled".
struct ScanFailures {
    QStringList users; // distinct, in the order first reported
    QStringList lines; // the failure lines as gam wrote them
};

ScanFailures findScanFailures(const QString &stdErr);
