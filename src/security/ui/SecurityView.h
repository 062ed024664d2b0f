#pragma once

#include <QPointer>
#include <QWidget>

class CheckList;
class DesktopServices;
class PasswordSheet;
class ProfileStore;
class QScrollArea;
class SecurityModel;

// The Security tab: the target bar above the check list and the detail pane of
// the selected check; new passwords appear in a sheet over the window.
class SecurityView : public QWidget {
    Q_OBJECT
public:
    SecurityView(SecurityModel *model, ProfileStore *profiles, DesktopServices *desktop, QWidget *parent = nullptr);

    CheckList *checkList() const { return m_list; }

private:
    void showDetail();
    void showPasswordSheet();

    SecurityModel *m_model;
    DesktopServices *m_desktop;
    CheckList *m_list;
    QScrollArea *m_detail;
    QPointer<PasswordSheet> m_sheet;
};
