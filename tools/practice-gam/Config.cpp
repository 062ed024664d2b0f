#include "Config.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

QString sectionOf(const QString &line) {
    const QString t = line.trimmed();
    if (t.startsWith(u'[') && t.endsWith(u']'))
        return t.mid(1, t.size() - 2).trimmed();
    return QString();
}

bool isDefault(const QString &section) {
    return section.isEmpty() || section.toUpper() == u"DEFAULT"_s;
}

bool sameSection(const QString &a, const QString &b) {
    return (isDefault(a) && isDefault(b)) || a == b; // names are case-sensitive, DEFAULT is not
}

// key and value of a "key = value" line, or false for comments and blanks.
bool keyValue(const QString &line, QString *key, QString *value) {
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(u'#') || t.startsWith(u';') || t.startsWith(u'['))
        return false;
    qsizetype sep = t.indexOf(u'=');
    const qsizetype colon = t.indexOf(u':');
    if (sep < 0 || (colon >= 0 && colon < sep))
        sep = colon;
    if (sep < 0)
        return false;
    *key = t.left(sep).trimmed().toLower();
    *value = t.mid(sep + 1).trimmed();
    return true;
}

} // namespace

bool CfgFile::load(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    m_lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (!m_lines.isEmpty() && m_lines.last().isEmpty())
        m_lines.removeLast();
    return true;
}

bool CfgFile::hasSection(const QString &section) const {
    if (isDefault(section))
        return true;
    for (const QString &line : m_lines)
        if (sectionOf(line) == section)
            return true;
    return false;
}

QStringList CfgFile::sections() const {
    QStringList names;
    for (const QString &line : m_lines) {
        const QString name = sectionOf(line);
        if (!name.isEmpty() && !isDefault(name))
            names.append(name);
    }
    return names;
}

QHash<QString, QString> CfgFile::values(const QString &section) const {
    QHash<QString, QString> defaults, own;
    QString current = u"DEFAULT"_s;
    for (const QString &line : m_lines) {
        const QString name = sectionOf(line);
        if (!name.isEmpty()) {
            current = name;
            continue;
        }
        QString key, value;
        if (!keyValue(line, &key, &value))
            continue;
        if (isDefault(current))
            defaults.insert(key, value);
        else if (!isDefault(section) && current == section)
            own.insert(key, value);
    }
    for (auto it = own.cbegin(); it != own.cend(); ++it)
        defaults.insert(it.key(), it.value());
    return defaults;
}

void CfgFile::set(const QString &section, const QString &key, const QString &value) {
    QString current = u"DEFAULT"_s;
    qsizetype sectionStart = -1, lastInSection = -1;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QString name = sectionOf(m_lines.at(i));
        if (!name.isEmpty()) {
            current = name;
            if (sameSection(current, section)) {
                sectionStart = i;
                lastInSection = i;
            }
            continue;
        }
        if (!sameSection(current, section))
            continue;
        QString k, v;
        if (keyValue(m_lines.at(i), &k, &v)) {
            lastInSection = i;
            if (k == key) {
                m_lines[i] = key + u" = "_s + value;
                return;
            }
        }
    }
    const QString line = key + u" = "_s + value;
    if (sectionStart < 0 && isDefault(section)) {
        m_lines.prepend(line);
        m_lines.prepend(u"[DEFAULT]"_s);
    } else if (sectionStart < 0) {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
            m_lines.append(QString());
        m_lines.append(u'[' + section + u']');
        m_lines.append(line);
    } else {
        m_lines.insert(lastInSection + 1, line);
    }
}

bool CfgFile::save(const QString &path, QString *error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    file.write((m_lines.join(u'\n') + u'\n').toUtf8());
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

QString expandHome(const QString &path) {
    if (path == u"~"_s)
        return QDir::homePath();
    if (path.startsWith(u"~/"_s))
        return QDir::homePath() + path.mid(1);
    return path;
}

bool isDocumentationDomain(const QString &domain) {
    const QString d = domain.toLower();
    for (const QString &base : {u"example.com"_s, u"example.net"_s, u"example.org"_s})
        if (d == base || d.endsWith(u'.' + base))
            return true;
    return false;
}

GamConfig GamConfig::locate(const QString &selectedSection) {
    GamConfig config;
    const QString env = qEnvironmentVariable("GAMCFGDIR");
    config.cfgDir = QDir::cleanPath(expandHome(env.isEmpty() ? u"~/.gam"_s : env));
    config.cfgFile = config.cfgDir + u"/gam.cfg"_s;
    CfgFile file;
    config.cfgExists = file.load(config.cfgFile);
    QString section = selectedSection;
    if (section.isEmpty())
        section = qEnvironmentVariable("GAMCFGSECTION").trimmed();
    if (section.isEmpty())
        section = file.values(u"DEFAULT"_s).value(u"section"_s);
    config.section = isDefault(section) ? QString() : section;
    config.sectionFound = file.hasSection(config.section);
    config.values = file.values(config.section);
    const QString dir = expandHome(config.values.value(u"config_dir"_s));
    config.configDir = QDir::cleanPath(dir.isEmpty() ? config.cfgDir : QDir(config.cfgDir).absoluteFilePath(dir));
    return config;
}

QString GamConfig::statePath() const {
    return configDir + u"/practice-domain.json"_s;
}
QString GamConfig::oauth2Path() const {
    return configDir + u"/oauth2.txt"_s;
}
QString GamConfig::clientSecretsPath() const {
    return configDir + u"/client_secrets.json"_s;
}
QString GamConfig::serviceAccountPath() const {
    return configDir + u"/oauth2service.json"_s;
}
