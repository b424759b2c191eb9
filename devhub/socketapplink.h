#pragma once

#include "applink.h"

#include "lengthprefixcodec.h"

#include <QPointer>

class LatencyLine;
class QTcpSocket;

// A demo application's connection to a client's debug listener: plain TCP, every message a 4-byte
// big-endian length followed by that many bytes. A length beyond the codec's limit ends the
// connection instead of being waited for.
class SocketAppLink : public AppLink
{
    Q_OBJECT

public:
    static constexpr qint64 HighWater = 4 * 1024 * 1024;
    static constexpr qint64 LowWater = 1024 * 1024;
    static constexpr int ConnectTimeoutMs = 10000;

    explicit SocketAppLink(QObject *parent = nullptr);
    ~SocketAppLink() override;

    // Before connecting: what is sent is held this long first (--latency).
    void setLatency(int ms);
    void connectToClient(const QString &host, quint16 port);

    void sendMessage(const QByteArray &message) override;
    void close() override;
    bool isCongested() const override;
    QString description() const override;

signals:
    void connected();
    void connectFailed(const QString &error);

private:
    void readMessages();
    void socketGone();
    void bytesWritten();

    QPointer<QTcpSocket> m_socket;
    LatencyLine *m_line;
    QString m_peer;
    LengthPrefixCodec m_codec;
    bool m_connected = false;
    bool m_closed = false;
    bool m_congested = false;
};
