#include "socketapplink.h"

#include "latencyline.h"

#include <QTcpSocket>
#include <QTimer>

SocketAppLink::SocketAppLink(QObject *parent)
    : AppLink(parent)
    , m_socket(new QTcpSocket(this))
    , m_line(new LatencyLine(m_socket, 0, this))
{
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        m_connected = true;
        emit connected();
    });
    connect(m_socket, &QTcpSocket::readyRead, this, &SocketAppLink::readMessages);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &SocketAppLink::bytesWritten);
    connect(m_socket, &QTcpSocket::disconnected, this, &SocketAppLink::socketGone);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (!m_connected) {
            m_closed = true;
            emit connectFailed(m_socket->errorString());
        } else if (m_socket->state() != QAbstractSocket::ConnectedState) {
            socketGone();
        }
    });
}

SocketAppLink::~SocketAppLink()
{
    if (m_socket)
        m_socket->abort();
}

void SocketAppLink::setLatency(int ms)
{
    m_line->setLatency(ms);
}

void SocketAppLink::connectToClient(const QString &host, quint16 port)
{
    m_peer = QStringLiteral("%1:%2").arg(host).arg(port);
    m_socket->connectToHost(host, port);
    QTimer::singleShot(ConnectTimeoutMs, this, [this] {
        if (!m_connected && !m_closed) {
            m_closed = true;
            m_socket->abort();
            emit connectFailed(QStringLiteral("Connection timed out"));
        }
    });
}

void SocketAppLink::sendMessage(const QByteArray &message)
{
    if (m_closed || !m_connected)
        return;
    m_line->write(LengthPrefixCodec::encode(message));
    if (!m_congested && m_line->heldBytes() + m_socket->bytesToWrite() > HighWater)
        m_congested = true;
}

void SocketAppLink::close()
{
    if (m_closed)
        return;
    m_closed = true;
    // Sends what is queued first; the application's last output is not lost.
    m_line->flush();
    m_socket->disconnectFromHost();
}

bool SocketAppLink::isCongested() const
{
    return m_congested;
}

QString SocketAppLink::description() const
{
    return m_peer;
}

void SocketAppLink::bytesWritten()
{
    if (m_congested && m_line->heldBytes() + m_socket->bytesToWrite() < LowWater) {
        m_congested = false;
        emit drained();
    }
}

void SocketAppLink::readMessages()
{
    if (m_closed || !m_socket)
        return;
    m_codec.feed(m_socket->readAll());
    QByteArray message;
    while (!m_closed && m_socket) {
        const LengthPrefixCodec::Result result = m_codec.next(&message);
        if (result == LengthPrefixCodec::Result::NeedMore)
            return;
        if (result == LengthPrefixCodec::Result::Error) {
            qWarning().noquote() << QStringLiteral("%1: %2; closing").arg(m_peer, m_codec.errorText());
            m_socket->abort();
            socketGone();
            return;
        }
        emit messageReceived(message);
    }
}

void SocketAppLink::socketGone()
{
    const bool wasOpen = m_connected;
    m_connected = false;
    if (!wasOpen)
        return;
    m_closed = true;
    emit closed();
}
