#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

// One verdict line at the top of a check's result.
struct SecurityFlag {
    enum class Kind { danger, ok, note };

    QUuid id = QUuid::createUuid();
    Kind kind = Kind::note;
    QString text;

    static SecurityFlag danger(QString text) { return {QUuid::createUuid(), Kind::danger, std::move(text)}; }
    static SecurityFlag ok(QString text) { return {QUuid::createUuid(), Kind::ok, std::move(text)}; }
    static SecurityFlag note(QString text) { return {QUuid::createUuid(), Kind::note, std::move(text)}; }
};

struct SecurityTable {
    std::optional<QString> title;
    QStringList headers;
    // Each row holds one cell per header, in header order.
    QList<QStringList> rows;
};

// A file a check saved: local until a verified upload moved it to the Shared Drive.
struct EvidenceItem {
    QUuid id = QUuid::createUuid();
    QString label;
    // The local file's path; none once the file lives only in the Shared Drive.
    std::optional<QString> localURL;
};

// The change a result offers; it runs only after the administrator confirms it.
struct RemovalPlan {
    QString buttonTitle;
    QString confirmMessage;
    // gam argument vectors without the leading "gam", run in order.
    QList<QStringList> steps;
    QString auditAction;
    // Run after the steps; its output is shown on screen only.
    std::optional<QStringList> followUp;
};

struct CheckResult {
    QList<SecurityFlag> flags;
    std::optional<QString> text;
    // Shown on screen only: never logged, saved or exported.
    std::optional<QString> sensitiveText;
    QList<SecurityTable> tables;
    QList<EvidenceItem> evidence;
    std::optional<RemovalPlan> plan;
};

// New passwords waiting to be shown once.
struct PasswordReveal {
    enum class Purpose { pendingReset, batchResult };
    struct Entry {
        QString user;
        QString password;
    };

    QUuid id = QUuid::createUuid();
    Purpose purpose = Purpose::pendingReset;
    QList<Entry> entries;
};

// Where batch remediation keeps a copy of the passwords it set.
enum class PasswordLogMode { none, local, drive };

// The stored setting trimmed of spaces and tabs: exactly "none", "local" or "drive", else none.
PasswordLogMode passwordLogMode(const QString &setting);
// The "security.passwordLogMode" setting as stored now.
PasswordLogMode currentPasswordLogMode();
