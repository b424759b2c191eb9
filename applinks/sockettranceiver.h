#pragma once

#include "apptranceiver.h"

#include "lengthprefixcodec.h"

#include <QAbstractSocket>
#include <QPointer>

class QTcpSocket;

// An application that connected straight to the client's debug listener. Messages are framed as
// a 4-byte big-endian length and the serialized envelope; nothing else.
class SocketTranceiver : public AppTranceiver
{
    Q_OBJECT

public:
    // What one read pass may find waiting: a flood (a program printing 1 GB) is then taken a slice
    // per turn of the event loop, and TCP holds the rest back, so the desktop keeps responding.
    static constexpr qint64 ReadBufferBytes = 256 * 1024;

    // Takes ownership of the socket. Bytes it already holds are read on the next turn of the event
    // loop, so that the owner can connect to appTypeChanged() first.
    explicit SocketTranceiver(QTcpSocket *socket, QObject *parent = nullptr);
    ~SocketTranceiver() override;

public slots:
    // Debug connections are never recorded: the redacted form is not needed.
    void rawMessageSend(QByteArray data, QByteArray redacted = QByteArray()) override;

private slots:
    void socketDisconnected();
    void socketReadyRead();
    void socketError(QAbstractSocket::SocketError error);

private:
    QPointer<QTcpSocket> m_socket;
    LengthPrefixCodec m_codec;
    bool m_reading = false;
};
