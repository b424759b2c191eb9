#pragma once

#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

// A peer on 127.0.0.1 that accepts connections and never says a word: a frozen hub, or anything
// that is not one. The connections stay open until the test closes them.
class SilentPeer : public QTcpServer
{
public:
    SilentPeer()
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                held << socket;
        });
    }

    QList<QTcpSocket *> held;
};
