#include "ReplayServer.h"

#include "assistant/AnthropicRequest.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

ReplayServer::ReplayServer() {
    if (!m_server.listen(QHostAddress::LocalHost))
        qFatal("the replay server cannot listen: %s", qPrintable(m_server.errorString()));
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        m_socket = m_server.nextPendingConnection();
        connect(m_socket, &QTcpSocket::readyRead, this, [this] { readRequest(); });
    });
    QSettings().setValue(AnthropicRequest::baseURLSetting,
                         QString(u"http://127.0.0.1:"_s + QString::number(m_server.serverPort())));
}

void ReplayServer::readRequest() {
    m_buffer += m_socket->readAll();
    const qsizetype headEnd = m_buffer.indexOf("\r\n\r\n");
    if (headEnd < 0 || m_request)
        return;
    ReceivedRequest request;
    const QList<QByteArray> lines = m_buffer.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    qsizetype contentLength = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        const QByteArray name = lines[i].left(colon).trimmed();
        const QByteArray value = lines[i].mid(colon + 1).trimmed();
        request.headers.append({name, value});
        if (name.compare("content-length", Qt::CaseInsensitive) == 0)
            contentLength = value.toLongLong();
    }
    if (m_buffer.size() < headEnd + 4 + contentLength)
        return;
    request.body = m_buffer.mid(headEnd + 4, contentLength);
    m_request = request;
    if (respond)
        respond(m_socket);
}

QByteArray streamHead() {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nConnection: close\r\n\r\n";
}

QByteArray sseEvent(const QByteArray &json) {
    const QByteArray type = QJsonDocument::fromJson(json).object().value("type"_L1).toString().toUtf8();
    return "event: " + type + "\ndata: " + json + "\n\n";
}

QByteArray textStart(int index) {
    return sseEvent(R"({"type":"content_block_start","index":)" + QByteArray::number(index) +
                    R"(,"content_block":{"type":"text","text":""}})");
}

QByteArray blockStart(int index, const QByteArray &block) {
    return sseEvent(R"({"type":"content_block_start","index":)" + QByteArray::number(index) + R"(,"content_block":)" +
                    block + "}");
}

QByteArray delta(int index, const QByteArray &deltaObject) {
    return sseEvent(R"({"type":"content_block_delta","index":)" + QByteArray::number(index) + R"(,"delta":)" +
                    deltaObject + "}");
}

QByteArray textDelta(int index, const QByteArray &text) {
    return delta(index, R"({"type":"text_delta","text":")" + text + R"("})");
}

QByteArray stopReason(const QByteArray &reason) {
    return sseEvent(R"({"type":"message_delta","delta":{"stop_reason":")" + reason +
                    R"("},"usage":{"output_tokens":9}})");
}

QByteArray httpReply(int status, const QByteArray &reason, const QByteArray &contentType, const QByteArray &body) {
    return "HTTP/1.1 " + QByteArray::number(status) + " " + reason + "\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

std::function<void(QTcpSocket *)> replyWith(QByteArray bytes) {
    return [bytes](QTcpSocket *socket) {
        socket->write(bytes);
        socket->disconnectFromHost();
    };
}
