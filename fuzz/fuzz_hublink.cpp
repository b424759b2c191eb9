#include "fuzzsupport.h"

#include "hub/hostentry.h"
#include "hub/hubconnection.h"
#include "hub/hubprompter.h"
#include "hub/hubtransport.h"
#include "menu/mainconnection.h"
#include "menu/menuitem.h"
#include "utils/noticeboard.h"

#include "framecodec.h"

#include "menu.pb.h"
#include "zuhub.pb.h"

#include <QApplication>
#include <QDesktopServices>
#include <QTimer>
#include <QUrl>

#include <memory>

// The hub's side of a link, as frames: each message of the input is one frame, its first byte the
// frame type (hub envelope, menu envelope, channel data), the rest its payload. They go through the
// hub link's handlers into the menu session and the desktop's notices and launches, which must stay
// bounded however many the hub sends.

namespace {

// Hands the frames to the link as a socket would, and takes what the link sends.
class FuzzTransport : public HubTransport
{
public:
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void feed(const FrameCodec::Frame &frame) { deliver(frame); }

protected:
    // As a socket: the connection comes up on a later turn of the event loop.
    void openConnection(const HostEntry &) override
    {
        m_open = true;
        QTimer::singleShot(0, this, [this] {
            emit tcpConnected();
            emit encrypted();
        });
    }
    void writeFrame(quint16, const QByteArray &, const QByteArray &) override { }

private:
    bool m_open = false;
};

// Counts what the desktop was asked to open instead of opening it.
class Opened : public QObject
{
    Q_OBJECT

public:
    int count = 0;

public slots:
    void open(const QUrl &) { ++count; }
};

QByteArray frame(quint16 type, const google::protobuf::Message &message)
{
    return char(type) + QByteArray::fromStdString(message.SerializeAsString());
}

QByteArray hubEnvelope(const std::function<void(ZuHubProto::Envelope &)> &fill)
{
    ZuHubProto::Envelope envelope;
    fill(envelope);
    return frame(FrameCodec::EnvelopeFrame, envelope);
}

QByteArray menuEnvelope(const std::function<void(Menu::Envelope &)> &fill)
{
    Menu::Envelope envelope;
    fill(envelope);
    return frame(FrameCodec::MenuFrame, envelope);
}

} // namespace

QList<QByteArray> fuzzSeeds()
{
    QList<QByteArray> link {
        hubEnvelope([](ZuHubProto::Envelope &e) {
            e.mutable_hello_ack()->set_accepted(true);
            e.mutable_hello_ack()->set_classic_listen_port(6123);
        }),
        hubEnvelope([](ZuHubProto::Envelope &e) { e.mutable_menu_connection_status()->set_is_connected(true); }),
        menuEnvelope([](Menu::Envelope &e) { e.mutable_authstatus()->set_status(Menu::AuthStatus::SUCCESS); }),
        menuEnvelope([](Menu::Envelope &e) {
            auto *release = e.mutable_releaselist()->add_release();
            release->set_key("r1");
            release->set_title("Release");
        }),
    };
    for (int i = 0; i < 12; ++i) {
        link << hubEnvelope([i](ZuHubProto::Envelope &e) {
            e.mutable_notify()->set_message("Back in <b>" + std::to_string(i) + "</b> minutes");
        });
        link << menuEnvelope([i](Menu::Envelope &e) {
            e.mutable_launchurl()->set_url("https://reports.example/" + std::to_string(i));
            e.mutable_launchurl()->set_internal(i % 2 == 0);
        });
        link << menuEnvelope([](Menu::Envelope &e) {
            e.mutable_statusmessage()->set_type(Menu::StatusMessage::WARNING);
            e.mutable_statusmessage()->set_message("Backup at 6pm");
        });
    }
    link << menuEnvelope([](Menu::Envelope &e) { e.mutable_launchurl()->set_url("http://exa mple.com:99999/"); });
    link << hubEnvelope([](ZuHubProto::Envelope &e) { e.mutable_force_disconnect()->set_message("bye"); });
    return exchangeSeeds(link);
}

void fuzzOne(const QByteArray &input)
{
    static Opened opened;
    static const bool handlers = [] {
        for (const char *scheme : { "http", "https", "file", "mailto" })
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &opened, "open");
        return true;
    }();
    Q_UNUSED(handlers)
    opened.count = 0;

    FuzzTransport transport;
    HostEntry host;
    host.name = host.host = QStringLiteral("hub.example");
    host.port = 4433;
    auto link = std::make_unique<HubConnection>(nullptr);
    HubPrompter prompter(link.get());
    link->setHostEntry(&host);
    link->setTransport(&transport);
    MainConnection *menu = link->mainConnection();
    int pages = 0;
    QObject::connect(menu, &MainConnection::openWebPage, menu, [&pages] { ++pages; });
    QObject::connect(menu, &MainConnection::menuReceived, menu,
                     [](MenuItem *root) { std::unique_ptr<MenuItem> owned(root); });
    QObject::connect(menu, &MainConnection::releaseListRcvd, menu,
                     [menu] { menu->setRelease(QStringLiteral("r1"), QStringLiteral("Release")); });
    menu->setCredentials(QStringLiteral("demo"), QStringLiteral("demo"));
    link->startConnection(true);
    settleEvents();
    for (const QByteArray &message : splitMessages(input)) {
        if (message.isEmpty() || !transport.isOpen())
            continue;
        FrameCodec::Frame frame;
        frame.type = quint16(quint8(message.at(0)) % 3);
        frame.payload = message.mid(1);
        transport.feed(frame);
    }
    FUZZ_CHECK(opened.count <= MainConnection::MaxLaunchesPerMinute);
    FUZZ_CHECK(pages <= MainConnection::MaxLaunchesPerMinute);
    FUZZ_CHECK(NoticeBoard::instance()->entryCount() <= NoticeBoard::MaxKept);
    link.reset();
    settleEvents();
}

#include "fuzz_hublink.moc"
