#include "channeltranceiver.h"

ChannelTranceiver::ChannelTranceiver(ushort channelId, QObject *parent)
    : AppTranceiver(parent)
    , m_channelId(channelId)
{ }

void ChannelTranceiver::rawMessageSend(QByteArray data, QByteArray redacted)
{
    emit channelDataSend(m_channelId, data, redacted);
}

void ChannelTranceiver::channelDataRcvd(const char *data, int dataLength)
{
    processIncomingMessage(data, dataLength);
}

void ChannelTranceiver::channelDisconnected()
{
    emit disconnected();
}
