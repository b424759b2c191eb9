#include "hubtestclient.h"
#include "devhubfixture.h"

#include "demoinstaller.h"
#include "devhubserver.h"
#include "operatorconsole.h"
#include "sessionrecordreader.h"

#include "uidlg.pb.h"
#include "zuterm.pb.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <QUrl>
#include <QTest>
#include <QtEndian>

#include <csignal>

namespace {

QByteArray rawFrame(quint32 length, quint16 typeWord, const QByteArray &payload)
{
    QByteArray frame(FrameCodec::HeaderSize, Qt::Uninitialized);
    qToBigEndian<quint32>(length, frame.data());
    qToBigEndian<quint16>(typeWord, frame.data() + FrameCodec::LengthSize);
    return frame + payload;
}

Menu::Envelope launch(const char *menuPath)
{
    Menu::Envelope envelope;
    envelope.mutable_launchitem()->set_menupath(menuPath);
    return envelope;
}

ZuHubProto::Envelope passwordChange(const char *user, const char *oldPassword, const char *newPassword)
{
    ZuHubProto::Envelope envelope;
    auto *change = envelope.mutable_password_change();
    change->set_username(user);
    change->set_old_password(oldPassword);
    change->set_new_password(newPassword);
    return envelope;
}

zuterm::Envelope parseTerminal(const QByteArray &bytes)
{
    zuterm::Envelope envelope;
    envelope.ParseFromArray(bytes.constData(), bytes.size());
    return envelope;
}

QByteArray packetText(const QByteArray &message)
{
    return QByteArray::fromStdString(parseTerminal(message).data_packet().data());
}

QByteArray terminalData(const QByteArray &data)
{
    zuterm::Envelope envelope;
    envelope.mutable_data_packet()->set_data(data.toStdString());
    return QByteArray::fromStdString(envelope.SerializeAsString());
}

} // namespace

// The hub end to end over TLS: hello, pings, the menu link, logins and password changes, the menu
// server's lists, launches and channels, misbehaving clients and the operator's commands.
class TestDevHubServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void helloAckAndPing();
    void firstMessageMustBeHello();
    void plainTcpIsRefused();
    void brokenFramesDropOnlyThatClient_data();
    void brokenFramesDropOnlyThatClient();
    void loginFailures_data();
    void loginFailures();
    void loginAndLists();
    void requestsBeforeLoginAreRefused();
    void forcedPasswordChange();
    void scheduledProcessRemoval();
    void launchWebAndMenuItems();
    void terminalChannelOpenDataClose();
    void killProcessEndsTheChannel();
    void disconnectKillsTheProgram();
    void twoClientsAndOperatorCommands();
    void operatorOptionsApplyOnConnect();
    void recordsEachConnectionWithoutPasswords();
    void hostileClientsAreBounded();

private:
    std::unique_ptr<DevHubFixture> m_hub;
};

void TestDevHubServer::initTestCase()
{
    // A second ordinary user keeps the tests that change a user's state apart.
    QJsonObject config
        = QJsonDocument::fromJson(DevHubFixture::configWithTerminalCommand(QStringLiteral(
                                      "echo hello from $ZU_USER; echo pid=$$; read line; "
                                      "echo got:$line; [ \"$line\" = wait ] && exec sleep 60")))
              .object();
    QJsonArray users = config.value(QStringLiteral("users")).toArray();
    users.append(QJsonObject { { QStringLiteral("name"), QStringLiteral("clerk") },
                               { QStringLiteral("password"), QStringLiteral("clerk") } });
    config.insert(QStringLiteral("users"), users);
    m_hub = std::make_unique<DevHubFixture>(QJsonDocument(config).toJson());
    QVERIFY(m_hub->start());
}

void TestDevHubServer::cleanupTestCase()
{
    m_hub.reset();
}

