#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <functional>
#include <optional>

class QTcpSocket;

// One HTTP request as the local server received it.
struct ReceivedRequest {
    QByteArray method;
    QByteArray path;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
};

// A stand-in for the Messages API on 127.0.0.1 that the assistant's requests are
// pointed at (under IsolatedSettings): reads one request, then hands the
// connection to the test, which writes the reply when and as it likes.
class ReplayServer : public QObject {
public:
    ReplayServer();

    // Called once the whole request has arrived.
    std::function<void(QTcpSocket *)> respond;

    const std::optional<ReceivedRequest> &request() const { return m_request; }
    QTcpSocket *socket() const { return m_socket; }

private:
    void readRequest();

    QTcpServer m_server;
    QTcpSocket *m_socket = nullptr;
    QByteArray m_buffer;
    std::optional<ReceivedRequest> m_request;
};

// Pieces of a streamed Messages API reply.
QByteArray streamHead();
QByteArray sseEvent(const QByteArray &json);
QByteArray textStart(int index);
QByteArray blockStart(int index, const QByteArray &block);
QByteArray delta(int index, const QByteArray &deltaObject);
// text is put into a JSON string as it stands, so it must already be escaped.
QByteArray textDelta(int index, const QByteArray &text);
QByteArray stopReason(const QByteArray &reason);
QByteArray httpReply(int status, const QByteArray &reason, const QByteArray &contentType, const QByteArray &body);

// Replies with these bytes and closes the connection.
std::function<void(QTcpSocket *)> replyWith(QByteArray bytes);
