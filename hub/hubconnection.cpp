#include "hubconnection.h"

#include "hostentry.h"

#include "utils/busymouse.h"
#include "utils/clientidentity.h"
#include "envelopedispatcher.h"
#include "latin1.h"
#include "utils/platform.h"
#include "utils/version.h"
#include "menu/mainconnection.h"

#include "zuhub.pb.h"
#include "certificatepins.h"
#include "extraauthorities.h"
#include "handshakefailure.h"
#include "sessionrecordwriter.h"
#include "sessionreplay.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QHostAddress>
#include <QRandomGenerator64>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QSysInfo>
#include <QTimer>

#include <utility>

namespace {

const QString BusyKey = QStringLiteral("HubConnection");

// Queued, so that the caller's dialog and state changes finish before the event loop ends.
void quitApplication()
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
}

} // namespace

struct HubConnection::PendingUpdate
{
    quint64 serial = 0;
    ZuHubProto::HelloAck ack;
    bool menuWanted = false;
};

// Marks a slot called by a socket for the time it runs; see retireSocket().
class HubConnection::SocketCall
{
public:
    explicit SocketCall(HubConnection *link)
        : m_link(link)
    {
        ++m_link->m_socketCallDepth;
    }
    ~SocketCall()
    {
        if (--m_link->m_socketCallDepth > 0)
            return;
        const auto retired = std::exchange(m_link->m_retiredSockets, {});
        for (const QPointer<QSslSocket> &socket : retired) {
            if (socket)
                socket->deleteLater();
        }
    }
    Q_DISABLE_COPY(SocketCall)

private:
    HubConnection *m_link;
};

HubConnection::HubConnection(const ClientIdentity *identity, QObject *parent)
    : QObject(parent)
    , m_identity(identity)
    , m_mainConnection(new MainConnection(this))
    , m_dispatcher(std::make_unique<EnvelopeDispatcher>(this, QtDebugMsg,
                                                        "HubConnection: No message handler found for"))
    , m_pingTimer(new QTimer(this))
    , m_stepTimer(new QTimer(this))
    , m_pausedPeerTimer(new QTimer(this))
{
    qRegisterMetaType<QAbstractSocket::SocketState>();
    qRegisterMetaType<QAbstractSocket::SocketError>();
    qRegisterMetaType<QList<QSslError>>();

    m_clock.start();

    connect(m_mainConnection, &MainConnection::requestConnectionState, this,
            &HubConnection::menuRequestConnection);
    connect(m_mainConnection, &MainConnection::messageReady, this, &HubConnection::menuSendRawMessage);
    connect(this, &HubConnection::menuMessageReceived, m_mainConnection, &MainConnection::processMessage);
    connect(m_mainConnection, &MainConnection::usernameConfirmed, this, &HubConnection::sendUsername);

    // Fixed once per process, so that many clients do not ping in step.
    m_pingTimer->setInterval(PingBaseMs
                             + int(quint32(QRandomGenerator64::global()->generate()) % PingJitterMs));
    connect(m_pingTimer, &QTimer::timeout, this, &HubConnection::sendPing);
    m_pingTimer->start();

    m_stepTimer->setSingleShot(true);
    connect(m_stepTimer, &QTimer::timeout, this, &HubConnection::stepTimedOut);
    m_pausedPeerTimer->setInterval(PausedPeerPollMs);
    connect(m_pausedPeerTimer, &QTimer::timeout, this, &HubConnection::watchPausedPeer);
}

HubConnection::~HubConnection() = default;

int HubConnection::pingInterval() const
{
    return m_pingTimer->interval();
}

