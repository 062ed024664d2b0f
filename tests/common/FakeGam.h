#pragma once

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
