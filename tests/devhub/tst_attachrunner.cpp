#include "devhubfixture.h"

#include "lengthprefixcodec.h"
#include "uidlg.pb.h"
#include "zuterm.pb.h"
#include "testpaths.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Reads length-prefixed messages the way the client's debug listener does.
class DebugPeer
{
public:
    explicit DebugPeer(QTcpSocket *socket)
        : m_socket(socket)
    { }

    QByteArray next(int timeoutMs = 10000)
    {
        QByteArray message;
        (void)QTest::qWaitFor(
            [&] {
                m_codec.feed(m_socket->readAll());
                return m_codec.next(&message) == LengthPrefixCodec::Result::Message;
            },
            timeoutMs);
        return message;
    }

    QByteArray textUntil(const QByteArray &wanted)
    {
        QByteArray text;
        while (!text.contains(wanted)) {
            const QByteArray message = next();
            if (message.isEmpty())
                break;
            zuterm::Envelope envelope;
            envelope.ParseFromArray(message.constData(), message.size());
            text += QByteArray::fromStdString(envelope.data_packet().data());
        }
        return text;
    }

    void send(const google::protobuf::Message &envelope)
    {
        m_socket->write(LengthPrefixCodec::encode(QByteArray::fromStdString(envelope.SerializeAsString())));
    }

private:
    QTcpSocket *m_socket;
    LengthPrefixCodec m_codec;
};

// QProcess::waitForFinished() fails for a process whose end was already seen by the event loop.
bool ended(QProcess &process)
{
    return QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 15000);
}

} // namespace

// zu-devhub --attach: the terminal application against a debug listener, as a developer runs it,
// with the plain length-prefixed framing; and how the program ends on either side's initiative.
class TestAttachRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void runsTheApplicationUntilItEnds();
    void clientHangingUpEndsTheProgram();
    void classicApplication();
    void failures_data();
    void failures();

private:
    QStringList arguments(quint16 port, const QString &app = QStringLiteral("terminal")) const;

    QTemporaryDir m_data;
    QString m_config;
    QTcpServer m_listener;
};

