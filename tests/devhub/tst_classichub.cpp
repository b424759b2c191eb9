#include "hubtestclient.h"
#include "devhubfixture.h"

#include "studentdatabase.h"

#include "uidlg.pb.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTest>

#include <google/protobuf/descriptor.h>

#include <functional>

namespace {

constexpr char MenuPath[] = "/students/records.opt";

Menu::Envelope launch(const char *menuPath)
{
    Menu::Envelope envelope;
    envelope.mutable_launchitem()->set_menupath(menuPath);
    return envelope;
}

QString commandOf(const Pb::UIEnvelope &envelope)
{
    std::vector<const google::protobuf::FieldDescriptor *> fields;
    envelope.GetReflection()->ListFields(envelope, &fields);
    QStringList names;
    for (const auto *field : fields) {
        if (field->number() > 2)
            names << QString::fromStdString(field->name());
    }
    return names.join(QLatin1Char('+'));
}

// The client's side of a classic application on one hub channel.
class ChannelPeer
{
public:
    ChannelPeer(HubTestClient *client, quint16 channel)
        : m_client(client)
        , m_channel(channel)
    { }

    // The next message, or an empty envelope after the time-out.
    Pb::UIEnvelope next()
    {
        const QByteArray bytes = m_client->waitChannelMessage(m_channel);
        Pb::UIEnvelope envelope;
        if (!bytes.isEmpty())
            envelope.ParseFromArray(bytes.constData(), bytes.size());
        return envelope;
    }
    // Messages up to and including the first that has the field; their commands in order.
    QStringList until(bool (Pb::UIEnvelope::*has)() const, Pb::UIEnvelope *found = nullptr)
    {
        QStringList commands;
        for (Pb::UIEnvelope envelope = next(); commandOf(envelope).size(); envelope = next()) {
            commands << commandOf(envelope);
            if ((envelope.*has)()) {
                if (found)
                    *found = envelope;
                break;
            }
        }
        return commands;
    }
    void send(Pb::UIEnvelope envelope, quint32 window = 1)
    {
        envelope.set_window_id(window);
        m_client->sendChannel(m_channel, QByteArray::fromStdString(envelope.SerializeAsString()));
    }
    void key(int code, const char *field = nullptr, const char *data = nullptr)
    {
        Pb::UIEnvelope envelope;
        auto *response = envelope.mutable_generic_response();
        response->set_command(Pb::GenericResponse::ZUGUI_KEY);
        response->set_key_code(code);
        if (field) {
            response->mutable_field_id()->set_screen_id(1);
            response->mutable_field_id()->set_field_name(field);
        }
        if (data)
            response->set_data(data);
        send(envelope);
    }

private:
    HubTestClient *m_client;
    quint16 m_channel;
};

quint16 openedChannel(HubTestClient &client)
{
    const ZuHubProto::Envelope status = client.waitHub(&ZuHubProto::Envelope::has_classic_connection_status);
    return status.classic_connection_status().is_connected()
        ? quint16(status.classic_connection_status().channel_id())
        : 0;
}

} // namespace

// The student records application launched from the hub's menu over a real TLS connection: the
// first screen exchange, an update that reaches the database, a malformed envelope, and the end
// of the application closing its channel while the client stays connected.
class TestClassicHub : public QObject
{
    Q_OBJECT

private slots:
    void launchedFromTheMenu();
};

void TestClassicHub::launchedFromTheMenu()
{
    DevHubFixture hub;
    QVERIFY(hub.start());
    HubTestClient client;
    QVERIFY(client.connectAndLogin(hub.port()));
    client.sendMenu(launch(MenuPath));
    const quint16 channel = openedChannel(client);
    QVERIFY(channel != 0);
    ChannelPeer peer(&client, channel);

    const Pb::UIEnvelope hello = peer.next();
    QCOMPARE(hello.handshake().type(), Pb::Handshake::CLASSIC);
    QCOMPARE(hello.pid(), quint32(QCoreApplication::applicationPid()));
    Pb::UIEnvelope answer;
    answer.mutable_handshake()->set_ui_version("1.9.0-143");
    peer.send(answer, 0);

    Pb::UIEnvelope focus;
    const QStringList first = peer.until(&Pb::UIEnvelope::has_set_focus, &focus);
    QCOMPARE(first.mid(0, 5),
             QStringList({ "create_session", "set_title", "clear_rows", "load_screen", "navbar_item_list" }));
    QCOMPARE(first.count("put_field"), 11);
    QCOMPARE(first.mid(first.size() - 5),
             QStringList({ "screen_menu", "keyboard_mode", "navbar_status", "set_status", "set_focus" }));
    QCOMPARE(focus.set_focus().field_id().field_name(), "student_no");

    // Rubbish on the channel is logged and dropped; the application carries on.
    QTest::ignoreMessage(
        QtWarningMsg,
        QRegularExpression(QStringLiteral("classic \\(channel %1\\): unreadable message").arg(channel)));
    client.sendChannel(channel, QByteArray("\x0a\xff\xff\xff", 4));

    // Find student 100007, change the last name, confirm.
    peer.key(Pb::ZUGUI_DONE, "student_no", "100007");
    QVERIFY(peer.until(&Pb::UIEnvelope::has_keyboard_mode).size() > 0);
    peer.key('U');
    QVERIFY(peer.until(&Pb::UIEnvelope::has_set_focus).contains("activate_field"));
    peer.key(Pb::ZUGUI_ENTER, "last_name", "Hubbard");
    peer.key(Pb::ZUGUI_DONE);
    Pb::UIEnvelope dialog;
    peer.until(&Pb::UIEnvelope::has_dialog, &dialog);
    QCOMPARE(dialog.dialog().option(0).key(), int('Y'));
    Pb::UIEnvelope yes;
    yes.mutable_dialog_response()->set_response('Y');
    peer.send(yes);
    QCOMPARE(peer.next().has_end_dialog(), true);
    StudentDatabase db;
    QString error;
    QVERIFY2(db.open(hub.dataDir() + QStringLiteral("/classic/students.sqlite"), &error), qPrintable(error));
    QVERIFY(QTest::qWaitFor([&] { return db.student(100007)->lastName == QLatin1String("Hubbard"); }, 5000));

    // Exit ends the application: the hub closes the channel, the client stays.
    peer.until(&Pb::UIEnvelope::has_keyboard_mode);
    peer.key('E');
    const ZuHubProto::Envelope closed = client.waitHub(&ZuHubProto::Envelope::has_classic_connection_status);
    QCOMPARE(quint16(closed.classic_connection_status().channel_id()), channel);
    QVERIFY(!closed.classic_connection_status().is_connected());
    QVERIFY(client.isConnected());
    client.sendMenu(launch(MenuPath));
    const quint16 again = openedChannel(client);
    QVERIFY(again != 0);
    QCOMPARE(ChannelPeer(&client, again).next().handshake().type(), Pb::Handshake::CLASSIC);
}

QTEST_GUILESS_MAIN(TestClassicHub)
#include "tst_classichub.moc"
