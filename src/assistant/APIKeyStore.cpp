#include "assistant/APIKeyStore.h"

#include "core/PlatformTexts.h"

#include <QCoroFuture>
#include <QFuture>
#include <QPromise>
#include <QStringDecoder>
#include <QThreadPool>
#include <memory>

#include <libsecret/secret.h>

using namespace Qt::StringLiterals;

namespace APIKeyStore {

namespace {

// The Secret Service counterpart of a generic-password item: the generic schema
// with a service and an account attribute. Items are found by those two alone,
// so one stored by another tool (secret-tool, say) is read and replaced too.
const SecretSchema *schema() {
    static const SecretSchema generic = [] {
        SecretSchema value{};
        value.name = "org.freedesktop.Secret.Generic";
        value.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        value.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        value.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        value.attributes[2] = {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING};
        return value;
    }();
    return &generic;
}

// The key of a process that keeps it in memory only; used on the main thread alone.
struct MemoryOnly {
    bool enabled = false;
    std::optional<QString> key;
};

MemoryOnly &memoryOnly() {
    static MemoryOnly state;
    return state;
}

struct Attributes {
    QByteArray service = serviceName().toUtf8();
    QByteArray account = accountName().toUtf8();
};

struct Status {
    bool saved = true;
    int code = 0;
    QString message;
};

// Runs a blocking libsecret call on the thread pool.
template <typename T, typename Work> QFuture<T> onWorkerThread(Work work) {
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, work] {
        promise->addResult(work());
        promise->finish();
    });
    return future;
}

std::optional<QString> lookup() {
    const Attributes attributes;
    GError *error = nullptr;
    SecretValue *value =
        secret_password_lookup_binary_sync(schema(), nullptr, &error, "service", attributes.service.constData(),
                                           "account", attributes.account.constData(), nullptr);
    if (error)
        g_error_free(error);
    if (!value)
        return std::nullopt;
    gsize length = 0;
    const gchar *bytes = secret_value_get(value, &length);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString key = decoder(QByteArrayView(bytes, static_cast<qsizetype>(length)));
    const bool valid = !decoder.hasError() && !key.isEmpty();
    secret_value_unref(value);
    if (!valid)
        return std::nullopt;
    return key;
}

void clear() {
    const Attributes attributes;
    GError *error = nullptr;
    secret_password_clear_sync(schema(), nullptr, &error, "service", attributes.service.constData(), "account",
                               attributes.account.constData(), nullptr);
    if (error)
        g_error_free(error);
}

Status store(const QByteArray &key) {
    const Attributes attributes;
    const QByteArray label = itemLabel().toUtf8();
    GError *error = nullptr;
    secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.constData(), key.constData(), nullptr, &error,
                               "service", attributes.service.constData(), "account", attributes.account.constData(),
                               nullptr);
    if (!error)
        return {};
    Status status{false, error->code, QString::fromUtf8(error->message)};
    // Without a session bus or a Secret Service there is no keyring to give a
    // message, only the bus's terse one; say which part is missing.
    const bool unreachable = error->domain == G_IO_ERROR ||
                             g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
                             g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER);
    if (unreachable && !status.message.isEmpty())
        status.message = "Couldn't reach "_L1 + PlatformTexts::yourKeychain() + ": "_L1 + status.message;
    g_error_free(error);
    return status;
}

} // namespace

QString serviceName() {
    return u"org.tarnwick.Tarnwick.anthropic-api-key"_s;
}

QString accountName() {
    return u"default"_s;
}

QString itemLabel() {
    return u"Tarnwick – Anthropic API key"_s;
}

void keepInMemoryOnly() {
    memoryOnly().enabled = true;
}

QCoro::Task<std::optional<QString>> loadKey() {
    if (memoryOnly().enabled) {
        std::optional<QString> key = memoryOnly().key; // QCoro 0.8 moves from a co_returned lvalue
        co_return key;
    }
    co_return co_await onWorkerThread<std::optional<QString>>(&lookup);
}

QCoro::Task<> saveKey(QString key) {
    if (memoryOnly().enabled) {
        memoryOnly().key = key;
        co_return;
    }
    // Built in its own statement: GCC 12 destroys a closure that is a temporary
    // of a co_await expression twice.
    const QFuture<Status> saving = onWorkerThread<Status>([bytes = key.toUtf8()] {
        clear();
        return store(bytes);
    });
    const Status status = co_await saving;
    if (status.saved)
        co_return;
    QString description = status.message;
    if (description.isEmpty()) {
        QString keyring = PlatformTexts::keychain();
        keyring[0] = keyring[0].toUpper();
        description = keyring + " error "_L1 + QString::number(status.code);
    }
    throw KeychainError(status.code, description);
}

QCoro::Task<> deleteKey() {
    if (memoryOnly().enabled) {
        memoryOnly().key.reset();
        co_return;
    }
    co_await onWorkerThread<bool>([] {
        clear();
        return true;
    });
}

} // namespace APIKeyStore
