#include "sockettranceiver.h"

#include <QDebug>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

namespace {
constexpr int HeaderSize = 4;
}

SocketTranceiver::SocketTranceiver(QTcpSocket *socket, QObject *parent)
    : AppTranceiver(parent)
    , m_socket(socket)
{
    socket->setParent(this);
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

void SocketTranceiver::rawMessageSend(QByteArray data)
{
    if (!m_socket)
        return;
    uchar header[HeaderSize];
    qToBigEndian<quint32>(quint32(data.size()), header);
    m_socket->write(reinterpret_cast<const char *>(header), HeaderSize);
    m_socket->write(data);
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
    if (m_reading)
        return;
    m_reading = true;
    // A handler may delete this transport (and the socket) while a message is delivered.
    QPointer<SocketTranceiver> self(this);
    while (self && m_socket) {
        if (!m_headerRead) {
            const qint64 available = m_socket->bytesAvailable();
            if (available < HeaderSize) {
                if (available > 0)
                    qDebug() << "WARNING: Message header fragmented. (" << available << "/" << HeaderSize
                             << ")";
                break;
            }
            uchar header[HeaderSize];
            m_socket->read(reinterpret_cast<char *>(header), HeaderSize);
            m_expectedLength = qFromBigEndian<quint32>(header);
            m_headerRead = true;
            if (m_expectedLength > MaxMessageLength) {
                qCritical() << "SocketTranceiver::socketReadyRead() - message of" << m_expectedLength
                            << "bytes exceeds the limit of" << MaxMessageLength
                            << "; closing the debug connection";
                m_socket->abort();
                break;
            }
        }
        const qint64 available = m_socket->bytesAvailable();
        if (available < qint64(m_expectedLength)) {
            qDebug() << "WARNING: Message fragmented. (" << available << "/" << m_expectedLength << ")";
            break;
        }
        const QByteArray message = m_socket->read(m_expectedLength);
        m_headerRead = false;
        processIncomingMessage(message.constData(), message.size());
    }
    if (self)
        m_reading = false;
}