void HubConnection::startConnection(bool connectMenu)
{
    if (m_state != State::Disconnected) {
        qWarning() << "HubConnection::startConnection() - invalid state:" << int(m_state);
        return;
    }
    if (!m_hostEntry) {
        qWarning() << "HubConnection::startConnection() - no host entry";
        return;
    }
    withdrawQuestions();
    if (m_replay) {
        m_menuWanted = connectMenu;
        startReplayLink();
        return;
    }
    if (m_recorder)
        m_recorder->recordNote(QLatin1String(SessionRecord::ConnectingNote) + hostPort());
    if (m_socket) {
        m_socket->disconnect();
        retireSocket(m_socket);
    }
    ++m_socketSerial;
    m_decoder.reset();
    m_peerCompresses = false;

    m_certificateQuestioned = false;

    m_socket = new QSslSocket(this);
    QSslConfiguration tls = m_socket->sslConfiguration();
    ExtraAuthorities::apply(&tls);
    m_socket->setSslConfiguration(tls);
    m_socket->setReadBufferSize(ReadBufferBytes);
    // A certificate question is answered later, not inside the signal.
    m_socket->setPauseMode(QAbstractSocket::PauseOnSslErrors);
    connect(m_socket, &QSslSocket::stateChanged, this, &HubConnection::socketStateChanged);
    connect(m_socket, &QSslSocket::encrypted, this, &HubConnection::socketEncrypted);
    connect(m_socket, &QSslSocket::errorOccurred, this, &HubConnection::socketError);
    connect(m_socket, qOverload<const QList<QSslError> &>(&QSslSocket::sslErrors), this,
            &HubConnection::socketSslErrors);
    connect(m_socket, &QSslSocket::readyRead, this, &HubConnection::socketReadyRead);

    qDebug() << "HUB: Supports SSL?" << QSslSocket::supportsSsl();
    m_menuWanted = connectMenu;
    // Entered before connecting: a socket that fails at once (no TLS library) must still find the
    // link in Connecting, so that its error brings the usual disconnection.
    setState(State::Connecting);
    startStep(Step::Connect);
    m_socket->connectToHostEncrypted(m_hostEntry->host, m_hostEntry->port, QIODevice::ReadWrite,
                                     QAbstractSocket::AnyIPProtocol);
}

void HubConnection::socketEncrypted()
{
    const SocketCall call(this);
    if (m_state != State::Connecting) {
        qWarning() << "HubConnection::socketEncrypted() - invalid state:" << int(m_state);
        return;
    }
    qInfo() << "HUB: Socket Encrypted" << m_socket->peerAddress() << m_socket->sessionProtocol();
    setState(State::Handshaking);
    startStep(Step::HelloAck);
    sendHello();
}

void HubConnection::sendHello()
{
    ZuHubProto::Envelope envelope;
    auto *hello = envelope.mutable_hello();
    hello->set_platform(Platform::hubPlatform());
    hello->set_version(ClientVersion);
    hello->set_supports_compression(true);
    hello->set_cpu(Latin1::fromQString(QSysInfo::currentCpuArchitecture()));
    hello->set_kernel_type(Latin1::fromQString(QSysInfo::kernelType()));
    hello->set_kernel_version(Latin1::fromQString(QSysInfo::kernelVersion()));
    hello->set_uuid_system(Latin1::fromQString((m_identity ? m_identity->systemUuid() : QUuid()).toString()));
    hello->set_uuid_user(Latin1::fromQString((m_identity ? m_identity->userUuid() : QUuid()).toString()));
    sendEnvelope(envelope);
}

void HubConnection::socketReadyRead()
{
    const SocketCall call(this);
    // A handler may run a dialog whose event loop delivers readyRead again; the outer loop picks
    // those bytes up when the handler returns.
    if (m_reading || !m_socket)
        return;
    m_reading = true;
    const quint64 serial = m_socketSerial;
    FrameCodec::Frame frame;
    while (m_socket && serial == m_socketSerial && m_readHolders.isEmpty()) {
        const FrameCodec::Result result = m_decoder.next(&frame);
        if (result == FrameCodec::Result::Frame) {
            handleFrame(frame);
            continue;
        }
        if (result == FrameCodec::Result::Error) {
            qWarning() << "HubConnection::socketReadyRead() - bad frame, dropping the connection:"
                       << m_decoder.errorText();
            setErrorText(tr("Hub protocol error: %1").arg(m_decoder.errorText()));
            dropSocket();
            break;
        }
        if (m_socket->bytesAvailable() <= 0)
            break;
        m_decoder.feed(m_socket->readAll());
    }
    m_reading = false;
}

void HubConnection::holdReading(QObject *holder, bool hold)
{
    if (hold) {
        if (!holder || m_readHolders.contains(holder))
            return;
        m_readHolders.insert(holder, connect(holder, &QObject::destroyed, this,
                                             [this, holder] { holdReading(holder, false); }));
        return;
    }
    const auto it = m_readHolders.find(holder);
    if (it == m_readHolders.end())
        return;
    disconnect(it.value());
    m_readHolders.erase(it);
    // The socket signals nothing new while its buffer is full: read what waits on the next turn.
    if (m_readHolders.isEmpty())
        QMetaObject::invokeMethod(this, &HubConnection::socketReadyRead, Qt::QueuedConnection);
}

