#pragma once

#include "certificatequestion.h"
#include "framecodec.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslError>

#include <memory>

class ClientIdentity;
class EnvelopeDispatcher;
class MainConnection;
class QSslSocket;
class SessionRecordWriter;
class SessionReplay;
class QTimer;
struct HostEntry;

namespace google::protobuf {
class Message;
}
namespace ZuHubProto {
class Envelope;
class HelloAck;
}

// The client's single link to the hub: a TLS socket carrying frames (see FrameCodec) of hub control
// envelopes (type 0), menu-protocol bytes for the owned MainConnection (type 1) and application
// channel data (type 2).
//
// Disconnected -> Connecting (startConnection) -> Handshaking (TLS up, Hello sent) -> Connected
// (HelloAck accepted) or Updating (user took the offered update) or Disconnected (rejected,
// incompatible, socket error or closed). Certificate problems are put to the user, who may ignore
// them. Sending needs Connected; calls in other states are dropped with a warning.
//
// Each step before Connected (TCP connect, TLS handshake, HelloAck) has its own time-out, paused
// while the user answers a certificate question: a peer that accepts and stays silent ends the
// attempt with a text that names the step. TLS 1.2 is the least version spoken.
//
// It shows nothing itself: what needs a person (a certificate question, an update offer, an
// incompatible client, a hub notice) is a signal, and the questions are answered through the
// answer… slots whenever the person is done. A question whose socket goes first is withdrawn.
class HubConnection : public QObject
{
    Q_OBJECT

public:
    enum class State {
        Disconnected = 0,
        Connecting = 1,
        Handshaking = 2,
        Updating = 3,
        Connected = 4,
    };
    Q_ENUM(State)

    // The steps that wait for the peer, each bounded.
    enum class Step { None, Connect, Handshake, HelloAck };
    struct StepTimeouts
    {
        int connectMs = 20000;
        int handshakeMs = 20000;
        int helloAckMs = 20000;
    };

    static constexpr int BusyTimeoutMs = 8000;
    static constexpr int PingBaseMs = 54000;
    static constexpr int PingJitterMs = 12000;
    static constexpr int MenuRetryBaseMs = 900;
    static constexpr int MenuRetryJitterMs = 200;
    static constexpr int PausedPeerPollMs = 250;
    // What the socket may hold unread while reading is held: beyond it the hub is held back by TCP
    // instead of the client growing.
    static constexpr qint64 ReadBufferBytes = 4 * 1024 * 1024;

    explicit HubConnection(const ClientIdentity *identity, QObject *parent = nullptr);
    ~HubConnection() override;

    State state() const { return m_state; }
    QString errorText() const { return m_errorText; }
    MainConnection *mainConnection() const { return m_mainConnection; }
    HostEntry *hostEntry() const { return m_hostEntry; }
    void setHostEntry(HostEntry *entry) { m_hostEntry = entry; }
    int pingInterval() const;
    void setStepTimeouts(const StepTimeouts &timeouts) { m_stepTimeouts = timeouts; }
    Step pendingStep() const { return m_step; }

    void startConnection(bool connectMenu);

    // Every frame in and out is also handed to the recorder. With a replay no socket is made: the
    // replay stands in for the hub. Neither is owned.
    void setRecorder(SessionRecordWriter *recorder) { m_recorder = recorder; }
    void setReplay(SessionReplay *replay);

public slots:
    void menuRequestConnection(bool connect);
    void menuSendRawMessage(const QByteArray &data);
    void channelMessageSend(ushort channelId, const QByteArray &data);
    void changePassword(const QString &username, const QString &oldPassword, const QString &newPassword);
    // While any holder holds (a terminal whose backlog is over its bound), no more frames are taken
    // from the socket: its read buffer fills and TCP slows the hub. A holder that is destroyed lets go.
    void holdReading(QObject *holder, bool hold);
    // Ignore goes on with the paused handshake (alwaysTrust pins the certificate first); otherwise
    // the handshake fails with the certificate's error. An answer to a withdrawn question is dropped.
    void answerCertificateQuestion(bool ignore, bool alwaysTrust);
    // Download leaves the link Updating and asks for the download; declining a required update ends
    // the client, declining an optional one goes on as if none were offered.
    void answerUpdateOffer(bool download);

signals:
    void disconnected();
    void connecting();
    void errorTextChanged(QString errorText);
    void changePasswordResult(bool success, QString message);
    void downloadUpdate(QString installerUrl);
    void menuMessageReceived(const char *data, int dataLength);
    void channelState(ushort channelId, bool isConnected);
    void channelMessageRcvd(ushort channelId, const char *data, int dataLength);
    void channelCloseAll();
    // The handshake waits, paused, for answerCertificateQuestion().
    void certificateQuestion(const CertificateQuestion &question);
    // The link waits after the hub's HelloAck for answerUpdateOffer().
    void updateOffered(const QString &version, bool required);
    // The open certificate question or update offer lost its socket: close it unanswered.
    void questionWithdrawn();
    // This client cannot go on with the hub: the text says why. The client should end once the
    // user has read it.
    void clientIncompatible(const QString &informativeText);
    // A hub notification, for the user to read.
    void notified(const QString &message);

private slots:
    void sendPing();
    void sendUsername(const QString &username);
    void socketStateChanged(QAbstractSocket::SocketState state);
    void socketEncrypted();
    void socketReadyRead();
    void socketError(QAbstractSocket::SocketError error);
    void socketSslErrors(const QList<QSslError> &errors);

