#include "hubconnection.h"

#include "certificatepins.h"
#include "hostentry.h"
#include "linkhealth.h"
#include "tlshubtransport.h"

#include "envelopedispatcher.h"
#include "latin1.h"
#include "menu/mainconnection.h"
#include "utils/busymouse.h"
#include "utils/clientidentity.h"
#include "utils/platform.h"
#include "utils/version.h"

#include "zuhub.pb.h"

#include <QDebug>
#include <QFileInfo>
#include <QRandomGenerator64>
#include <QSysInfo>
#include <QTimer>

namespace {

const QString BusyKey = QStringLiteral("HubConnection");

} // namespace

struct HubConnection::PendingCertificate
{
    QList<QSslError> errors;
    QSslCertificate certificate;
    QString hostPort;
    bool pinnable = false;
};

struct HubConnection::PendingUpdate
{
    ZuHubProto::HelloAck ack;
    bool menuWanted = false;
};

HubConnection::HubConnection(const ClientIdentity *identity, QObject *parent)
    : QObject(parent)
    , m_identity(identity)
    , m_mainConnection(new MainConnection(this))
    , m_dispatcher(std::make_unique<EnvelopeDispatcher>(this, QtDebugMsg,
                                                        "HubConnection: No message handler found for"))
    , m_socketTransport(new TlsHubTransport(this))
    , m_health(new LinkHealth(this))
    , m_pingTimer(new QTimer(this))
    , m_stepTimer(new QTimer(this))
{
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
    connect(m_health, &LinkHealth::probeWanted, this, &HubConnection::sendPing);
    connect(m_health, &LinkHealth::silent, this, &HubConnection::hubSilent);
    connect(m_health, &LinkHealth::answeringAgain, this, &HubConnection::hubAnswering);
    setTransport(nullptr);
}

HubConnection::~HubConnection()
{
    if (m_transport)
        m_transport->disconnect(this);
}

int HubConnection::pingInterval() const
{
    return m_pingTimer->interval();
}

HubTransport *HubConnection::transport() const
{
    return m_transport;
}

void HubConnection::setTransport(HubTransport *transport)
{
    if (!transport)
        transport = m_socketTransport;
    if (transport == m_transport)
        return;
    if (m_transport) {
        m_transport->close();
        m_transport->setTap(nullptr);
        m_transport->disconnect(this);
    }
    m_transport = transport;
    transport->setTap(m_tap);
    connect(transport, &HubTransport::tcpConnected, this, [this] {
        if (m_state == State::Connecting)
            startStep(Step::Handshake);
    });
    connect(transport, &HubTransport::encrypted, this, &HubConnection::transportEncrypted);
    connect(transport, &HubTransport::certificateErrors, this, &HubConnection::askAboutCertificate);
    connect(transport, &HubTransport::peerGoneWhilePaused, this, &HubConnection::peerGoneWhileAsked);
    connect(transport, &HubTransport::frameReceived, this, &HubConnection::handleFrame);
    connect(transport, &HubTransport::closed, this, &HubConnection::transportClosed);
    connect(transport, &HubTransport::backlogChanged, m_health, &LinkHealth::setBacklogged);
    connect(transport, &HubTransport::readingHeldChanged, m_health, &LinkHealth::setReadingHeld);
}

void HubConnection::setTap(HubLinkTap *tap)
{
    m_tap = tap;
    m_transport->setTap(tap);
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
    // What the last link ended with never shows for this one.
    m_errorText.clear();
    m_certificateRefusal.clear();
    m_helloAcknowledged = false;
    m_menuWanted = connectMenu;
    // Entered before opening: a transport that fails at once must still find the link in
    // Connecting, so that its end brings the usual disconnection.
    setState(State::Connecting);
    startStep(Step::Connect);
    m_transport->open(*m_hostEntry);
}

void HubConnection::transportEncrypted()
{
    if (m_state != State::Connecting) {
        qWarning() << "HubConnection::socketEncrypted() - invalid state:" << int(m_state);
        return;
    }
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

void HubConnection::holdReading(QObject *holder, bool hold)
{
    m_transport->holdReading(holder, hold);
}

void HubConnection::handleFrame(const FrameCodec::Frame &frame)
{
    m_health->heard();
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
        endLink(tr("Hub protocol error: the hub sent an envelope that cannot be read."));
        return;
    }
    m_dispatcher->dispatch(envelope);
}

