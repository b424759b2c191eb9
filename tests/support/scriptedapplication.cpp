#include "scriptedapplication.h"

#include "lengthprefixcodec.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTest>

#include <google/protobuf/message.h>

namespace {
constexpr int PollMs = 5;
} // namespace

ScriptedApplication::ScriptedApplication(QObject *parent)
    : QObject(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &ScriptedApplication::readFrames);
}

bool ScriptedApplication::connectTo(quint16 port, int timeoutMs)
{
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    return m_socket.waitForConnected(timeoutMs);
}

void ScriptedApplication::disconnectFromClient()
{
    m_socket.disconnectFromHost();
}

bool ScriptedApplication::waitForDisconnected(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (isConnected() && !deadline.hasExpired())
        QTest::qWait(PollMs);
    return !isConnected();
}

void ScriptedApplication::sendRaw(const QByteArray &payload)
{
    m_socket.write(LengthPrefixCodec::encode(payload));
    m_socket.flush();
}

void ScriptedApplication::send(const google::protobuf::Message &envelope)
{
    sendRaw(QByteArray::fromStdString(envelope.SerializeAsString()));
}

void ScriptedApplication::sendTogether(const QList<const google::protobuf::Message *> &envelopes)
{
    QByteArray bytes;
    for (const google::protobuf::Message *envelope : envelopes)
        bytes += LengthPrefixCodec::encode(QByteArray::fromStdString(envelope->SerializeAsString()));
    m_socket.write(bytes);
    m_socket.flush();
}

void ScriptedApplication::readFrames()
{
    m_codec.feed(m_socket.readAll());
    QByteArray message;
    while (m_codec.next(&message) == LengthPrefixCodec::Result::Message)
        m_replies.append(message);
}

bool ScriptedApplication::nextReply(google::protobuf::Message *envelope, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (unreadCount() == 0 && !deadline.hasExpired())
        QTest::qWait(PollMs);
    if (unreadCount() == 0)
        return false;
    const QByteArray bytes = m_replies.at(m_read++);
    return envelope->ParseFromArray(bytes.constData(), bytes.size());
}

bool ScriptedApplication::quietFor(int ms)
{
    const int before = m_replies.size();
    QTest::qWait(ms);
    return m_replies.size() == before;
}
