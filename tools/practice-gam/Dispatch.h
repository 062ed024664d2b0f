#pragma once

#include "Hooks.h"
#include "Output.h"

#include <QStringList>

// Runs one gam command line into out, redirecting its streams when the command line asks.
void runGam(const QStringList &argv, Output &out, const Hooks &hooks);
