#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class Console;

// Whose mailboxes an operation covers, in the order of the picker.
enum class MailTarget { specific, domain, all };

// The target choice of one form; never shared between forms.
class MailTargetFields : public QObject {
    Q_OBJECT
public:
    explicit MailTargetFields(QObject *parent = nullptr);

    MailTarget target() const { return m_target; }
    QString email() const { return m_email; }
    QString domain() const { return m_domain; }
    void setTarget(MailTarget target);
    void setEmail(const QString &email);
    void setDomain(const QString &domain);

    // The words that name the mailboxes in a gam command.
    QStringList targetArguments() const;
    // The text used in log headers and confirmations.
    QString targetDescription() const;
    // True when the chosen target is complete; otherwise shows a "Missing Input" alert.
    bool checkTarget(Console &console) const;

    static QString sampleUser();
    static QString sampleDomain();

Q_SIGNALS:
    void changed();

private:
    MailTarget m_target = MailTarget::specific;
    QString m_email;
    QString m_domain;
};
