#pragma once

#include <QWidget>

class AssistantKeySettings;
class QLineEdit;
class QPushButton;
class StatusLabel;

// Settings ▸ Assistant: the Anthropic API key kept in the system keyring. The
// stored key is never shown; a new one can replace it or it can be removed.
class AssistantSettingsPane : public QWidget {
    Q_OBJECT
public:
    explicit AssistantSettingsPane(AssistantKeySettings *settings, QWidget *parent = nullptr);

private:
    void refresh();
    void save();

    AssistantKeySettings *m_settings;
    StatusLabel *m_status;
    QLineEdit *m_key;
    StatusLabel *m_message;
    QPushButton *m_remove;
    QPushButton *m_save;
};
