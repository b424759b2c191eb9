#pragma once

#include "framecodec.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslError>

class HubLinkTap;
struct HostEntry;

// The socket side of the hub link: it opens a connection, carries whole frames both ways and says
// when the connection ends. HubConnection speaks the protocol over it; TlsHubTransport is the TLS
// socket, SessionReplay a recording played back. A tap (a recorder) sees every frame both ways
// before anything handles it.
//
// After open() the signals come in this order: tcpConnected, encrypted (each at most once), then
// frames, then closed at most once. close() ends the connection silently. Frames are delivered
// from the event loop, never while the receiver's own call into the transport is running, and a
// frame's bytes stay valid only during the signal.
class HubTransport : public QObject
{
    Q_OBJECT

public:
    explicit HubTransport(QObject *parent = nullptr);
    ~HubTransport() override;

    // Opens a new connection to the host (closing an open one silently first).
    void open(const HostEntry &host);
    // Ends the connection now; nothing more is signalled about it.
    virtual void close() = 0;
    // The connection can carry frames.
    virtual bool isOpen() const = 0;
    virtual QString localAddress() const { return QString(); }
    // A live peer, whose silence means it has stopped answering (a replay's does not).
    virtual bool isLive() const { return true; }
    // The handshake paused at certificateErrors() goes on taking those errors as accepted, or fails.
    virtual void resumeHandshake(bool accept, const QList<QSslError> &errors);

    void setTap(HubLinkTap *tap) { m_tap = tap; }
    void setPeerCompresses(bool compresses) { m_peerCompresses = compresses; }
    bool peerCompresses() const { return m_peerCompresses; }
    // redactedPayload: the sender's blanked form for a recording, or null (see AppTranceiver).
    void send(quint16 frameType, const QByteArray &payload, const QByteArray &redactedPayload = QByteArray());

    // While any holder holds (a page that cannot keep up), no more frames are taken: what the peer
    // sends waits, and TCP slows it. A holder that is destroyed lets go.
    void holdReading(QObject *holder, bool hold);
    bool readingHeld() const { return !m_readHolders.isEmpty(); }

signals:
    void tcpConnected();
    void encrypted();
    // The handshake is paused until resumeHandshake().
    void certificateErrors(const QList<QSslError> &errors, const QSslCertificate &certificate,
                           const QList<QSslCertificate> &chain);
    // While the handshake was paused the peer went.
    void peerGoneWhilePaused();
    void frameReceived(const FrameCodec::Frame &frame);
    // The connection ended by itself (the peer, the network, a stream that cannot be read): why,
    // in words for the user.
    void closed(const QString &text);
    // What waits to be sent passed the transport's bound (true) or came back well under it.
    void backlogChanged(bool over);
    // The holders of holdReading() hold (true) or all let go.
    void readingHeldChanged(bool held);

protected:
    virtual void openConnection(const HostEntry &host) = 0;
    // redactedPayload is for a transport that compares what it is sent (a replay).
    virtual void writeFrame(quint16 frameType, const QByteArray &payload, const QByteArray &redactedPayload) = 0;
    // Reading may go on again: take what waits.
    virtual void readingReleased() { }
    // To the tap, then to the link.
    void deliver(const FrameCodec::Frame &frame);

private:
    HubLinkTap *m_tap = nullptr;
    bool m_peerCompresses = false;
    QHash<QObject *, QMetaObject::Connection> m_readHolders;
};
