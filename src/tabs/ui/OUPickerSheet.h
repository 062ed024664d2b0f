#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QStringListModel;

// The sheet that lists a domain's OUs for the Drive form: filter, pick one,
// "Select" (or double-click, or Return on a row) hands it to onSelect and closes.
class OUPickerSheet : public QDialog {
    Q_OBJECT
public:
    OUPickerSheet(const QStringList &paths, std::function<void(const QString &path)> onSelect,
                  QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showFiltered();
    void refreshSelectButton();
    QString selectedPath() const;
    void choose(const QString &path);

    QStringList m_paths;
    std::function<void(const QString &path)> m_onSelect;
    QLineEdit *m_filter;
    QListView *m_list;
    QStringListModel *m_shown;
    QLabel *m_noMatches;
    QPushButton *m_select;
};
