#pragma once

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
    // Logs the invocation, then sleeps forever when asked to hang, else applies the delay.
    // SIGTERM is ignored before the log line is written, so a test that waits for the
    // line never races it.
    void beforeRun(const QStringList &argv) const;

private:
    void logInvocation(const QStringList &argv) const;
};