void TestDevHubServer::helloAckAndPing()
{
    HubTestClient client;
    QVERIFY(client.connectTo(m_hub->port()));
    const ZuHubProto::HelloAck ack = client.hello();
    QVERIFY(ack.accepted());
    QVERIFY(ack.supports_compression());
    QCOMPARE(ack.classic_listen_port(), 33333u);
    QCOMPARE(QString::fromStdString(ack.client_public_address()), QStringLiteral("127.0.0.1"));
    QVERIFY(!ack.has_client_version());
    QVERIFY(!ack.client_incompatible());

    ZuHubProto::Envelope ping;
    ping.mutable_ping()->set_timestamp(1234567890123ULL);
    client.sendHub(ping);
    QCOMPARE(client.waitHub(&ZuHubProto::Envelope::has_ping).ping().timestamp(), 1234567890123ULL);
}

void TestDevHubServer::firstMessageMustBeHello()
{
    HubTestClient client;
    QVERIFY(client.connectTo(m_hub->port()));
    ZuHubProto::Envelope ping;
    ping.mutable_ping()->set_timestamp(1);
    client.sendHub(ping);
    QVERIFY(client.waitForDisconnected());
    QVERIFY(client.hubQueue.isEmpty());
}

void TestDevHubServer::plainTcpIsRefused()
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_hub->port());
    QVERIFY(QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000));
    socket.write("GET / HTTP/1.0\r\n\r\n");
    QVERIFY(QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 10000));
}

void TestDevHubServer::brokenFramesDropOnlyThatClient_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("menuOpen");
    QTest::newRow("length below the type word") << rawFrame(1, 0, "x") << false;
    QTest::newRow("length beyond the limit")
        << rawFrame(FrameCodec::MaxFrameLength + 1, 0, QByteArray()) << false;
    QTest::newRow("unreadable envelope") << rawFrame(6, 0, "\xff\xff\xff\xff") << false;
    QTest::newRow("compressed garbage")
        << rawFrame(10, FrameCodec::CompressedFlag, QByteArray("\x00\x00\x10\x00garb", 8)) << false;
    QTest::newRow("unreadable menu message") << rawFrame(6, 1, "\xff\xff\xff\xff") << true;
    QTest::newRow("channel frame without id") << rawFrame(3, 2, "x") << false;
}

void TestDevHubServer::brokenFramesDropOnlyThatClient()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, menuOpen);
    HubTestClient good;
    HubTestClient bad;
    QVERIFY(good.connectTo(m_hub->port()));
    QVERIFY(good.hello().accepted());
    QVERIFY(bad.connectTo(m_hub->port()));
    QVERIFY(bad.hello().accepted());
    if (menuOpen)
        QVERIFY(bad.openMenu());

    bad.sendRaw(bytes);
    QVERIFY(bad.waitForDisconnected());

    ZuHubProto::Envelope ping;
    ping.mutable_ping()->set_timestamp(77);
    good.sendHub(ping);
    QCOMPARE(good.waitHub(&ZuHubProto::Envelope::has_ping).ping().timestamp(), 77ULL);
    QVERIFY(good.isConnected());
}

void TestDevHubServer::loginFailures_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("errorNumber");
    QTest::addColumn<QString>("errorText");
    QTest::newRow("wrong password") << "demo"
                                    << "nope" << int(Menu::AuthStatus::FAILED) << 7
                                    << "Authentication failure";
    QTest::newRow("unknown user") << "nobody"
                                  << "demo" << int(Menu::AuthStatus::FAILED) << 7 << "Authentication failure";
    QTest::newRow("disabled account")
        << "leaver"
        << "leaver" << int(Menu::AuthStatus::NOT_ALLOWED) << 13 << "User account has expired";
}