void HubConnection::handleFrame(const FrameCodec::Frame &frame)
{
    if (m_recorder)
        m_recorder->recordFrame(SessionRecord::Direction::FromHub, frame.type, frame.payload);
    if (frame.compressed) {
        qDebug() << "Rcvd compressed message. orig:" << frame.payload.size() << " comp:" << frame.length;
        if (frame.decompressFailed)
            qWarning() << "HubConnection::socketReadyRead() - unable to decompress a message of type"
                       << frame.type << "; handled as empty";
    }
    switch (frame.type) {
    case FrameCodec::EnvelopeFrame:
        processEnvelope(frame.payload);
        break;
    case FrameCodec::MenuFrame:
        emit menuMessageReceived(frame.payload.constData(), frame.payload.size());
        break;
    case FrameCodec::ChannelFrame: {
        FrameCodec::ChannelData channel;
        if (!FrameCodec::splitChannelPayload(frame.payload, &channel)) {
            qWarning() << "HubConnection::socketReadyRead() - channel frame without a channel id, size:"
                       << frame.payload.size();
            break;
        }
        qDebug() << "receiving data on channel" << channel.channelId;
        emit channelMessageRcvd(channel.channelId, channel.data, channel.size);
        break;
    }
    default:
        break;
    }
}

void HubConnection::processEnvelope(const QByteArray &payload)
{
    ZuHubProto::Envelope envelope;
    if (!envelope.ParseFromArray(payload.constData(), payload.size())) {
        qWarning() << "HubConnection::processMessage() - Unable to parse envelope";
        dropSocket();
        return;
    }
    m_dispatcher->dispatch(envelope);
}

void HubConnection::sendEnvelope(const ZuHubProto::Envelope &envelope)
{
    sendFrame(FrameCodec::EnvelopeFrame, QByteArray::fromStdString(envelope.SerializeAsString()));
}

void HubConnection::sendFrame(quint16 type, const QByteArray &payload)
{
    if (m_recorder)
        m_recorder->recordFrame(SessionRecord::Direction::FromClient, type, payload);
    if (m_replay) {
        m_replay->clientFrame(type, payload);
        return;
    }
    if (!m_socket) {
        qWarning() << "Trying to write to hub without a connection";
        return;
    }
    const FrameCodec::Encoded encoded = FrameCodec::encode(type, payload, m_peerCompresses);
    if (encoded.compressed)
        qDebug() << "Send compressed message. orig:" << encoded.payloadSize
                 << " comp:" << encoded.sentPayloadSize;
    else if (encoded.compressionTried)
        qDebug() << "Message did not compress. size:" << encoded.payloadSize;
    m_socket->write(encoded.bytes);
}

void HubConnection::dropSocket()
{
    withdrawQuestions();
    if (m_replay)
        m_replay->abort(m_errorText.isEmpty() ? QStringLiteral("the client dropped the link") : m_errorText);
    ++m_socketSerial;
    m_decoder.reset();
    if (m_socket)
        m_socket->abort();
}

void HubConnection::forgetSocket()
{
    withdrawQuestions();
    ++m_socketSerial;
    m_decoder.reset();
    if (m_socket)
        retireSocket(m_socket);
    m_socket = nullptr;
}

void HubConnection::retireSocket(QSslSocket *socket)
{
    if (m_socketCallDepth > 0)
        m_retiredSockets << socket;
    else
        socket->deleteLater();
}

