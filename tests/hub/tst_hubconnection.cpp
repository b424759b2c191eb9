#include "hub/hubconnection.h"
#include "utils/noticeboard.h"
#include "hub/hubprompter.h"
#include "hub/linkhealth.h"
#include "hub/recordingtap.h"
#include "hub/tlshubtransport.h"

#include "utils/busymouse.h"
#include "utils/clientidentity.h"
#include "utils/platform.h"
#include "hub/certificateinfo.h"
#include "hub/certificatepins.h"
#include "hub/extraauthorities.h"
#include "hub/sslerrors.h"
#include "hub/updateprompt.h"
#include "menu/mainconnection.h"

#include "framecodec.h"
#include "sessionrecordreader.h"
#include "sessionrecordwriter.h"
#include "modaldriver.h"
#include "silentpeer.h"
#include "opensslserver.h"
#include "testcertificates.h"
#include "testenvironment.h"
#include "shownplaintext.h"
#include "testhub.h"

#include "menu.pb.h"
#include "uidlg.pb.h"
#include "zuhub.pb.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSslSocket>
#include <QSysInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <memory>

#include <sys/socket.h>
#include <unistd.h>

using State = HubConnection::State;

namespace {

constexpr int WaitMs = 10000;
const QString BusyKey = QStringLiteral("HubConnection");

ZuHubProto::HelloAck acceptingAck(bool compression = true)
{
    ZuHubProto::HelloAck ack;
    ack.set_accepted(true);
    ack.set_supports_compression(compression);
    ack.set_classic_listen_port(6123);
    ack.set_client_public_address("203.0.113.9");
    return ack;
}

QByteArray repetitive(int size)
{
    return QByteArray("menu item, menu item; ").repeated(size / 22 + 1).left(size);
}

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char &c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

QByteArray lengthWord(quint32 length)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian<quint32>(length, bytes.data());
    return bytes;
}

QByteArray channelFrame(quint16 id, const QByteArray &data)
{
    return FrameCodec::encode(FrameCodec::ChannelFrame, FrameCodec::channelPayload(id, data), false).bytes;
}

// Runs the application's event loop until the code under test tells it to quit (0) or the time
// runs out (1). Unlike a local QEventLoop, QCoreApplication::exec() clears the quit request again,
// so later dialogs and waits still work.
int runUntilQuit(int timeoutMs = WaitMs)
{
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &timeout, [] { QCoreApplication::exit(1); });
    timeout.start(timeoutMs);
    return QCoreApplication::exec();
}

QByteArray rawFrame(quint16 typeWord, const QByteArray &payload)
{
    return lengthWord(quint32(payload.size() + 2)) + char(typeWord >> 8) + char(typeWord & 0xff) + payload;
}

} // namespace

class tst_HubConnection : public QObject
{
    Q_OBJECT

private:
    // One hub, one link per test function.
    struct Fixture
    {
        TestHub hub;
        HostEntry host;
        HubConnection link;
        HubPrompter prompter { &link };
        QList<QByteArray> channelData; // "id:bytes" per channelMessageRcvd

        explicit Fixture(const ClientIdentity *identity)
            : link(identity)
        {
            // As the Runner does without a desktop.
            QObject::connect(&prompter, &HubPrompter::quitRequested, &link, [] { QCoreApplication::quit(); });
            QObject::connect(&link, &HubConnection::channelMessageRcvd, &link,
                             [this](ushort id, const char *data, int size) {
                                 channelData << QByteArray::number(id) + ':' + QByteArray(data, size);
                             });
        }

        bool start(bool menu = false)
        {
            if (!hub.start())
                return false;
            host = hub.hostEntry();
            link.setHostEntry(&host);
            link.startConnection(menu);
            return true;
        }

        bool connect(const ZuHubProto::HelloAck &ack = acceptingAck(), bool menu = false)
        {
            hub.setHelloAck(ack);
            return start(menu) && QTest::qWaitFor([this] { return link.state() == State::Connected; }, WaitMs)
                && hub.waitForPeer();
        }
    };

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<ClientIdentity> m_identity;

private slots:
    void initTestCase()
    {
        m_environment = std::make_unique<TestEnvironment>();
        m_identity = std::make_unique<ClientIdentity>();
        QVERIFY2(TestCertificates::instance().isValid(),
                 qPrintable(TestCertificates::instance().errorText()));
        TestCertificates::trustAuthority(true);
        // As the client runs: closing a dialog must not end the application.
        QGuiApplication::setQuitOnLastWindowClosed(false);
    }

    void init() { TestCertificates::trustAuthority(true); }

    void connectsAndSaysHello()
    {
        Fixture f(m_identity.get());
        QSignalSpy connecting(&f.link, &HubConnection::connecting);
        QVERIFY(f.start(true));
        QCOMPARE(f.link.state(), State::Connecting);
        QCOMPARE(connecting.count(), 1);
        QVERIFY(BusyMouse::instance()->expiryOf(BusyKey) > 0);

        QVERIFY(f.hub.waitForEnvelopes("hello", 1));
        QCOMPARE(f.link.state(), State::Handshaking);
        const ZuHubProto::Hello hello = f.hub.envelopes("hello").first().hello();
        QCOMPARE(hello.platform(), Platform::hubPlatform());
#if defined(Q_OS_LINUX)
        QCOMPARE(hello.platform(), ZuHubProto::OTHER);
#endif
        QCOMPARE(hello.version(), std::string("1.9.0-143"));
        QVERIFY(hello.supports_compression());
        QCOMPARE(QString::fromStdString(hello.cpu()), QSysInfo::currentCpuArchitecture());
        QCOMPARE(QString::fromStdString(hello.kernel_type()), QSysInfo::kernelType());
        QCOMPARE(QString::fromStdString(hello.kernel_version()), QSysInfo::kernelVersion());
        QCOMPARE(QString::fromStdString(hello.uuid_system()), m_identity->systemUuid().toString());
        QCOMPARE(QString::fromStdString(hello.uuid_user()), m_identity->userUuid().toString());
        QVERIFY(hello.uuid_user().front() == '{');

        // Accepted with the menu wanted: the menu session gets the hub's facts and asks for its link.
        ZuHubProto::Envelope reply;
        *reply.mutable_hello_ack() = acceptingAck();
        f.hub.sendEnvelope(reply);
        QTRY_COMPARE(f.link.state(), State::Connected);
        QCOMPARE(BusyMouse::instance()->expiryOf(BusyKey), -1);
        QVERIFY(f.link.errorText().isEmpty());
        MainConnection *menu = f.link.mainConnection();
        QCOMPARE(menu->state(), MainConnection::Connecting);
        QVERIFY(f.hub.waitForEnvelopes("menu_connection_control", 1));
        QVERIFY(f.hub.envelopes("menu_connection_control").first().menu_connection_control().connect_state());
        QCOMPARE(connecting.count(), 1);
    }

    // Remote close: the menu session hears first, then the error text (busy cursor already
    // cleared), then disconnected(); the channels are closed as well.
    void linkLossAnnouncedInOrder()
    {
        Fixture f(m_identity.get());
        QVERIFY(f.connect());
        QStringList order;
        connect(f.link.mainConnection(), &MainConnection::connectionFailed, &f.link,
                [&](const QString &text) { order << "menu failed: " + text; });
        connect(&f.link, &HubConnection::errorTextChanged, &f.link, [&](const QString &text) {
            order << QStringLiteral("error text: %1, busy: %2")
                         .arg(text)
                         .arg(BusyMouse::instance()->expiryOf(BusyKey) != -1 ? "yes" : "no");
        });
        connect(&f.link, &HubConnection::disconnected, &f.link, [&] { order << "disconnected"; });
        connect(&f.link, &HubConnection::channelCloseAll, &f.link, [&] { order << "close all"; });
        BusyMouse::instance()->start(BusyKey, 8000); // as if still connecting
        f.hub.closePeer();
        QTRY_COMPARE(f.link.state(), State::Disconnected);
        const QString text = f.link.errorText();
        QVERIFY(!text.isEmpty());
        QTRY_COMPARE(order,
                     (QStringList { "menu failed: " + text, "error text: " + text + ", busy: no",
                                    "disconnected", "close all" }));
    }

