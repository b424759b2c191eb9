#include "hubclientsession.h"

#include "channelapplink.h"
#include "demoappfactory.h"
#include "demoinstaller.h"
#include "devhubconfig.h"
#include "devhubcontext.h"
#include "devhubversion.h"
#include "latencyline.h"
#include "menuserver.h"
#include "userstore.h"

#include "latin1.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QSslSocket>

namespace {

constexpr int CloseFlushTimeoutMs = 5000;

QString addressText(const QHostAddress &address)
{
    bool mapped = false;
    const quint32 ipv4 = address.toIPv4Address(&mapped);
    return mapped ? QHostAddress(ipv4).toString() : address.toString();
}

} // namespace

HubClientSession::HubClientSession(int id, QSslSocket *socket, const DevHubContext &context, QObject *parent)
    : QObject(parent)
    , m_id(id)
    , m_label(QStringLiteral("client %1").arg(id))
    , m_socket(socket)
    , m_line(new LatencyLine(socket, context.latencyMs, this))
    , m_context(context)
    , m_dispatcher(this, QtWarningMsg, "hub: No message handler found for")
{
    socket->setParent(this);
    m_peerAddress = socket->peerAddress();
    m_peer = QStringLiteral("%1:%2").arg(addressText(m_peerAddress)).arg(socket->peerPort());
    if (!context.recordPath.isEmpty())
        startRecording();

    connect(socket, &QSslSocket::encrypted, this, [this] { setState(State::AwaitingHello); });
    connect(socket, &QSslSocket::readyRead, this, &HubClientSession::readFrames);
    connect(socket, &QSslSocket::bytesWritten, this, &HubClientSession::updateCongestion);
    connect(socket, &QSslSocket::encryptedBytesWritten, this, &HubClientSession::updateCongestion);
    connect(socket, &QSslSocket::disconnected, this, [this] {
        if (m_state != State::Closed)
            qInfo().noquote() << QStringLiteral("%1: disconnected").arg(m_label);
        setState(State::Closed);
        emit finished(m_id);
    });
    connect(socket, &QSslSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (m_state == State::Closed || !m_socket)
            return;
        if (error == QAbstractSocket::RemoteHostClosedError)
            return; // disconnected() follows
        qInfo().noquote() << QStringLiteral("%1: connection error: %2").arg(m_label, m_socket->errorString());
        if (m_socket->state() == QAbstractSocket::UnconnectedState) {
            setState(State::Closed);
            emit finished(m_id);
        }
    });
    connect(socket, qOverload<const QList<QSslError> &>(&QSslSocket::sslErrors), this,
            [this](const QList<QSslError> &errors) {
                for (const QSslError &error : errors)
                    qInfo().noquote() << QStringLiteral("%1: TLS: %2").arg(m_label, error.errorString());
            });

    // Nobody holds a client slot without logging in, or for ever without a word.
    m_codec.setFrameLimit(PreLoginFrameLimit);
    m_loginTimer.setSingleShot(true);
    connect(&m_loginTimer, &QTimer::timeout, this, [this] {
        dropClient(QStringLiteral("no login within %1 ms").arg(m_context.loginTimeoutMs));
    });
    m_loginTimer.start(m_context.loginTimeoutMs);
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        dropClient(QStringLiteral("nothing received for %1 ms").arg(m_context.idleTimeoutMs));
    });
    m_idleTimer.start(m_context.idleTimeoutMs);
    qInfo().noquote() << QStringLiteral("%1 (%2): connected").arg(m_label, m_peer);
}

HubClientSession::~HubClientSession()
{
    // Applications end with the session; their programs are killed by their own destructors.
    m_channels.clear();
}

QString HubClientSession::userName() const
{
    return m_menu ? m_menu->userName() : QString();
}

void HubClientSession::startEncryption()
{
    if (m_socket)
        m_socket->startServerEncryption();
}