void HubConnection::mh_hello_ack(const google::protobuf::Message &msg)
{
    const auto &ack = static_cast<const ZuHubProto::HelloAck &>(msg);
    startStep(Step::None);
    m_peerCompresses = ack.supports_compression();
    qInfo() << "HUB: Supports message compression:" << m_peerCompresses;
    const bool menuWanted = m_menuWanted;
    m_menuWanted = false;

    if (ack.has_client_version()) {
        const QString version = Latin1::toQString(ack.client_version());
        const QFileInfo tool(Platform::maintenanceToolFileName()); // in the executable's directory
        if (tool.exists() && tool.isFile()) {
            qInfo() << "Prompting user for update to" << version << " Is required:" << ack.client_incompatible();
            BusyMouse::instance()->stop(BusyKey);
            m_pendingUpdate = std::make_unique<PendingUpdate>();
            m_pendingUpdate->serial = m_socketSerial;
            m_pendingUpdate->ack = ack;
            m_pendingUpdate->menuWanted = menuWanted;
            emit updateOffered(version, ack.client_incompatible());
            return;
        }
        if (ack.client_incompatible()) {
            qInfo() << "A new version of the client is available but this client installation cannot be "
                       "automatically updated.";
            refuseIncompatibleClient(tr("A new version of the client is available but this client installation "
                                        "cannot be automatically updated.\nPlease contact your system "
                                        "administrator"));
            return;
        }
    } else if (ack.client_incompatible()) {
        qInfo() << "The client is incompatible but backend did not provide update.";
        refuseIncompatibleClient(tr("Please contact your system administrator"));
        return;
    }
    acceptHello(ack, menuWanted);
}

void HubConnection::answerUpdateOffer(bool download)
{
    const std::unique_ptr<PendingUpdate> offer = std::move(m_pendingUpdate);
    if (!offer || offer->serial != m_socketSerial || !linkUp())
        return;
    if (download) {
        setState(State::Updating);
        emit downloadUpdate(Latin1::toQString(offer->ack.installer_url()));
        return;
    }
    qInfo() << "User declined to install update";
    if (offer->ack.client_incompatible()) {
        setErrorText(tr("Client Incompatible"));
        setState(State::Disconnected);
        quitApplication();
        return;
    }
    acceptHello(offer->ack, offer->menuWanted);
}

void HubConnection::acceptHello(const ZuHubProto::HelloAck &ack, bool menuWanted)
{
    if (!ack.accepted()) {
        setErrorText(Latin1::toQString(ack.reject_reason()));
        dropSocket();
        return;
    }
    // An acknowledgement answered after the socket closed must not revive the link, nor start a
    // menu session on it.
    if (!linkUp())
        return;
    setState(State::Connected);
    if (menuWanted) {
        m_menuWanted = true;
        m_mainConnection->setClassicListenPort(quint16(ack.classic_listen_port()));
        m_mainConnection->setAddresses(m_socket ? m_socket->localAddress().toString() : QString(),
                                       Latin1::toQString(ack.client_public_address()));
        m_mainConnection->startMenuConnection();
    }
}

void HubConnection::refuseIncompatibleClient(const QString &informativeText)
{
    setErrorText(tr("Client Incompatible"));
    setState(State::Disconnected);
    BusyMouse::instance()->stop(BusyKey);
    emit clientIncompatible(informativeText);
}

void HubConnection::mh_menu_connection_status(const google::protobuf::Message &msg)
{
    const auto &status = static_cast<const ZuHubProto::MenuConnectionStatus &>(msg);
    qDebug() << "HubConnection::mh_menu_connection_status() - rcvd:"
             << QString::fromStdString(status.ShortDebugString());
    if (status.is_connected()) {
        m_mainConnection->menuConnected();
        return;
    }
    setErrorText(Latin1::toQString(status.error_message()));
    m_mainConnection->menuDisconnected(m_errorText);
    if (m_menuWanted) {
        const int delay = MenuRetryBaseMs + int(QRandomGenerator::global()->generate() % MenuRetryJitterMs);
        QTimer::singleShot(delay, this, &HubConnection::retryMenuConnection);
    }
}

void HubConnection::retryMenuConnection()
{
    // The menu may have been switched off, or the link lost, while the retry waited.
    if (m_menuWanted && m_state == State::Connected)
        m_mainConnection->startMenuConnection();
}

void HubConnection::menuRequestConnection(bool connect)
{
    m_menuWanted = connect;
    if (m_state == State::Connected) {
        ZuHubProto::Envelope envelope;
        envelope.mutable_menu_connection_control()->set_connect_state(connect);
        sendEnvelope(envelope);
    }
    if (!connect) {
        // Deliberately without the setter: nothing is announced and the socket stays open until
        // the next start replaces it.
        m_state = State::Disconnected;
        startStep(Step::None);
        BusyMouse::instance()->stop(BusyKey);
    }
}

void HubConnection::mh_classic_connection_status(const google::protobuf::Message &msg)
{
    const auto &status = static_cast<const ZuHubProto::ClassicConnectionStatus &>(msg);
    // Channel frames carry 16-bit ids: a wider one would be taken for another channel.
    if (status.channel_id() > 0xffff) {
        qWarning() << "HubConnection::mh_classic_connection_status() - channel id" << status.channel_id()
                   << "does not fit in 16 bits; ignored";
        return;
    }
    emit channelState(ushort(status.channel_id()), status.is_connected());
}

