#pragma once

#include <QString>
#include <QUuid>
#include <optional>

// One Google Workspace domain: which GAM configuration to use and where the
// Security tab keeps its files for it.
struct DomainProfile {
    QUuid id;
    QString name;
    QString configDir;
    QString section;
    QString domain;
    QString exportDir;
    QString auditLog;
    QString driveUploadUser;
    QString driveFolderID;

    // "name (domain)" unless the domain is empty or equals the name ignoring case.
    QString displayName() const;
    // The gam.cfg section to select; none for blank or DEFAULT (any case).
    std::optional<QString> effectiveSection() const;
    // The folder gam will use: configDir, else the inherited GAMCFGDIR, else ~/.gam.
    QString effectiveConfigDir() const;

    bool operator==(const DomainProfile &) const = default;
};

// Lower-cased, with anything but letters, marks, digits, "-", "_" and "." turned
// into "-", dashes trimmed; "domain" when nothing (or only dots) is left.
QString folderSlug(const QString &text);

// The home folder, absolute and without a trailing slash.
QString homeDirectory();
// A leading "~" replaced by the home folder.
QString expandTilde(const QString &path);
