#include "tlshubtransport.h"

#include "extraauthorities.h"
#include "handshakefailure.h"
#include "hostentry.h"

#include "utils/platform.h"

#include <QDebug>
#include <QHostAddress>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QThread>
#include <QTimer>

#include <utility>

TlsHubTransport::TlsHubTransport(QObject *parent)
    : HubTransport(parent)
    , m_pausedPeerTimer(new QTimer(this))
{
    qRegisterMetaType<QAbstractSocket::SocketState>();
    qRegisterMetaType<QAbstractSocket::SocketError>();
    qRegisterMetaType<QList<QSslError>>();
    m_pausedPeerTimer->setInterval(PausedPeerPollMs);
    connect(m_pausedPeerTimer, &QTimer::timeout, this, &TlsHubTransport::watchPausedPeer);
}

TlsHubTransport::~TlsHubTransport()
{
    close();
}

void TlsHubTransport::openConnection(const HostEntry &host)
{
    close();
    m_hostPort = host.settingsKey();
    m_tcpConnected = m_encrypted = m_certificateQuestioned = false;
    m_error = QAbstractSocket::UnknownSocketError;
    m_errorString.clear();
    m_protocolError.clear();

    m_socket = new QSslSocket(this);
    QSslConfiguration tls = m_socket->sslConfiguration();
    ExtraAuthorities::apply(&tls);
    m_socket->setSslConfiguration(tls);
    m_socket->setReadBufferSize(ReadBufferBytes);
    // A certificate question is answered later, not inside the signal.
    m_socket->setPauseMode(QAbstractSocket::PauseOnSslErrors);
    connect(m_socket, &QSslSocket::stateChanged, this, &TlsHubTransport::socketStateChanged);
    connect(m_socket, &QSslSocket::encrypted, this, &TlsHubTransport::socketEncrypted);
    connect(m_socket, &QSslSocket::errorOccurred, this, &TlsHubTransport::socketError);
    connect(m_socket, qOverload<const QList<QSslError> &>(&QSslSocket::sslErrors), this,
            &TlsHubTransport::socketSslErrors);
    connect(m_socket, &QSslSocket::readyRead, this, &TlsHubTransport::socketReadyRead);
    connect(m_socket, &QSslSocket::encryptedBytesWritten, this, &TlsHubTransport::socketBytesWritten);

    qDebug() << "HUB: Supports SSL?" << QSslSocket::supportsSsl();
    m_socket->connectToHostEncrypted(host.host, host.port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void TlsHubTransport::close()
{
    ++m_serial;
    m_endQueued = false;
    m_backlogged = false;
    m_pausedPeerTimer->stop();
    m_decoder.reset();
    if (!m_socket)
        return;
    QSslSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    // No slot of it can be on the stack below a nested loop (there are none), so later is enough.
    socket->deleteLater();
}

bool TlsHubTransport::isOpen() const
{
    return m_socket && !m_endQueued && m_socket->state() == QAbstractSocket::ConnectedState;
}

QString TlsHubTransport::localAddress() const
{
    return m_socket ? m_socket->localAddress().toString() : QString();
}

qint64 TlsHubTransport::unsentBytes() const
{
    return m_socket ? m_socket->bytesToWrite() + m_socket->encryptedBytesToWrite() : 0;
}

bool TlsHubTransport::fromCurrentSocket(const char *slot) const
{
    // A handler that ran an event loop of its own would let this socket be deleted while one of
    // its slots is still below on the stack; the link's questions are answered later instead.
    if (QThread::currentThread()->loopLevel() > 1 && !std::exchange(m_nestedLoopReported, true)) {
        qCritical() << "TlsHubTransport::" << slot << "- a socket slot runs inside a nested event loop";
        Q_ASSERT_X(false, slot, "a hub socket slot runs inside a nested event loop");
    }
    return m_socket && sender() == m_socket;
}

void TlsHubTransport::socketStateChanged(QAbstractSocket::SocketState state)
{
    if (!fromCurrentSocket("socketStateChanged()"))
        return;
    qDebug() << "HUB: socket state:" << state;
    if (state == QAbstractSocket::ConnectedState && !m_tcpConnected) {
        m_tcpConnected = true;
        emit tcpConnected();
    }
    if (state == QAbstractSocket::UnconnectedState)
        endLater();
}

void TlsHubTransport::socketError(QAbstractSocket::SocketError error)
{
    if (!fromCurrentSocket("socketError()"))
        return;
    qDebug() << "HUB: SocketError:" << error << m_socket->errorString();
    if (m_errorString.isEmpty()) {
        m_error = error;
        m_errorString = m_socket->errorString();
    }
    // Every error ends the link; the socket may report its unconnected state before or after this.
    endLater();
}

void TlsHubTransport::endLater()
{
    if (m_endQueued)
        return;
    m_endQueued = true;
    const quint64 serial = m_serial;
    QMetaObject::invokeMethod(this, [this, serial] { announceEnd(serial); }, Qt::QueuedConnection);
}

void TlsHubTransport::announceEnd(quint64 serial)
{
    if (serial != m_serial || !m_endQueued)
        return;
    const QString text = endText();
    close();
    emit closed(text);
}

QString TlsHubTransport::endText() const
{
    if (!m_protocolError.isEmpty())
        return m_protocolError;
    QString text;
    if (m_errorString.isEmpty())
        text = tr("The connection to %1 was closed.").arg(m_hostPort);
    else if (!m_tcpConnected)
        text = HandshakeFailure::noAnswer(m_hostPort, m_errorString);
    else if (!m_encrypted && !m_certificateQuestioned)
        text = HandshakeFailure::describe(m_hostPort, m_error, m_errorString);
    else
        text = m_errorString; // after a certificate question, the certificate's own words
    if (text != m_errorString)
        qWarning().noquote() << "HUB: connection failed:" << text;
    return text;
}

void TlsHubTransport::socketEncrypted()
{
    if (!fromCurrentSocket("socketEncrypted()"))
        return;
    m_encrypted = true;
    qInfo() << "HUB: Socket Encrypted" << m_socket->peerAddress() << m_socket->sessionProtocol();
    emit encrypted();
}

void TlsHubTransport::socketSslErrors(const QList<QSslError> &errors)
{
    if (!fromCurrentSocket("socketSslErrors()"))
        return;
    m_inSslErrors = true;
    m_acceptedInSignal = false;
    const QPointer<QSslSocket> socket = m_socket;
    emit certificateErrors(errors, socket->peerCertificate(), socket->peerCertificateChain());
    m_inSslErrors = false;
    // Accepted at once (a pinned certificate), the handshake never pauses. Otherwise it waits for
    // resumeHandshake(), and the peer may go meanwhile.
    if (socket && socket == m_socket && !m_acceptedInSignal) {
        m_certificateQuestioned = true;
        m_pausedPeerTimer->start();
    }
}

void TlsHubTransport::resumeHandshake(bool accept, const QList<QSslError> &errors)
{
    m_pausedPeerTimer->stop();
    if (!m_socket)
        return;
    if (accept)
        m_socket->ignoreSslErrors(errors);
    if (!m_inSslErrors) {
        m_socket->resume();
        return;
    }
    // Still inside sslErrors(): nothing is paused yet. Ignored errors do not pause at all; a
    // refusal pauses, and resuming on the next turn makes the handshake fail.
    m_acceptedInSignal = accept;
    if (!accept) {
        const QPointer<QSslSocket> socket = m_socket;
        QTimer::singleShot(0, this, [socket] {
            if (socket)
                socket->resume();
        });
    }
}

void TlsHubTransport::watchPausedPeer()
{
    if (!m_socket || !Platform::peerHasClosed(m_socket->socketDescriptor()))
        return;
    m_pausedPeerTimer->stop();
    emit peerGoneWhilePaused();
}

bool TlsHubTransport::mayRead() const
{
    return m_socket && !m_endQueued && !m_backlogged && !readingHeld();
}

void TlsHubTransport::socketReadyRead()
{
    if (fromCurrentSocket("socketReadyRead()"))
        readFrames();
}

void TlsHubTransport::readFrames()
{
    if (m_reading || !m_socket)
        return;
    m_reading = true;
    const quint64 serial = m_serial;
    FrameCodec::Frame frame;
    // A handler may close or replace the connection; the serial says so.
    while (serial == m_serial && mayRead()) {
        const FrameCodec::Result result = m_decoder.next(&frame);
        if (result == FrameCodec::Result::Frame) {
            deliver(frame);
            continue;
        }
        if (result == FrameCodec::Result::Error) {
            qWarning() << "TlsHubTransport::socketReadyRead() - bad frame, dropping the connection:"
                       << m_decoder.errorText();
            m_protocolError = tr("Hub protocol error: %1").arg(m_decoder.errorText());
            endLater();
            break;
        }
        if (m_socket->bytesAvailable() <= 0)
            break;
        m_decoder.feed(m_socket->readAll());
    }
    m_reading = false;
}

void TlsHubTransport::readingReleased()
{
    // The socket signals nothing new while its buffer is full: read what waits on the next turn.
    QMetaObject::invokeMethod(this, &TlsHubTransport::readFrames, Qt::QueuedConnection);
}

void TlsHubTransport::writeFrame(quint16 frameType, const QByteArray &payload, const QByteArray &)
{
    if (!m_socket) {
        qWarning() << "Trying to write to hub without a connection";
        return;
    }
    const FrameCodec::Encoded encoded = FrameCodec::encode(frameType, payload, peerCompresses());
    if (encoded.compressed)
        qDebug() << "Send compressed message. orig:" << encoded.payloadSize << " comp:" << encoded.sentPayloadSize;
    else if (encoded.compressionTried)
        qDebug() << "Message did not compress. size:" << encoded.payloadSize;
    m_socket->write(encoded.bytes);
    checkBacklog();
}

void TlsHubTransport::socketBytesWritten()
{
    if (fromCurrentSocket("socketBytesWritten()") && m_backlogged)
        checkBacklog();
}

void TlsHubTransport::checkBacklog()
{
    const qint64 unsent = unsentBytes();
    if (!m_backlogged && unsent > MaxUnsentBytes) {
        m_backlogged = true;
        qWarning() << "HUB: the hub is not taking what the client sends:" << unsent
                   << "bytes wait; reading stops until it does";
        emit backlogChanged(true);
    } else if (m_backlogged && unsent <= MaxUnsentBytes / 2) {
        m_backlogged = false;
        qInfo() << "HUB: the hub takes what the client sends again; reading goes on";
        emit backlogChanged(false);
        readingReleased();
    }
}
