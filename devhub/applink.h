#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The road between one demo application and the client: a hub channel or a debug-port connection.
// Either way it carries whole application messages, tells when the client has gone, and reports
// congestion so that a chatty program waits for a slow client instead of filling the hub's memory.
class AppLink : public QObject
{
    Q_OBJECT

public:
    explicit AppLink(QObject *parent = nullptr)
        : QObject(parent)
    { }

    virtual void sendMessage(const QByteArray &message) = 0;
    // The application has ended: tell the client and release the link.
    virtual void close() = 0;
    // Too much is queued towards the client; wait for drained() before producing more.
    virtual bool isCongested() const = 0;
    // For log lines: "channel 3" or "127.0.0.1:5000".
    virtual QString description() const = 0;

signals:
    void messageReceived(const QByteArray &message);
    // The client side is gone; the application must end.
    void closed();
    void drained();
};
