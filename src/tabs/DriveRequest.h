#pragma once

#include "tabs/DriveScope.h"

#include <QStringList>

// What one Find or Delete acts on, taken from the form when the action starts
// (or when its confirmation is built), so later edits of the form change nothing.
struct DriveRequest {
    DriveScope scope = DriveScope::user;
    DriveFindMethod method = DriveFindMethod::fileID;
    QString email;  // trimmed
    QString ouPath; // trimmed
    QString name;   // trimmed, as typed
    QStringList fileIDs;
    // GAM7's shared-drive selection, after the query: "select", "shareddriveid", ID; or nothing.
    QStringList sharedDriveArguments;
    QString query; // the Drive query of a find
    QString actionWord;

    // "print", "filelist", the query, the shared drive, the fields and the file cap.
    QStringList fileListArguments(const QString &fileQuery, const QString &fields, int maxFiles) const {
        return QStringList{QStringLiteral("print"), QStringLiteral("filelist"), QStringLiteral("query"), fileQuery} +
               sharedDriveArguments +
               QStringList{QStringLiteral("fields"), fields, QStringLiteral("maxfiles"), QString::number(maxFiles)};
    }
};