void HubClientSession::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    switch (state) {
    case State::Encrypting:
    case State::AwaitingHello:
        break;
    case State::Ready:
        sendHelloAck(m_context.update);
        if (!m_context.notifyOnConnect.isEmpty())
            notify(m_context.notifyOnConnect);
        if (!m_context.disconnectOnConnect.isEmpty())
            forceDisconnect(m_context.disconnectOnConnect);
        break;
    case State::Closed: {
        m_loginTimer.stop();
        m_idleTimer.stop();
        closeMenu();
        const QList<quint16> ids = m_channels.keys();
        for (const quint16 id : ids) {
            const Channel channel = m_channels.take(id);
            if (channel.link)
                channel.link->peerGone();
            if (channel.app) {
                channel.app->stop();
                channel.app->deleteLater();
            }
            if (channel.link)
                channel.link->deleteLater();
        }
        if (m_socket && m_socket->state() != QAbstractSocket::UnconnectedState) {
            // Let what is queued (a ForceDisconnect, say) reach the client, but not forever.
            m_line->flush();
            m_socket->disconnectFromHost();
            QTimer::singleShot(CloseFlushTimeoutMs, m_socket, [socket = m_socket] { socket->abort(); });
        }
        break;
    }
    }
}

void HubClientSession::dropClient(const QString &reason)
{
    if (m_state == State::Closed)
        return;
    qWarning().noquote() << QStringLiteral("%1: %2; disconnecting").arg(m_label, reason);
    setState(State::Closed);
    if (m_socket)
        m_socket->abort();
}

void HubClientSession::readFrames()
{
    if (m_reading || !m_socket)
        return;
    m_reading = true;
    m_idleTimer.start(m_context.idleTimeoutMs);
    m_codec.feed(m_socket->readAll());
    FrameCodec::Frame frame;
    while (m_state != State::Closed) {
        const FrameCodec::Result result = m_codec.next(&frame);
        if (result == FrameCodec::Result::NeedMore)
            break;
        if (result == FrameCodec::Result::Error) {
            dropClient(QStringLiteral("protocol error: %1").arg(m_codec.errorText()));
            break;
        }
        handleFrame(frame);
    }
    m_reading = false;
}

void HubClientSession::handleFrame(const FrameCodec::Frame &frame)
{
    if (m_recorder)
        m_recorder->recordFrame(SessionRecord::Direction::FromClient, frame.type, frame.payload);
    if (frame.decompressFailed) {
        dropClient(QStringLiteral("unreadable compressed frame"));
        return;
    }
    if (frame.type == FrameCodec::EnvelopeFrame) {
        ZuHubProto::Envelope envelope;
        if (!envelope.ParseFromArray(frame.payload.constData(), frame.payload.size())) {
            dropClient(QStringLiteral("unreadable hub envelope"));
            return;
        }
        if (m_state != State::Ready && !envelope.has_hello()) {
            dropClient(QStringLiteral("the first message is not a hello"));
            return;
        }
        m_dispatcher.dispatch(envelope);
        return;
    }
    if (m_state != State::Ready) {
        dropClient(QStringLiteral("data before the hello"));
        return;
    }
    if (frame.type == FrameCodec::MenuFrame) {
        if (!m_menu) {
            qDebug().noquote()
                << QStringLiteral("%1: menu message while the menu link is closed; dropped").arg(m_label);
            return;
        }
        if (!m_menu->processMessage(frame.payload))
            dropClient(QStringLiteral("unreadable menu message"));
        return;
    }
    // Channel frame.
    FrameCodec::ChannelData data;
    if (!FrameCodec::splitChannelPayload(frame.payload, &data)) {
        dropClient(QStringLiteral("channel frame without a channel id"));
        return;
    }
    const Channel channel = m_channels.value(data.channelId);
    if (!channel.link) {
        qDebug().noquote() << QStringLiteral("%1: data for channel %2, which is not open; dropped")
                                  .arg(m_label)
                                  .arg(data.channelId);
        return;
    }
    channel.link->deliver(QByteArray(data.data, data.size));
}

