#pragma once

#include "tabs/ListValues.h"
#include "tabs/MailTarget.h"

#include <QObject>
#include <QStringList>

// The form of the two list modes: a target and one value per line.
class GmailListForm : public QObject {
    Q_OBJECT
public:
    explicit GmailListForm(QObject *parent = nullptr);

    MailTargetFields *targetFields() const { return m_targetFields; }
    QString text() const { return m_text; }
    void setText(const QString &text);

    // The typed lines, trimmed of spaces and tabs, blank ones dropped; order and duplicates kept.
    QStringList values() const;
    void clear();

Q_SIGNALS:
    void changed();

private:
    MailTargetFields *m_targetFields;
    QString m_text;
};
