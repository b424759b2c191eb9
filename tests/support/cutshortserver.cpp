#include "cutshortserver.h"

#include <QTcpSocket>

CutShortServer::CutShortServer(const QByteArray &fileName, QObject *parent)
    : QTcpServer(parent)
    , m_fileName(fileName)
{
    connect(this, &QTcpServer::newConnection, this, &CutShortServer::answer);
    listen(QHostAddress::LocalHost);
}

QString CutShortServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(serverPort()).arg(QString::fromLatin1(m_fileName));
}

void CutShortServer::answer()
{
    while (QTcpSocket *socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            socket->readAll();
            if (socket->state() != QAbstractSocket::ConnectedState)
                return; // answered already
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/pdf\r\nContent-Disposition: attachment; "
                          "filename=\"" + m_fileName + "\"\r\nContent-Length: "
                          + QByteArray::number(AnnouncedBytes) + "\r\n\r\n%PDF-1.4\n");
            socket->disconnectFromHost();
        });
    }
}
