// The server-sent-events reader: how the bytes are split into chunks changes
// nothing, every visible-text update is the text blocks of that moment in index
// order, and the final visible text is the text blocks of the content array.
// The first byte picks the chunk size for the split feeding.
#include "Require.h"
#include "assistant/MessageStreamReader.h"

#include <cstdint>

namespace {

// The visible text as the content array holds it: its text blocks, in order.
QString textBlocks(const QJsonArray &content) {
    QString text;
    for (const QJsonValue &block : content) {
        if (block.toObject().value(QLatin1StringView("type")).toString() == QLatin1StringView("text"))
            text += block.toObject().value(QLatin1StringView("text")).toString();
    }
    return text;
}

struct Reading {
    QStringList updates;
    QJsonArray content;
    std::optional<QString> stopReason;
    std::optional<QString> error;
};

Reading read(QByteArrayView bytes, qsizetype chunk) {
    Reading reading;
    MessageStreamReader *current = nullptr;
    MessageStreamReader reader([&](const QString &visible) {
        require(!visible.isEmpty(), "updates are never empty");
        require(visible == textBlocks(current->contentArray()), "an update is the text blocks of its moment", visible);
        reading.updates.append(visible);
    });
    current = &reader;
    for (qsizetype at = 0; at < bytes.size(); at += chunk)
        reader.feed(bytes.sliced(at, std::min(chunk, bytes.size() - at)));
    reader.finish();
    reading.content = reader.contentArray();
    reading.stopReason = reader.stopReason();
    if (reader.error())
        reading.error = reader.error()->description();
    else
        require(reader.visibleText() == textBlocks(reading.content), "the visible text is the text blocks");
    return reading;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);
    const Reading whole = read(bytes, std::max<qsizetype>(bytes.size(), 1));
    const Reading split = read(bytes, data[0] % 7 + 1);
    require(split.updates == whole.updates, "chunking keeps the updates", split.updates, whole.updates);
    require(split.content == whole.content, "chunking keeps the content");
    require(split.stopReason == whole.stopReason && split.error == whole.error, "chunking keeps the outcome");
    return 0;
}
