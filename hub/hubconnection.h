#pragma once

#include "certificatequestion.h"
#include "framecodec.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslError>

#include <memory>

class ClientIdentity;
class EnvelopeDispatcher;
class HubLinkTap;
class HubTransport;
class LinkHealth;
class MainConnection;
class TlsHubTransport;
class QTimer;
struct HostEntry;

namespace google::protobuf {
class Message;
}
namespace ZuHubProto {
class Envelope;
class HelloAck;
}

// The client's single link to the hub: the protocol spoken over a HubTransport (the TLS socket, or
// a recording played back) in frames (see FrameCodec) of hub control envelopes (type 0),
// menu-protocol bytes for the owned MainConnection (type 1) and application channel data (type 2).
//
// Disconnected -> Connecting (startConnection) -> Handshaking (TLS up, Hello sent) -> Connected
// (HelloAck accepted) or Updating (user took the offered update) or Disconnected (rejected,
// incompatible, cancelled, transport closed). One HelloAck per link: a later one is ignored.
// Sending needs Connected; calls in other states are dropped with a warning.
//
// Each step before Connected (TCP connect, TLS handshake, HelloAck) has its own time-out, paused
// while the user answers a certificate question: a peer that accepts and stays silent ends the
// attempt with a text that names the step. Once Connected, LinkHealth watches that the hub still
// answers (pings with a bound, a probe when the user's input gets nothing back).
//
// It shows nothing itself: what needs a person (a certificate question, an update offer, an
// incompatible client, a hub notice, a silent hub) is a signal, and the questions are answered
// through the answer… slots whenever the person is done. A question whose link goes first is
// withdrawn.
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
    LinkHealth *linkHealth() const { return m_health; }

    void startConnection(bool connectMenu);

    // The link's transport, not owned: a replay in place of the socket (null: the socket again).
    void setTransport(HubTransport *transport);
    HubTransport *transport() const;
    // Sees every frame both ways (a recorder), not owned; null for none.
    void setTap(HubLinkTap *tap);

public slots:
    void menuRequestConnection(bool connect);
    void menuSendRawMessage(const QByteArray &data);
    // redacted: the sender's blanked form of data for a recording, or null (see AppTranceiver).
    void channelMessageSend(ushort channelId, const QByteArray &data, const QByteArray &redacted = QByteArray());
    void changePassword(const QString &username, const QString &oldPassword, const QString &newPassword);
    // While any holder holds (a terminal whose backlog is over its bound), no more frames are taken
    // from the hub: TCP slows it. A holder that is destroyed lets go.
    void holdReading(QObject *holder, bool hold);
    // Ignore goes on with the paused handshake (alwaysTrust pins the certificate first, where it may
    // be pinned); otherwise the handshake fails. An answer to a withdrawn question is dropped.
    void answerCertificateQuestion(bool ignore, bool alwaysTrust);
    // Download leaves the link Updating and asks for the download; declining a required update ends
    // the link ("Client Incompatible"), declining an optional one goes on as if none were offered.
    void answerUpdateOffer(bool download);
    // Ends the link at once, whatever it is doing (the user cancelled, gave up on a silent hub, the
    // menu server's fatal notice), with this text for the login dialog.
    void closeLink(const QString &reason);
    // The user waits for a silent hub: it is pinged, and silent() comes again after another bound.
    void keepWaiting();

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
    // A link that was Connected is gone, for this reason (before disconnected()).
    void linkLost(const QString &reason);
    // The handshake waits, paused, for answerCertificateQuestion().
    void certificateQuestion(const CertificateQuestion &question);
    // The link waits after the hub's HelloAck for answerUpdateOffer().
    void updateOffered(const QString &version, bool required);
    // The open certificate question or update offer lost its link: close it unanswered.
    void questionWithdrawn();
    // This client cannot go on with the hub: the text says why. The client should end once the
    // user has read it.
    void clientIncompatible(const QString &informativeText);
    // A hub notification, for the user to read.
    void notified(const QString &message);
    // Once Connected: the hub has not answered within the bound (again after keepWaiting()), and
    // answers again. The time it was last heard from is linkHealth()->lastHeard().
    void hubSilent();
    void hubAnswering();

private slots:
    void sendPing();
    void sendUsername(const QString &username);

    void mh_ping(const google::protobuf::Message &msg);
    void mh_hello_ack(const google::protobuf::Message &msg);
    void mh_menu_connection_status(const google::protobuf::Message &msg);
    void mh_classic_connection_status(const google::protobuf::Message &msg);
    void mh_password_change_result(const google::protobuf::Message &msg);
    void mh_force_disconnect(const google::protobuf::Message &msg);
    void mh_notify(const google::protobuf::Message &msg);

private:
    struct PendingCertificate;
    struct PendingUpdate;

    void setState(State state);
    void announceDisconnection();
    void startStep(Step step);
    void stepTimedOut();
    // The link is over, with this text for the login dialog; announce: even when the state is
    // already Disconnected (the menu was switched off with the socket left open).
    void endLink(const QString &text, bool announce = false);
    QString hostPort() const;
    void setErrorText(const QString &text);
    void transportEncrypted();
    void transportClosed(const QString &text);
    void handleFrame(const FrameCodec::Frame &frame);
    void processEnvelope(const QByteArray &payload);
    void sendEnvelope(const ZuHubProto::Envelope &envelope);
    void sendFrame(quint16 type, const QByteArray &payload, const QByteArray &redacted = QByteArray());
    void askAboutCertificate(const QList<QSslError> &errors, const QSslCertificate &certificate,
                             const QList<QSslCertificate> &chain);
    void peerGoneWhileAsked();
    // After the hub's acknowledgement and any update offer: the link is up.
    void acceptHello(const ZuHubProto::HelloAck &ack, bool menuWanted);
    void refuseIncompatibleClient(const QString &informativeText);
    void withdrawQuestions();
    void retryMenuConnection();
    qint64 elapsedMicroseconds() const;
    void sendHello();

    const ClientIdentity *m_identity;
    MainConnection *m_mainConnection;
    std::unique_ptr<EnvelopeDispatcher> m_dispatcher;
    TlsHubTransport *m_socketTransport;
    QPointer<HubTransport> m_transport;
    HubLinkTap *m_tap = nullptr;
    LinkHealth *m_health;
    QTimer *m_pingTimer;
    QTimer *m_stepTimer;
    StepTimeouts m_stepTimeouts;
    Step m_step = Step::None;
    std::unique_ptr<PendingCertificate> m_pendingCertificate;
    std::unique_ptr<PendingUpdate> m_pendingUpdate;
    // The user refused the certificate: every problem it had, for the login dialog.
    QString m_certificateRefusal;
    QElapsedTimer m_clock;
    State m_state = State::Disconnected;
    QString m_errorText;
    bool m_helloAcknowledged = false;
    HostEntry *m_hostEntry = nullptr;
    bool m_menuWanted = false;
};