void HubConnection::mh_password_change_result(const google::protobuf::Message &msg)
{
    const auto &result = static_cast<const ZuHubProto::PasswordChangeResult &>(msg);
    emit changePasswordResult(result.success(), Latin1::toQString(result.result_message()));
}

void HubConnection::mh_force_disconnect(const google::protobuf::Message &msg)
{
    const QString message
        = Latin1::toQString(static_cast<const ZuHubProto::ForceDisconnect &>(msg).message());
    dropSocket();
    setErrorText(message.isEmpty() ? tr("ZU system disconnected.") : tr("Disconnected: %1").arg(message));
    qInfo() << "The hub has disconnected with message:" << message;
}

void HubConnection::mh_notify(const google::protobuf::Message &msg)
{
    const QString message = Latin1::toQString(static_cast<const ZuHubProto::Notify &>(msg).message());
    BusyMouse::instance()->stop(BusyKey);
    emit notified(message);
}

void HubConnection::sendPing()
{
    if (m_state != State::Connected)
        return;
    ZuHubProto::Envelope envelope;
    envelope.mutable_ping()->set_timestamp(quint64(elapsedMicroseconds()));
    sendEnvelope(envelope);
}

void HubConnection::mh_ping(const google::protobuf::Message &msg)
{
    const auto &ping = static_cast<const ZuHubProto::Ping &>(msg);
    qDebug() << "-> pong:" << (elapsedMicroseconds() - qint64(ping.timestamp())) << "us";
}

qint64 HubConnection::elapsedMicroseconds() const
{
    return m_clock.nsecsElapsed() / 1000;
}

void HubConnection::sendUsername(const QString &username)
{
    ZuHubProto::Envelope envelope;
    envelope.mutable_username_update()->set_username(Latin1::fromQString(username));
    sendEnvelope(envelope);
}

void HubConnection::changePassword(const QString &username, const QString &oldPassword,
                                   const QString &newPassword)
{
    if (m_state != State::Connected) {
        qWarning() << "HubConnection::changePassword() - invalid state:" << int(m_state);
        return;
    }
    ZuHubProto::Envelope envelope;
    auto *change = envelope.mutable_password_change();
    change->set_username(Latin1::fromQString(username));
    change->set_old_password(Latin1::fromQString(oldPassword));
    change->set_new_password(Latin1::fromQString(newPassword));
    sendEnvelope(envelope);
}

void HubConnection::menuSendRawMessage(const QByteArray &data)
{
    if (m_state != State::Connected) {
        qWarning() << "HubConnection::menuSendRawMessage() - invalid state:" << int(m_state);
        return;
    }
    sendFrame(FrameCodec::MenuFrame, data);
}

void HubConnection::channelMessageSend(ushort channelId, const QByteArray &data)
{
    if (m_state != State::Connected) {
        qWarning() << "HubConnection::channelMessageSend() - invalid state:" << int(m_state);
        return;
    }
    qDebug() << "sending data on channel" << channelId;
    sendFrame(FrameCodec::ChannelFrame, FrameCodec::channelPayload(channelId, data));
}

