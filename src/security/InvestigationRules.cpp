#include "security/InvestigationRules.h"

#include "core/SpaceTrim.h"
#include "security/IndicatorMatching.h"
#include "security/SecurityTables.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

QString number(qsizetype n) {
    return QString::number(n);
}

// Whether any value of the record satisfies the test.
template <typename Test> bool anyValue(const CSVTable &csv, const CSVRow &row, Test test) {
    return std::any_of(csv.header.cbegin(), csv.header.cend(),
                       [&](const QString &column) { return test(row.value(column)); });
}

template <typename Test> QList<CSVRow> recordsWhere(const CSVTable &csv, Test test) {
    QList<CSVRow> selected;
    for (const CSVRow &row : csv.rows)
        if (test(row))
            selected.append(row);
    return selected;
}

// The lines of a command's output, without their line ends.
QStringList outputLines(const QString &output) {
    QStringList lines = output.split(u'\n');
    for (QString &line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return lines;
}

QStringList linesMatching(const QStringList &lines, const QRegularExpression &pattern) {
    QStringList matching;
    for (const QString &line : lines)
        if (pattern.match(line).hasMatch())
            matching.append(line);
    return matching;
}

} // namespace

QStringList loginReportCommand(const QString &user) {
    return {u"report"_s, u"login"_s, u"user"_s, user};
}

QStringList driveReportCommand(const QString &user) {
    return {u"report"_s, u"drive"_s, u"user"_s, user};
}

QStringList infoUserCommand(const QString &user) {
    return {u"info"_s, u"user"_s, user};
}

QList<CSVRow> persistenceMatches(const CSVTable &logins) {
    return recordsWhere(logins, [&logins](const CSVRow &row) {
        return anyValue(logins, row,
                        [](const QString &value) { return value.contains(u"risky_sensitive_action_allowed"_s); });
    });
}

CheckResult loginsResult(const QString &userInfo, const QString &loginReport) {
    const CSVTable csv = parseCSV(loginReport);
    const QList<CSVRow> matches = persistenceMatches(csv);
    CheckResult result;
    if (!matches.isEmpty()) {
        result.flags.append(SecurityFlag::danger(u"PERSISTENCE PATTERN DETECTED ("_s + number(matches.size()) +
                                                 u" match(es)) — silent re-auth plus a sensitive action."_s));
        result.tables.append(matchingTable(csv, matches, u"Persistence pattern matches"_s));
    } else if (!csv.rows.isEmpty()) {
        result.flags.append(
            SecurityFlag::ok(number(csv.rows.size()) + u" login event(s), no persistence pattern found."_s));
    } else {
        result.flags.append(SecurityFlag::note(u"No login events returned."_s));
    }
    result.tables.append(tableFromCSV(csv, u"Login history"_s));
    result.text = userInfo;
    return result;
}

CheckResult suspiciousResult(const QString &loginReport) {
    const CSVTable csv = parseCSV(loginReport);
    const QList<CSVRow> suspicious = recordsWhere(
        csv, [](const CSVRow &row) { return trimSpacesAndTabs(row.value(u"is_suspicious"_s)).toLower() == u"true"_s; });
    CheckResult result;
    if (suspicious.isEmpty()) {
        result.flags.append(SecurityFlag::ok(u"No suspicious logins found."_s));
        return result;
    }
    result.flags.append(SecurityFlag::danger(number(suspicious.size()) + u" suspicious login(s)."_s));
    result.tables.append(matchingTable(csv, suspicious, u"Suspicious logins"_s));
    return result;
}

CheckResult passwordHistoryResult(const QString &loginReport) {
    const CSVTable csv = parseCSV(loginReport);
    const QList<CSVRow> changes = recordsWhere(csv, [&csv](const CSVRow &row) {
        return anyValue(csv, row, [](const QString &value) {
            return value.contains(u"password_edit"_s, Qt::CaseInsensitive) ||
                   value.contains(u"password_change"_s, Qt::CaseInsensitive) ||
                   value.contains(u"password_reset"_s, Qt::CaseInsensitive);
        });
    });
    CheckResult result;
    if (changes.isEmpty()) {
        result.flags.append(SecurityFlag::note(u"No password change events found in available login history."_s));
        return result;
    }
    result.flags.append(SecurityFlag::note(u"Confirm these match when YOU reset the password. An unexplained change "
                                           u"after your reset means continued access."_s));
    result.tables.append(matchingTable(csv, changes, u"Password change events"_s));
    return result;
}

CheckResult iocResult(const QStringList &indicators, const QString &loginReport, const QString &driveReport) {
    CheckResult result;
    SecurityTable table{u"Indicators checked"_s, {u"Indicator"_s, u"Login events"_s, u"Drive events"_s}, {}, {}};
    if (indicators.isEmpty()) {
        result.flags.append(
            SecurityFlag::note(u"Your indicator list is empty. Add IPs or domains from your incidents below."_s));
        result.tables.append(table);
        return result;
    }
    const IndicatorMatcher matcher(indicators);
    const QList<qsizetype> logins = matcher.lineCounts(loginReport);
    const QList<qsizetype> drive = matcher.lineCounts(driveReport);
    for (qsizetype i = 0; i < indicators.size(); ++i) {
        if (logins[i] > 0 || drive[i] > 0)
            result.flags.append(SecurityFlag::danger(u"MATCH: "_s + indicators[i] + u" — "_s + number(logins[i]) +
                                                     u" login event(s), "_s + number(drive[i]) +
                                                     u" Drive event(s)."_s));
        table.rows.append({indicators[i], number(logins[i]), number(drive[i])});
    }
    if (result.flags.isEmpty())
        result.flags.append(
            SecurityFlag::ok(u"No matches against "_s + number(indicators.size()) + u" known indicator(s)."_s));
    result.tables.append(table);
    return result;
}

