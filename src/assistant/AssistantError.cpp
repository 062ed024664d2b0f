#include "assistant/AssistantError.h"

#include "core/PlatformTexts.h"

AssistantError AssistantError::http(int status, std::optional<QString> message) {
    QString description;
    switch (status) {
    case 401:
        description = QStringLiteral("The Anthropic API key was rejected. Check it in ") +
                      PlatformTexts::settingsReference() + QStringLiteral(" → Assistant.");
        break;
    case 429:
        description = QStringLiteral("Rate limited by the Anthropic API. Wait a moment and try again.");
        break;
    case 529:
        description = QStringLiteral("The Anthropic API is overloaded. Try again shortly.");
        break;
    default:
        description = QStringLiteral("Anthropic API error ") + QString::number(status) +
                      (message ? QStringLiteral(": ") + *message : QStringLiteral("."));
    }
    return AssistantError(Kind::http, status, std::move(message), description);
}

AssistantError AssistantError::stream(QString message) {
    return AssistantError(Kind::stream, 0, message, message);
}
