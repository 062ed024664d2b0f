#pragma once

#include "core/Console.h"

#include <QObject>
#include <QUuid>
#include <optional>

class ProfileStore;
struct DomainProfile;

// The Domains pane: which profile is selected, adding a profile for a domain
// that already has GAM set up, and removing one after the user confirms.
class DomainSettings : public QObject {
    Q_OBJECT
public:
    DomainSettings(ProfileStore *store, Console *console, QObject *parent = nullptr);

    ProfileStore *store() const { return m_store; }
    Console *console() const { return m_console; }

    std::optional<QUuid> selection() const { return m_selection; }
    // A selection naming no profile selects nothing.
    void select(const std::optional<QUuid> &id);
    // Selects the active profile when nothing is selected (the pane is shown).
    void selectActiveIfNone();

    void addExisting();
    // The wizard added this profile.
    void added(const DomainProfile &profile);

    // Not the last profile, and not the active one while a command runs.
    bool canRemove() const;
    // Asks first; the pane shows the question and passes on the answer.
    void requestRemoval();
    const std::optional<AlertItem> &removalQuestion() const { return m_removalQuestion; }
    void answerRemoval(bool confirmed);

Q_SIGNALS:
    void selectionChanged();
    void canRemoveChanged();
    void removalQuestionChanged();

private:
    void remove(const QUuid &id);

    ProfileStore *m_store;
    Console *m_console;
    std::optional<QUuid> m_selection;
    std::optional<AlertItem> m_removalQuestion;
};
