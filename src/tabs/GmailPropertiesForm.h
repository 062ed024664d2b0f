#pragma once

#include "tabs/MailTarget.h"

#include <QDateTime>
#include <QObject>

// The properties mode: a target, sender, keywords and an optional date window.
class GmailPropertiesForm : public QObject {
    Q_OBJECT
public:
    explicit GmailPropertiesForm(QObject *parent = nullptr);

    MailTargetFields *targetFields() const { return m_targetFields; }

    QString from() const { return m_from; }
    QString keywords() const { return m_keywords; }
    bool useAfter() const { return m_useAfter; }
    QDateTime after() const { return m_after; }
    bool useBefore() const { return m_useBefore; }
    QDateTime before() const { return m_before; }
    void setFrom(const QString &from);
    void setKeywords(const QString &keywords);
    void setUseAfter(bool use);
    void setAfter(const QDateTime &after);
    void setUseBefore(bool use);
    void setBefore(const QDateTime &before);

    // The Gmail search string sent to gam and shown on screen.
    QString query() const;
    // Empties the texts and switches both dates off; the target choice and the dates stay.
    void clear();

Q_SIGNALS:
    void changed();

private:
    template <typename T> void assign(T &field, const T &value);

    MailTargetFields *m_targetFields;
    QString m_from;
    QString m_keywords;
    bool m_useAfter = false;
    QDateTime m_after;
    bool m_useBefore = false;
    QDateTime m_before;
};
