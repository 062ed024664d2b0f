// The Security tab on a large district: a generated 500,000-line domain-wide
// login report through the domain search's parsing and matching (time and peak
// memory against the report's size), the whole-token count of 1,000 known
// indicators over it, and the report saved as evidence.
#include "security/BatchRules.h"
#include "security/EvidenceFiles.h"
#include "security/IndicatorMatching.h"
#include "security/SecurityTableModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <random>
#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace Qt::StringLiterals;

namespace {

constexpr int reportLines = 500000;
constexpr int accountCount = 4000;
constexpr int indicatorCount = 1000;
const QString searched = u"203.0.113.66"_s;

// Shaped like `gam report login user all`: GAM's columns, many accounts and addresses, IPv4 and IPv6.
QByteArray loginReport() {
    std::mt19937 random(20240917);
    QByteArray out;
    out.reserve(reportLines * 280);
    out += "name,actor.callerType,actor.email,actor.profileId,affected_email_address,id.applicationName,"
           "id.customerId,id.time,id.uniqueQualifier,ipAddress,is_second_factor,is_suspicious,"
           "login_challenge_method,login_failure_type,login_timestamp,login_type,sensitive_action_name,type\n";
    const char *names[] = {"login_success", "login_success", "login_success",
                           "logout",        "login_failure", "risky_sensitive_action_allowed",
                           "password_edit"};
    for (int line = 1; line < reportLines; ++line) {
        const int account = int(random() % accountCount);
        const QByteArray email = "student" + QByteArray::number(account) + "@students.district.k12.example.org";
        QByteArray ip;
        switch (random() % 10) {
        case 0:
            ip = searched.toUtf8();
            break;
        case 1:
            ip = "2001:db8:" + QByteArray::number(random() % 0xffff, 16) + "::" + QByteArray::number(random() % 99);
            break;
        default:
            ip = "198.51." + QByteArray::number(random() % 256) + '.' + QByteArray::number(random() % 256);
        }
        const char *name = names[random() % 7];
        const bool failure = std::strcmp(name, "login_failure") == 0;
        out += QByteArray(name) + ",," + email + ',' + QByteArray::number(100000000000000000LL + account) + ",,login," +
               "C01abc234,2026-0" + QByteArray::number(1 + random() % 9) + "-1" + QByteArray::number(random() % 10) +
               "T0" + QByteArray::number(random() % 10) + ":1" + QByteArray::number(random() % 10) + ":42Z,-" +
               QByteArray::number(qint64(random()) * 1000 + line) + ',' + ip + ",False," +
               (failure ? "True" : "False") + ",password," + (failure ? "login_failure_invalid_password" : "") + ',' +
               QByteArray::number(1771085000000000LL + line) + ",google_password,," +
               (std::strcmp(name, "risky_sensitive_action_allowed") == 0 ? "account_warning" : "login") + '\n';
    }
    return out;
}

// Addresses (some in the report, some written in other forms), ranges and domains.
QStringList indicators() {
    std::mt19937 random(7);
    QStringList list;
    for (int i = 0; list.size() < indicatorCount; ++i) {
        switch (i % 5) {
        case 0:
            list.append(u"198.51.%1.%2"_s.arg(random() % 256).arg(random() % 256));
            break;
        case 1:
            list.append(u"192.0.2.%1"_s.arg(random() % 256));
            break;
        case 2:
            list.append(u"2001:0DB8:%1:0:0:0:0:%2"_s.arg(random() % 0xffff, 0, 16).arg(random() % 99));
            break;
        case 3:
            list.append(i % 50 == 3 ? u"198.51.%1.0/24"_s.arg(random() % 256) : u"login-%1.example.net"_s.arg(i));
            break;
        default:
            list.append(u"student%1@students.district.k12.example.org"_s.arg(random() % (accountCount * 2)));
        }
    }
    list.append(searched);
    return list;
}

double megabytes(qint64 bytes) {
    return double(bytes) / 1e6;
}

// Resident and peak resident memory in bytes, from /proc/self/status.
qint64 statusBytes(const QByteArray &key) {
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}
qint64 resident() {
    return statusBytes("VmRSS:");
}
qint64 peakResident() {
    return statusBytes("VmHWM:");
}

// Starts a new peak: the kernel's high-water mark drops to the current resident size.
void resetPeak() {
    QFile clear(u"/proc/self/clear_refs"_s);
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
        qFatal("cannot reset the peak resident size (/proc/self/clear_refs)");
}

void trimHeap() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

const char *verdict(bool met) {
    return met ? "ok" : "MISSED";
}

double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Wall-clock and processor time of one run; the second shows the work itself
// when other processes share the machine.
struct Timing {
    double wall = 0;
    double processor = 0;
    QString text() const {
        return u"%1 ms (processor %2 ms)"_s.arg(wall * 1000, 0, 'f', 0).arg(processor * 1000, 0, 'f', 0);
    }
};

template <typename Work> Timing timed(Work &&work) {
    QElapsedTimer timer;
    timer.start();
    const double start = processorSeconds();
    work();
    return {double(timer.nsecsElapsed()) / 1e9, processorSeconds() - start};
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"login-report.csv"_s);
    qint64 size = 0;
    {
        const QByteArray bytes = loginReport();
        size = bytes.size();
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != size)
            qFatal("cannot write %s", qPrintable(path));
    }
    trimHeap();
    std::printf("Login report: %d lines, %.1f MB of UTF-8, %d accounts, IPv4 and IPv6 addresses\n", reportLines,
                megabytes(size), accountCount);

    // The report as the runner hands it over: decoded text.
    const qint64 before = resident();
    QString report;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(path));
        report = QString::fromUtf8(file.readAll());
    }
    trimHeap();
    const qint64 held = resident() - before;

    resetPeak();
    CheckResult result;
    qsizetype shownCells = 0;
    const Timing search = timed([&] {
        result = domainSearchResult(searched, report, QString());
        // What the window shows first: the table model and its top rows.
        SecurityTableModel model(result.tables.constFirst());
        for (int row = 0; row < 40; ++row)
            for (int column = 0; column < model.columnCount(); ++column)
                shownCells += model.index(row, column).data().toString().size();
    });
    const qint64 peak = peakResident() - before;
    if (result.tables.constFirst().rowCount() != reportLines - 1 || shownCells == 0)
        qFatal("the search read %lld rows", qlonglong(result.tables.constFirst().rowCount()));
    const double ratio = double(peak) / double(size);
    std::printf("Domain search, parsing and matching (tables, record counts, accounts; the first rows shown):\n");
    std::printf("  %s (goal < 1000 ms) %s\n", qPrintable(search.text()), verdict(search.processor < 1));
    std::printf("  peak memory while held and searched: %.1f MB = %.2fx the report (goal < 3x) %s\n", megabytes(peak),
                ratio, verdict(ratio < 3));
    std::printf("    of which the decoded report itself: %.1f MB (%.2fx)\n", megabytes(held),
                double(held) / double(size));
    std::printf("  %s\n", qPrintable(result.flags.constFirst().text.left(110) + u"…"_s));

    // Saved as evidence without joining the parts in memory.
    resetPeak();
    const qint64 beforeEvidence = resident();
    const Timing evidence = timed([&] {
        EvidenceFiles::writeNewEvidence(dir.filePath(u"evidence"_s),
                                        EvidenceFiles::evidenceName(u"domain_wide_search"_s, u"domainwide_ioc_search"_s,
                                                                    QDateTime::currentDateTime()),
                                        QStringList{report, QString()});
    });
    const qint64 evidencePeak = peakResident() - beforeEvidence;
    std::printf("Saved as evidence: %s, %.1f MB above what was held (%.2fx the report)\n", qPrintable(evidence.text()),
                megabytes(evidencePeak), double(evidencePeak) / double(size));

    const QStringList list = indicators();
    QList<qsizetype> counts;
    const Timing count = timed([&] { counts = IndicatorMatcher(list).lineCounts(report); });
    qsizetype matched = 0;
    for (const qsizetype count : counts)
        matched += count > 0;
    std::printf("Whole-token count of %lld indicators (addresses, ranges, IPv6 in other forms, domains):\n",
                qlonglong(list.size()));
    std::printf("  %s (goal < 2000 ms) %s; %lld indicators found, %s on %lld lines\n", qPrintable(count.text()),
                verdict(count.processor < 2), qlonglong(matched), qPrintable(searched), qlonglong(counts.constLast()));

    // The rule applied one indicator at a time, for comparison.
    constexpr int sample = 3;
    const Timing oneByOne = timed([&] {
        for (int i = 0; i < sample; ++i)
            if (wholeTokenLineCount(report, list[i]) != counts[i] && parseIPRange(list[i]) == std::nullopt)
                qFatal("the matcher and the rule disagree on %s", qPrintable(list[i]));
    });
    std::printf("  (the rule one indicator at a time: %.0f ms of processor time each, %.0f s for all %lld)\n",
                oneByOne.processor * 1000 / sample, oneByOne.processor / sample * double(list.size()),
                qlonglong(list.size()));
    return 0;
}
