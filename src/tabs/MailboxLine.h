#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// What one line of `gam <users> delete messages …` says about one mailbox.
struct MailboxLine {
    enum class Kind {
        deleting,    // "User: U, Delete N Messages": N messages are about to go
        deleted,     // "User: U, Message: ID, Deleted"
        heldForDoit, // "User: U, Messages: N, Not Deleted: Use the "doit" argument…" (a preview)
        noMatch,     // "User: U, Messages: 0, Not Deleted: No Messages matched"
        failed,      // "User: U, … Failed: REASON", "User: U, Does not exist", …
    };

    Kind kind = Kind::noMatch;
    QString mailbox;
    qint64 count = 0; // N of deleting and heldForDoit
    QString reason;   // GAM's reason when failed
};

// The mailbox line in one line of output, or none when the line is something else
// (progress, the batch's own lines, anything unknown). Leading indentation and GAM's
// trailing counter (" (3/25)", " (1-500/3000)") are ignored.
std::optional<MailboxLine> readMailboxLine(QStringView line);
