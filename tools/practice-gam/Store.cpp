#include "Store.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

// QLockFile's own wait doubles its pause up to seconds, which would keep a batch's
// workers, all waiting for the one state file, asleep long after it is free.
bool lockWithin(QLockFile &lock, int ms) {
    QDeadlineTimer deadline(ms);
    while (!lock.tryLock(0)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(5);
    }
    return true;
}

} // namespace

Store::OpenResult Store::open(const QString &path) {
    m_path = path;
    m_lock = std::make_unique<QLockFile>(path + u".lock"_s);
    if (!lockWithin(*m_lock, 120000))
        return OpenResult::Locked;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return OpenResult::Missing;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject() || !doc.object().value(u"practice"_s).toBool())
        return OpenResult::Invalid;
    m_root = doc.object();
    return OpenResult::Ok;
}

bool Store::create(const QString &path, QJsonObject root, QString *error) {
    m_path = path;
    m_lock = std::make_unique<QLockFile>(path + u".lock"_s);
    if (!lockWithin(*m_lock, 120000)) {
        *error = u"state file is locked by another run"_s;
        return false;
    }
    m_root = std::move(root);
    m_dirty = true;
    return save(error);
}

QJsonArray &Store::array(const QString &name) {
    auto it = m_arrays.find(name);
    if (it == m_arrays.end()) {
        it = m_arrays.insert(name, m_root.value(name).toArray());
        m_root.remove(name); // the one copy lives in m_arrays, so edits do not detach
    }
    return it.value();
}

void Store::release() {
    m_lock.reset();
    m_dirty = false;
}

bool Store::save(QString *error) {
    if (!m_dirty)
        return true;
    for (auto it = m_arrays.begin(); it != m_arrays.end(); ++it)
        m_root.insert(it.key(), it.value());
    m_arrays.clear();
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    file.write(QJsonDocument(m_root).toJson(QJsonDocument::Compact));
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    m_dirty = false;
    return true;
}

qsizetype Store::userIndex(const QString &email) {
    if (m_userIndex.isEmpty()) {
        const QJsonArray &users = array(u"users"_s);
        for (qsizetype i = 0; i < users.size(); ++i)
            m_userIndex.insert(users.at(i).toObject().value(u"primaryEmail"_s).toString().toLower(), i);
    }
    return m_userIndex.value(email.toLower(), -1);
}

void Store::setUser(qsizetype index, const QJsonObject &user) {
    array(u"users"_s).replace(index, user);
    m_dirty = true;
}

const QList<qsizetype> &Store::filesOwnedBy(const QString &email) {
    if (m_filesByOwner.isEmpty()) {
        const QJsonArray &files = array(u"files"_s);
        m_filesByOwner.insert(QString(), {});
        for (qsizetype i = 0; i < files.size(); ++i) {
            const QJsonObject file = files.at(i).toObject();
            if (file.value(u"driveId"_s).toString().isEmpty())
                m_filesByOwner[file.value(u"owner"_s).toString().toLower()].append(i);
        }
    }
    static const QList<qsizetype> none;
    const auto it = m_filesByOwner.constFind(email.toLower());
    return it == m_filesByOwner.cend() ? none : it.value();
}

QString Store::newId(const QString &prefix, int length) {
    static const QString alphabet = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-"_s;
    QString id = prefix;
    while (id.size() < length)
        id += alphabet.at(QRandomGenerator::global()->bounded(int(alphabet.size())));
    return id;
}
