#include "profiles/ProfileStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

const QString profilesKey = u"domainProfiles"_s;
const QString activeIDKey = u"activeDomainProfileID"_s;

QString uuidText(const QUuid &id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

// Only the plain 36-character form counts as a UUID (no braces, no URN).
std::optional<QUuid> parseUUID(const QString &text) {
    if (text.size() != 36)
        return std::nullopt;
    const QUuid id = QUuid::fromString(text);
    if (id.isNull() && text != u"00000000-0000-0000-0000-000000000000"_s)
        return std::nullopt;
    return id;
}

QString requiredString(const QJsonObject &object, const QString &key, bool &ok) {
    const QJsonValue value = object.value(key);
    if (!value.isString())
        ok = false;
    return value.toString();
}

// Any missing key or wrongly typed value rejects the whole array.
std::optional<QList<DomainProfile>> decodeProfiles(const QByteArray &data) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<DomainProfile> profiles;
    const QJsonArray array = document.array();
    for (const QJsonValue &value : array) {
        if (!value.isObject())
            return std::nullopt;
        const QJsonObject object = value.toObject();
        bool ok = true;
        DomainProfile profile;
        const auto id = parseUUID(requiredString(object, u"id"_s, ok));
        profile.name = requiredString(object, u"name"_s, ok);
        profile.configDir = requiredString(object, u"configDir"_s, ok);
        profile.section = requiredString(object, u"section"_s, ok);
        profile.domain = requiredString(object, u"domain"_s, ok);
        profile.exportDir = requiredString(object, u"exportDir"_s, ok);
        profile.auditLog = requiredString(object, u"auditLog"_s, ok);
        profile.driveUploadUser = requiredString(object, u"driveUploadUser"_s, ok);
        profile.driveFolderID = requiredString(object, u"driveFolderID"_s, ok);
        if (!ok || !id)
            return std::nullopt;
        profile.id = *id;
        profiles.append(profile);
    }
    return profiles;
}

QByteArray encodeProfiles(const QList<DomainProfile> &profiles) {
    QJsonArray array;
    for (const DomainProfile &profile : profiles) {
        array.append(QJsonObject{
            {u"id"_s, uuidText(profile.id)},
            {u"name"_s, profile.name},
            {u"configDir"_s, profile.configDir},
            {u"section"_s, profile.section},
            {u"domain"_s, profile.domain},
            {u"exportDir"_s, profile.exportDir},
            {u"auditLog"_s, profile.auditLog},
            {u"driveUploadUser"_s, profile.driveUploadUser},
            {u"driveFolderID"_s, profile.driveFolderID},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

// The single-domain settings of earlier versions, read but never written.
DomainProfile legacyProfile(const QSettings &settings) {
    const auto read = [&settings](const QString &key) { return settings.value(key).toString().trimmed(); };
    DomainProfile profile;
    profile.id = QUuid::createUuid();
    profile.domain = read(u"security.domain"_s).toLower();
    profile.name = profile.domain.isEmpty() ? u"Default"_s : profile.domain;
    profile.configDir = read(u"gamConfigDir"_s);
    profile.exportDir = read(u"security.exportDir"_s);
    if (profile.exportDir.isEmpty())
        profile.exportDir = homeDirectory() + u"/security_exports"_s;
    profile.auditLog = read(u"security.auditLog"_s);
    if (profile.auditLog.isEmpty())
        profile.auditLog = homeDirectory() + u"/incident_audit_log.txt"_s;
    profile.driveUploadUser = read(u"security.driveUploadUser"_s);
    profile.driveFolderID = read(u"security.driveFolderID"_s);
    return profile;
}

QList<DomainProfile> loadProfiles(const QSettings &settings) {
    const QVariant stored = settings.value(profilesKey);
    if (stored.isValid()) {
        const auto decoded = decodeProfiles(stored.toByteArray());
        if (decoded && !decoded->isEmpty())
            return *decoded;
    }
    return {legacyProfile(settings)};
}

QUuid storedActiveID(const QSettings &settings, const QList<DomainProfile> &profiles) {
    const auto id = parseUUID(settings.value(activeIDKey).toString());
    if (id) {
        for (const DomainProfile &profile : profiles) {
            if (profile.id == *id)
                return *id;
        }
    }
    return profiles.first().id;
}

} // namespace

ProfileStore::ProfileStore(QObject *parent)
    : QObject(parent) {
    const QSettings settings;
    m_profiles = loadProfiles(settings);
    m_activeID = storedActiveID(settings, m_profiles);
    save();
}

DomainProfile ProfileStore::activeProfile() const {
    for (const DomainProfile &profile : m_profiles) {
        if (profile.id == m_activeID)
            return profile;
    }
    return m_profiles.first();
}

DomainProfile ProfileStore::add(const QString &name) {
    QString candidate = name;
    for (int n = 2; std::any_of(
             m_profiles.cbegin(), m_profiles.cend(),
             [&candidate](const DomainProfile &p) { return p.name.compare(candidate, Qt::CaseInsensitive) == 0; });
         ++n)
        candidate = name + u' ' + QString::number(n);

    DomainProfile profile;
    profile.id = QUuid::createUuid();
    profile.name = candidate;
    profile.exportDir = homeDirectory() + u"/security_exports/"_s + folderSlug(candidate);
    profile.auditLog = profile.exportDir + u"/incident_audit_log.txt"_s;
    m_profiles.append(profile);
    save();
    Q_EMIT profilesChanged();
    return profile;
}

void ProfileStore::update(const DomainProfile &profile) {
    for (DomainProfile &existing : m_profiles) {
        if (existing.id != profile.id)
            continue;
        if (existing == profile)
            return;
        existing = profile;
        save();
        Q_EMIT profilesChanged();
        return;
    }
}

void ProfileStore::remove(const QUuid &id) {
    if (m_profiles.size() <= 1)
        return;
    QList<DomainProfile> kept;
    for (const DomainProfile &profile : std::as_const(m_profiles)) {
        if (profile.id != id)
            kept.append(profile);
    }
    // Hand-edited settings may repeat an id; the list must never become empty.
    if (kept.size() == m_profiles.size() || kept.isEmpty())
        return;
    m_profiles = kept;
    const bool activeRemoved = id == m_activeID;
    if (activeRemoved)
        m_activeID = m_profiles.first().id;
    save();
    Q_EMIT profilesChanged();
    if (activeRemoved)
        Q_EMIT activeIDChanged();
}

void ProfileStore::activate(const QUuid &id) {
    const bool known = std::any_of(m_profiles.cbegin(), m_profiles.cend(),
                                   [&id](const DomainProfile &profile) { return profile.id == id; });
    if (!known || id == m_activeID)
        return;
    m_activeID = id;
    save();
    Q_EMIT activeIDChanged();
}

DomainProfile ProfileStore::currentActiveProfile() {
    const QSettings settings;
    const QList<DomainProfile> profiles = loadProfiles(settings);
    const QUuid id = storedActiveID(settings, profiles);
    for (const DomainProfile &profile : profiles) {
        if (profile.id == id)
            return profile;
    }
    return profiles.first();
}

void ProfileStore::save() const {
    QSettings settings;
    settings.setValue(profilesKey, encodeProfiles(m_profiles));
    settings.setValue(activeIDKey, uuidText(m_activeID));
}
