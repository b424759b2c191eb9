#pragma once

#include "applink.h"

// One numbered channel of a client's hub connection. The session feeds it the channel's frames
// and sends what it emits; the link itself never touches the socket.
class ChannelAppLink : public AppLink
{
    Q_OBJECT

public:
    explicit ChannelAppLink(quint16 channelId, QObject *parent = nullptr);

    quint16 channelId() const { return m_channelId; }

    void sendMessage(const QByteArray &message) override;
    void close() override;
    bool isCongested() const override { return m_congested; }
    QString description() const override;

    // Called by the session.
    void deliver(const QByteArray &message);
    void setCongested(bool congested);
    void peerGone();

signals:
    void outgoing(quint16 channelId, const QByteArray &message);
    void closeRequested(quint16 channelId);

private:
    quint16 m_channelId;
    bool m_congested = false;
    bool m_closed = false;
};
