#include "sockettranceiver.h"

#include <QDebug>
#include <QTcpSocket>
#include <QTimer>

SocketTranceiver::SocketTranceiver(QTcpSocket *socket, QObject *parent)
    : AppTranceiver(parent)
    , m_socket(socket)
{
    socket->setParent(this);
    socket->setReadBufferSize(ReadBufferBytes);
    connect(socket, &QTcpSocket::disconnected, this, &SocketTranceiver::socketDisconnected);
    connect(socket, &QTcpSocket::errorOccurred, this, &SocketTranceiver::socketError);
    connect(socket, &QTcpSocket::readyRead, this, &SocketTranceiver::socketReadyRead);
    if (socket->bytesAvailable() > 0)
        QTimer::singleShot(0, this, &SocketTranceiver::socketReadyRead);
}

SocketTranceiver::~SocketTranceiver()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->disconnectFromHost();
    }
}

void SocketTranceiver::rawMessageSend(QByteArray data, QByteArray)
{
    if (m_socket)
        m_socket->write(LengthPrefixCodec::encode(data));
}

void SocketTranceiver::socketDisconnected()
{
    emit disconnected();
}

void SocketTranceiver::socketError(QAbstractSocket::SocketError error)
{
    qDebug() << "socketError(" << error << ") :" << (m_socket ? m_socket->errorString() : QString());
}

void SocketTranceiver::socketReadyRead()
{
    if (m_reading || !m_socket)
        return;
    m_reading = true;
    m_codec.feed(m_socket->readAll());
    // A handler may delete this transport (and the socket) while a message is delivered.
    QPointer<SocketTranceiver> self(this);
    QByteArray message;
    while (self && m_socket) {
        const LengthPrefixCodec::Result result = m_codec.next(&message);
        if (result == LengthPrefixCodec::Result::NeedMore)
            break;
        if (result == LengthPrefixCodec::Result::Error) {
            qCritical() << "SocketTranceiver::socketReadyRead() -" << m_codec.errorText()
                        << "; closing the debug connection";
            m_socket->abort();
            break;
        }
        processIncomingMessage(message.constData(), message.size());
    }
    if (self)
        m_reading = false;
}
