#include "hubtransport.h"

#include "hostentry.h"
#include "hublinktap.h"

HubTransport::HubTransport(QObject *parent)
    : QObject(parent)
{ }

HubTransport::~HubTransport() = default;

void HubTransport::open(const HostEntry &host)
{
    m_peerCompresses = false;
    if (m_tap)
        m_tap->linkOpening(host.settingsKey());
    openConnection(host);
}

void HubTransport::resumeHandshake(bool, const QList<QSslError> &) { }

void HubTransport::send(quint16 frameType, const QByteArray &payload, const QByteArray &redactedPayload)
{
    if (m_tap)
        m_tap->frameSent(frameType, payload, redactedPayload);
    writeFrame(frameType, payload, redactedPayload);
}

void HubTransport::deliver(const FrameCodec::Frame &frame)
{
    if (m_tap)
        m_tap->frameReceived(frame.type, frame.payload);
    emit frameReceived(frame);
}

void HubTransport::holdReading(QObject *holder, bool hold)
{
    if (hold) {
        if (!holder || m_readHolders.contains(holder))
            return;
        m_readHolders.insert(holder, connect(holder, &QObject::destroyed, this,
                                             [this, holder] { holdReading(holder, false); }));
        if (m_readHolders.size() == 1)
            emit readingHeldChanged(true);
        return;
    }
    const auto it = m_readHolders.find(holder);
    if (it == m_readHolders.end())
        return;
    disconnect(it.value());
    m_readHolders.erase(it);
    if (!m_readHolders.isEmpty())
        return;
    emit readingHeldChanged(false);
    readingReleased();
}
