#pragma once

#include "demoapplication.h"

#include "envelopedispatcher.h"
#include "framecodec.h"
#include "sessionrecordwriter.h"

#include "zuhub.pb.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTimer>

class ChannelAppLink;
class LatencyLine;
class MenuServer;
class QSslSocket;
struct DevHubContext;
struct UpdateOffer;

// One client's TLS connection to the hub: frames in both directions through FrameCodec, the hub's
// own envelopes (hello, ping, menu link, password change), the menu link to a MenuServer, and one
// channel per launched demo application.
//
// Encrypting -> AwaitingHello (TLS up) -> Ready (Hello answered) -> Closed. A connection that does
// not log in within the login time-out (which leaves a person time to read a certificate warning
// before the client's Hello), sends nothing
// for the idle time-out, sends a broken frame or an unreadable envelope, or stops reading while
// MaxBacklog bytes wait for it is dropped and logged; nothing it does reaches other clients. Until
// its user has logged in, its frames may be at most PreLoginFrameLimit bytes.
class HubClientSession : public QObject
{
    Q_OBJECT

public:
    enum class State { Encrypting, AwaitingHello, Ready, Closed };

    static constexpr int MaxChannels = 16;
    static constexpr quint32 PreLoginFrameLimit = 64 * 1024;
    // Past HighWater queued bytes the applications pause their output; past MaxBacklog the client
    // is taken to have stopped reading.
    static constexpr qint64 HighWater = 4 * 1024 * 1024;
    static constexpr qint64 LowWater = 1024 * 1024;
    static constexpr qint64 MaxBacklog = 160 * 1024 * 1024;

    HubClientSession(int id, QSslSocket *socket, const DevHubContext &context, QObject *parent = nullptr);
    ~HubClientSession() override;

    int id() const { return m_id; }
    State state() const { return m_state; }
    QString peer() const { return m_peer; }
    QHostAddress peerAddress() const { return m_peerAddress; }
    QString userName() const;
    bool menuConnected() const { return m_menu != nullptr; }
    int channelCount() const { return m_channels.size(); }
    QString clientVersion() const { return m_clientVersion; }

    // Operator actions.
    void notify(const QString &text);
    bool sendStatus(int type, const QString &text);
    void forceDisconnect(const QString &text);
    void offerUpdate(const UpdateOffer &offer);

    void startEncryption();

signals:
    void finished(int id);

private slots:
    void mh_ping(const google::protobuf::Message &msg);
    void mh_hello(const google::protobuf::Message &msg);
    void mh_menu_connection_control(const google::protobuf::Message &msg);
    void mh_password_change(const google::protobuf::Message &msg);
    void mh_username_update(const google::protobuf::Message &msg);

private:
    void startRecording();
    struct Channel
    {
        QPointer<ChannelAppLink> link;
        QPointer<DemoApplication> app;
        QString menuPath;
    };

    void setState(State state);
    void readFrames();
    void handleFrame(const FrameCodec::Frame &frame);
    void sendFrame(quint16 type, const QByteArray &payload);
    void sendEnvelope(const ZuHubProto::Envelope &envelope);
    void sendHelloAck(const UpdateOffer &offer);
    void dropClient(const QString &reason);
    void updateCongestion();

    void openMenu();
    void closeMenu();
    void launch(const QString &kind, const DemoAppContext &context);
    quint16 freeChannelId() const;
    void closeChannel(quint16 channelId);
    void sendChannelStatus(quint16 channelId, bool connected);

    int m_id;
    QString m_label;
    QString m_peer;
    QHostAddress m_peerAddress;
    QPointer<QSslSocket> m_socket;
    // Everything sent goes through it; --latency holds it there.
    LatencyLine *m_line;
    const DevHubContext &m_context;
    EnvelopeDispatcher m_dispatcher;
    State m_state = State::Encrypting;
    FrameCodec m_codec;
    bool m_reading = false;
    bool m_peerCompresses = false;
    std::unique_ptr<SessionRecordWriter> m_recorder;
    bool m_congested = false;
    QString m_clientVersion;
    QString m_confirmedUser;
    QTimer m_loginTimer;
    QTimer m_idleTimer;
    MenuServer *m_menu = nullptr;
    QHash<quint16, Channel> m_channels;
    quint16 m_lastChannelId = 0;
};
