#pragma once

#include "lengthprefixcodec.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpSocket>

namespace google::protobuf {
class Message;
}

// Plays a server application on a real loopback connection to the client's debug listener: sends
// envelopes framed as the debug port expects (4-byte big-endian length, payload) and collects the
// client's replies in arrival order. Waiting spins the event loop, so the client under test runs.
class ScriptedApplication : public QObject
{
    Q_OBJECT

public:
    explicit ScriptedApplication(QObject *parent = nullptr);

    bool connectTo(quint16 port, int timeoutMs = 5000);
    void disconnectFromClient();
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    bool waitForDisconnected(int timeoutMs);

    void sendRaw(const QByteArray &payload);
    void send(const google::protobuf::Message &envelope);
    // Several envelopes in one write, so the client reads them in one pass.
    void sendTogether(const QList<const google::protobuf::Message *> &envelopes);

    int replyCount() const { return m_replies.size(); }
    int unreadCount() const { return m_replies.size() - m_read; }
    // Waits for the next reply not yet taken; false on time-out.
    bool nextReply(google::protobuf::Message *envelope, int timeoutMs = 5000);
    // Runs the event loop for a while and reports whether any reply came meanwhile.
    bool quietFor(int ms);

private:
    void readFrames();

    QTcpSocket m_socket;
    LengthPrefixCodec m_codec;
    QList<QByteArray> m_replies;
    int m_read = 0;
};
