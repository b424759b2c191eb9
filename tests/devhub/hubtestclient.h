#pragma once

#include "framecodec.h"

#include "menu.pb.h"
#include "zuhub.pb.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QSslSocket>

// A bare client of the stand-in hub for tests: a QSslSocket that accepts the self-signed
// certificate, FrameCodec in both directions, and queues of what arrived, taken in order by the
// wait functions.
class HubTestClient : public QObject
{
    Q_OBJECT

public:
    static constexpr int WaitMs = 10000;

    using HubField = bool (ZuHubProto::Envelope::*)() const;
    using MenuField = bool (Menu::Envelope::*)() const;

    explicit HubTestClient(QObject *parent = nullptr);

    // The address to connect from: other loopback addresses (127.0.0.2, ...) stand for other machines.
    bool bindTo(const QHostAddress &address) { return m_socket.bind(address); }
    bool connectTo(quint16 port);
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    bool waitForDisconnected(int timeoutMs = WaitMs);
    // Leaves as a client that closes its connection properly.
    void disconnectFromHub() { m_socket.disconnectFromHost(); }

    void sendRaw(const QByteArray &bytes);
    void sendHub(const ZuHubProto::Envelope &envelope);
    void sendMenu(const Menu::Envelope &envelope);
    void sendMenuBytes(const QByteArray &bytes);
    void sendChannel(quint16 channelId, const QByteArray &data);

    // The first queued envelope with the field set (others before it are skipped and dropped), or
    // an empty envelope after the time-out.
    ZuHubProto::Envelope waitHub(HubField field, int timeoutMs = WaitMs);
    Menu::Envelope waitMenu(MenuField field, int timeoutMs = WaitMs);
    // All channel bytes of the channel received so far, waited for until they contain the text.
    QByteArray waitChannelText(quint16 channelId, const QByteArray &text, int timeoutMs = WaitMs);
    // The next whole message on the channel.
    QByteArray waitChannelMessage(quint16 channelId, int timeoutMs = WaitMs);

    // Steps of the usual conversation; each returns the hub's answer.
    ZuHubProto::HelloAck hello(bool compression = true);
    bool openMenu();
    Menu::AuthStatus login(const QString &user, const QString &password);
    // hello + menu + login; true on SUCCESS.
    bool connectAndLogin(quint16 port, const QString &user = QStringLiteral("demo"),
                         const QString &password = QStringLiteral("demo"));

    QList<FrameCodec::Frame> frames; // every frame received, in order
    QList<Menu::Envelope> menuQueue;
    QList<ZuHubProto::Envelope> hubQueue;
    QList<QPair<quint16, QByteArray>> channelQueue;

signals:
    // Every menu frame, also queued in menuQueue.
    void menuBytesReceived(const QByteArray &bytes);

private:
    void readFrames();

    QSslSocket m_socket;
    FrameCodec m_codec;
    bool m_peerCompresses = false;
};
