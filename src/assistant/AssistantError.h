#pragma once

#include "core/Error.h"

#include <optional>

// A failure of the Anthropic exchange itself: the server answered with a status
// other than 200, or the event stream reported an error. description() is the
// message the assistant shows.
class AssistantError : public Error {
public:
    enum class Kind { http, stream };

    static AssistantError http(int status, std::optional<QString> message);
    static AssistantError stream(QString message);

    Kind kind() const { return m_kind; }
    // The HTTP status; 0 for stream errors.
    int status() const { return m_status; }
    std::optional<QString> message() const { return m_message; }

private:
    AssistantError(Kind kind, int status, std::optional<QString> message, QString description)
        : Error(std::move(description))
        , m_kind(kind)
        , m_status(status)
        , m_message(std::move(message)) {}

    Kind m_kind;
    int m_status;
    std::optional<QString> m_message;
};
