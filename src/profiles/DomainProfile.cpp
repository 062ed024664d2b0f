#include "profiles/DomainProfile.h"
#include "core/UnicodeCategories.h"

#include <QChar>
#include <QDir>

#include <algorithm>

using namespace Qt::StringLiterals;

QString DomainProfile::displayName() const {
    if (domain.isEmpty() || name.compare(domain, Qt::CaseInsensitive) == 0)
        return name;
    return name + u" ("_s + domain + u')';
}

std::optional<QString> DomainProfile::effectiveSection() const {
    const QString trimmed = section.trimmed();
    if (trimmed.isEmpty() || trimmed.toUpper() == u"DEFAULT"_s)
        return std::nullopt;
    return trimmed;
}

QString DomainProfile::effectiveConfigDir() const {
    if (!configDir.isEmpty())
        return expandTilde(configDir);
    const QString inherited = qEnvironmentVariable("GAMCFGDIR");
    if (!inherited.isEmpty())
        return expandTilde(inherited);
    return homeDirectory() + u"/.gam"_s;
}

static bool keepsInSlug(char32_t c) {
    return isLetterMarkOrNumber(c) || c == U'-' || c == U'_' || c == U'.';
}

QString folderSlug(const QString &text) {
    QString slug;
    const QList<uint> scalars = text.toLower().toUcs4();
    slug.reserve(scalars.size());
    for (const uint c : scalars) {
        if (keepsInSlug(c))
            slug.append(QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1));
        else
            slug.append(u'-');
    }
    qsizetype start = 0;
    qsizetype end = slug.size();
    while (start < end && slug.at(start) == u'-')
        ++start;
    while (end > start && slug.at(end - 1) == u'-')
        --end;
    slug = slug.mid(start, end - start);
    // "." or ".." as a folder name would climb out of the parent folder.
    const bool onlyDots = std::all_of(slug.cbegin(), slug.cend(), [](QChar c) { return c == u'.'; });
    return onlyDots ? u"domain"_s : slug;
}

QString homeDirectory() {
    return QDir::homePath(); // cleaned: absolute, no trailing slash
}

QString expandTilde(const QString &path) {
    // "~user" names another user's home folder, so only "~" and "~/..." expand.
    if (path == u"~"_s || path.startsWith(u"~/"_s))
        return homeDirectory() + path.mid(1);
    return path;
}