void HubConnection::socketSslErrors(const QList<QSslError> &errors)
{
    const SocketCall call(this);
    auto *socket = qobject_cast<QSslSocket *>(sender());
    if (!socket || socket != m_socket)
        return;
    const QSslCertificate certificate = socket->peerCertificate();
    const QString hostPort = m_hostEntry ? m_hostEntry->settingsKey() : QString();
    const CertificatePins::Verdict verdict = CertificatePins::check(hostPort, certificate, errors);
    if (verdict == CertificatePins::Verdict::Trusted) {
        qInfo() << "HUB: pinned certificate accepted for" << hostPort << CertificatePins::fingerprint(certificate);
        socket->ignoreSslErrors(errors);
        return;
    }

    CertificateQuestion question;
    question.hostPort = hostPort;
    question.host = m_hostEntry ? m_hostEntry->host : QString();
    question.certificate = certificate;
    question.chain = socket->peerCertificateChain();
    question.verdict = verdict;
    qDebug() << "HUB: SSL Errors:";
    setErrorText(tr("SSL Errors..."));
    for (const QSslError &error : errors) {
        qDebug().nospace() << "  " << error.errorString();
        question.errors << error.errorString();
    }
    BusyMouse::instance()->stop(BusyKey);
    if (!hostPort.isEmpty() && !certificate.isNull()) {
        switch (verdict) {
        case CertificatePins::Verdict::Changed:
            question.trustedFingerprint = CertificatePins::pin(hostPort).fingerprint;
            question.presentedFingerprint = CertificatePins::fingerprint(certificate);
            qWarning() << "HUB: the certificate of" << hostPort << "differs from the trusted one; trusted"
                       << question.trustedFingerprint << "presented" << question.presentedFingerprint;
            break;
        case CertificatePins::Verdict::NewProblem:
            qWarning() << "HUB: the trusted certificate of" << hostPort << "has a new problem";
            question.newErrors = CertificatePins::newErrors(hostPort, errors);
            break;
        case CertificatePins::Verdict::NotPinned:
        case CertificatePins::Verdict::Trusted:
            break;
        }
        // Expired or for another host, Ignore goes on this once.
        question.pinnable = CertificatePins::pinnable(errors);
    } else {
        question.hostPort.clear();
    }

    // No time-out while a person reads: the paused handshake waits for the answer.
    m_certificateQuestioned = true;
    startStep(Step::None);
    m_pendingCertificate = std::make_unique<PendingCertificate>();
    m_pendingCertificate->serial = m_socketSerial;
    m_pendingCertificate->errors = errors;
    m_pendingCertificate->certificate = certificate;
    m_pendingCertificate->hostPort = hostPort;
    m_pausedPeerTimer->start();
    emit certificateQuestion(question);
}

void HubConnection::answerCertificateQuestion(bool ignore, bool alwaysTrust)
{
    const std::unique_ptr<PendingCertificate> pending = std::move(m_pendingCertificate);
    m_pausedPeerTimer->stop();
    if (!pending || pending->serial != m_socketSerial || !m_socket)
        return;
    if (ignore) {
        qDebug() << "** SSL errors ignored **";
        if (alwaysTrust && !pending->hostPort.isEmpty()) {
            qInfo() << "HUB: certificate pinned for" << pending->hostPort
                    << CertificatePins::fingerprint(pending->certificate);
            CertificatePins::trust(pending->hostPort, pending->certificate, pending->errors);
        }
        m_socket->ignoreSslErrors(pending->errors);
        setErrorText(QString());
        if (m_state == State::Connecting)
            startStep(Step::Handshake);
    } else {
        // The handshake now fails; the socket's error replaces this text.
        m_menuWanted = false;
        setErrorText(tr("SSL Errors: Canceled"));
    }
    m_socket->resume();
}

void HubConnection::watchPausedPeer()
{
    if (!m_pendingCertificate || !m_socket || !Platform::peerHasClosed(m_socket->socketDescriptor()))
        return;
    // The question answers nothing now: it closes, and the socket's own error stays on the login
    // dialog once the resumed handshake fails.
    qInfo() << "HUB: the connection closed while the certificate question was open";
    m_menuWanted = false;
    withdrawQuestions();
    m_socket->resume();
}

void HubConnection::withdrawQuestions()
{
    m_pausedPeerTimer->stop();
    const bool open = m_pendingCertificate || m_pendingUpdate;
    m_pendingCertificate.reset();
    m_pendingUpdate.reset();
    if (open)
        emit questionWithdrawn();
}

void HubConnection::socketError(QAbstractSocket::SocketError error)
{
    const SocketCall call(this);
    if (!m_socket || sender() != m_socket)
        return;
    qDebug() << "HUB: SocketError:" << error << m_socket->errorString();
    // Announced by the state change below. A failed handshake is put in words; after a
    // certificate question the socket's text is that of the certificate.
    m_errorText = m_state == State::Connecting && !m_certificateQuestioned
        ? HandshakeFailure::describe(hostPort(), error, m_socket->errorString())
        : m_socket->errorString();
    if (m_errorText != m_socket->errorString())
        qWarning().noquote() << "HUB: connection failed:" << m_errorText;
    // A socket that fails while still connected (the peer closed it) reports its unconnected state
    // only after this, when it is no longer ours; its channels are gone all the same.
    const bool wasOpen = m_socket->state() != QAbstractSocket::UnconnectedState;
    forgetSocket();
    setState(State::Disconnected);
    if (wasOpen)
        emit channelCloseAll();
}

