#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// Base of every error the lower layers raise; tab models catch it and turn
// description() into a log line or an alert.
class Error : public std::exception {
public:
    explicit Error(QString description)
        : m_description(std::move(description))
        , m_what(m_description.toUtf8()) {}

    QString description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_description;
    QByteArray m_what;
};

// The running task was stopped by the user; reported as "  Stopped by user.".
// `killed`: its gam had to be killed (a second Stop, or SIGTERM ignored for too long).
class Cancelled : public Error {
public:
    explicit Cancelled(bool killed = false)
        : Error(QStringLiteral("The operation was cancelled."))
        , m_killed(killed) {}

    bool killed() const { return m_killed; }

private:
    bool m_killed;
};

// The user-facing text of any error: description() for ours, what() for the rest.
inline QString errorDescription(const std::exception &error) {
    if (const auto *described = dynamic_cast<const Error *>(&error))
        return described->description();
    return QString::fromUtf8(error.what());
}