void HubClientSession::sendFrame(quint16 type, const QByteArray &payload)
{
    if (!m_socket || m_state == State::Closed)
        return;
    if (m_recorder)
        m_recorder->recordFrame(SessionRecord::Direction::FromHub, type, payload);
    m_line->write(FrameCodec::encode(type, payload, m_peerCompresses).bytes);
    updateCongestion();
}

void HubClientSession::sendEnvelope(const ZuHubProto::Envelope &envelope)
{
    QByteArray bytes(int(envelope.ByteSizeLong()), Qt::Uninitialized);
    envelope.SerializeToArray(bytes.data(), bytes.size());
    sendFrame(FrameCodec::EnvelopeFrame, bytes);
}

void HubClientSession::updateCongestion()
{
    if (!m_socket || m_state == State::Closed)
        return;
    const qint64 backlog = m_line->heldBytes() + m_socket->bytesToWrite() + m_socket->encryptedBytesToWrite();
    if (backlog > MaxBacklog) {
        dropClient(QStringLiteral("the client is not reading (%1 bytes waiting)").arg(backlog));
        return;
    }
    const bool congested = m_congested ? backlog > LowWater : backlog > HighWater;
    if (congested == m_congested)
        return;
    m_congested = congested;
    for (const Channel &channel : qAsConst(m_channels)) {
        if (channel.link)
            channel.link->setCongested(congested);
    }
}

void HubClientSession::sendHelloAck(const UpdateOffer &offer)
{
    ZuHubProto::Envelope envelope;
    auto *ack = envelope.mutable_hello_ack();
    ack->set_accepted(true);
    ack->set_classic_listen_port(m_context.config->classicListenPort());
    ack->set_supports_compression(true);
    if (m_socket)
        ack->set_client_public_address(Latin1::fromQString(addressText(m_socket->peerAddress())));
    if (!offer.version.isEmpty())
        ack->set_client_version(Latin1::fromQString(offer.version));
    if (offer.required)
        ack->set_client_incompatible(true);
    if (!offer.installerUrl.isEmpty())
        ack->set_installer_url(Latin1::fromQString(offer.installerUrl));
    else if (!offer.version.isEmpty() && m_context.installerPort != 0 && m_socket)
        ack->set_installer_url(Latin1::fromQString(DemoInstaller::defaultUrl(
            addressText(m_socket->localAddress()), m_context.installerPort, offer.version)));
    sendEnvelope(envelope);
}

void HubClientSession::mh_hello(const google::protobuf::Message &msg)
{
    const auto &hello = static_cast<const ZuHubProto::Hello &>(msg);
    if (m_state != State::AwaitingHello) {
        qInfo().noquote() << QStringLiteral("%1: repeated hello ignored").arg(m_label);
        return;
    }
    m_clientVersion = Latin1::toQString(hello.version());
    m_peerCompresses = hello.supports_compression();
    qInfo().noquote() << QStringLiteral("%1: hello from version %2 on %3 (%4, %5 %6), compression %7")
                             .arg(m_label, m_clientVersion,
                                  QString::fromStdString(ZuHubProto::Platform_Name(hello.platform())),
                                  Latin1::toQString(hello.cpu()), Latin1::toQString(hello.kernel_type()),
                                  Latin1::toQString(hello.kernel_version()),
                                  m_peerCompresses ? QStringLiteral("on") : QStringLiteral("off"));
    setState(State::Ready);
}

void HubClientSession::mh_ping(const google::protobuf::Message &msg)
{
    ZuHubProto::Envelope envelope;
    envelope.mutable_ping()->set_timestamp(static_cast<const ZuHubProto::Ping &>(msg).timestamp());
    sendEnvelope(envelope);
}

void HubClientSession::mh_menu_connection_control(const google::protobuf::Message &msg)
{
    if (static_cast<const ZuHubProto::MenuConnectionControl &>(msg).connect_state()) {
        openMenu();
        return;
    }
    // No status in reply: the client already counts the link as closed, and a status would replace
    // the error it shows (a failed login, for one) with an empty text.
    if (m_menu)
        qInfo().noquote() << QStringLiteral("%1: menu link closed at the client's request").arg(m_label);
    closeMenu();
}

