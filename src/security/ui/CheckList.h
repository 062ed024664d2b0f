#pragma once

#include "security/SecurityCheck.h"

#include <QHash>
#include <QTreeWidget>

class SecurityModel;

// The checks in two sections, in catalogue order; a finished check shows a mark.
class CheckList : public QTreeWidget {
    Q_OBJECT
public:
    explicit CheckList(SecurityModel *model, QWidget *parent = nullptr);

    QTreeWidgetItem *item(SecurityCheck check) const { return m_items.value(check); }

protected:
    // The keyboard moves from check to check, past the section headers.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    void addGroup(CheckGroup group);
    void refreshDone(SecurityCheck check);
    void showSelection();

    SecurityModel *m_model;
    QHash<SecurityCheck, QTreeWidgetItem *> m_items;
};