    void mh_ping(const google::protobuf::Message &msg);
    void mh_hello_ack(const google::protobuf::Message &msg);
    void mh_menu_connection_status(const google::protobuf::Message &msg);
    void mh_classic_connection_status(const google::protobuf::Message &msg);
    void mh_password_change_result(const google::protobuf::Message &msg);
    void mh_force_disconnect(const google::protobuf::Message &msg);
    void mh_notify(const google::protobuf::Message &msg);

private:
    class SocketCall;

    void setState(State state);
    void startStep(Step step);
    void stepTimedOut();
    // Ends the attempt with this text on the login dialog.
    void failLink(const QString &text);
    QString hostPort() const;
    void setErrorText(const QString &text);
    void handleFrame(const FrameCodec::Frame &frame);
    void processEnvelope(const QByteArray &payload);
    void sendEnvelope(const ZuHubProto::Envelope &envelope);
    void sendFrame(quint16 type, const QByteArray &payload);
    void dropSocket();
    void forgetSocket();
    void retireSocket(QSslSocket *socket);
    // After the hub's acknowledgement and any update offer: the link is up.
    void acceptHello(const ZuHubProto::HelloAck &ack, bool menuWanted);
    void refuseIncompatibleClient(const QString &informativeText);
    void withdrawQuestions();
    void watchPausedPeer();
    void retryMenuConnection();
    qint64 elapsedMicroseconds() const;
    void sendHello();
    void startReplayLink();
    bool linkUp() const;

    const ClientIdentity *m_identity;
    MainConnection *m_mainConnection;
    std::unique_ptr<EnvelopeDispatcher> m_dispatcher;
    QTimer *m_pingTimer;
    QTimer *m_stepTimer;
    StepTimeouts m_stepTimeouts;
    Step m_step = Step::None;
    // The user was asked about this socket's certificate: its failure text is then the answer's.
    bool m_certificateQuestioned = false;
    // The open questions, each bound to the socket serial it was asked on.
    struct PendingCertificate
    {
        quint64 serial = 0;
        QList<QSslError> errors;
        QSslCertificate certificate;
        QString hostPort;
    };
    std::unique_ptr<PendingCertificate> m_pendingCertificate;
    struct PendingUpdate;
    std::unique_ptr<PendingUpdate> m_pendingUpdate;
    // While a handshake is paused the socket watches nothing: this looks for the peer going.
    QTimer *m_pausedPeerTimer;
    QElapsedTimer m_clock;
    QPointer<QSslSocket> m_socket;
    // Bumped whenever the socket is dropped or replaced, so that a read loop interrupted by a
    // handler does not go on with frames of a connection that is gone.
    quint64 m_socketSerial = 0;
    // Sockets replaced or failed while a socket slot is still running (a dialog's nested event loop
    // would otherwise delete them under their own signal emission); deleted once it returns.
    int m_socketCallDepth = 0;
    QList<QPointer<QSslSocket>> m_retiredSockets;
    FrameCodec m_decoder;
    bool m_reading = false;
    QHash<QObject *, QMetaObject::Connection> m_readHolders;
    State m_state = State::Disconnected;
    QString m_errorText;
    bool m_peerCompresses = false;
    HostEntry *m_hostEntry = nullptr;
    bool m_menuWanted = false;
    SessionRecordWriter *m_recorder = nullptr;
    QPointer<SessionReplay> m_replay;
};