void TestAttachRunner::initTestCase()
{
    m_config = m_data.filePath(QStringLiteral("config.json"));
    QFile file(m_config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(DevHubFixture::configWithTerminalCommand(QStringLiteral(
        "echo attached as $ZU_USER; read x; [ \"$x\" = stay ] && exec sleep 60; echo got:$x")));
    file.close();
    QVERIFY(m_listener.listen(QHostAddress::LocalHost, 0));
}

QStringList TestAttachRunner::arguments(quint16 port, const QString &app) const
{
    return { QStringLiteral("--attach"), QStringLiteral("127.0.0.1:%1").arg(port),
             QStringLiteral("--app"),    app,
             QStringLiteral("--config"), m_config,
             QStringLiteral("--data"),   m_data.path() };
}

void TestAttachRunner::runsTheApplicationUntilItEnds()
{
    QProcess hub;
    hub.setProcessChannelMode(QProcess::ForwardedChannels);
    hub.start(QStringLiteral(ZU_DEVHUB_PATH), arguments(m_listener.serverPort()));
    QVERIFY(m_listener.waitForNewConnection(10000));
    QTcpSocket *socket = m_listener.nextPendingConnection();
    DebugPeer peer(socket);

    // The client's transport reads the first message as a UI envelope to learn the kind.
    const QByteArray first = peer.next();
    Pb::UIEnvelope asClient;
    QVERIFY(asClient.ParseFromArray(first.constData(), first.size()));
    QCOMPARE(int(asClient.handshake().type()), int(Pb::Handshake::TERMINAL));
    zuterm::Envelope config;
    const QByteArray second = peer.next();
    QVERIFY(config.ParseFromArray(second.constData(), second.size()));
    QVERIFY(config.has_config());
    QVERIFY(peer.textUntil("attached as demo").contains("attached as demo"));

    zuterm::Envelope keys;
    keys.mutable_data_packet()->set_data("hi\n");
    peer.send(keys);
    QVERIFY(peer.textUntil("got:hi").contains("got:hi"));
    // The program has ended: the hub hangs up and exits normally.
    QVERIFY(
        QTest::qWaitFor([socket] { return socket->state() == QAbstractSocket::UnconnectedState; }, 10000));
    QVERIFY(ended(hub));
    QCOMPARE(hub.exitStatus(), QProcess::NormalExit);
    QCOMPARE(hub.exitCode(), 0);
    delete socket;
}

void TestAttachRunner::clientHangingUpEndsTheProgram()
{
    QProcess hub;
    hub.start(QStringLiteral(ZU_DEVHUB_PATH), arguments(m_listener.serverPort()));
    QVERIFY(m_listener.waitForNewConnection(10000));
    QTcpSocket *socket = m_listener.nextPendingConnection();
    DebugPeer peer(socket);
    QVERIFY(peer.textUntil("attached").contains("attached"));
    zuterm::Envelope keys;
    keys.mutable_data_packet()->set_data("stay\n");
    peer.send(keys);
    QTest::qWait(200);
    QCOMPARE(hub.state(), QProcess::Running);

    socket->abort();
    delete socket;
    QVERIFY(ended(hub));
    QCOMPARE(hub.exitCode(), 0);
    QVERIFY(hub.readAllStandardError().contains("the client closed the connection"));
}

void TestAttachRunner::classicApplication()
{
    QProcess hub;
    hub.start(QStringLiteral(ZU_DEVHUB_PATH), arguments(m_listener.serverPort(), QStringLiteral("classic")));
    QVERIFY(m_listener.waitForNewConnection(10000));
    QTcpSocket *socket = m_listener.nextPendingConnection();
    DebugPeer peer(socket);
    const auto next = [&peer] {
        const QByteArray bytes = peer.next();
        Pb::UIEnvelope envelope;
        envelope.ParseFromArray(bytes.constData(), bytes.size());
        return envelope;
    };

    QCOMPARE(next().handshake().type(), Pb::Handshake::CLASSIC);
    Pb::UIEnvelope answer;
    answer.mutable_handshake()->set_ui_version("1.9.0-143");
    peer.send(answer);
    // Attached, there is no menu item behind the session.
    const Pb::UIEnvelope session = next();
    QVERIFY(session.has_create_session());
    QCOMPARE(session.create_session().menupath(), "");
    QCOMPARE(session.window_id(), 1u);
    Pb::UIEnvelope envelope;
    while (!(envelope = next()).has_set_focus())
        QVERIFY(envelope.ByteSizeLong() > 0);
    QCOMPARE(envelope.set_focus().field_id().field_name(), "student_no");
    QVERIFY(QFile::exists(m_data.filePath(QStringLiteral("classic/students.sqlite"))));

    // Esc browses every student, E leaves: the hub hangs up and exits normally.
    for (const int key : { int(Pb::ZUGUI_ABORT), int('E') }) {
        Pb::UIEnvelope press;
        press.set_window_id(1);
        press.mutable_generic_response()->set_command(Pb::GenericResponse::ZUGUI_KEY);
        press.mutable_generic_response()->set_key_code(key);
        peer.send(press);
    }
    QVERIFY(
        QTest::qWaitFor([socket] { return socket->state() == QAbstractSocket::UnconnectedState; }, 10000));
    QVERIFY(ended(hub));
    QCOMPARE(hub.exitCode(), 0);
    QVERIFY(hub.readAllStandardError().contains("the user left"));
    delete socket;
}

void TestAttachRunner::failures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("message");

    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 unusedPort = closed.serverPort();
    closed.close();
    QTest::newRow("nobody listening")
        << QStringList { QStringLiteral("--attach"), QStringLiteral("127.0.0.1:%1").arg(unusedPort),
                         QStringLiteral("--data"), m_data.path() }
        << 1 << QByteArray("cannot reach the debug port");
    QTest::newRow("unknown application")
        << QStringList { QStringLiteral("--attach"), QStringLiteral("127.0.0.1:1"), QStringLiteral("--app"),
                         QStringLiteral("spreadsheet") }
        << 2 << QByteArray("unknown application \"spreadsheet\"");
    QTest::newRow("no port") << QStringList { QStringLiteral("--attach"), QStringLiteral("localhost") } << 2
                             << QByteArray("--attach needs HOST:PORT");
}

void TestAttachRunner::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, message);
    QProcess hub;
    hub.start(QStringLiteral(ZU_DEVHUB_PATH), arguments);
    QVERIFY(ended(hub));
    QCOMPARE(hub.exitCode(), exitCode);
    const QByteArray errors = hub.readAllStandardError();
    QVERIFY2(errors.contains(message), errors.constData());
}

QTEST_GUILESS_MAIN(TestAttachRunner)
#include "tst_attachrunner.moc"