void HubClientSession::openMenu()
{
    // Each request starts a fresh menu session, as a reconnection would with a real menu server.
    closeMenu();
    m_menu = new MenuServer(m_context, m_label, this);
    if (m_socket)
        m_menu->setLocalHost(addressText(m_socket->localAddress()));
    connect(m_menu, &MenuServer::messageReady, this,
            [this](const QByteArray &bytes) { sendFrame(FrameCodec::MenuFrame, bytes); });
    connect(m_menu, &MenuServer::launchRequested, this, &HubClientSession::launch);
    connect(m_menu, &MenuServer::loggedIn, this, [this] {
        m_loginTimer.stop();
        m_codec.setFrameLimit(FrameCodec::MaxFrameLength);
    });
    qInfo().noquote() << QStringLiteral("%1: menu link up").arg(m_label);
    ZuHubProto::Envelope envelope;
    envelope.mutable_menu_connection_status()->set_is_connected(true);
    sendEnvelope(envelope);
}

void HubClientSession::closeMenu()
{
    if (!m_menu)
        return;
    m_menu->disconnect(this);
    m_menu->deleteLater();
    m_menu = nullptr;
}

void HubClientSession::mh_password_change(const google::protobuf::Message &msg)
{
    const auto &change = static_cast<const ZuHubProto::PasswordChange &>(msg);
    const QString user = Latin1::toQString(change.username());
    UserStore::ChangeResult result;
    // Only for the user of this connection, once the old password has been shown at login: before
    // that, password changes would let anyone try passwords without a login being counted.
    const bool authenticated = m_menu && m_menu->state() != MenuServer::State::AwaitingLogin;
    if (!authenticated)
        result = { false, QStringLiteral("Log in before changing the password.") };
    else if (m_menu->userName() != user)
        result = { false, QStringLiteral("You can only change your own password.") };
    else
        result = m_context.users->changePassword(user, Latin1::toQString(change.old_password()),
                                                 Latin1::toQString(change.new_password()));
    qInfo().noquote() << QStringLiteral("%1: password change for \"%2\": %3")
                             .arg(m_label, user, result.success ? QStringLiteral("done") : result.message);
    if (result.success && m_menu)
        m_menu->passwordChanged(user);

    ZuHubProto::Envelope envelope;
    envelope.mutable_password_change_result()->set_success(result.success);
    envelope.mutable_password_change_result()->set_result_message(Latin1::fromQString(result.message));
    sendEnvelope(envelope);
}

void HubClientSession::mh_username_update(const google::protobuf::Message &msg)
{
    m_confirmedUser = Latin1::toQString(static_cast<const ZuHubProto::UsernameUpdate &>(msg).username());
    qDebug().noquote() << QStringLiteral("%1: user name confirmed: \"%2\"").arg(m_label, m_confirmedUser);
}

quint16 HubClientSession::freeChannelId() const
{
    quint16 id = m_lastChannelId;
    for (int tries = 0; tries < 0xffff; ++tries) {
        id = id == 0xffff ? 1 : quint16(id + 1);
        if (!m_channels.contains(id))
            return id;
    }
    return 0;
}

