#pragma once

#include <QObject>
#include <QStringList>
#include <QUuid>

class AssistantModel;
class ClassroomModel;
class Console;
class CustomCommandModel;
class DriveModel;
class GmailModel;
class DesktopServices;
class GAMSetup;
class ProfileStore;
class SecurityModel;
struct DomainProfile;

// The application's long-lived objects: the one console, the tab models and
// the GAM setup check, plus the domain switch and the quit guard.
class AppModel : public QObject {
    Q_OBJECT
public:
    AppModel(ProfileStore *profiles, DesktopServices *desktop, QObject *parent = nullptr);
    ~AppModel() override;

    ProfileStore *profiles() const { return m_profiles; }
    Console *console() const { return m_console; }
    AssistantModel *assistant() const { return m_assistant; }
    GmailModel *gmail() const { return m_gmail; }
    DriveModel *drive() const { return m_drive; }
    ClassroomModel *classroom() const { return m_classroom; }
    CustomCommandModel *custom() const { return m_custom; }
    SecurityModel *security() const { return m_security; }
    GAMSetup *setup() const { return m_setup; }

    // A practice window runs on simulated districts with settings of its own; set before the window is built.
    bool isPractice() const { return m_practice; }
    void setPractice(bool practice) { m_practice = practice; }

    // The start-up check; runs beside the console's task, never as it.
    void startCheck();

    // The domain picker's choice: ignored when it is already active or while a task runs.
    void chooseDomain(const QUuid &id);
    // Called once the store has made `profile` active.
    void switchDomain(const DomainProfile &profile);

    bool needsQuitConfirmation() const;
    // The paragraphs of the quit confirmation, one per reason to stay.
    QStringList quitWarnings() const;

private:
    void followActiveProfile();

    ProfileStore *m_profiles;
    // Created in this order, the order of the application's overview.
    Console *m_console;
    AssistantModel *m_assistant;
    GmailModel *m_gmail;
    DriveModel *m_drive;
    ClassroomModel *m_classroom;
    CustomCommandModel *m_custom;
    SecurityModel *m_security;
    GAMSetup *m_setup;
    QUuid m_activeID;
    bool m_practice = false;
};
