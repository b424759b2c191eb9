#include "channelapplink.h"

ChannelAppLink::ChannelAppLink(quint16 channelId, QObject *parent)
    : AppLink(parent)
    , m_channelId(channelId)
{ }

void ChannelAppLink::sendMessage(const QByteArray &message)
{
    if (!m_closed)
        emit outgoing(m_channelId, message);
}

void ChannelAppLink::close()
{
    if (m_closed)
        return;
    m_closed = true;
    emit closeRequested(m_channelId);
}

QString ChannelAppLink::description() const
{
    return QStringLiteral("channel %1").arg(m_channelId);
}

void ChannelAppLink::deliver(const QByteArray &message)
{
    if (!m_closed)
        emit messageReceived(message);
}

void ChannelAppLink::setCongested(bool congested)
{
    if (m_congested == congested)
        return;
    m_congested = congested;
    if (!congested)
        emit drained();
}

void ChannelAppLink::peerGone()
{
    if (m_closed)
        return;
    m_closed = true;
    emit closed();
}