void HubClientSession::launch(const QString &kind, const DemoAppContext &context)
{
    if (m_channels.size() >= MaxChannels) {
        m_menu->launchFailed(context.menuPath,
                             QStringLiteral("%1 applications are open already").arg(MaxChannels));
        return;
    }
    const quint16 id = freeChannelId();
    auto *link = new ChannelAppLink(id, this);
    QString error;
    DemoApplication *app = DemoAppFactory::create(kind, link, context, this, &error);
    if (!app) {
        delete link;
        m_menu->launchFailed(context.menuPath, error);
        return;
    }
    m_lastChannelId = id;
    connect(link, &ChannelAppLink::outgoing, this, [this](quint16 channelId, const QByteArray &message) {
        sendFrame(FrameCodec::ChannelFrame, FrameCodec::channelPayload(channelId, message));
    });
    connect(link, &ChannelAppLink::closeRequested, this, &HubClientSession::closeChannel);
    connect(app, &DemoApplication::finished, link, &ChannelAppLink::close);
    link->setCongested(m_congested);
    m_channels.insert(id, Channel { link, app, context.menuPath });

    // The client must know the channel before the application's handshake arrives on it.
    sendChannelStatus(id, true);
    qInfo().noquote() << QStringLiteral("%1: channel %2 opened for \"%3\" (%4)")
                             .arg(m_label)
                             .arg(id)
                             .arg(context.menuPath, kind);
    if (!app->start(&error)) {
        m_menu->launchFailed(context.menuPath, error);
        app->stop();
        closeChannel(id);
    }
}

void HubClientSession::closeChannel(quint16 channelId)
{
    const auto it = m_channels.find(channelId);
    if (it == m_channels.end())
        return;
    const Channel channel = it.value();
    m_channels.erase(it);
    qInfo().noquote()
        << QStringLiteral("%1: channel %2 closed (\"%3\")").arg(m_label).arg(channelId).arg(channel.menuPath);
    if (m_state == State::Ready)
        sendChannelStatus(channelId, false);
    if (channel.app)
        channel.app->deleteLater();
    if (channel.link)
        channel.link->deleteLater();
}

void HubClientSession::sendChannelStatus(quint16 channelId, bool connected)
{
    ZuHubProto::Envelope envelope;
    envelope.mutable_classic_connection_status()->set_channel_id(channelId);
    envelope.mutable_classic_connection_status()->set_is_connected(connected);
    sendEnvelope(envelope);
}

void HubClientSession::notify(const QString &text)
{
    if (m_state != State::Ready)
        return;
    ZuHubProto::Envelope envelope;
    envelope.mutable_notify()->set_message(Latin1::fromQString(text));
    sendEnvelope(envelope);
}

bool HubClientSession::sendStatus(int type, const QString &text)
{
    if (m_state != State::Ready || !m_menu || m_menu->state() != MenuServer::State::LoggedIn)
        return false;
    m_menu->sendStatus(Menu::StatusMessage::Type(type), text);
    return true;
}

void HubClientSession::forceDisconnect(const QString &text)
{
    if (m_state != State::Ready)
        return;
    ZuHubProto::Envelope envelope;
    envelope.mutable_force_disconnect()->set_message(Latin1::fromQString(text));
    sendEnvelope(envelope);
    qInfo().noquote() << QStringLiteral("%1: forced off (\"%2\")").arg(m_label, text);
    setState(State::Closed);
}

void HubClientSession::offerUpdate(const UpdateOffer &offer)
{
    if (m_state == State::Ready)
        sendHelloAck(offer);
}

void HubClientSession::startRecording()
{
    QString path = m_context.recordPath;
    if (m_id > 1) {
        const QFileInfo file(path);
        const QString suffix = file.suffix().isEmpty() ? QString() : QLatin1Char('.') + file.suffix();
        path = file.dir().filePath(
            QStringLiteral("%1-%2%3").arg(file.completeBaseName()).arg(m_id).arg(suffix));
    }
    auto recorder = std::make_unique<SessionRecordWriter>();
    if (!recorder->open(path, SessionRecordWriter::Side::Hub,
                        QStringLiteral("zu-devhub %1").arg(QLatin1String(DevHubVersion)))) {
        qWarning().noquote() << QStringLiteral("%1: %2").arg(m_label, recorder->errorText());
        return;
    }
    qInfo().noquote() << QStringLiteral("%1: recording into %2").arg(m_label, path);
    // The address the client reached, which a replay of this file shows as its host.
    const QString reached
        = QStringLiteral("%1:%2").arg(addressText(m_socket->localAddress())).arg(m_socket->localPort());
    recorder->recordNote(QLatin1String(SessionRecord::ConnectingNote) + reached);
    m_recorder = std::move(recorder);
}
