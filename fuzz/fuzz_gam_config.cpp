// gam.cfg editing: removeSection(appendSection(x)) gives x back byte for byte,
// a file that is not UTF-8 is refused and never written, and an existing
// section name is refused. The input is the file; after a NUL come the section
// name, the credentials folder and the domain, each ended by a NUL.
#include "Require.h"
#include "profiles/GAMConfigFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

namespace {

QByteArray readAll(const QString &path) {
    QFile file(path);
    require(file.open(QIODevice::ReadOnly), "gam.cfg readable");
    return file.readAll();
}

void write(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
            "gam.cfg written");
}

// Leaves only gam.cfg in the folder, so every run starts alike.
void removeBackups(const QString &folder) {
    QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("gam.cfg.backup-*")}, QDir::Files | QDir::Hidden))
        dir.remove(name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static QTemporaryDir temporary;
    const QString folder = temporary.path();
    const QString path = GAMConfigFile::filePath(folder);

    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\0');
    const QByteArray old = parts[0];
    QString section = QString::fromUtf8(parts.value(1));
    if (GAMConfigFile::validateSectionName(section, {}))
        section = QStringLiteral("district-b");
    // Values hold no line feed: the wizard never writes one into gam.cfg.
    const QString credentials = QString::fromUtf8(parts.value(2)).remove(u'\n');
    const QString domain = QString::fromUtf8(parts.value(3)).remove(u'\n');

    write(path, old);
    removeBackups(folder);
    const bool exists = GAMConfigFile::sectionNames(folder).contains(section, Qt::CaseInsensitive);
    try {
        GAMConfigFile::appendSection(folder, section, credentials, domain);
        require(old.isValidUtf8() && !exists, "appended only to UTF-8 without the section");
        require(GAMConfigFile::sectionNames(folder).contains(section), "the new section is listed");
        GAMConfigFile::removeSection(section, folder);
        require(readAll(path) == old, "removeSection(appendSection(x)) == x", old, readAll(path));
    } catch (const EditError &error) {
        if (old.isValidUtf8())
            require(error.kind() == EditError::Kind::sectionExists && exists, "refused: the section exists",
                    error.description());
        else
            require(error.kind() == EditError::Kind::notUTF8, "refused: not UTF-8", error.description());
        require(readAll(path) == old, "a refused edit writes nothing");
        require(QDir(folder).entryList(QDir::Files | QDir::Hidden) == QStringList{QStringLiteral("gam.cfg")},
                "a refused edit makes no backup");
    }
    return 0;
}