void TestDevHubServer::loginFailures()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, status);
    QFETCH(int, errorNumber);
    QFETCH(QString, errorText);

    HubTestClient client;
    QVERIFY(client.connectTo(m_hub->port()));
    QVERIFY(client.hello().accepted());
    QVERIFY(client.openMenu());
    const Menu::AuthStatus auth = client.login(user, password);
    QCOMPARE(int(auth.status()), status);
    QCOMPARE(auth.pam_error_number(), errorNumber);
    QCOMPARE(QString::fromStdString(auth.pam_error_message()), errorText);

    // After a failure the client closes the menu link; the hub must not answer with a status that
    // would blank the error the client shows.
    ZuHubProto::Envelope close;
    close.mutable_menu_connection_control()->set_connect_state(false);
    client.sendHub(close);
    ZuHubProto::Envelope ping;
    ping.mutable_ping()->set_timestamp(5);
    client.sendHub(ping);
    QVERIFY(client.waitHub(&ZuHubProto::Envelope::has_ping).has_ping());
    QVERIFY(client.hubQueue.isEmpty());
    QVERIFY(client.menuQueue.isEmpty());
}

void TestDevHubServer::loginAndLists()
{
    HubTestClient client;
    QVERIFY(client.connectAndLogin(m_hub->port()));
    QCOMPARE(client.waitMenu(&Menu::Envelope::has_historyfile).historyfile().name(),
             std::string("zu-history-demo"));
    QCOMPARE(client.waitMenu(&Menu::Envelope::has_schedproccount).schedproccount().proc_count(), 3);

    Menu::Envelope request;
    request.mutable_releasedatarequest();
    client.sendMenu(request);
    const Menu::ReleaseList releases = client.waitMenu(&Menu::Envelope::has_releaselist).releaselist();
    QCOMPARE(releases.release_size(), 2);
    QCOMPARE(releases.release(0).key(), std::string("live"));
    QCOMPARE(releases.release(1).title(), std::string("Training Copy"));

    request.Clear();
    request.mutable_menudatarequest()->set_menupath("/");
    client.sendMenu(request);
    const Menu::MenuData root = client.waitMenu(&Menu::Envelope::has_menudata).menudata();
    QCOMPARE(root.shortdesc(), std::string("Main Menu"));
    QCOMPARE(root.menupath(), std::string("/"));
    QCOMPARE(root.menudata_size(), 3);
    const Menu::MenuData &reports = root.menudata(0).menudata(0);
    QCOMPARE(reports.menupath(), std::string("/students/reports"));
    QCOMPARE(reports.menudata(0).menupath(), std::string("/students/reports/enrolment.opt"));
    const Menu::MenuData &locked = root.menudata(2).menudata(0);
    QCOMPARE(locked.menupath(), std::string("/system/shell.opt"));
    // Stored as salt and digest, in the form the client checks the code "admin" against.
    const QByteArray stored = QByteArray::fromStdString(locked.password());
    const QByteArray salt = stored.left(8);
    QCOMPARE(stored, salt + QCryptographicHash::hash(salt + "admin", QCryptographicHash::Sha256).toHex());
    QVERIFY(!root.menudata(1).menudata(0).has_password());

    request.Clear();
    request.mutable_printerdatarequest();
    client.sendMenu(request);
    const Menu::PrinterData printers = client.waitMenu(&Menu::Envelope::has_printerdata).printerdata();
    QCOMPARE(printers.printer_size(), 3);
    QCOMPARE(printers.printer(1).name(), std::string("reception"));
    QCOMPARE(printers.def_printer(), std::string("office"));

    request.Clear();
    request.mutable_setrelease()->set_release("nonexistent");
    client.sendMenu(request);
    QCOMPARE(client.waitMenu(&Menu::Envelope::has_statusmessage).statusmessage().type(),
             Menu::StatusMessage::WARNING);
}

void TestDevHubServer::requestsBeforeLoginAreRefused()
{
    HubTestClient client;
    QVERIFY(client.connectTo(m_hub->port()));
    QVERIFY(client.hello().accepted());
    QVERIFY(client.openMenu());
    Menu::Envelope request;
    request.mutable_filerequest()->set_filename("/README.txt");
    request.mutable_filerequest()->set_request_id(9);
    client.sendMenu(request);
    const Menu::FileOperationResponse response
        = client.waitMenu(&Menu::Envelope::has_fileoperationresponse).fileoperationresponse();
    QCOMPARE(response.request_id(), 9u);
    QCOMPARE(response.fail_desc(), std::string("Not logged in"));
    QVERIFY(client.menuQueue.isEmpty());
}