    void compressionOnTheWire_data()
    {
        QTest::addColumn<bool>("announced");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("compressed");
        QTest::addColumn<QString>("log");

        QTest::newRow("1999 bytes") << true << repetitive(1999) << false << QString();
        QTest::newRow("2000 repetitive")
            << true << repetitive(2000) << true << "^Send compressed message\\. orig: 2000  comp: \\d+$";
        QTest::newRow("2000 random") << true << randomBytes(2000) << false
                                     << "^Message did not compress\\. size: 2000$";
        QTest::newRow("1 MB, not announced") << false << repetitive(1 << 20) << false << QString();
    }

    // What the client sends follows the hub's announcement; what it receives is decoded regardless.
    void compressionOnTheWire()
    {
        QFETCH(bool, announced);
        QFETCH(QByteArray, payload);
        QFETCH(bool, compressed);
        QFETCH(QString, log);

        Fixture f(m_identity.get());
        QVERIFY(f.connect(acceptingAck(announced)));
        f.hub.clearReceived();
        if (!log.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(log));
        f.link.menuSendRawMessage(payload);
        QVERIFY(f.hub.waitForFrames(1));
        const FrameCodec::Frame frame = f.hub.frames().first();
        QCOMPARE(frame.type, quint16(FrameCodec::MenuFrame));
        QCOMPARE(frame.compressed, compressed);
        QCOMPARE(frame.payload, payload);
        QVERIFY(compressed ? int(frame.length) < payload.size() : int(frame.length) == payload.size() + 2);

        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression("^Rcvd compressed message\\. orig: 3002  comp: \\d+$"));
        f.hub.setCompression(true);
        f.hub.sendFrame(FrameCodec::ChannelFrame, FrameCodec::channelPayload(5, repetitive(3000)));
        QTRY_COMPARE(f.channelData, QList<QByteArray> { "5:" + repetitive(3000) });
    }

    void splitAndBatchedFrames()
    {
        Fixture f(m_identity.get());
        QVERIFY(f.connect());
        // One frame in three TLS records, cut inside the length and inside the type word.
        const QByteArray first = channelFrame(1, "split");
        for (const QByteArray &piece : { first.left(2), first.mid(2, 3), first.mid(5) }) {
            f.hub.sendRaw(piece);
            QTest::qWait(50);
        }
        QTRY_COMPARE(f.channelData.size(), 1);

        QByteArray batch;
        QList<QByteArray> expected { "1:split" };
        for (int i = 0; i < 300; ++i) {
            batch += channelFrame(quint16(i), QByteArray::number(i * 7));
            expected << QByteArray::number(i) + ':' + QByteArray::number(i * 7);
        }
        f.hub.sendRaw(batch);
        QTRY_COMPARE(f.channelData.size(), expected.size());
        QCOMPARE(f.channelData, expected);
    }

    void channelIds()
    {
        Fixture f(m_identity.get());
        QVERIFY(f.connect());
        f.hub.clearReceived();
        QTest::ignoreMessage(QtDebugMsg, "sending data on channel 258");
        f.link.channelMessageSend(0x0102, "xyz");
        QTest::ignoreMessage(QtDebugMsg, "sending data on channel 258");
        f.link.channelMessageSend(0x0102, QByteArray());
        QVERIFY(f.hub.waitForFrames(2));
        QCOMPARE(f.hub.frames()[0].type, quint16(FrameCodec::ChannelFrame));
        QCOMPARE(f.hub.frames()[0].payload, QByteArray("\x01\x02xyz"));
        QCOMPARE(f.hub.frames()[1].length, 4u);
        QCOMPARE(f.hub.frames()[1].payload, QByteArray("\x01\x02"));

        QTest::ignoreMessage(QtDebugMsg, "receiving data on channel 258");
        f.hub.sendRaw(channelFrame(0x0102, "abc"));
        QTRY_COMPARE(f.channelData, QList<QByteArray> { "258:abc" });

        // A channel frame too short for its id is reported and skipped.
        QTest::ignoreMessage(
            QtWarningMsg, "HubConnection::socketReadyRead() - channel frame without a channel id, size: 1");
        f.hub.sendFrame(FrameCodec::ChannelFrame, "\x01");
        f.hub.sendRaw(channelFrame(9, "after"));
        QTRY_COMPARE(f.channelData.size(), 2);
        QCOMPARE(f.channelData.last(), QByteArray("9:after"));
    }

    void relaysHubMessages()
    {
        Fixture f(m_identity.get());
        QVERIFY(f.connect());
        QSignalSpy channelState(&f.link, &HubConnection::channelState);
        QSignalSpy passwordResult(&f.link, &HubConnection::changePasswordResult);

        ZuHubProto::Envelope envelope;
        envelope.mutable_classic_connection_status()->set_channel_id(7);
        envelope.mutable_classic_connection_status()->set_is_connected(true);
        envelope.mutable_password_change_result()->set_success(true);
        envelope.mutable_password_change_result()->set_result_message("Changed \xe9");
        envelope.mutable_hello(); // a field the client has no handler for
        QTest::ignoreMessage(QtDebugMsg, "HubConnection: No message handler found for \"hello\"");
        f.hub.sendEnvelope(envelope);
        QTRY_COMPARE(passwordResult.count(), 1);
        QCOMPARE(channelState.count(), 1);
        QCOMPARE(channelState.first(), (QVariantList { ushort(7), true }));
        QCOMPARE(passwordResult.first(), (QVariantList { true, QStringLiteral("Changed \u00e9") }));

        // A channel id wider than a channel frame's 16 bits is refused, not taken for channel 5.
        ZuHubProto::Envelope wide;
        wide.mutable_classic_connection_status()->set_channel_id(0x10005);
        wide.mutable_classic_connection_status()->set_is_connected(true);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("does not fit in 16 bits"));
        f.hub.sendEnvelope(wide);
        QTest::qWait(100);
        QCOMPARE(channelState.count(), 1);

        // A compressed envelope that cannot be restored is empty: no effect, the link stays.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("unable to decompress a message of type 0"));
        f.hub.sendRaw(rawFrame(0x8000, QByteArray("\x00\x00\x10\x00garbage", 11)));
        f.hub.sendRaw(channelFrame(1, "still here"));
        QTRY_COMPARE(f.channelData.size(), 1);
        QCOMPARE(f.link.state(), State::Connected);

        QTest::ignoreMessage(QtWarningMsg, "HubConnection::processMessage() - Unable to parse envelope");
        f.hub.sendFrame(FrameCodec::EnvelopeFrame, "\xff\xff\xff");
        QTRY_COMPARE(f.link.state(), State::Disconnected);
        QVERIFY(f.hub.waitForPeerGone());
    }

    void sendingNeedsConnected()
    {
        Fixture f(m_identity.get());
        QTest::ignoreMessage(QtWarningMsg, "HubConnection::changePassword() - invalid state: 0");
        f.link.changePassword("ann", "old", "new");
        QTest::ignoreMessage(QtWarningMsg, "HubConnection::menuSendRawMessage() - invalid state: 0");
        f.link.menuSendRawMessage("menu");
        QTest::ignoreMessage(QtWarningMsg, "HubConnection::channelMessageSend() - invalid state: 0");
        f.link.channelMessageSend(1, "data");
        QTest::ignoreMessage(QtWarningMsg, "Trying to write to hub without a connection");
        emit f.link.mainConnection()->usernameConfirmed("ann");

        QVERIFY(f.connect());
        f.hub.clearReceived();
        f.link.changePassword(QStringLiteral("J\u00f6rg"), "old", QStringLiteral("n\u00e9w"));
        emit f.link.mainConnection()->usernameConfirmed(QStringLiteral("J\u00f6rg"));
        QVERIFY(f.hub.waitForFrames(2));
        const auto change = f.hub.envelopes("password_change").first().password_change();
        QCOMPARE(change.username(), std::string("J\xf6rg")); // Latin-1 on the wire
        QCOMPARE(change.old_password(), std::string("old"));
        QCOMPARE(change.new_password(), std::string("n\xe9w"));
        QCOMPARE(f.hub.envelopes("username_update").first().username_update().username(),
                 std::string("J\xf6rg"));
    }

    void pingsOnlyWhenConnected()
    {
        Fixture f(m_identity.get());
        QVERIFY(f.link.pingInterval() >= 54000 && f.link.pingInterval() < 66000);
        QVERIFY(QMetaObject::invokeMethod(&f.link, "sendPing")); // disconnected: nothing, not even a warning

        QVERIFY(f.start());
        QVERIFY(f.hub.waitForEnvelopes("hello", 1));
        QCOMPARE(f.link.state(), State::Handshaking);
        QVERIFY(QMetaObject::invokeMethod(&f.link, "sendPing"));
        ZuHubProto::Envelope reply;
        *reply.mutable_hello_ack() = acceptingAck();
        f.hub.sendEnvelope(reply);
        QTRY_COMPARE(f.link.state(), State::Connected);
        QCOMPARE(f.hub.envelopes("ping").size(), 0);

        QVERIFY(QMetaObject::invokeMethod(&f.link, "sendPing"));
        QVERIFY(f.hub.waitForEnvelopes("ping", 1));
        ZuHubProto::Envelope ping = f.hub.envelopes("ping").first();
        QVERIFY(ping.ping().timestamp() > 0);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^-> pong: \\d+ us$"));
        f.hub.sendEnvelope(ping);
        QTest::qWait(200);
    }

    void forceDisconnect_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("errorText");
        QTest::newRow("empty") << QString() << "ZU system disconnected.";
        QTest::newRow("with text") << "Nightly maintenance"
                                   << "Disconnected: Nightly maintenance";
    }

    void forceDisconnect()
    {
        QFETCH(QString, message);
        QFETCH(QString, errorText);

        Fixture f(m_identity.get());
        QVERIFY(f.connect());
        QSignalSpy disconnected(&f.link, &HubConnection::disconnected);
        ZuHubProto::Envelope envelope;
        envelope.mutable_force_disconnect()->set_message(message.toStdString());
        QTest::ignoreMessage(QtInfoMsg,
                             qPrintable("The hub has disconnected with message: \"" + message + "\""));
        f.hub.sendEnvelope(envelope);
        QTRY_COMPARE(f.link.errorText(), errorText);
        QCOMPARE(f.link.state(), State::Disconnected);
        QCOMPARE(disconnected.count(), 1);
        QVERIFY(f.hub.waitForPeerGone());
    }

    // While the menu is wanted, each report of its link being down brings a new request 900-1099 ms
    // later; once the menu is switched off the requests stop.
    void menuRetryRepeats()
    {
        Fixture f(m_identity.get());
        QVERIFY(f.connect(acceptingAck(), true));
        QVERIFY(f.hub.waitForEnvelopes("menu_connection_control", 1));

        ZuHubProto::Envelope down;
        down.mutable_menu_connection_status()->set_is_connected(false);
        down.mutable_menu_connection_status()->set_error_message("menu server down");
        for (int round = 2; round <= 3; ++round) {
            QElapsedTimer sinceReport;
            sinceReport.start();
            f.hub.sendEnvelope(down);
            QVERIFY(f.hub.waitForEnvelopes("menu_connection_control", round));
            QVERIFY(sinceReport.elapsed() >= 900); // a lower bound only: never sooner than the delay
            QVERIFY(
                f.hub.envelopes("menu_connection_control").last().menu_connection_control().connect_state());
            QCOMPARE(f.link.errorText(), QStringLiteral("menu server down"));
        }

        f.hub.sendEnvelope(down);
        QTRY_COMPARE(f.link.mainConnection()->state(), MainConnection::Disconnected);
        f.link.mainConnection()->stopMenuConnection();
        QVERIFY(f.hub.waitForEnvelopes("menu_connection_control", 4));
        QVERIFY(!f.hub.envelopes("menu_connection_control").last().menu_connection_control().connect_state());
        QTest::qWait(1500);
        QCOMPARE(f.hub.envelopes("menu_connection_control").size(), 4);
    }

    void rejectedHello()
    {
        Fixture f(m_identity.get());
        QSignalSpy disconnected(&f.link, &HubConnection::disconnected);
        ZuHubProto::HelloAck ack;
        ack.set_accepted(false);
        ack.set_reject_reason("Licence limit reached");
        f.hub.setHelloAck(ack);
        QVERIFY(f.start(true));
        QTRY_COMPARE(disconnected.count(), 1);
        QCOMPARE(f.link.errorText(), QStringLiteral("Licence limit reached"));
        QCOMPARE(f.link.state(), State::Disconnected);
        QVERIFY(f.hub.waitForPeerGone());
        QCOMPARE(f.hub.envelopes("menu_connection_control").size(), 0);
    }

    void secondStartRefusedWhileConnecting()
    {
        Fixture f(m_identity.get());
        f.hub.setHelloAck(acceptingAck());
        QVERIFY(f.start());
        QTest::ignoreMessage(QtWarningMsg, "HubConnection::startConnection() - invalid state: 1");
        f.link.startConnection(false);
        QTRY_COMPARE(f.link.state(), State::Connected);
        QCOMPARE(f.hub.connectionCount(), 1);
    }

    void badFrameLengthDropsLink_data()
    {
        QTest::addColumn<quint32>("length");
        QTest::addColumn<QString>("error");
        QTest::newRow("1") << 1u << "Invalid frame length 1: too short for a frame type";
        QTest::newRow("80 MiB") << 80u * 1024 * 1024
                                << "Frame length 83886080 exceeds the limit of 67108864 bytes";
    }

    void badFrameLengthDropsLink()
    {
        QFETCH(quint32, length);
        QFETCH(QString, error);

        Fixture f(m_identity.get());
        QVERIFY(f.connect());
        QTest::ignoreMessage(
            QtWarningMsg,
            qPrintable("TlsHubTransport::socketReadyRead() - bad frame, dropping the connection: \"" + error
                       + "\""));
        f.hub.sendRaw(lengthWord(length) + QByteArray("\x00\x02", 2));
        QTRY_COMPARE(f.link.state(), State::Disconnected);
        QCOMPARE(f.link.errorText(), "Hub protocol error: " + error);
        QVERIFY(f.hub.waitForPeerGone());
    }

    // The hub closes the link right after a notification; its HelloAck, read afterwards, must not
    // revive the link. The notification is shown as it came, never taken as markup.
    void helloAckAfterSocketClosed()
    {
        static constexpr char Hostile[] = "Back in <b>five</b> minutes <img src=\"/nonexistent/zu.png\">";
        Fixture f(m_identity.get());
        QVERIFY(f.start(true));
        QVERIFY(f.hub.waitForEnvelopes("hello", 1));
        ZuHubProto::Envelope notify;
        notify.mutable_notify()->set_message(Hostile);
        f.hub.sendEnvelope(notify);
        QTRY_COMPARE(NoticeBoard::instance()->newestText(), QString::fromLatin1(Hostile));
        ZuHubProto::Envelope ack;
        *ack.mutable_hello_ack() = acceptingAck();
        f.hub.sendEnvelope(ack);
        f.hub.closePeer();
        QTRY_COMPARE(f.link.state(), State::Disconnected);
        QTest::qWait(200);
        QCOMPARE(f.link.state(), State::Disconnected);
        QCOMPARE(f.link.mainConnection()->state(), MainConnection::Disconnected);
    }

    // Notifications open no box of their own: what the hub sends after one arrives while it is
    // shown, and the socket's unread bytes stay within their bound.
    void readingGoesOnUnderANotification()
    {
        Fixture f(m_identity.get());
        QVERIFY(f.connect());
        const QByteArray block = QByteArray(2 * 1024 * 1024, '\x5a');
        constexpr int Blocks = 8;
        ZuHubProto::Envelope notify;
        notify.mutable_notify()->set_message("Maintenance at noon");
        f.hub.sendEnvelope(notify);
        for (int i = 0; i < Blocks; ++i)
            f.hub.sendRaw(FrameCodec::encode(FrameCodec::ChannelFrame, FrameCodec::channelPayload(3, block),
                                             false).bytes);
        qint64 mostUnread = 0;
        auto *socket = f.link.findChild<QSslSocket *>();
        QVERIFY(QTest::qWaitFor([&] {
            if (socket)
                mostUnread = qMax(mostUnread, socket->bytesAvailable() + socket->encryptedBytesAvailable());
            return f.channelData.size() == Blocks;
        }, WaitMs));
        QCOMPARE(NoticeBoard::instance()->newestText(), QString("Maintenance at noon"));
        QVERIFY(NoticeBoard::instance()->isVisible());
        QVERIFY2(mostUnread <= TlsHubTransport::ReadBufferBytes, qPrintable(QString::number(mostUnread)));
        QCOMPARE(f.channelData.last(), "3:" + block);
    }

    // A flood of notifications is one window of bounded size, not a box for each.
    void notificationFloodIsOneWindow()
    {
        Fixture f(m_identity.get());
        QVERIFY(f.connect());
        constexpr int Notices = 500;
        for (int i = 0; i < Notices; ++i) {
            ZuHubProto::Envelope notify;
            notify.mutable_notify()->set_message(QStringLiteral("Notice %1").arg(i).toStdString());
            f.hub.sendEnvelope(notify);
        }
        QTRY_COMPARE_WITH_TIMEOUT(NoticeBoard::instance()->newestText(), QString("Notice %1").arg(Notices - 1), WaitMs);
        int windows = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            windows += widget->isVisible() ? 1 : 0;
        QCOMPARE(windows, 1);
        QVERIFY(NoticeBoard::instance()->entryCount() <= NoticeBoard::MaxKept);
        QCOMPARE(f.link.state(), State::Connected);
    }

    void sslErrorsIgnored()
    {
        TestCertificates::trustAuthority(false);
        Fixture f(m_identity.get());
        QSignalSpy errorTexts(&f.link, &HubConnection::errorTextChanged);
        const auto checkChain = [&](CertificateInfo *info) {
            QCOMPARE(info->windowTitle(), QStringLiteral("Display Certificate Information"));
            auto *path = info->findChild<QComboBox *>();
            auto *lines = info->findChild<QListWidget *>();
            QCOMPARE(path->count(), 2);
            QCOMPARE(path->itemText(0), QStringLiteral("ZU Test Hub (127.0.0.1)"));
            QCOMPARE(path->itemText(1), QStringLiteral("Issued by: ZU Test Authority (ZU Test Root)"));
            QCOMPARE(path->currentIndex(), 0);
            const QStringList hubLines { "Organization: ZU Test Hub",
                                         "Subunit: Hub Unit",
                                         "Country: NZ",
                                         "Locality: Hub Town",
                                         "State/Province: ",
                                         "Common Name: 127.0.0.1",
                                         "Issuer Organization: ZU Test Authority",
                                         "Issuer Unit Name: Test Unit",
                                         "Issuer Country: NZ",
                                         "Issuer Locality: Test Town",
                                         "Issuer State/Province: Test Province",
                                         "Issuer Common Name: ZU Test Root" };
            QStringList shown;
            for (int i = 0; i < lines->count(); ++i)
                shown << lines->item(i)->text();
            QCOMPARE(shown, hubLines);
            const QString summary = info->summary();
            QVERIFY2(summary.contains("For: localhost, 127.0.0.1") && summary.contains("Host asked for: 127.0.0.1 (named above)")
                         && summary.contains(CertificatePins::fingerprint(TestCertificates::instance().hubCertificate()))
                         && !summary.contains("EXPIRED"),
                     qPrintable(summary));
            path->setCurrentIndex(1);
            QVERIFY(!info->summary().contains("Host asked for"));
            QCOMPARE(lines->item(0)->text(), QStringLiteral("Organization: ZU Test Authority"));
            QCOMPARE(lines->item(4)->text(), QStringLiteral("State/Province: Test Province"));
            info->updateCertificateInfo(2);
            QCOMPARE(lines->count(), 0);
            info->reject();
        };
        ModalDriver driver;
        driver.expect<SslErrors>([&](SslErrors *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Unable To Validate The Connection"));
            QVERIFY(!dialog->errors().isEmpty());
            QCOMPARE(f.link.errorText(), QStringLiteral("SSL Errors..."));
            QCOMPARE(BusyMouse::instance()->expiryOf(BusyKey), -1);
            QTest::mouseClick(dialog->findChild<QPushButton *>("viewCertificateChainButton"), Qt::LeftButton);
            auto *info = dialog->findChild<CertificateInfo *>();
            QVERIFY(info && info->isVisible());
            checkChain(info);
            QTest::mouseClick(dialog->findChild<QPushButton *>("ignoreButton"), Qt::LeftButton);
        });
        QVERIFY(f.connect());
        QCOMPARE(driver.handledCount(), 1);
        QVERIFY(driver.unexpected().isEmpty());
        QVERIFY(f.link.errorText().isEmpty());
        QCOMPARE(errorTexts.first().first().toString(), QStringLiteral("SSL Errors..."));
        QCOMPARE(errorTexts.last().first().toString(), QString());
    }

    void sslErrorsCanceled()
    {
        TestCertificates::trustAuthority(false);
        Fixture f(m_identity.get());
        // Expired and from an unknown issuer: two problems.
        f.hub.presentChain(TestCertificates::instance().expiredChain(), TestCertificates::instance().expiredKey());
        QSignalSpy disconnected(&f.link, &HubConnection::disconnected);
        QStringList errorTexts;
        connect(&f.link, &HubConnection::errorTextChanged, &f.link,
                [&](const QString &t) { errorTexts << t; });
        QStringList listed;
        ModalDriver driver;
        driver.expect<SslErrors>([&](SslErrors *dialog) {
            listed = dialog->errors();
            QTest::mouseClick(dialog->findChild<QPushButton *>("cancelButton"), Qt::LeftButton);
        });
        QVERIFY(f.start(true));
        QTRY_COMPARE(disconnected.count(), 1);
        QCOMPARE(f.link.state(), State::Disconnected);
        QVERIFY(!listed.isEmpty());
        // The login dialog names every problem of the refused certificate, not the first alone.
        QVERIFY(listed.size() >= 2);
        const QString refusal = QString("The certificate of %1 was not accepted:\n- %2")
                                    .arg(f.host.settingsKey(), listed.join("\n- "));
        QCOMPARE(f.link.errorText(), refusal);
        QCOMPARE(errorTexts.mid(0, 2), (QStringList { "SSL Errors...", "SSL Errors: Canceled" }));
        QCOMPARE(errorTexts.last(), refusal);
        QVERIFY(driver.unexpected().isEmpty());
    }

    // The hub giving up while a person reads the question: the question closes, nothing is pinned,
    // and the login dialog keeps the socket's error.
    void sslQuestionClosedByDisconnection()
    {
        TestCertificates::trustAuthority(false);
        Fixture f(m_identity.get());
        QSignalSpy disconnected(&f.link, &HubConnection::disconnected);
        ModalDriver driver;
        driver.expect<SslErrors>([&](SslErrors *dialog) {
            dialog->findChild<QCheckBox *>("alwaysTrustCheckBox")->setChecked(true);
            f.hub.closePeer();
            QVERIFY(QTest::qWaitFor([dialog = QPointer<SslErrors>(dialog)] { return !dialog || !dialog->isVisible(); }, WaitMs));
        });
        QVERIFY(f.start(true));
        QTRY_VERIFY(driver.allHandled());
        QTRY_COMPARE(disconnected.count(), 1);
        QCOMPARE(f.link.state(), State::Disconnected);
        QVERIFY(f.link.errorText() != QStringLiteral("SSL Errors: Canceled"));
        QVERIFY(!f.link.errorText().isEmpty());
        QVERIFY(CertificatePins::pins().isEmpty());
        QVERIFY2(driver.unexpected().isEmpty(), qPrintable(driver.unexpected().join(", ")));
    }

    // Trust once, then be asked only when the certificate changes: first contact pinned, second
    // contact silent, a replaced certificate warned with both fingerprints, refused on Cancel and
    // taken once on Ignore but never offered for trust, trusted anew once the old pin is forgotten,
    // and a forgotten pin asking again.
    void pinnedCertificates()
    {
        TestCertificates::trustAuthority(false);
        const TestCertificates &certificates = TestCertificates::instance();
        Fixture f(m_identity.get());
        f.hub.setHelloAck(acceptingAck());
        QVERIFY(f.hub.start());
        f.host = f.hub.hostEntry();
        f.link.setHostEntry(&f.host);
        const QString hostPort = f.host.settingsKey();
        const QString original = CertificatePins::fingerprint(certificates.hubCertificate());
        const QString replacement = CertificatePins::fingerprint(certificates.replacementCertificate());
        const auto connectAgain = [&] {
            if (f.link.state() != State::Disconnected) {
                f.hub.closePeer();
                QTRY_COMPARE_WITH_TIMEOUT(f.link.state(), State::Disconnected, WaitMs);
            }
            f.link.startConnection(false);
        };

        ModalDriver driver;
        driver.expect<SslErrors>([&](SslErrors *dialog) {
            auto *trust = dialog->findChild<QCheckBox *>("alwaysTrustCheckBox");
            QVERIFY(trust && trust->isVisible());
            QCOMPARE(trust->text(), "Always trust this certificate for " + hostPort);
            QVERIFY(!dialog->findChild<QLabel *>("changeWarningLabel")->isVisible());
            trust->setChecked(true);
            dialog->findChild<QPushButton *>("ignoreButton")->click();
        });
        connectAgain();
        QTRY_COMPARE_WITH_TIMEOUT(f.link.state(), State::Connected, WaitMs);
        QCOMPARE(CertificatePins::pin(hostPort).fingerprint, original);

        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("pinned certificate accepted"));
        connectAgain();
        QTRY_COMPARE_WITH_TIMEOUT(f.link.state(), State::Connected, WaitMs);
        QVERIFY(driver.unexpected().isEmpty());

        f.hub.presentReplacementCertificate(true);
        QString warning;
        driver.expect<SslErrors>([&](SslErrors *dialog) {
            warning = dialog->findChild<QLabel *>("changeWarningLabel")->text();
            dialog->findChild<QPushButton *>("cancelButton")->click();
        });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("differs from the trusted one"));
        connectAgain();
        QTRY_VERIFY_WITH_TIMEOUT(driver.allHandled(), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(f.link.state(), State::Disconnected, WaitMs);
        QVERIFY2(warning.contains(original) && warning.contains(replacement), qPrintable(warning));
        QCOMPARE(CertificatePins::pin(hostPort).fingerprint, original);

        // As with a changed host key, a changed certificate is never trusted from the warning: Ignore
        // goes on this once, and the old one must be forgotten in the settings first.
        bool trustOffered = true;
        QString hint;
        driver.expect<SslErrors>([&](SslErrors *dialog) {
            trustOffered = !dialog->findChild<QCheckBox *>("alwaysTrustCheckBox")->isHidden();
            hint = dialog->findChild<QLabel *>("changeWarningLabel")->text();
            dialog->findChild<QPushButton *>("ignoreButton")->click();
        });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("differs from the trusted one"));
        f.link.startConnection(false);
        QTRY_COMPARE_WITH_TIMEOUT(f.link.state(), State::Connected, WaitMs);
        QVERIFY(!trustOffered);
        QVERIFY2(hint.contains("forget the old one in Settings > General"), qPrintable(hint));
        QCOMPARE(CertificatePins::pin(hostPort).fingerprint, original);

        CertificatePins::forget(hostPort);
        QVERIFY(CertificatePins::pins().isEmpty());
        driver.expect<SslErrors>([](SslErrors *dialog) {
            auto *trust = dialog->findChild<QCheckBox *>("alwaysTrustCheckBox");
            QVERIFY(!trust->isHidden());
            trust->setChecked(true);
            dialog->findChild<QPushButton *>("ignoreButton")->click();
        });
        connectAgain();
        QTRY_COMPARE_WITH_TIMEOUT(f.link.state(), State::Connected, WaitMs);
        QCOMPARE(CertificatePins::pin(hostPort).fingerprint, replacement);

        CertificatePins::forget(hostPort);
        QVERIFY(CertificatePins::pins().isEmpty());
        driver.expect<SslErrors>([](SslErrors *dialog) {
            QVERIFY(!dialog->findChild<QLabel *>("changeWarningLabel")->isVisible());
            dialog->findChild<QPushButton *>("cancelButton")->click();
        });
        connectAgain();
        QTRY_VERIFY_WITH_TIMEOUT(driver.allHandled(), WaitMs);
        QVERIFY(driver.unexpected().isEmpty());
    }

    // A certificate that validates needs no question and is never pinned.
    void validCertificateIsNeverPinned()
    {
        TestCertificates::trustAuthority(true);
        Fixture f(m_identity.get());
        ModalDriver driver;
        QVERIFY(f.connect());
        QVERIFY(driver.unexpected().isEmpty());
        QVERIFY(CertificatePins::pins().isEmpty());
    }

    // Same pinned certificate with an error it was not trusted with: that problem is named, and
    // the pin is not offered again; another certificate is the impostor warning.
    void pinVerdicts_data()
    {
        QTest::addColumn<bool>("expired"); // else: a different certificate
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("says");
        QTest::addColumn<bool>("pinOffered");
        QTest::newRow("same, expired") << true << "The Trusted Certificate Has a New Problem" << "has expired" << false;
        QTest::newRow("different") << false << "The Hub's Certificate Has Changed" << "Someone may be posing" << false;
    }

    void pinVerdicts()
    {
        QFETCH(bool, expired);
        TestCertificates::trustAuthority(false);
        const TestCertificates &certificates = TestCertificates::instance();
        Fixture f(m_identity.get());
        f.hub.setHelloAck(acceptingAck());
        QVERIFY(f.hub.start());
        f.host = f.hub.hostEntry();
        f.link.setHostEntry(&f.host);
        const QString hostPort = f.host.settingsKey();
        // Trusted earlier, while it could not be checked only for its unknown issuer.
        const QSslCertificate pinned = expired ? certificates.expiredCertificate() : certificates.hubCertificate();
        CertificatePins::trust(hostPort, pinned, { QSslError(QSslError::UnableToGetLocalIssuerCertificate, pinned),
                                                   QSslError(QSslError::UnableToVerifyFirstCertificate, pinned) });
        if (expired)
            f.hub.presentChain(certificates.expiredChain(), certificates.expiredKey());
        else
            f.hub.presentReplacementCertificate(true);

        QString title, warning;
        bool pinOffered = true;
        ModalDriver driver;
        driver.expect<SslErrors>([&](SslErrors *dialog) {
            title = dialog->windowTitle();
            warning = dialog->findChild<QLabel *>("changeWarningLabel")->text();
            pinOffered = dialog->findChild<QCheckBox *>("alwaysTrustCheckBox")->isVisible();
            dialog->findChild<QPushButton *>("ignoreButton")->click();
        });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(expired ? "has a new problem" : "differs from the trusted one"));
        f.link.startConnection(false);
        QTRY_COMPARE_WITH_TIMEOUT(f.link.state(), State::Connected, WaitMs);
        QTEST(title, "title");
        QFETCH(QString, says);
        QVERIFY2(warning.contains(says), qPrintable(warning));
        QVERIFY2(!expired || (!warning.contains("posing") && warning.contains(CertificatePins::fingerprint(pinned))
                              && warning.contains(pinned.expiryDate().toUTC().toString("yyyy-MM-dd"))),
                 qPrintable(warning));
        QTEST(pinOffered, "pinOffered");
        QCOMPARE(CertificatePins::pin(hostPort).fingerprint, CertificatePins::fingerprint(pinned));
        CertificatePins::forget(hostPort);
    }

    // An authority from the site's own file makes the hub's certificate valid: no question, no pin.
    void extraAuthorityTrusted()
    {
        TestCertificates::trustAuthority(false);
        ExtraAuthorities::setFiles({ TestCertificates::instance().authorityPath() });
        Fixture f(m_identity.get());
        ModalDriver driver;
        const bool connected = f.connect();
        ExtraAuthorities::setFiles({});
        QVERIFY(connected);
        QVERIFY2(driver.unexpected().isEmpty(), qPrintable(driver.unexpected().join(", ")));
        QVERIFY(CertificatePins::pins().isEmpty());
    }

    // Peers that are no modern hub fail with words for a person; the library's text stays as detail.
    void handshakeRefused_data()
    {
        QTest::addColumn<QStringList>("serverArguments"); // empty: a plain TCP peer sending text
        QTest::addColumn<QString>("says");
        // RSA key exchange without forward secrecy, as old servers do.
        QTest::newRow("TLS 1.0 only") << QStringList { "-tls1", "-cipher", "AES256-SHA@SECLEVEL=0" }
                                      << "uses an outdated TLS version";
        QTest::newRow("TLS 1.1 only") << QStringList { "-tls1_1", "-cipher", "AES256-SHA@SECLEVEL=0" }
                                      << "uses an outdated TLS version";
        QTest::newRow("not TLS") << QStringList() << "did not answer as a ZU hub";
    }

    void handshakeRefused()
    {
        QFETCH(QStringList, serverArguments);
        QFETCH(QString, says);
        TestCertificates::trustAuthority(true);
        OpenSslServer tlsPeer;
        QTcpServer textPeer;
        HostEntry host { "peer", "127.0.0.1", 0, {} };
        if (serverArguments.isEmpty()) {
            QVERIFY(textPeer.listen(QHostAddress::LocalHost, 0));
            connect(&textPeer, &QTcpServer::newConnection, &textPeer, [&textPeer] {
                QTcpSocket *socket = textPeer.nextPendingConnection();
                socket->write("HTTP/1.0 400 Bad Request\r\n\r\nThis is not a hub.\n");
            });
            host.port = textPeer.serverPort();
        } else {
            const TestCertificates &certificates = TestCertificates::instance();
            QVERIFY2(tlsPeer.start(certificates.rsaCertificatePath(), certificates.rsaKeyPath(), serverArguments),
                     qPrintable(tlsPeer.errorText()));
            host.port = tlsPeer.port();
        }
        HubConnection link(m_identity.get());
        link.setHostEntry(&host);
        QSignalSpy disconnected(&link, &HubConnection::disconnected);
        ModalDriver driver;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("HUB: connection failed:"));
        link.startConnection(false);
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, WaitMs);
        const QStringList lines = link.errorText().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.first(), QString("The server at %1 %2.").arg(host.settingsKey(), says));
        QVERIFY2(lines.last().startsWith("Details: ") && lines.last().size() > 10, qPrintable(lines.last()));
        QVERIFY(driver.unexpected().isEmpty());
    }

    // A peer that stops answering at a step ends the attempt at that step's time-out.
    void silentPeerTimesOut_data()
    {
        QTest::addColumn<bool>("speaksTls"); // else it accepts TCP and says nothing
        QTest::addColumn<QString>("says");
        QTest::newRow("silent after TCP") << false << "The secure handshake with %1 timed out";
        QTest::newRow("no HelloAck") << true << "The hub at %1 did not answer the client's greeting";
    }

    void silentPeerTimesOut()
    {
        QFETCH(bool, speaksTls);
        QFETCH(QString, says);
        Fixture f(m_identity.get());
        SilentPeer silent;
        f.link.setStepTimeouts({ 5000, 300, 300 });
        QSignalSpy disconnected(&f.link, &HubConnection::disconnected);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("HUB: time-out:"));
        if (speaksTls) {
            QVERIFY(f.start()); // the test hub answers no Hello unless told
        } else {
            QVERIFY(silent.isListening());
            f.host = { "silent", "127.0.0.1", silent.serverPort(), {} };
            f.link.setHostEntry(&f.host);
            f.link.startConnection(true);
        }
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, WaitMs);
        QCOMPARE(f.link.state(), State::Disconnected);
        QCOMPARE(f.link.pendingStep(), HubConnection::Step::None);
        QVERIFY2(f.link.errorText().startsWith(says.arg(f.host.settingsKey())), qPrintable(f.link.errorText()));
        // The link was dropped, not left open behind the message.
        if (speaksTls) {
            QCOMPARE(f.hub.envelopes("hello").size(), 1);
            QVERIFY(f.hub.waitForPeerGone());
        } else {
            QCOMPARE(silent.held.size(), 1);
            QTRY_COMPARE_WITH_TIMEOUT(silent.held.first()->state(), QAbstractSocket::UnconnectedState, WaitMs);
        }
    }

    // Nothing takes the connection: the words name the host, the failure is logged, and what the
    // link before ended with never shows. (Qt reports a refused connection's unconnected state
    // before its error, a peer's close the other way round: linkLossAnnouncedInOrder.)
    void nothingAnswers_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("refused") << "127.0.0.1";
        QTest::newRow("unknown host") << "no-such-hub.invalid";
    }

    void nothingAnswers()
    {
        QFETCH(QString, host);
        Fixture f(m_identity.get());
        QVERIFY(f.connect());
        ZuHubProto::Envelope force;
        force.mutable_force_disconnect()->set_message("earlier");
        QTest::ignoreMessage(QtInfoMsg, "The hub has disconnected with message: \"earlier\"");
        f.hub.sendEnvelope(force);
        QTRY_COMPARE(f.link.state(), State::Disconnected);
        const QString earlier = f.link.errorText();

        QTcpServer gone;
        QVERIFY(gone.listen(QHostAddress::LocalHost, 0));
        HostEntry nowhere { "nowhere", host, gone.serverPort(), {} };
        gone.close();
        f.link.setHostEntry(&nowhere);
        QStringList shown;
        connect(&f.link, &HubConnection::errorTextChanged, &f.link, [&](const QString &text) { shown << text; });
        QSignalSpy disconnected(&f.link, &HubConnection::disconnected);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^HUB: SocketError: "));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^HUB: connection failed: No hub answers at "));
        f.link.startConnection(true);
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, WaitMs);
        const QString says = QString("No hub answers at %1.\nDetails: ").arg(nowhere.settingsKey());
        QVERIFY2(f.link.errorText().startsWith(says) && f.link.errorText().size() > says.size() + 3,
                 qPrintable(f.link.errorText()));
        QCOMPARE(shown.last(), f.link.errorText());
        QVERIFY2(!shown.contains(earlier), qPrintable(shown.join(" | ")));
    }

    // Cancel stops an attempt at once, at whatever step it waits: announced once, nothing left open.
    void cancelWhileConnecting()
    {
        Fixture f(m_identity.get());
        SilentPeer silent;
        QVERIFY(silent.isListening());
        f.host = { "silent", "127.0.0.1", silent.serverPort(), {} };
        f.link.setHostEntry(&f.host);
        QSignalSpy disconnected(&f.link, &HubConnection::disconnected);
        f.link.startConnection(true);
        QTRY_COMPARE(silent.held.size(), 1);
        QCOMPARE(f.link.state(), State::Connecting);
        QCOMPARE(f.link.pendingStep(), HubConnection::Step::Handshake);
        f.link.closeLink("Connecting to the hub was cancelled.");
        QCOMPARE(f.link.state(), State::Disconnected);
        QCOMPARE(disconnected.count(), 1);
        QCOMPARE(f.link.errorText(), QString("Connecting to the hub was cancelled."));
        QCOMPARE(f.link.pendingStep(), HubConnection::Step::None);
        QTRY_COMPARE_WITH_TIMEOUT(silent.held.first()->state(), QAbstractSocket::UnconnectedState, WaitMs);
        QTest::qWait(100);
        QCOMPARE(disconnected.count(), 1);
    }

    // One greeting per link: a HelloAck in the middle of a session changes nothing, not even when it
    // calls the client incompatible or announces compression.
    void secondHelloAckIgnored()
    {
        Fixture f(m_identity.get());
        QVERIFY(f.connect(acceptingAck(false)));
        QSignalSpy incompatible(&f.link, &HubConnection::clientIncompatible);
        QSignalSpy disconnected(&f.link, &HubConnection::disconnected);
        ZuHubProto::Envelope again;
        *again.mutable_hello_ack() = acceptingAck(true);
        again.mutable_hello_ack()->set_client_incompatible(true);
        QTest::ignoreMessage(QtWarningMsg, "HubConnection::mh_hello_ack() - a second HelloAck on this link; ignored");
        f.hub.sendEnvelope(again);
        f.hub.sendRaw(channelFrame(2, "after"));
        QTRY_COMPARE(f.channelData, QList<QByteArray> { "2:after" });
        f.hub.clearReceived();
        f.link.menuSendRawMessage(repetitive(3000));
        QVERIFY(f.hub.waitForFrames(1));
        QVERIFY(!f.hub.frames().first().compressed);
        QCOMPARE(f.link.state(), State::Connected);
        QCOMPARE(incompatible.count(), 0);
        QCOMPARE(disconnected.count(), 0);
    }

    // After login: while pings are answered the hub never counts as silent; a ping that gets
    // nothing back within the bound makes it silent, Keep waiting asks again, and anything the hub
    // sends makes it answer again. Input that gets nothing back brings a ping early.
    void silentHubAfterLogin()
    {
        Fixture f(m_identity.get());
        f.link.linkHealth()->setBounds(400, 200);
        f.hub.setEchoPings(true);
        QVERIFY(f.connect());
        QSignalSpy silent(&f.link, &HubConnection::hubSilent);
        QSignalSpy answering(&f.link, &HubConnection::hubAnswering);
        for (int i = 0; i < 6; ++i) {
            QVERIFY(QMetaObject::invokeMethod(&f.link, "sendPing"));
            QTest::qWait(150);
        }
        QCOMPARE(silent.count(), 0);

        f.hub.setEchoPings(false); // it reads, and answers nothing
        f.hub.clearReceived();
        const QDateTime beforeSilence = QDateTime::currentDateTime();
        f.link.channelMessageSend(3, "key");
        QVERIFY(f.hub.waitForEnvelopes("ping", 1));
        QTRY_COMPARE_WITH_TIMEOUT(silent.count(), 1, WaitMs);
        QVERIFY(!f.link.linkHealth()->isAnswering());
        QVERIFY(f.link.linkHealth()->lastHeard() <= beforeSilence);
        QCOMPARE(f.link.state(), State::Connected);

        f.link.keepWaiting();
        QVERIFY(f.hub.waitForEnvelopes("ping", 2));
        QTRY_COMPARE_WITH_TIMEOUT(silent.count(), 2, WaitMs);
        f.hub.sendRaw(channelFrame(3, "late echo"));
        QTRY_COMPARE(answering.count(), 1);
        QVERIFY(f.link.linkHealth()->isAnswering());
        QCOMPARE(silent.count(), 2);
    }

    // A hub that stops reading while each frame it sends makes a reply here (as a terminal answers
    // queries): past the bound no more frames are taken, what waits to go out stays bounded and the
    // hub counts as silent; once it reads again everything is delivered and nothing is lost.
    void unreadRepliesAreBounded()
    {
        Fixture f(m_identity.get());
        f.link.linkHealth()->setBounds(300, 60000);
        QVERIFY(f.connect());
        QSignalSpy silent(&f.link, &HubConnection::hubSilent);
        const QByteArray reply = randomBytes(128 * 1024); // does not compress
        connect(&f.link, &HubConnection::channelMessageRcvd, &f.link,
                [&](ushort id, const char *, int) { f.link.channelMessageSend(id, reply); });
        f.hub.setReading(false);
        constexpr int Queries = 200; // 25 MiB of replies
        QByteArray queries;
        for (int i = 0; i < Queries; ++i)
            queries += channelFrame(4, "\x1b[c");
        f.hub.sendRaw(queries);
        auto *transport = f.link.findChild<TlsHubTransport *>();
        QVERIFY(transport);
        QTRY_COMPARE_WITH_TIMEOUT(silent.count(), 1, WaitMs);
        QTest::qWait(300);
        QVERIFY2(f.channelData.size() < Queries, qPrintable(QString::number(f.channelData.size())));
        QVERIFY2(transport->unsentBytes() <= TlsHubTransport::MaxUnsentBytes + reply.size() + 1024,
                 qPrintable(QString::number(transport->unsentBytes())));

        f.hub.setReading(true);
        QTRY_COMPARE_WITH_TIMEOUT(f.channelData.size(), Queries, 30000);
        const auto replies = [&f] {
            int count = 0;
            for (const FrameCodec::Frame &frame : f.hub.frames())
                count += frame.type == FrameCodec::ChannelFrame;
            return count;
        };
        QTRY_COMPARE_WITH_TIMEOUT(replies(), Queries, 30000);
        for (const FrameCodec::Frame &frame : f.hub.frames())
            QVERIFY(frame.type != FrameCodec::ChannelFrame || frame.payload == FrameCodec::channelPayload(4, reply));
    }

    // A reply that holds a secret goes to the hub as it is and to a recording blanked, and nothing
    // of it stays behind: sent while nothing records, it leaves no trace that a later recording of
    // the same bytes, sent as an ordinary reply, would pick up.
    void secretRepliesLeaveNothingBehind()
    {
        Fixture f(m_identity.get());
        QVERIFY(f.connect());
        Pb::UIEnvelope typed;
        typed.mutable_generic_response()->set_data("FieldSecret6");
        Pb::UIEnvelope blanked = typed;
        blanked.mutable_generic_response()->set_data(std::string());
        const QByteArray secret = QByteArray::fromStdString(typed.SerializeAsString());
        const QByteArray redacted = QByteArray::fromStdString(blanked.SerializeAsString());
        f.hub.clearReceived();
        f.link.channelMessageSend(3, secret, redacted);

        QTemporaryDir dir;
        SessionRecordWriter writer;
        QVERIFY(writer.open(dir.filePath("reply.zurec"), SessionRecordWriter::Side::Client, "test"));
        RecordingTap tap(&writer);
        f.link.setTap(&tap);
        f.link.channelMessageSend(3, secret, redacted);
        f.link.channelMessageSend(3, secret);
        f.link.setTap(nullptr);
        writer.close();
        QVERIFY(f.hub.waitForFrames(3));
        for (const FrameCodec::Frame &frame : f.hub.frames())
            QCOMPARE(frame.payload, FrameCodec::channelPayload(3, secret));

        SessionRecordReader reader;
        QVERIFY(reader.open(writer.fileName()));
        QList<QByteArray> recorded;
        SessionRecord record;
        while (reader.next(&record) == SessionRecordReader::Result::Record) {
            if (record.direction == SessionRecord::Direction::FromClient && record.channel == 3)
                recorded << record.data;
        }
        QCOMPARE(recorded, (QList<QByteArray> { redacted, secret }));
    }

    // The hub goes while the certificate question is open, after bytes the paused handshake never
    // read: the question is withdrawn all the same, and the link ends.
    void sslQuestionWithdrawnDespiteUnreadBytes()
    {
        TestCertificates::trustAuthority(false);
        Fixture f(m_identity.get());
        QSignalSpy withdrawn(&f.link, &HubConnection::questionWithdrawn);
        bool closed = false;
        ModalDriver driver;
        driver.expect<SslErrors>([&](SslErrors *dialog) {
            const int descriptor = int(f.hub.peer()->socketDescriptor());
            QCOMPARE(::write(descriptor, "unread", 6), ssize_t(6));
            ::shutdown(descriptor, SHUT_WR);
            closed = QTest::qWaitFor([dialog = QPointer<SslErrors>(dialog)] { return !dialog || !dialog->isVisible(); },
                                     WaitMs);
        });
        QVERIFY(f.start(true));
        QTRY_VERIFY_WITH_TIMEOUT(driver.allHandled(), WaitMs);
        QVERIFY(closed);
        QCOMPARE(withdrawn.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(f.link.state(), State::Disconnected, WaitMs);
        QVERIFY(CertificatePins::pins().isEmpty());
    }

    void updateOffers_data()
    {
        QTest::addColumn<QString>("version"); // empty: none offered
        QTest::addColumn<bool>("incompatible");
        QTest::addColumn<bool>("tool");
        QTest::addColumn<QString>("answer"); // prompt button, box text, or nothing
        QTest::addColumn<State>("state");
        QTest::addColumn<QString>("errorText");
        QTest::addColumn<bool>("quits");

        const QString available = "An update is available.|Later";
        const QString required = "An update is required.|Quit";
        QTest::newRow("available, download") << "2.0.1" << false << true << available + "|Download"
                                             << State::Updating << "Downloading Update" << false;
        QTest::newRow("available, later")
            << "2.0.1" << false << true << available + "|Later" << State::Connected << "" << false;
        QTest::newRow("required, download") << "2.0.1" << true << true << required + "|Download"
                                            << State::Updating << "Downloading Update" << false;
        QTest::newRow("required, quit") << "2.0.1" << true << true << required + "|Quit"
                                        << State::Disconnected << "Client Incompatible" << true;
        QTest::newRow("available, no tool")
            << "2.0.1" << false << false << "" << State::Connected << "" << false;
        QTest::newRow("required, no tool") << "2.0.1" << true << false
                                           << "A new version of the client is available but this client "
                                              "installation cannot be automatically "
                                              "updated.\nPlease contact your system administrator"
                                           << State::Disconnected << "Client Incompatible" << true;
        QTest::newRow("incompatible, none offered")
            << "" << true << true << "Please contact your system administrator" << State::Disconnected
            << "Client Incompatible" << true;
    }

    void updateOffers()
    {
        QFETCH(QString, version);
        QFETCH(bool, incompatible);
        QFETCH(bool, tool);
        QFETCH(QString, answer);
        QFETCH(State, state);
        QFETCH(QString, errorText);
        QFETCH(bool, quits);

        QTemporaryDir installation;
        const QString savedDir = QDir::currentPath();
        QDir::setCurrent(installation.path());
        if (tool) {
            QFile file(Platform::maintenanceToolFileName());
            QVERIFY(file.open(QIODevice::WriteOnly));
        }

        ZuHubProto::HelloAck ack = acceptingAck();
        if (!version.isEmpty())
            ack.set_client_version(version.toStdString());
        ack.set_client_incompatible(incompatible);
        ack.set_installer_url("https://updates.example/zu-setup");

        Fixture f(m_identity.get());
        QSignalSpy download(&f.link, &HubConnection::downloadUpdate);
        ModalDriver driver;
        const QStringList parts = answer.split('|');
        if (parts.size() == 3) {
            driver.expect<UpdatePrompt>([&](UpdatePrompt *prompt) {
                QCOMPARE(prompt->windowTitle(), QStringLiteral("ZU Desktop Update"));
                QCOMPARE(prompt->findChild<QLabel *>("headerLabel")->text(), parts[0]);
                QCOMPARE(prompt->findChild<QLabel *>("bodyLabel")->text(),
                         "Do you want to install client version " + version + " now?");
                QCOMPARE(prompt->findChild<QPushButton *>("declineButton")->text(), parts[1]);
                auto *button = prompt->findChild<QPushButton *>(parts[2] == "Download" ? "downloadButton"
                                                                                       : "declineButton");
                QCOMPARE(button->text(), parts[2]);
                QTest::mouseClick(button, Qt::LeftButton);
            });
        } else if (!answer.isEmpty()) {
            driver.expect<QMessageBox>([&](QMessageBox *box) {
                QCOMPARE(box->icon(), QMessageBox::Critical);
                QCOMPARE(box->text(), QStringLiteral("Incompatible Client Version"));
                QCOMPARE(shownText(box->findChild<QLabel *>("qt_msgbox_informativelabel")), answer);
                box->button(QMessageBox::Ok)->click();
            });
        }

        f.hub.setHelloAck(ack);
        QVERIFY(f.start());
        // The application is told to quit only where the client may not go on.
        QCOMPARE(runUntilQuit(quits ? WaitMs : 1500), quits ? 0 : 1);
        QDir::setCurrent(savedDir);
        QCOMPARE(f.link.state(), state);
        QCOMPARE(f.link.errorText(), errorText);
        QCOMPARE(download.count(), state == State::Updating ? 1 : 0);
        if (!download.isEmpty())
            QCOMPARE(download.first().first().toString(), QStringLiteral("https://updates.example/zu-setup"));
        QVERIFY(driver.allHandled());
        QVERIFY2(driver.unexpected().isEmpty(), qPrintable(driver.unexpected().join(", ")));
    }

    void updatePromptClosedByDisconnection()
    {
        QTemporaryDir installation;
        const QString savedDir = QDir::currentPath();
        QDir::setCurrent(installation.path());
        QFile tool(Platform::maintenanceToolFileName());
        QVERIFY(tool.open(QIODevice::WriteOnly));

        Fixture f(m_identity.get());
        QSignalSpy download(&f.link, &HubConnection::downloadUpdate);
        ModalDriver driver;
        driver.expect<UpdatePrompt>([&](UpdatePrompt *prompt) {
            f.hub.closePeer();
            QVERIFY(QTest::qWaitFor([prompt = QPointer<UpdatePrompt>(prompt)] { return !prompt || !prompt->isVisible(); }, WaitMs));
        });
        ZuHubProto::HelloAck ack = acceptingAck();
        ack.set_client_version("2.0.1");
        f.hub.setHelloAck(ack);
        QVERIFY(f.start());
        QTRY_VERIFY(driver.allHandled());
        QTRY_COMPARE(f.link.state(), State::Disconnected);
        QDir::setCurrent(savedDir);
        QTest::qWait(100);
        QCOMPARE(f.link.state(), State::Disconnected);
        QCOMPARE(download.count(), 0);
    }
};

QTEST_MAIN(tst_HubConnection)
#include "tst_hubconnection.moc"
