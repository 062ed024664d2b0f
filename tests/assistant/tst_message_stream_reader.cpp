#include "TestSupport.h"

#include "assistant/MessageStreamReader.h"

#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace {

const QByteArray stream =
    "event: content_block_start\r\n"
    "data: {\"type\":\"content_block_start\",\"index\":0,\"content_block\":{\"type\":\"text\",\"text\":\"\"}}\r\n"
    "\r\n"
    "data: {\"type\":\"content_block_delta\",\"index\":0,\"delta\":{\"type\":\"text_delta\",\"text\":\"caf\xc3\xa9 "
    "\"}}\r\n"
    "data: "
    "{\"type\":\"content_block_delta\",\"index\":0,\"delta\":{\"type\":\"text_delta\",\"text\":\"\xf0\x9f\x98\x80\"}}\n"
    "data: {\"type\":\"content_block_delta\",\"index\":1.5,\"delta\":{\"type\":\"text_delta\",\"text\":\"x\"}}\n"
    "data: {\"type\":\"message_delta\",\"delta\":{\"stop_reason\":\"end_turn\"}}";

struct Result {
    QStringList updates;
    QJsonArray content;
    std::optional<QString> stopReason;
};

Result read(qsizetype chunkSize) {
    Result result;
    MessageStreamReader reader([&](const QString &text) { result.updates.append(text); });
    for (qsizetype at = 0; at < stream.size(); at += chunkSize)
        reader.feed(QByteArrayView(stream).sliced(at, std::min(chunkSize, stream.size() - at)));
    reader.finish();
    result.content = reader.contentArray();
    result.stopReason = reader.stopReason();
    return result;
}

} // namespace

class TestMessageStreamReader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void chunkBoundariesDoNotMatter() {
        const Result whole = read(stream.size());
        QCOMPARE(whole.updates, (QStringList{u"café "_s, u"café 😀"_s}));
        QCOMPARE(whole.stopReason, u"end_turn"_s);
        QCOMPARE(whole.content.size(), 1);
        QCOMPARE(whole.content[0].toObject().value("text"_L1).toString(), u"café 😀"_s);
        for (const qsizetype size : {1, 2, 3, 7, 64}) {
            const Result chunked = read(size);
            QCOMPARE(chunked.updates, whole.updates);
            QCOMPARE(chunked.content, whole.content);
            QCOMPARE(chunked.stopReason, whole.stopReason);
        }
    }

    void replacedBlockStartsOver() {
        QStringList updates;
        MessageStreamReader reader([&](const QString &text) { updates.append(text); });
        reader.feed(
            "data: "
            "{\"type\":\"content_block_start\",\"index\":0,\"content_block\":{\"type\":\"text\",\"text\":\"a\"}}\n"
            "data: {\"type\":\"content_block_start\",\"index\":1,\"content_block\":{\"type\":\"text\",\"text\":\"\"}}\n"
            "data: {\"type\":\"content_block_delta\",\"index\":1,\"delta\":{\"type\":\"text_delta\",\"text\":\"b\"}}\n"
            "data: "
            "{\"type\":\"content_block_start\",\"index\":0,\"content_block\":{\"type\":\"text\",\"text\":\"A\"}}\n"
            "data: {\"type\":\"content_block_delta\",\"index\":1,\"delta\":{\"type\":\"text_delta\",\"text\":\"c\"}}\n"
            "data: {\"type\":\"content_block_delta\",\"index\":0,\"delta\":{\"type\":\"text_delta\"}}\n");
        QCOMPARE(updates, (QStringList{u"ab"_s, u"Abc"_s, u"Abc"_s}));
    }
};

QTEST_GUILESS_MAIN(TestMessageStreamReader)
#include "tst_message_stream_reader.moc"