void TestDevHubServer::forcedPasswordChange()
{
    HubTestClient client;
    QVERIFY(client.connectTo(m_hub->port()));
    QVERIFY(client.hello().accepted());
    QVERIFY(client.openMenu());
    const Menu::AuthStatus auth = client.login(QStringLiteral("newstaff"), QStringLiteral("welcome"));
    QCOMPARE(auth.status(), Menu::AuthStatus::NEED_PASSWORD_CHANGE);

    const struct
    {
        const char *user, *oldPassword, *newPassword;
        bool success;
        const char *message;
    } steps[] = {
        { "newstaff", "wrong", "secret1", false, "The user name or the current password is not correct." },
        { "newstaff", "welcome", "abc", false, "The new password must have at least 4 characters." },
        { "newstaff", "welcome", "welcome", false, "The new password must differ from the current one." },
        { "demo", "demo", "other1", false, "You can only change your own password." },
        { "newstaff", "welcome", "secret1", true, "Your password has been changed." },
    };
    for (const auto &step : steps) {
        client.sendHub(passwordChange(step.user, step.oldPassword, step.newPassword));
        const ZuHubProto::PasswordChangeResult result
            = client.waitHub(&ZuHubProto::Envelope::has_password_change_result).password_change_result();
        QCOMPARE(result.success(), step.success);
        QCOMPARE(result.result_message(), std::string(step.message));
    }

    // The client goes on to the releases on the same menu link.
    Menu::Envelope request;
    request.mutable_releasedatarequest();
    client.sendMenu(request);
    const Menu::ReleaseList releases = client.waitMenu(&Menu::Envelope::has_releaselist).releaselist();
    QCOMPARE(releases.release_size(), 1);
    QCOMPARE(releases.release(0).key(), std::string("train"));

    HubTestClient again;
    QVERIFY(again.connectAndLogin(m_hub->port(), QStringLiteral("newstaff"), QStringLiteral("secret1")));
}

void TestDevHubServer::scheduledProcessRemoval()
{
    HubTestClient client;
    QVERIFY(client.connectAndLogin(m_hub->port(), QStringLiteral("clerk"), QStringLiteral("clerk")));
    QCOMPARE(client.waitMenu(&Menu::Envelope::has_schedproccount).schedproccount().proc_count(), 3);
    Menu::Envelope request;
    request.mutable_removeschedprocrequest()->set_proc_number(102);
    client.sendMenu(request);
    QCOMPARE(client.waitMenu(&Menu::Envelope::has_schedproccount).schedproccount().proc_count(), 2);

    request.Clear();
    request.mutable_schedprocdatarequest();
    client.sendMenu(request);
    const Menu::SchedProcData data = client.waitMenu(&Menu::Envelope::has_schedprocdata).schedprocdata();
    QCOMPARE(data.schedproc_size(), 2);
    QCOMPARE(data.schedproc(0).proc_number(), 101);
    QCOMPARE(data.schedproc(1).proc_number(), 103);
    QCOMPARE(data.schedproc(1).exec_line(), std::string("ttcheck --quiet"));

    request.Clear();
    request.mutable_removeschedprocrequest()->set_proc_number(102);
    client.sendMenu(request);
    const Menu::StatusMessage status = client.waitMenu(&Menu::Envelope::has_statusmessage).statusmessage();
    QCOMPARE(status.message(), std::string("There is no scheduled process 102."));
}

