#pragma once

#include "framecodec.h"
#include "hub/hostentry.h"

#include "zuhub.pb.h"

#include <QList>
#include <QPointer>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>

#include <optional>

// An in-process hub for tests: a TLS server on 127.0.0.1 (certificates from TestCertificates) that
// records the frames a client sends and sends whatever frames or raw bytes a test asks for. The
// latest connection is the peer; an earlier one is dropped when a new one arrives.
class TestHub : public QTcpServer
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeoutMs = 10000;

    explicit TestHub(QObject *parent = nullptr);
    ~TestHub() override;

    // Listens on 127.0.0.1 at a free port.
    bool start();
    HostEntry hostEntry() const;

    QSslSocket *peer() const { return m_peer; }
    int connectionCount() const { return m_connectionCount; }
    bool waitForPeer(int timeoutMs = DefaultTimeoutMs); // an encrypted connection
    bool waitForPeerGone(int timeoutMs = DefaultTimeoutMs);

    // What the client sent, in order.
    const QList<FrameCodec::Frame> &frames() const { return m_frames; }
    bool waitForFrames(int count, int timeoutMs = DefaultTimeoutMs);
    // Envelopes (type-0 frames) that have the named field set.
    QList<ZuHubProto::Envelope> envelopes(const char *field) const;
    bool waitForEnvelopes(const char *field, int count, int timeoutMs = DefaultTimeoutMs);
    void clearReceived() { m_frames.clear(); }

    // Answers every Hello with this acknowledgement; without one the hello goes unanswered.
    void setHelloAck(const std::optional<ZuHubProto::HelloAck> &ack) { m_helloAck = ack; }
    // Answers every ping with its own timestamp, as a hub does; without it pings go unanswered.
    void setEchoPings(bool echo) { m_echoPings = echo; }
    // A hub that stops reading: what the client sends waits in the buffers (a few KiB in the
    // test hub's own), until reading is switched on again.
    void setReading(bool reading);
    // Applies the client's compression rule to frames sent with sendFrame().
    void setCompression(bool compress) { m_compress = compress; }
    // Later connections get the replacement certificate, as after the hub's was changed.
    void presentReplacementCertificate(bool replaced) { m_replaced = replaced; }
    // Later connections get this chain and key instead (an empty chain: back to the usual ones).
    void presentChain(const QList<QSslCertificate> &chain, const QSslKey &key)
    {
        m_chain = chain;
        m_key = key;
    }

    void sendRaw(const QByteArray &bytes);
    void sendFrame(quint16 type, const QByteArray &payload);
    void sendEnvelope(const ZuHubProto::Envelope &envelope);
    void closePeer();

signals:
    void frameReceived();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void readPeer();

    QPointer<QSslSocket> m_peer;
    FrameCodec m_decoder;
    QList<FrameCodec::Frame> m_frames;
    std::optional<ZuHubProto::HelloAck> m_helloAck;
    bool m_compress = false;
    bool m_echoPings = false;
    bool m_reading = true;
    bool m_replaced = false;
    QList<QSslCertificate> m_chain;
    QSslKey m_key;
    int m_connectionCount = 0;
};
