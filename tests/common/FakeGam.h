#pragma once

#include "TestSupport.h"

#include "profiles/ProfileStore.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A recording stand-in for gam: run n (counted from 1) stores its arguments and
// answers with the output, error text and exit status set up for it.
class FakeGam {
public:
    FakeGam();

    QString path() const { return m_path; }
    // Sets the gamPath setting to this script (call under IsolatedSettings).
    void install() const;

    void answer(int run, const QString &out, const QString &err = {}, int status = 0);
    // Run n also writes csv to the file named after "redirect csv".
    void answerRedirectedCSV(int run, const QString &csv);
    // Run n prints its answer, then waits until it is terminated.
    void hang(int run);
    // Run n prints its answer, then is ended by the signal (a crash, or a kill from outside).
    void endBySignal(int run, int signal);

    int runs() const;
    QStringList arguments(int run) const;

private:
    void write(const QString &name, const QString &contents) const;

    QTemporaryDir m_dir;
    QString m_path;
};

// What a tab's model and view tests start from: isolated settings, a FakeGam
// installed as the gam to run, and the active profile "Lakeside" (lakeside.example.org).
struct FakeGamDistrict {
    FakeGamDistrict();

    IsolatedSettings settings;
    FakeGam gam;
    ProfileStore profiles;
};