void TestDevHubServer::launchWebAndMenuItems()
{
    HubTestClient client;
    QVERIFY(client.connectAndLogin(m_hub->port()));
    client.sendMenu(launch("/students/reports/enrolment.opt"));
    const Menu::LaunchUrl url = client.waitMenu(&Menu::Envelope::has_launchurl).launchurl();
    QVERIFY(url.internal());
    QCOMPARE(url.menupath(), std::string("/students/reports/enrolment.opt"));
    QCOMPARE(QString::fromStdString(url.url()),
             QStringLiteral("http://127.0.0.1:%1/report?user=demo").arg(m_hub->hub().webPort()));

    client.sendMenu(launch("/students"));
    QCOMPARE(client.waitMenu(&Menu::Envelope::has_statusmessage).statusmessage().message(),
             std::string("Could not start \"/students\": it is a menu, not a program"));
    client.sendMenu(launch("/no/such/item"));
    QVERIFY(client.waitMenu(&Menu::Envelope::has_statusmessage).has_statusmessage());
    QVERIFY(!client.waitHub(&ZuHubProto::Envelope::has_classic_connection_status, 200)
                 .has_classic_connection_status());
}

void TestDevHubServer::terminalChannelOpenDataClose()
{
    HubTestClient client;
    QVERIFY(client.connectAndLogin(m_hub->port()));
    client.sendMenu(launch("/tools/terminal.opt"));
    const ZuHubProto::ClassicConnectionStatus open
        = client.waitHub(&ZuHubProto::Envelope::has_classic_connection_status).classic_connection_status();
    QVERIFY(open.is_connected());
    const quint16 channel = quint16(open.channel_id());
    QVERIFY(channel != 0);

    // The client's transport reads the first message as a UI envelope to learn the kind.
    const QByteArray first = client.waitChannelMessage(channel);
    Pb::UIEnvelope asClient;
    QVERIFY(asClient.ParseFromArray(first.constData(), first.size()));
    QVERIFY(asClient.has_handshake());
    QCOMPARE(int(asClient.handshake().type()), int(Pb::Handshake::TERMINAL));
    const zuterm::Envelope config = parseTerminal(client.waitChannelMessage(channel));
    QVERIFY(config.has_config());
    QVERIFY(config.config().has_echo());
    QVERIFY(!config.config().echo());

    QByteArray text;
    for (QByteArray message;
         !text.contains("pid=") && !(message = client.waitChannelMessage(channel)).isEmpty();)
        text += packetText(message);
    QVERIFY2(text.contains("hello from demo"), text.constData());

    client.sendChannel(channel, terminalData("abc\n"));
    QByteArray rest;
    ZuHubProto::ClassicConnectionStatus closed;
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (QByteArray message; !(message = client.waitChannelMessage(channel, 0)).isEmpty();)
                rest += packetText(message);
            for (const ZuHubProto::Envelope &envelope : qAsConst(client.hubQueue)) {
                if (envelope.has_classic_connection_status())
                    closed = envelope.classic_connection_status();
            }
            return closed.has_channel_id();
        },
        10000));
    QVERIFY2(rest.contains("got:abc"), rest.constData());
    QCOMPARE(quint16(closed.channel_id()), channel);
    QVERIFY(!closed.is_connected());

    // Data for the closed channel is dropped without harm.
    client.sendChannel(channel, terminalData("late\n"));
    ZuHubProto::Envelope ping;
    ping.mutable_ping()->set_timestamp(3);
    client.sendHub(ping);
    QVERIFY(client.waitHub(&ZuHubProto::Envelope::has_ping).has_ping());
}

void TestDevHubServer::killProcessEndsTheChannel()
{
    HubTestClient client;
    QVERIFY(client.connectAndLogin(m_hub->port()));
    client.sendMenu(launch("/tools/terminal.opt"));
    const quint16 channel = quint16(client.waitHub(&ZuHubProto::Envelope::has_classic_connection_status)
                                        .classic_connection_status()
                                        .channel_id());
    QVERIFY(client.waitChannelText(channel, "pid=").contains("pid="));
    client.sendChannel(channel, terminalData("wait\n"));
    QTest::qWait(100);

    zuterm::Envelope kill;
    kill.mutable_kill_process();
    client.sendChannel(channel, QByteArray::fromStdString(kill.SerializeAsString()));
    const ZuHubProto::ClassicConnectionStatus closed
        = client.waitHub(&ZuHubProto::Envelope::has_classic_connection_status).classic_connection_status();
    QCOMPARE(quint16(closed.channel_id()), channel);
    QVERIFY(!closed.is_connected());
}