void HubConnection::socketStateChanged(QAbstractSocket::SocketState state)
{
    const SocketCall call(this);
    if (!m_socket || sender() != m_socket)
        return;
    qDebug() << "HUB: socket state:" << state;
    if (state == QAbstractSocket::ConnectedState && m_state == State::Connecting)
        startStep(Step::Handshake);
    if (state == QAbstractSocket::UnconnectedState) {
        // Nothing more comes from a closed socket: it goes now rather than at the next login.
        forgetSocket();
        setState(State::Disconnected);
        emit channelCloseAll();
    }
}

void HubConnection::setErrorText(const QString &text)
{
    if (text == m_errorText)
        return;
    m_errorText = text;
    emit errorTextChanged(m_errorText);
}

QString HubConnection::hostPort() const
{
    return m_hostEntry ? m_hostEntry->settingsKey() : QString();
}

void HubConnection::startStep(Step step)
{
    m_step = step;
    switch (step) {
    case Step::None:
        m_stepTimer->stop();
        return;
    case Step::Connect:
        m_stepTimer->start(m_stepTimeouts.connectMs);
        return;
    case Step::Handshake:
        m_stepTimer->start(m_stepTimeouts.handshakeMs);
        return;
    case Step::HelloAck:
        m_stepTimer->start(m_stepTimeouts.helloAckMs);
        return;
    }
}

void HubConnection::stepTimedOut()
{
    const Step step = std::exchange(m_step, Step::None);
    const auto seconds = [](int ms) { return QString::number(ms / 1000.0, 'g', 3); };
    QString text;
    switch (step) {
    case Step::None:
        return;
    case Step::Connect:
        text = tr("Connecting to %1 timed out: no answer within %2 s.").arg(hostPort(), seconds(m_stepTimeouts.connectMs));
        break;
    case Step::Handshake:
        text = tr("The secure handshake with %1 timed out: no answer within %2 s.")
                   .arg(hostPort(), seconds(m_stepTimeouts.handshakeMs));
        break;
    case Step::HelloAck:
        text = tr("The hub at %1 did not answer the client's greeting within %2 s.")
                   .arg(hostPort(), seconds(m_stepTimeouts.helloAckMs));
        break;
    }
    qWarning().noquote() << "HUB: time-out:" << text;
    failLink(text);
}

void HubConnection::failLink(const QString &text)
{
    m_menuWanted = false;
    m_errorText = text; // announced by the state change
    const bool wasOpen = m_socket && m_socket->state() != QAbstractSocket::UnconnectedState;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    forgetSocket();
    setState(State::Disconnected);
    if (wasOpen)
        emit channelCloseAll();
}

void HubConnection::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    if (state != State::Connecting && state != State::Handshaking)
        startStep(Step::None);
    switch (state) {
    case State::Disconnected:
        m_mainConnection->menuDisconnected(m_errorText);
        BusyMouse::instance()->stop(BusyKey);
        emit errorTextChanged(m_errorText);
        emit disconnected();
        break;
    case State::Connecting:
        BusyMouse::instance()->start(BusyKey, BusyTimeoutMs);
        emit connecting();
        break;
    case State::Handshaking:
        break;
    case State::Updating:
        BusyMouse::instance()->stop(BusyKey);
        setErrorText(tr("Downloading Update"));
        break;
    case State::Connected:
        BusyMouse::instance()->stop(BusyKey);
        setErrorText(QString());
        break;
    }
}

void HubConnection::setReplay(SessionReplay *replay)
{
    if (m_replay)
        m_replay->disconnect(this);
    m_replay = replay;
    if (!replay)
        return;
    connect(replay, &SessionReplay::frameReady, this, [this](quint16 type, const QByteArray &payload) {
        FrameCodec::Frame frame;
        frame.type = type;
        frame.payload = payload;
        frame.length = quint32(payload.size() + FrameCodec::TypeWordSize);
        handleFrame(frame);
    });
}

void HubConnection::startReplayLink()
{
    m_decoder.reset();
    m_peerCompresses = false;
    setState(State::Connecting);
    setState(State::Handshaking);
    qInfo() << "HUB: replaying a recorded session, no network";
    sendHello();
    m_replay->start();
}

bool HubConnection::linkUp() const
{
    if (m_replay)
        return m_replay->isLinkOpen();
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}
