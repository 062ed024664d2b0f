#include "security/UserResolution.h"

#include "core/SpaceTrim.h"
#include "profiles/ProfileStore.h"

using namespace Qt::StringLiterals;

QString defaultDomain(const DomainProfile &profile) {
    QString domain = trimSpacesAndTabs(profile.domain).toLower();
    qsizetype start = 0;
    qsizetype end = domain.size();
    while (start < end && domain.at(start) == u'@')
        ++start;
    while (end > start && domain.at(end - 1) == u'@')
        --end;
    return domain.sliced(start, end - start);
}

QString defaultDomain() {
    return defaultDomain(currentActiveProfile());
}

std::optional<QString> resolveUser(const QString &input, const QString &domain) {
    // Spaces, tabs and line breaks of every kind.
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (text.contains(u'@'))
        return text.toLower();
    if (domain.isEmpty())
        return std::nullopt;
    return (text + u'@' + domain).toLower();
}
