#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QLockFile>
#include <QString>
#include <memory>

// The practice domain's state: one JSON file beside the domain's credentials.
// A run holds the lock from loading to saving, so concurrent runs never lose or
// interleave each other's changes; the file is replaced atomically.
class Store {
public:
    enum class OpenResult { Ok, Missing, Invalid, Locked };
    OpenResult open(const QString &path);
    // Creates a new state file (seeding); takes the lock too.
    bool create(const QString &path, QJsonObject root, QString *error);
    bool save(QString *error);
    // Lets other runs at the state (a batch's workers); this run changes nothing from here on.
    void release();
    void markDirty() { m_dirty = true; }
    bool dirty() const { return m_dirty; }

    QJsonObject &root() { return m_root; }
    QJsonArray &array(const QString &name);

    qsizetype userIndex(const QString &email);
    QJsonObject user(qsizetype index) { return array(QStringLiteral("users")).at(index).toObject(); }
    void setUser(qsizetype index, const QJsonObject &user);
    QString domain() const { return m_root.value(QStringLiteral("domain")).toString(); }
    // Indexes of the files in My Drives owned by the user.
    const QList<qsizetype> &filesOwnedBy(const QString &email);
    void invalidateFileIndex() { m_filesByOwner.clear(); }
    QString newId(const QString &prefix, int length);

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    QJsonObject m_root;
    QHash<QString, QJsonArray> m_arrays;
    QHash<QString, qsizetype> m_userIndex;
    QHash<QString, QList<qsizetype>> m_filesByOwner;
    bool m_dirty = false;
};
