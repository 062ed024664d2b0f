#include "tabs/GmailListForm.h"

GmailListForm::GmailListForm(QObject *parent)
    : QObject(parent)
    , m_targetFields(new MailTargetFields(this)) {}

void GmailListForm::setText(const QString &text) {
    if (m_text == text)
        return;
    m_text = text;
    Q_EMIT changed();
}

QStringList GmailListForm::values() const {
    return splitListValues(m_text);
}

void GmailListForm::clear() {
    m_targetFields->setEmail({});
    m_targetFields->setDomain({});
    setText({});
}