void TestDevHubServer::disconnectKillsTheProgram()
{
    auto client = std::make_unique<HubTestClient>();
    QVERIFY(client->connectAndLogin(m_hub->port()));
    client->sendMenu(launch("/tools/terminal.opt"));
    const quint16 channel = quint16(client->waitHub(&ZuHubProto::Envelope::has_classic_connection_status)
                                        .classic_connection_status()
                                        .channel_id());
    QByteArray text;
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (QByteArray message; !(message = client->waitChannelMessage(channel, 0)).isEmpty();)
                text += packetText(message);
            return QRegularExpression(QStringLiteral("pid=\\d+\\r?\\n"))
                .match(QString::fromLatin1(text))
                .hasMatch();
        },
        10000));
    const qint64 pid = QRegularExpression(QStringLiteral("pid=(\\d+)"))
                           .match(QString::fromLatin1(text))
                           .captured(1)
                           .toLongLong();
    QVERIFY(pid > 0);
    client->sendChannel(channel, terminalData("wait\n"));
    QTest::qWait(100);
    QCOMPARE(::kill(pid_t(pid), 0), 0);

    client.reset();
    QVERIFY(QTest::qWaitFor([pid] { return ::kill(pid_t(pid), 0) != 0; }, 10000));
}

void TestDevHubServer::twoClientsAndOperatorCommands()
{
    HubTestClient first;
    HubTestClient second;
    QVERIFY(first.connectAndLogin(m_hub->port()));
    QVERIFY(second.connectAndLogin(m_hub->port(), QStringLiteral("clerk"), QStringLiteral("clerk")));
    OperatorConsole &console = *m_hub->hub().console();

    const QString list = console.execute(QStringLiteral("clients"));
    QVERIFY2(list.contains(QStringLiteral("user \"demo\""))
                 && list.contains(QStringLiteral("user \"clerk\"")),
             qPrintable(list));

    QCOMPARE(console.execute(QStringLiteral("notify  Back up at  five")),
             QStringLiteral("Notification sent to 2 clients."));
    QCOMPARE(first.waitHub(&ZuHubProto::Envelope::has_notify).notify().message(),
             std::string("Back up at  five"));
    QCOMPARE(second.waitHub(&ZuHubProto::Envelope::has_notify).notify().message(),
             std::string("Back up at  five"));

    QCOMPARE(console.execute(QStringLiteral("status fatal Going down")),
             QStringLiteral("Status message sent to 2 clients."));
    const Menu::StatusMessage status = second.waitMenu(&Menu::Envelope::has_statusmessage).statusmessage();
    QCOMPARE(status.type(), Menu::StatusMessage::FATAL);
    QCOMPARE(status.message(), std::string("Going down"));

    QCOMPARE(console.execute(QStringLiteral("update 2.0.0 https://example.invalid/setup.exe required")),
             QStringLiteral("Update offer sent to 2 clients."));
    const ZuHubProto::HelloAck offer = first.waitHub(&ZuHubProto::Envelope::has_hello_ack).hello_ack();
    QVERIFY(offer.accepted());
    QCOMPARE(offer.client_version(), std::string("2.0.0"));
    QVERIFY(offer.client_incompatible());
    QCOMPARE(offer.installer_url(), std::string("https://example.invalid/setup.exe"));

    const int firstId = m_hub->hub().server()->clients().first().id;
    QCOMPARE(console.execute(QStringLiteral("disconnect %1 Maintenance").arg(firstId)),
             QStringLiteral("Disconnect sent to 1 client."));
    QCOMPARE(first.waitHub(&ZuHubProto::Envelope::has_force_disconnect).force_disconnect().message(),
             std::string("Maintenance"));
    QVERIFY(first.waitForDisconnected());
    QVERIFY(second.isConnected());
    QCOMPARE(console.execute(QStringLiteral("disconnect %1").arg(firstId)),
             QStringLiteral("There is no connected client %1.").arg(firstId));
    QVERIFY(console.execute(QStringLiteral("frobnicate")).startsWith(QStringLiteral("Unknown command")));
    QCOMPARE(console.execute(QStringLiteral("notify")), QStringLiteral("Usage: notify TEXT"));
}

