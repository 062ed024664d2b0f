#pragma once

#include "profiles/DomainProfile.h"

#include <QList>
#include <QObject>
#include <QUuid>

// The persisted list of domain profiles and which one is active. Every change
// is saved to the settings store before the call returns.
class ProfileStore : public QObject {
    Q_OBJECT
public:
    // Loads the stored profiles (migrating the single-domain settings on first
    // launch) and saves the result straight away.
    explicit ProfileStore(QObject *parent = nullptr);

    const QList<DomainProfile> &profiles() const { return m_profiles; }
    QUuid activeID() const { return m_activeID; }
    DomainProfile activeProfile() const;

    DomainProfile add(const QString &name);
    void update(const DomainProfile &profile);
    void remove(const QUuid &id);
    void activate(const QUuid &id);

    // The active profile as last saved, read afresh from the settings store.
    static DomainProfile currentActiveProfile();

Q_SIGNALS:
    void profilesChanged();
    void activeIDChanged();

private:
    void save() const;

    QList<DomainProfile> m_profiles;
    QUuid m_activeID;
};

inline DomainProfile currentActiveProfile() {
    return ProfileStore::currentActiveProfile();
}
