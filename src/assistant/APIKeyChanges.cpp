#include "assistant/APIKeyChanges.h"

APIKeyChanges *APIKeyChanges::instance() {
    static APIKeyChanges changes;
    return &changes;
}

void APIKeyChanges::post() {
    Q_EMIT instance()->keyChanged();
}
