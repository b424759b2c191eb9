#pragma once

#include <QByteArray>
#include <QString>

// Sees every frame of the hub link as it passes, in both directions, before anything handles it:
// the recorder of a session. It keeps nothing of what it is shown beyond the call unless it says so.
class HubLinkTap
{
public:
    virtual ~HubLinkTap() = default;

    // A connection to hostPort ("host:port") is being opened.
    virtual void linkOpening(const QString &hostPort) = 0;
    virtual void frameReceived(quint16 frameType, const QByteArray &payload) = 0;
    // redactedPayload: the sender's blanked form of payload for a recording, or null.
    virtual void frameSent(quint16 frameType, const QByteArray &payload, const QByteArray &redactedPayload) = 0;
};
