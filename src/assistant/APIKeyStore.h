#pragma once

#include "core/Error.h"

#include <QCoroTask>
#include <QString>
#include <optional>

// Saving the key failed; description() is the keyring's own message.
class KeychainError : public Error {
public:
    KeychainError(int code, QString description)
        : Error(std::move(description))
        , m_code(code) {}

    int code() const { return m_code; }

private:
    int m_code;
};

// The assistant's Anthropic API key, kept only in the user's Secret Service
// keyring as one item (service and account attributes, with a label). Every
// keyring call runs on a worker thread, so none of these blocks the UI thread.
namespace APIKeyStore {

QString serviceName();
QString accountName();
QString itemLabel();

// The stored key, or none when there is no key or the keyring cannot be read.
QCoro::Task<std::optional<QString>> loadKey();
// Replaces the stored key. Throws KeychainError.
QCoro::Task<> saveKey(QString key);
// Removes the stored key, if any; failures leave the key where it was.
QCoro::Task<> deleteKey();

// From now on the key lives in this process only and the keyring is never opened
// (the practice window, which must not touch the user's keyring).
void keepInMemoryOnly();

} // namespace APIKeyStore
