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
// with a service and an account attribute.
const SecretSchema *schema() {
    static const SecretSchema generic = [] {
        SecretSchema value{};
        value.name = "org.freedesktop.Secret.Generic";
        value.flags = SECRET_SCHEMA_NONE;
        value.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        value.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        value.attributes[2] = {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING};
        return value;
    }();
    return &generic;
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

template <typename T, typename Work> QCoro::Task<T> onWorkerThread(Work work) {
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, work] {
        promise->addResult(work());
        promise->finish();
    });
    co_return co_await future;
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
    const Status status{false, error->code, QString::fromUtf8(error->message)};
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

QCoro::Task<std::optional<QString>> loadKey() {
    co_return co_await onWorkerThread<std::optional<QString>>(&lookup);
}

QCoro::Task<> saveKey(QString key) {
    const QByteArray bytes = key.toUtf8();
    const Status status = co_await onWorkerThread<Status>([bytes] {
        clear();
        return store(bytes);
    });
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
    co_await onWorkerThread<bool>([] {
        clear();
        return true;
    });
}

} // namespace APIKeyStore
