#include "profiles/DomainCheck.h"

#include "core/GAM.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace DomainCheck {

QStringList arguments() {
    return {u"info"_s, u"domain"_s};
}

std::optional<QString> primaryDomain(const CommandResult &result) {
    static const QRegularExpression line(u"primary\\s*domain\\s*:\\s*(\\S+)"_s,
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = line.match(result.stdOut + u'\n' + result.stdErr);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1);
}

QString failureDetail(const CommandResult &result) {
    const auto nonEmptyLines = [](const QString &text) {
        QStringList lines;
        for (const QString &line : text.split(u'\n')) {
            if (!line.trimmed().isEmpty())
                lines.append(line.trimmed());
        }
        return lines;
    };
    const QStringList errors = nonEmptyLines(result.stdErr);
    if (!errors.isEmpty())
        return errors.first();
    const QStringList output = nonEmptyLines(result.stdOut);
    return output.isEmpty() ? QString() : output.last();
}

} // namespace DomainCheck