void HubConnection::sendEnvelope(const ZuHubProto::Envelope &envelope)
{
    sendFrame(FrameCodec::EnvelopeFrame, QByteArray::fromStdString(envelope.SerializeAsString()));
}

void HubConnection::sendFrame(quint16 type, const QByteArray &payload, const QByteArray &redacted)
{
    m_transport->send(type, payload, redacted);
}

void HubConnection::mh_hello_ack(const google::protobuf::Message &msg)
{
    // One greeting per link: a later one could switch compression or end the client mid-session.
    if (m_helloAcknowledged) {
        qWarning() << "HubConnection::mh_hello_ack() - a second HelloAck on this link; ignored";
        return;
    }
    m_helloAcknowledged = true;
    const auto &ack = static_cast<const ZuHubProto::HelloAck &>(msg);
    startStep(Step::None);
    m_transport->setPeerCompresses(ack.supports_compression());
    qInfo() << "HUB: Supports message compression:" << ack.supports_compression();
    const bool menuWanted = m_menuWanted;
    m_menuWanted = false;

    if (ack.has_client_version()) {
        const QString version = Latin1::toQString(ack.client_version());
        const QFileInfo tool(Platform::maintenanceToolFileName()); // in the executable's directory
        if (tool.exists() && tool.isFile()) {
            qInfo() << "Prompting user for update to" << version << " Is required:" << ack.client_incompatible();
            BusyMouse::instance()->stop(BusyKey);
            m_pendingUpdate = std::make_unique<PendingUpdate>();
            m_pendingUpdate->ack = ack;
            m_pendingUpdate->menuWanted = menuWanted;
            emit updateOffered(version, ack.client_incompatible());
            return;
        }
        qInfo().noquote() << "The hub offers client version" << version
                          << "but no update is offered: this installation cannot update itself (no"
                          << tool.absoluteFilePath() << "beside the client).";
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
    // Withdrawn with its link: an offer still here belongs to the open one.
    const std::unique_ptr<PendingUpdate> offer = std::move(m_pendingUpdate);
    if (!offer || !m_transport->isOpen())
        return;
    if (download) {
        setState(State::Updating);
        emit downloadUpdate(Latin1::toQString(offer->ack.installer_url()));
        return;
    }
    qInfo() << "User declined to install update";
    if (offer->ack.client_incompatible()) {
        endLink(tr("Client Incompatible"));
        return;
    }
    acceptHello(offer->ack, offer->menuWanted);
}

void HubConnection::acceptHello(const ZuHubProto::HelloAck &ack, bool menuWanted)
{
    if (!ack.accepted()) {
        endLink(Latin1::toQString(ack.reject_reason()));
        return;
    }
    // An acknowledgement answered after the link closed must not revive it, nor start a menu
    // session on it.
    if (!m_transport->isOpen())
        return;
    setState(State::Connected);
    if (menuWanted) {
        m_menuWanted = true;
        m_mainConnection->setClassicListenPort(quint16(ack.classic_listen_port()));
        m_mainConnection->setAddresses(m_transport->localAddress(), Latin1::toQString(ack.client_public_address()));
        m_mainConnection->startMenuConnection();
    }
}

void HubConnection::refuseIncompatibleClient(const QString &informativeText)
{
    endLink(tr("Client Incompatible"));
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
        m_health->stop();
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
    qInfo() << "The hub has disconnected with message:" << message;
    endLink(message.isEmpty() ? tr("ZU system disconnected.") : tr("Disconnected: %1").arg(message));
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
    m_health->pingSent();
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

void HubConnection::keepWaiting()
{
    m_health->keepWaiting();
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
    m_health->userSent();
}

void HubConnection::channelMessageSend(ushort channelId, const QByteArray &data, const QByteArray &redacted)
{
    if (m_state != State::Connected) {
        qWarning() << "HubConnection::channelMessageSend() - invalid state:" << int(m_state);
        return;
    }
    qDebug() << "sending data on channel" << channelId;
    sendFrame(FrameCodec::ChannelFrame, FrameCodec::channelPayload(channelId, data),
              redacted.isNull() ? QByteArray() : FrameCodec::channelPayload(channelId, redacted));
    m_health->userSent();
}

void HubConnection::askAboutCertificate(const QList<QSslError> &errors, const QSslCertificate &certificate,
                                        const QList<QSslCertificate> &chain)
{
    const QString hostPort = this->hostPort();
    const CertificatePins::Verdict verdict = CertificatePins::check(hostPort, certificate, errors);
    if (verdict == CertificatePins::Verdict::Trusted) {
        qInfo() << "HUB: pinned certificate accepted for" << hostPort << CertificatePins::fingerprint(certificate);
        m_transport->resumeHandshake(true, errors);
        return;
    }

    const CertificateQuestion question = CertificateQuestion::about(
        hostPort, m_hostEntry ? m_hostEntry->host : QString(), certificate, chain, errors, verdict);
    qDebug() << "HUB: SSL Errors:";
    setErrorText(tr("SSL Errors..."));
    for (const QString &error : question.errors)
        qDebug().nospace() << "  " << error;
    BusyMouse::instance()->stop(BusyKey);

    // No time-out while a person reads: the paused handshake waits for the answer.
    startStep(Step::None);
    m_pendingCertificate = std::make_unique<PendingCertificate>();
    m_pendingCertificate->errors = errors;
    m_pendingCertificate->certificate = certificate;
    m_pendingCertificate->hostPort = hostPort;
    m_pendingCertificate->pinnable = question.pinnable;
    emit certificateQuestion(question);
}

void HubConnection::answerCertificateQuestion(bool ignore, bool alwaysTrust)
{
    // Withdrawn with its link: a question still here belongs to the open one.
    const std::unique_ptr<PendingCertificate> pending = std::move(m_pendingCertificate);
    if (!pending)
        return;
    if (!ignore) {
        // The handshake now fails; the login dialog then names every problem, not the first alone.
        m_menuWanted = false;
        QStringList problems;
        for (const QSslError &error : pending->errors)
            problems << QStringLiteral("- ") + error.errorString();
        m_certificateRefusal = tr("The certificate of %1 was not accepted:\n%2")
                                   .arg(pending->hostPort, problems.join(QLatin1Char('\n')));
        setErrorText(tr("SSL Errors: Canceled"));
        m_transport->resumeHandshake(false, pending->errors);
        return;
    }
    qDebug() << "** SSL errors ignored **";
    if (alwaysTrust && pending->pinnable && !pending->hostPort.isEmpty()) {
        qInfo() << "HUB: certificate pinned for" << pending->hostPort
                << CertificatePins::fingerprint(pending->certificate);
        CertificatePins::trust(pending->hostPort, pending->certificate, pending->errors);
    }
    setErrorText(QString());
    if (m_state == State::Connecting)
        startStep(Step::Handshake);
    m_transport->resumeHandshake(true, pending->errors);
}

void HubConnection::peerGoneWhileAsked()
{
    if (!m_pendingCertificate)
        return;
    // The question answers nothing now: it closes, and the transport's own words stay on the login
    // dialog once the resumed handshake fails.
    qInfo() << "HUB: the connection closed while the certificate question was open";
    const QList<QSslError> errors = m_pendingCertificate->errors;
    m_menuWanted = false;
    withdrawQuestions();
    m_transport->resumeHandshake(false, errors);
}

void HubConnection::withdrawQuestions()
{
    const bool open = m_pendingCertificate || m_pendingUpdate;
    m_pendingCertificate.reset();
    m_pendingUpdate.reset();
    if (open)
        emit questionWithdrawn();
}

void HubConnection::transportClosed(const QString &text)
{
    endLink(m_certificateRefusal.isEmpty() ? text : m_certificateRefusal);
}

void HubConnection::closeLink(const QString &reason)
{
    qInfo().noquote() << "HUB: closing the link:" << reason;
    endLink(reason, true);
}

void HubConnection::endLink(const QString &text, bool announce)
{
    const State was = m_state;
    withdrawQuestions();
    startStep(Step::None);
    m_health->stop();
    m_transport->close();
    m_menuWanted = false;
    m_errorText = text; // announced by the state change
    if (was == State::Connected)
        emit linkLost(text);
    if (was != State::Disconnected)
        setState(State::Disconnected);
    else if (announce)
        announceDisconnection();
    emit channelCloseAll();
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
    endLink(text);
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
        announceDisconnection();
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
        if (m_transport->isLive())
            m_health->start();
        break;
    }
}

void HubConnection::announceDisconnection()
{
    m_health->stop();
    m_mainConnection->menuDisconnected(m_errorText);
    BusyMouse::instance()->stop(BusyKey);
    emit errorTextChanged(m_errorText);
    emit disconnected();
}
