#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// gam.cfg as a list of lines, so edits keep everything else in place.
class CfgFile {
public:
    bool load(const QString &path); // false when the file does not exist
    bool hasSection(const QString &section) const;
    QStringList sections() const;
    // Keys of [DEFAULT] overlaid with the section's own keys.
    QHash<QString, QString> values(const QString &section) const;
    void set(const QString &section, const QString &key, const QString &value);
    bool save(const QString &path, QString *error) const;

private:
    QStringList m_lines;
};

// Where this run's domain lives, found the way GAM finds its credentials: GAMCFGDIR
// (default ~/.gam), its gam.cfg, the section named by GAMCFGSECTION (or gam.cfg's
// own "section" value, or DEFAULT), and that section's config_dir.
struct GamConfig {
    QString cfgDir;
    QString cfgFile;
    QString section; // empty for DEFAULT
    bool cfgExists = false;
    bool sectionFound = true;
    QHash<QString, QString> values;
    QString configDir;

    static GamConfig locate(const QString &selectedSection);
    QString sectionLabel() const { return section.isEmpty() ? QStringLiteral("DEFAULT") : section; }
    QString statePath() const;
    QString oauth2Path() const;
    QString clientSecretsPath() const;
    QString serviceAccountPath() const;
};

QString expandHome(const QString &path);
// The practice domain only ever simulates documentation domains.
bool isDocumentationDomain(const QString &domain);
