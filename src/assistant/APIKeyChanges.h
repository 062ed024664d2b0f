#pragma once

#include <QObject>

// The process-wide announcement that the stored API key was saved or removed, so
// whoever holds a key state (the assistant) reads it again.
class APIKeyChanges : public QObject {
    Q_OBJECT
public:
    static APIKeyChanges *instance();
    static void post();

Q_SIGNALS:
    void keyChanged();
};
