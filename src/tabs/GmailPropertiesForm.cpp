#include "tabs/GmailPropertiesForm.h"

#include "tabs/GmailQuery.h"

GmailPropertiesForm::GmailPropertiesForm(QObject *parent)
    : QObject(parent)
    , m_targetFields(new MailTargetFields(this))
    , m_after(QDateTime::currentDateTime())
    , m_before(m_after) {}

template <typename T> void GmailPropertiesForm::assign(T &field, const T &value) {
    if (field == value)
        return;
    field = value;
    Q_EMIT changed();
}

void GmailPropertiesForm::setFrom(const QString &from) {
    assign(m_from, from);
}
void GmailPropertiesForm::setKeywords(const QString &keywords) {
    assign(m_keywords, keywords);
}
void GmailPropertiesForm::setUseAfter(bool use) {
    assign(m_useAfter, use);
}
void GmailPropertiesForm::setAfter(const QDateTime &after) {
    assign(m_after, after);
}
void GmailPropertiesForm::setUseBefore(bool use) {
    assign(m_useBefore, use);
}
void GmailPropertiesForm::setBefore(const QDateTime &before) {
    assign(m_before, before);
}

QString GmailPropertiesForm::query() const {
    return buildGmailQuery(m_from, m_keywords, m_useAfter ? std::optional(m_after) : std::nullopt,
                           m_useBefore ? std::optional(m_before) : std::nullopt);
}

void GmailPropertiesForm::clear() {
    m_targetFields->setEmail({});
    m_targetFields->setDomain({});
    setFrom({});
    setKeywords({});
    setUseAfter(false);
    setUseBefore(false);
}
