#pragma once

#include <QString>
#include <optional>

// What the new-domain setup script needs to know. Every value is used as given.
struct SetupScriptValues {
    QString cfgDir;                 // GAMCFGDIR for every step
    std::optional<QString> section; // GAMCFGSECTION, or none to unset it
    QString gam;                    // absolute path of the gam executable
    QString target;                 // the folder that receives the credentials
    QString admin;                  // trimmed, lower-case admin address
    QString domain;                 // the admin's domain
    QString checkUser;              // the account that checks domain-wide delegation
};

// The bash script that walks the admin through GAM's four setup steps in a
// terminal. Every value reaches the shell quoted, so none can run anything.
QString setupScript(const SetupScriptValues &values);