// --record: one file per connection, the hub's end of it, with the address reached and no password.
void TestDevHubServer::recordsEachConnectionWithoutPasswords()
{
    QTemporaryDir dir;
    DevHubFixture hub;
    DevHubOptions options;
    options.recordPath = dir.filePath(QStringLiteral("hub.zurec"));
    QVERIFY(hub.start(options));
    {
        HubTestClient first;
        QVERIFY(first.connectTo(hub.port()));
        first.hello();
        QVERIFY(first.openMenu());
        QCOMPARE(first.login(QStringLiteral("newstaff"), QStringLiteral("welcome")).status(),
                 Menu::AuthStatus::NEED_PASSWORD_CHANGE);
        HubTestClient second;
        QVERIFY(second.connectTo(hub.port()));
        second.hello();
    }
    const quint16 port = hub.port();
    hub.stop();

    QFile file(options.recordPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.contains("newstaff"));
    QVERIFY(!bytes.contains("welcome"));
    SessionRecordReader reader;
    QVERIFY(reader.open(options.recordPath));
    QVERIFY(reader.headerText().contains(QStringLiteral("side=hub")));
    SessionRecord record;
    QList<SessionRecord::Direction> directions;
    QString firstNote;
    while (reader.next(&record) == SessionRecordReader::Result::Record) {
        directions << record.direction;
        if (record.direction == SessionRecord::Direction::Note && firstNote.isEmpty())
            firstNote = QString::fromUtf8(record.data);
    }
    QVERIFY2(reader.errorText().isEmpty(), qPrintable(reader.errorText()));
    QCOMPARE(firstNote, QStringLiteral("connecting to 127.0.0.1:%1").arg(port));
    QVERIFY(directions.contains(SessionRecord::Direction::FromClient));
    QVERIFY(directions.contains(SessionRecord::Direction::FromHub));
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("hub-2.zurec"))));
}

