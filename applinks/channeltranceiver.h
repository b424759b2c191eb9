#pragma once

#include "apptranceiver.h"

// An application carried on one numbered channel of the hub link; every channel frame is exactly
// one application message.
class ChannelTranceiver : public AppTranceiver
{
    Q_OBJECT

public:
    explicit ChannelTranceiver(ushort channelId, QObject *parent = nullptr);

    ushort channelId() const override { return m_channelId; }

public slots:
    void rawMessageSend(QByteArray data, QByteArray redacted = QByteArray()) override;
    void channelDataRcvd(const char *data, int dataLength);
    void channelDisconnected();

signals:
    void channelDataSend(ushort channelId, QByteArray data, QByteArray redacted);

private:
    const ushort m_channelId;
};
