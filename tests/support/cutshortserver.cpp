#include "cutshortserver.h"

#include "testcertificates.h"

#include <QSslSocket>
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
    return QStringLiteral("%1://127.0.0.1:%2/%3")
        .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(serverPort())
        .arg(QString::fromLatin1(m_fileName));
}

void CutShortServer::incomingConnection(qintptr descriptor)
{
    ++m_connections;
    if (!m_tls) {
        QTcpServer::incomingConnection(descriptor);
        return;
    }
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setLocalCertificateChain(TestCertificates::instance().hubChain());
    socket->setPrivateKey(TestCertificates::instance().hubKey());
    socket->startServerEncryption();
    addPendingConnection(socket);
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
