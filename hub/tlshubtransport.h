#pragma once

#include "hubtransport.h"

#include <QAbstractSocket>
#include <QPointer>

class QSslSocket;
class QTimer;

// The hub link's socket: TLS (1.2 at least, the site's extra authorities trusted) to the chosen
// host, frames read and written with FrameCodec. A certificate problem pauses the handshake until
// resumeHandshake(); meanwhile the peer is watched for going. A failure is put in words: nothing
// listening ("No hub answers at host:port"), a peer that is no hub or speaks an old TLS, or the
// library's own text.
//
// Qt reports the end of a socket as a state change and an error, in either order and sometimes
// only one of them: the end is announced once, from the event loop, after both have had their
// turn. Each connection gets a fresh socket; the old one is deleted later. The socket's slots run
// from the top-level event loop only: the link opens no nested loop (its questions are answered
// later), so a slot never finds its socket deleted under it.
//
// Outgoing bytes that the hub does not take pile up in the socket: past MaxUnsentBytes no more
// frames are read (reading is what makes applications answer), until they are under half of it.
class TlsHubTransport : public HubTransport
{
    Q_OBJECT

public:
    // What the socket may hold unread while reading is held: beyond it the hub is held back by TCP
    // instead of the client growing.
    static constexpr qint64 ReadBufferBytes = 4 * 1024 * 1024;
    static constexpr qint64 MaxUnsentBytes = 8 * 1024 * 1024;
    static constexpr int PausedPeerPollMs = 250;

    explicit TlsHubTransport(QObject *parent = nullptr);
    ~TlsHubTransport() override;

    void close() override;
    bool isOpen() const override;
    QString localAddress() const override;
    void resumeHandshake(bool accept, const QList<QSslError> &errors) override;
    // Written but not yet taken by the peer, before and after encryption.
    qint64 unsentBytes() const;
    bool isBacklogged() const { return m_backlogged; }

protected:
    void openConnection(const HostEntry &host) override;
    void writeFrame(quint16 frameType, const QByteArray &payload, const QByteArray &redactedPayload) override;
    void readingReleased() override;

private slots:
    void socketStateChanged(QAbstractSocket::SocketState state);
    void socketEncrypted();
    void socketReadyRead();
    void socketError(QAbstractSocket::SocketError error);
    void socketSslErrors(const QList<QSslError> &errors);
    void socketBytesWritten();

private:
    bool fromCurrentSocket(const char *slot) const;
    void endLater();
    void announceEnd(quint64 serial);
    QString endText() const;
    void checkBacklog();
    void watchPausedPeer();
    bool mayRead() const;
    void readFrames();

    QPointer<QSslSocket> m_socket;
    // Bumped for every connection, so that an end queued for an earlier one is dropped.
    quint64 m_serial = 0;
    FrameCodec m_decoder;
    QString m_hostPort;
    bool m_tcpConnected = false;
    bool m_encrypted = false;
    bool m_certificateQuestioned = false;
    bool m_endQueued = false;
    bool m_reading = false;
    bool m_inSslErrors = false;
    bool m_acceptedInSignal = false;
    mutable bool m_nestedLoopReported = false; // once per transport: a flood of it helps nobody
    bool m_backlogged = false;
    QAbstractSocket::SocketError m_error = QAbstractSocket::UnknownSocketError;
    QString m_errorString; // empty until the socket reports an error
    QString m_protocolError;
    QTimer *m_pausedPeerTimer;
};
