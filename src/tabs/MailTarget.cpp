#include "tabs/MailTarget.h"

#include "core/Console.h"

using namespace Qt::StringLiterals;

MailTargetFields::MailTargetFields(QObject *parent)
    : QObject(parent) {}

void MailTargetFields::setTarget(MailTarget target) {
    if (m_target == target)
        return;
    m_target = target;
    Q_EMIT changed();
}

void MailTargetFields::setEmail(const QString &email) {
    if (m_email == email)
        return;
    m_email = email;
    Q_EMIT changed();
}

void MailTargetFields::setDomain(const QString &domain) {
    if (m_domain == domain)
        return;
    m_domain = domain;
    Q_EMIT changed();
}

QStringList MailTargetFields::targetArguments() const {
    switch (m_target) {
    case MailTarget::specific:
        return {u"user"_s, m_email.trimmed()};
    case MailTarget::domain:
        return {u"domains_ns"_s, m_domain.trimmed()};
    case MailTarget::all:
        break;
    }
    return {u"query"_s, u"isSuspended=false"_s};
}

QString MailTargetFields::targetDescription() const {
    switch (m_target) {
    case MailTarget::specific:
        return m_email.trimmed();
    case MailTarget::domain:
        return u"all active users in @"_s + m_domain.trimmed();
    case MailTarget::all:
        break;
    }
    return u"all active (non-suspended) mailboxes"_s;
}

bool MailTargetFields::checkTarget(Console &console) const {
    if (m_target == MailTarget::specific && m_email.trimmed().isEmpty()) {
        console.showAlert(u"Missing Input"_s, u"Please enter a mailbox owner email address."_s);
        return false;
    }
    if (m_target == MailTarget::domain && m_domain.trimmed().isEmpty()) {
        console.showAlert(u"Missing Input"_s, u"Please enter a domain (e.g. "_s + sampleDomain() + u")."_s);
        return false;
    }
    return true;
}

QString MailTargetFields::sampleUser() {
    return u"jsmith@school.example.org"_s;
}

QString MailTargetFields::sampleDomain() {
    return u"school.example.org"_s;
}
