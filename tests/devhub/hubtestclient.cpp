#include "hubtestclient.h"

#include <QTest>
#include <QtEndian>

HubTestClient::HubTestClient(QObject *parent)
    : QObject(parent)
{
    connect(&m_socket, qOverload<const QList<QSslError> &>(&QSslSocket::sslErrors), this,
            [this](const QList<QSslError> &errors) { m_socket.ignoreSslErrors(errors); });
    connect(&m_socket, &QSslSocket::readyRead, this, &HubTestClient::readFrames);
}

bool HubTestClient::connectTo(quint16 port)
{
    m_socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    // The hub runs in this process: wait with the event loop running, never blocking it.
    return QTest::qWaitFor([this] { return m_socket.isEncrypted(); }, WaitMs);
}

bool HubTestClient::waitForDisconnected(int timeoutMs)
{
    return QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; },
                           timeoutMs);
}

void HubTestClient::sendRaw(const QByteArray &bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

void HubTestClient::sendHub(const ZuHubProto::Envelope &envelope)
{
    sendRaw(FrameCodec::encode(FrameCodec::EnvelopeFrame,
                               QByteArray::fromStdString(envelope.SerializeAsString()), m_peerCompresses)
                .bytes);
}

void HubTestClient::sendMenu(const Menu::Envelope &envelope)
{
    sendRaw(FrameCodec::encode(FrameCodec::MenuFrame, QByteArray::fromStdString(envelope.SerializeAsString()),
                               m_peerCompresses)
                .bytes);
}

void HubTestClient::sendMenuBytes(const QByteArray &bytes)
{
    sendRaw(FrameCodec::encode(FrameCodec::MenuFrame, bytes, m_peerCompresses).bytes);
}

void HubTestClient::sendChannel(quint16 channelId, const QByteArray &data)
{
    sendRaw(FrameCodec::encode(FrameCodec::ChannelFrame, FrameCodec::channelPayload(channelId, data),
                               m_peerCompresses)
                .bytes);
}

void HubTestClient::readFrames()
{
    m_codec.feed(m_socket.readAll());
    FrameCodec::Frame frame;
    while (m_codec.next(&frame) == FrameCodec::Result::Frame) {
        frames.append(frame);
        if (frame.type == FrameCodec::EnvelopeFrame) {
            ZuHubProto::Envelope envelope;
            if (envelope.ParseFromArray(frame.payload.constData(), frame.payload.size()))
                hubQueue.append(envelope);
        } else if (frame.type == FrameCodec::MenuFrame) {
            Menu::Envelope envelope;
            if (envelope.ParseFromArray(frame.payload.constData(), frame.payload.size()))
                menuQueue.append(envelope);
            emit menuBytesReceived(frame.payload);
        } else if (frame.payload.size() >= 2) {
            channelQueue.append({ qFromBigEndian<quint16>(frame.payload.constData()), frame.payload.mid(2) });
        }
    }
}

namespace {

// Takes envelopes off the queue until one has `field` set, waiting for more while there are none.
template<typename Envelope>
Envelope takeFirstWith(QList<Envelope> &queue, bool (Envelope::*field)() const, int timeoutMs)
{
    Envelope found;
    (void)QTest::qWaitFor(
        [&] {
            while (!queue.isEmpty()) {
                const Envelope next = queue.takeFirst();
                if ((next.*field)()) {
                    found = next;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

} // namespace

ZuHubProto::Envelope HubTestClient::waitHub(HubField field, int timeoutMs)
{
    return takeFirstWith(hubQueue, field, timeoutMs);
}

Menu::Envelope HubTestClient::waitMenu(MenuField field, int timeoutMs)
{
    return takeFirstWith(menuQueue, field, timeoutMs);
}

QByteArray HubTestClient::waitChannelText(quint16 channelId, const QByteArray &text, int timeoutMs)
{
    QByteArray all;
    (void)QTest::qWaitFor(
        [&] {
            for (int i = 0; i < channelQueue.size();) {
                if (channelQueue.at(i).first == channelId)
                    all += channelQueue.takeAt(i).second;
                else
                    ++i;
            }
            return all.contains(text);
        },
        timeoutMs);
    return all;
}

QByteArray HubTestClient::waitChannelMessage(quint16 channelId, int timeoutMs)
{
    QByteArray message;
    (void)QTest::qWaitFor(
        [&] {
            for (int i = 0; i < channelQueue.size(); ++i) {
                if (channelQueue.at(i).first == channelId) {
                    message = channelQueue.takeAt(i).second;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return message;
}

ZuHubProto::HelloAck HubTestClient::hello(bool compression)
{
    ZuHubProto::Envelope envelope;
    auto *hello = envelope.mutable_hello();
    hello->set_platform(ZuHubProto::WIN);
    hello->set_version("1.9.0-143");
    hello->set_supports_compression(compression);
    sendHub(envelope);
    const ZuHubProto::HelloAck ack = waitHub(&ZuHubProto::Envelope::has_hello_ack).hello_ack();
    m_peerCompresses = ack.supports_compression();
    return ack;
}

bool HubTestClient::openMenu()
{
    ZuHubProto::Envelope envelope;
    envelope.mutable_menu_connection_control()->set_connect_state(true);
    sendHub(envelope);
    return waitHub(&ZuHubProto::Envelope::has_menu_connection_status).menu_connection_status().is_connected();
}

Menu::AuthStatus HubTestClient::login(const QString &user, const QString &password)
{
    Menu::Envelope handshake;
    handshake.mutable_handshake()->set_version("1.9.0-143");
    handshake.mutable_handshake()->set_port(33333);
    sendMenu(handshake);
    Menu::Envelope auth;
    auth.mutable_authenticate()->set_username(user.toStdString());
    auth.mutable_authenticate()->set_password(password.toStdString());
    sendMenu(auth);
    return waitMenu(&Menu::Envelope::has_authstatus).authstatus();
}

bool HubTestClient::connectAndLogin(quint16 port, const QString &user, const QString &password)
{
    if (!connectTo(port) || !hello().accepted() || !openMenu())
        return false;
    const Menu::AuthStatus status = login(user, password);
    return status.has_status() && status.status() == Menu::AuthStatus::SUCCESS;
}