QStringList externalSharingCommand(const QString &user) {
    return {u"user"_s,   user,
            u"print"_s,  u"filelist"_s,
            u"query"_s,  u"visibility='anyoneWithLink' or visibility='anyoneCanFind' or visibility='externalUsers'"_s,
            u"fields"_s, u"id,title,shared,owners,permissions"_s};
}

CheckResult externalSharingResult(const QString &fileList) {
    CheckResult result;
    result.tables.append(tableFromCSV(fileList, u"Externally shared files"_s));
    const qsizetype files = result.tables.constFirst().rowCount();
    if (files > 0)
        result.flags.append(SecurityFlag::danger(number(files) + u" file(s) shared externally or by public link."_s));
    else
        result.flags.append(SecurityFlag::ok(u"No files shared externally or by public link."_s));
    return result;
}

QStringList backupCodesCommand(const QString &user) {
    return {u"user"_s, user, u"show"_s, u"backupcodes"_s};
}

CheckResult twoStepResult(const QString &user, const QString &userInfo, const QString &backupCodes) {
    static const QRegularExpression twoStepLine(u"2-step|2sv|enforced|enrolled"_s,
                                                QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression phoneLine(u"recovery phone|recoveryphone"_s,
                                              QRegularExpression::CaseInsensitiveOption);
    const QStringList lines = outputLines(userInfo);
    const QStringList twoStep = linesMatching(lines, twoStepLine);
    const QStringList phones = linesMatching(lines, phoneLine);
    CheckResult result;
    result.text = (twoStep.isEmpty() ? u"No 2-Step Verification fields found."_s : twoStep.join(u'\n')) +
                  u"\n\nRecovery phone on file:\n"_s +
                  (phones.isEmpty() ? u"No recovery phone found."_s : phones.join(u'\n'));
    result.sensitiveText = backupCodes;
    result.flags.append(SecurityFlag::note(
        u"Recovery phone ≠ 2SV phone. Check Admin Console → User → Security for the actual enrolled 2SV method."_s));
    result.plan = RemovalPlan{u"Regenerate Backup Codes…"_s,
                              u"Regenerate backup codes for "_s + user + u"? This invalidates old or leaked codes."_s,
                              {{u"user"_s, user, u"update"_s, u"backupcodes"_s}},
                              u"Regenerated backup codes"_s,
                              backupCodesCommand(user)};
    return result;
}

CheckResult alertCenterResult(const QString &user, const QString &alerts) {
    CheckResult result;
    if (QStringView(alerts).trimmed().isEmpty()) {
        result.flags.append(SecurityFlag::note(
            u"No output returned — check that Alert Center access is authorized for your GAM project."_s));
        return result;
    }
    const CSVTable csv = parseCSV(alerts);
    const QList<CSVRow> mentioning = recordsWhere(csv, [&](const CSVRow &row) {
        return anyValue(csv, row, [&user](const QString &value) { return value.contains(user, Qt::CaseInsensitive); });
    });
    if (mentioning.isEmpty()) {
        result.flags.append(SecurityFlag::ok(u"No Alert Center events mention this account."_s));
        return result;
    }
    result.flags.append(
        SecurityFlag::danger(number(mentioning.size()) + u" Alert Center event(s) mention this account."_s));
    result.tables.append(matchingTable(csv, mentioning, u"Alerts mentioning "_s + user));
    return result;
}

QStringList sitesCommand(const QString &user) {
    return {u"user"_s,   user,
            u"print"_s,  u"filelist"_s,
            u"query"_s,  u"mimeType='application/vnd.google-apps.site'"_s,
            u"fields"_s, u"id,title,shared,webViewLink"_s};
}

CheckResult sitesResult(const QString &user, const QString &fileList) {
    CheckResult result;
    result.tables.append(tableFromCSV(fileList, u"Google Sites"_s));
    const qsizetype sites = result.tables.constFirst().rowCount();
    if (sites == 0) {
        result.flags.append(SecurityFlag::ok(u"No Google Sites found."_s));
        return result;
    }
    result.flags.append(SecurityFlag::danger(
        number(sites) + u" Google Site(s) found. Confirm each is legitimate and not impersonating a login page."_s));
    result.flags.append(SecurityFlag::note(u"To delete one: gam user "_s + user +
                                           u" delete drivefile <id> purge (use the Custom Command tab)."_s));
    return result;
}

QString tableCSV(const SecurityTable &table) {
    QList<QStringList> rows;
    rows.reserve(table.rowCount());
    for (qsizetype row = 0; row < table.rowCount(); ++row)
        rows.append(table.row(row));
    return csvText(table.headers, rows);
}
