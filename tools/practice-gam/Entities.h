#pragma once

#include "Context.h"

// The users a command runs for: "user X", "users X,Y", "domains_ns D", "domain D",
// "query Q", "all users", "ou P", "ou_and_children P". Prints GAM's "Getting all Users..."
// progress for the multi-user forms.
struct UserSelection {
    QStringList emails;
    bool multi = false;  // a listing of users, which auto-batching applies to
    bool failed = false; // the OU does not exist: GAM stops before the command runs
};

bool isUserEntity(const QString &kw);
UserSelection selectUsers(Context &ctx, Args &args);
