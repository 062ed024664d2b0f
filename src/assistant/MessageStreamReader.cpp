#include "assistant/MessageStreamReader.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

std::optional<int> integerMember(const QJsonObject &object, QLatin1StringView key) {
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number != std::floor(number) || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(number);
}

} // namespace

QString MessageStreamReader::Block::type() const {
    return object.value("type"_L1).toString();
}

QString MessageStreamReader::Block::currentText() const {
    return textTouched ? text : object.value("text"_L1).toString();
}

QJsonObject MessageStreamReader::Block::finished() const {
    QJsonObject result = object;
    if (textTouched)
        result.insert("text"_L1, text);
    if (thinkingTouched)
        result.insert("thinking"_L1, thinking);
    return result;
}

MessageStreamReader::MessageStreamReader(VisibleTextHandler onVisibleText)
    : m_onVisibleText(std::move(onVisibleText)) {}

void MessageStreamReader::feed(QByteArrayView bytes) {
    if (m_error)
        return;
    const qsizetype searchFrom = m_pending.size();
    m_pending.append(bytes);
    qsizetype lineStart = 0;
    qsizetype newline = m_pending.indexOf('\n', searchFrom);
    while (newline >= 0 && !m_error) {
        handleLine(QByteArrayView(m_pending).sliced(lineStart, newline - lineStart));
        lineStart = newline + 1;
        newline = m_pending.indexOf('\n', lineStart);
    }
    m_pending.remove(0, lineStart);
}

void MessageStreamReader::finish() {
    if (!m_error && !m_pending.isEmpty())
        handleLine(m_pending);
    m_pending.clear();
}

void MessageStreamReader::handleLine(QByteArrayView line) {
    if (line.endsWith('\r'))
        line.chop(1);
    constexpr QByteArrayView prefix("data: ");
    if (!line.startsWith(prefix))
        return;
    const QJsonDocument document = QJsonDocument::fromJson(line.sliced(prefix.size()).toByteArray());
    if (!document.isObject())
        return;
    const QJsonObject event = document.object();
    const QJsonValue type = event.value("type"_L1);
    if (!type.isString())
        return;
    const QString name = type.toString();
    if (name == "content_block_start"_L1) {
        handleBlockStart(event);
    } else if (name == "content_block_delta"_L1) {
        handleBlockDelta(event);
    } else if (name == "message_delta"_L1) {
        const QJsonValue reason = event.value("delta"_L1).toObject().value("stop_reason"_L1);
        if (reason.isString())
            m_stopReason = reason.toString();
    } else if (name == "error"_L1) {
        const QJsonValue message = event.value("error"_L1).toObject().value("message"_L1);
        m_error = AssistantError::stream(message.isString() ? message.toString()
                                                            : u"The response stream reported an error."_s);
    }
}

void MessageStreamReader::handleBlockStart(const QJsonObject &event) {
    const std::optional<int> index = integerMember(event, "index"_L1);
    const QJsonValue block = event.value("content_block"_L1);
    if (!index || !block.isObject())
        return;
    m_blocks.insert(*index, Block{block.toObject(), {}, {}, false, false});
    m_visibleTextStale = true;
}

void MessageStreamReader::handleBlockDelta(const QJsonObject &event) {
    const std::optional<int> index = integerMember(event, "index"_L1);
    const QJsonValue deltaValue = event.value("delta"_L1);
    if (!index || !deltaValue.isObject())
        return;
    const auto found = m_blocks.find(*index);
    if (found == m_blocks.end())
        return;
    Block &block = found.value();
    const QJsonObject delta = deltaValue.toObject();
    const QString deltaType = delta.value("type"_L1).toString();
    if (deltaType == "text_delta"_L1) {
        if (!block.textTouched) {
            block.text = block.object.value("text"_L1).toString();
            block.textTouched = true;
        }
        const QString piece = delta.value("text"_L1).toString();
        block.text += piece;
        if (block.type() == "text"_L1) {
            if (!m_visibleTextStale && m_lastTextIndex == *index)
                m_visibleText += piece;
            else
                m_visibleTextStale = true;
        }
    } else if (deltaType == "thinking_delta"_L1) {
        if (!block.thinkingTouched) {
            block.thinking = block.object.value("thinking"_L1).toString();
            block.thinkingTouched = true;
        }
        block.thinking += delta.value("thinking"_L1).toString();
    } else if (deltaType == "signature_delta"_L1) {
        if (delta.contains("signature"_L1))
            block.object.insert("signature"_L1, delta.value("signature"_L1));
        else
            block.object.remove("signature"_L1);
    }
    const QString visible = visibleText();
    if (!visible.isEmpty() && m_onVisibleText)
        m_onVisibleText(visible);
}

QString MessageStreamReader::visibleText() const {
    if (m_visibleTextStale)
        recomputeVisibleText();
    return m_visibleText;
}

void MessageStreamReader::recomputeVisibleText() const {
    m_visibleText.clear();
    m_lastTextIndex.reset();
    for (auto it = m_blocks.cbegin(); it != m_blocks.cend(); ++it) {
        if (it->type() != "text"_L1)
            continue;
        m_visibleText += it->currentText();
        m_lastTextIndex = it.key();
    }
    m_visibleTextStale = false;
}

QJsonArray MessageStreamReader::contentArray() const {
    QList<QJsonObject> blocks;
    blocks.reserve(m_blocks.size());
    for (const Block &block : m_blocks)
        blocks.append(block.finished());

    qsizetype lastFallback = -1;
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        if (blocks[i].value("type"_L1).toString() == "fallback"_L1)
            lastFallback = i;
    }
    QJsonArray content;
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        const QString type = blocks[i].value("type"_L1).toString();
        const bool superseded =
            i < lastFallback && (type == "thinking"_L1 || type == "redacted_thinking"_L1 || type == "tool_use"_L1);
        if (!superseded)
            content.append(blocks[i]);
    }
    return content;
}
