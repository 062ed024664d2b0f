#pragma once

#include "Output.h"

#include <QString>
#include <QStringList>

// Test hooks, all read from the environment (see README.md). Each rule may name a
// pattern after "@"; it then applies only to runs whose arguments, joined by single
// spaces, contain that text. Several rules are separated by ";".
struct Hooks {
    QString logPath;          // PRACTICE_GAM_LOG
    int delayMs = 0;          // PRACTICE_GAM_DELAY_MS
    int lineDelayMs = 0;      // PRACTICE_GAM_LINE_DELAY_MS
    bool hang = false;        // PRACTICE_GAM_FAULT=hang
    bool ignoreTerm = false;  // PRACTICE_GAM_FAULT=ignore-sigterm
    bool crash = false;       // PRACTICE_GAM_FAULT=crash
    bool invalidUtf8 = false; // PRACTICE_GAM_FAULT=invalid-utf8
    int hugeLines = 0;        // PRACTICE_GAM_FAULT=huge[:LINES]
    int exitCode = -1;        // PRACTICE_GAM_FAULT=exit:N
    int rateLimitEvery = 0;   // PRACTICE_GAM_FAULT=ratelimit[:K]

    static Hooks fromEnvironment(const QStringList &argv);
    void logInvocation(const QStringList &argv) const;
    // Sleeps forever when asked to hang (ignoring SIGTERM too if asked), else applies the delay.
    void beforeRun() const;
    // Writes the run's output to stdout and stderr, shaped by the fault rules; returns the exit code.
    int flush(const Output &output, const QString &stdoutFile, const QString &stderrFile) const;
};
