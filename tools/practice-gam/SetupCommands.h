#pragma once

#include "Args.h"
#include "Config.h"
#include "Output.h"

#include <QList>
#include <QPair>

// Commands that need no practice domain yet: version, help, the setup steps of a new
// domain and the practice seed command.
void versionCommand(Output &out, const GamConfig &config, Args &args, bool help);
void createProject(Output &out, const GamConfig &config, Args &args);
void oauthCreate(Output &out, const GamConfig &config, Args &args);
void practiceCommand(Output &out, Args &args);
// "config ... save": writes the variables into the selected section of gam.cfg.
void saveConfig(Output &out, const GamConfig &config, const QList<QPair<QString, QString>> &vars);
void verifyConfig(Output &out, const GamConfig &config);
// Prints GAM's four usage-error lines for a UsageError.
void printUsageError(Output &out, const QStringList &argv, int index, const QString &message);
