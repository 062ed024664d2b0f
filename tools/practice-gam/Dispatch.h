#pragma once

#include "Hooks.h"
#include "Output.h"

#include <QStringList>

// Runs one gam command line into out. Sets the stdout/stderr redirect files when the
// command line asks for them.
void runGam(const QStringList &argv, Output &out, const Hooks &hooks, QString *stdoutFile, QString *stderrFile);