void TestDevHubServer::operatorOptionsApplyOnConnect()
{
    DevHubFixture hub;
    DevHubOptions options;
    options.notify = QStringLiteral("Welcome to the demo");
    options.update.version = QStringLiteral("1.9.1");
    QVERIFY(hub.start(options));
    HubTestClient client;
    QVERIFY(client.connectTo(hub.port()));
    const ZuHubProto::HelloAck ack = client.hello(false);
    QCOMPARE(ack.client_version(), std::string("1.9.1"));
    QVERIFY(!ack.client_incompatible());
    // No address given: the hub's own demo installer, which records its runs in the data folder.
    const QString installer = QString::fromStdString(ack.installer_url());
    QCOMPARE(installer, DemoInstaller::defaultUrl(QStringLiteral("127.0.0.1"), hub.hub().installerPort(),
                                                  QStringLiteral("1.9.1")));
    QVERIFY(installer.startsWith(QStringLiteral("https://")));
    // Over TLS 1.2 or later on the hub's own certificate, and not on the plain report server.
    QSslSocket web;
    web.setPeerVerifyMode(QSslSocket::VerifyNone);
    web.connectToHostEncrypted(QStringLiteral("127.0.0.1"), hub.hub().installerPort());
    QVERIFY2(QTest::qWaitFor([&] { return web.isEncrypted(); }, 10000), qPrintable(web.errorString()));
    QSslSocket hubLink;
    hubLink.setPeerVerifyMode(QSslSocket::VerifyNone);
    hubLink.connectToHostEncrypted(QStringLiteral("127.0.0.1"), hub.port());
    QVERIFY(QTest::qWaitFor([&] { return hubLink.isEncrypted(); }, 10000));
    QCOMPARE(web.peerCertificate(), hubLink.peerCertificate());
    hubLink.abort();
    QVERIFY(web.sessionProtocol() >= QSsl::TlsV1_2);
    web.write("GET " + QUrl(installer).path().toLatin1() + "?version=1.9.1 HTTP/1.1\r\n\r\n");
    QByteArray script;
    QVERIFY(QTest::qWaitFor(
        [&] {
            script += web.readAll();
            return web.state() == QAbstractSocket::UnconnectedState;
        },
        10000));
    script += web.readAll();
    QVERIFY2(script.contains("HTTP/1.1 200 OK") && script.contains("\r\n\r\n#!/bin/sh\n")
                 && script.contains(QFile::encodeName(hub.dataDir() + "/" + DemoInstaller::RecordFileName)),
             script.constData());
    QTcpSocket plain;
    plain.connectToHost(QHostAddress::LocalHost, hub.hub().webPort());
    QVERIFY(plain.waitForConnected(5000));
    plain.write("GET " + QUrl(installer).path().toLatin1() + " HTTP/1.1\r\n\r\n");
    QVERIFY(QTest::qWaitFor([&] { return plain.state() == QAbstractSocket::UnconnectedState; }, 10000));
    QVERIFY(plain.readAll().startsWith("HTTP/1.1 404"));
    QCOMPARE(client.waitHub(&ZuHubProto::Envelope::has_notify).notify().message(),
             std::string("Welcome to the demo"));
}

// A connection that never logs in, stays silent, sends large frames before logging in, tries
// passwords through password changes or opens connection after connection is cut off; everyone else
// can still log in meanwhile.
void TestDevHubServer::hostileClientsAreBounded()
{
    DevHubFixture hub;
    DevHubOptions options;
    options.loginTimeoutMs = 800;
    options.idleTimeoutMs = 2500;
    QVERIFY(hub.start(options));

    HubTestClient helloOnly;
    QVERIFY(helloOnly.connectTo(hub.port()));
    QVERIFY(helloOnly.hello().accepted());
    HubTestClient good;
    QVERIFY(good.connectAndLogin(hub.port()));
    QVERIFY(helloOnly.waitForDisconnected(5000));
    QVERIFY(good.isConnected());

    HubTestClient guesser;
    QVERIFY(guesser.connectTo(hub.port()));
    QVERIFY(guesser.hello().accepted());
    guesser.sendHub(passwordChange("demo", "demo", "guess1"));
    const ZuHubProto::PasswordChangeResult refused
        = guesser.waitHub(&ZuHubProto::Envelope::has_password_change_result).password_change_result();
    QVERIFY(!refused.success());
    QCOMPARE(refused.result_message(), std::string("Log in before changing the password."));

    HubTestClient large;
    QVERIFY(large.connectTo(hub.port()));
    QVERIFY(large.hello().accepted());
    large.sendRaw(rawFrame(70002, 1, QByteArray(70000, 'x')));
    QVERIFY(large.waitForDisconnected());

    // Logged in but silent: dropped once the idle time-out passes.
    QVERIFY(good.waitForDisconnected(8000));

    // One address cannot take every client slot.
    DevHubFixture roomy;
    QVERIFY(roomy.start());
    std::vector<std::unique_ptr<HubTestClient>> many;
    for (int i = 0; i < DevHubServer::MaxClientsPerAddress; ++i) {
        many.push_back(std::make_unique<HubTestClient>());
        QVERIFY(many.back()->connectTo(roomy.port()));
    }
    HubTestClient oneMore;
    QVERIFY(!oneMore.connectTo(roomy.port()) || oneMore.waitForDisconnected());
    QVERIFY(many.front()->isConnected());
}

QTEST_GUILESS_MAIN(TestDevHubServer)
#include "tst_devhubserver.moc"
