#include "hubtestclient.h"
#include "devhubfixture.h"

#include "menu/mainconnection.h"
#include "menu/menuitem.h"
#include "settings/settingsmanager.h"
#include "shell/passwordflyout.h"

#include "testenvironment.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

class Worker : public QObject
{
public:
    QStringList replies;
    QStringList listing;

    RemoteFiles::ListingReply list(const QString &tag)
    {
        return [this, tag](const Menu::FileInfoData *data, const QString &error) {
            replies << QStringLiteral("list %1 [%2]").arg(tag, error);
            if (data) {
                for (const auto &info : data->fileinfo())
                    listing << QString::fromStdString(info.name());
            }
        };
    }
    RemoteFiles::FileReply get(const QString &tag)
    {
        return [this, tag](const QByteArray &data, const QString &error) {
            replies << QStringLiteral("get %1 %2 [%3]").arg(tag).arg(data.size()).arg(error);
        };
    }
    RemoteFiles::DoneReply upload(const QString &tag)
    {
        return [this, tag](const QString &error) { replies << QStringLiteral("upload %1 [%2]").arg(tag, error); };
    }
};

QStringList titles(const MenuItem *item)
{
    QStringList result;
    for (const MenuItem *child : item->children)
        result << child->title;
    return result;
}

} // namespace

// The client's own menu session class against the stand-in hub: what a user's login, menu and
// file browser would go through, byte for byte.
class TestMenuInterop : public QObject
{
    Q_OBJECT

private slots:
    void clientSessionAgainstTheHub();
};

void TestMenuInterop::clientSessionAgainstTheHub()
{
    TestEnvironment environment;
    DevHubFixture hub;
    QVERIFY(hub.start());
    HubTestClient link;
    QVERIFY(link.connectTo(hub.port()));
    const ZuHubProto::HelloAck ack = link.hello();

    MainConnection session;
    SettingsManager::instance()->setMainConnection(&session);
    connect(&session, &MainConnection::messageReady, &link, &HubTestClient::sendMenuBytes);
    connect(&link, &HubTestClient::menuBytesReceived, &session,
            [&session](const QByteArray &bytes) { session.processMessage(bytes.constData(), bytes.size()); });
    QSignalSpy releases(&session, &MainConnection::releaseListRcvd);
    QSignalSpy menus(&session, &MainConnection::menuReceived);

    session.setClassicListenPort(quint16(ack.classic_listen_port()));
    session.setAddresses(QStringLiteral("127.0.0.1"), QString::fromStdString(ack.client_public_address()));
    session.setCredentials(QStringLiteral("demo"), QStringLiteral("demo"));
    session.startMenuConnection();
    QVERIFY(link.openMenu());
    session.menuConnected();

    QVERIFY(releases.wait(10000));
    QCOMPARE(session.state(), MainConnection::ChoosingRelease);
    const auto list = releases.first().first().value<MainConnection::ReleaseList>();
    QCOMPARE(list.size(), 2);
    session.setRelease(list.first().key, list.first().title);
    QVERIFY(menus.wait(10000));
    std::unique_ptr<MenuItem> root(menus.first().first().value<MenuItem *>());
    QCOMPARE(titles(root.get()), (QStringList { "Students", "Tools", "System" }));
    QCOMPARE(titles(root->children.first()), (QStringList { "Reports", "Student Records" }));
    // The locked item opens with the code "admin" through the client's own check.
    const QString code = root->children.at(2)->children.first()->password;
    QVERIFY(PasswordFlyout::checkAccessCode(code, QStringLiteral("admin")));
    QVERIFY(!PasswordFlyout::checkAccessCode(code, QStringLiteral("Admin")));
    QTRY_COMPARE(session.defaultPrinter(), QStringLiteral("office"));
    QTRY_VERIFY(QFile::exists(hub.homeOf(QStringLiteral("demo")) + QStringLiteral("/.clientport")));

    // The client's settings manager writes its first settings copy as soon as the release is set.
    QTRY_VERIFY(QFile::exists(hub.homeOf(QStringLiteral("demo")) + QStringLiteral("/.zudesktop_0001")));

    Worker worker;
    RemoteFiles *files = session.files();
    files->requestFileInfo(&worker, QString(), false, QString(), worker.list("home"));
    files->uploadFile(&worker, QStringLiteral("/.interop_test"), "{}\r\n", false, true, worker.upload("settings"));
    files->uploadFile(&worker, QStringLiteral("/.interop_test"), "{}", false, true, worker.upload("again"));
    files->requestFile(&worker, QStringLiteral("/README.txt"), worker.get("readme"));
    QTRY_COMPARE(worker.replies.size(), 4);
    QCOMPARE(worker.replies.at(0), QStringLiteral("list home []"));
    QVERIFY(worker.listing.contains(QStringLiteral("README.txt")));
    QVERIFY(!worker.listing.contains(QStringLiteral(".clientport")));
    QCOMPARE(worker.replies.at(1), QStringLiteral("upload settings []"));
    QCOMPARE(worker.replies.at(2), QStringLiteral("upload again [File '/.interop_test' already exists]"));
    QVERIFY(worker.replies.at(3).startsWith(QStringLiteral("get readme ")));
    QVERIFY(worker.replies.at(3).endsWith(QStringLiteral("[]")));
    QFile settings(hub.homeOf(QStringLiteral("demo")) + QStringLiteral("/.interop_test"));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    // The server's file is the bytes sent.
    QCOMPARE(settings.readAll(), QByteArray("{}\r\n"));
}

QTEST_MAIN(TestMenuInterop)
#include "tst_menuinterop.moc"
