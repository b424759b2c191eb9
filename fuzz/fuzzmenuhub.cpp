#include "fuzzmenuhub.h"

#include "menuserver.h"

#include "menu/mainconnection.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>

namespace {

// Both ends answer through the event loop, as over a link; a few rounds carry every answer.
void settle()
{
    for (int round = 0; round < 20; ++round)
        QCoreApplication::sendPostedEvents();
}

} // namespace

FuzzMenuHub::FuzzMenuHub()
{
    QString error;
    m_config = DevHubConfig::builtIn(&error);
    if (!m_config) {
        std::fprintf(stderr, "built-in configuration: %s\n", qPrintable(error));
        std::abort();
    }
    m_users = std::make_unique<UserStore>(*m_config);
    m_context.config = m_config.get();
    m_context.users = m_users.get();
    m_context.dataDir = m_dir.path();
    m_context.homesDir = m_dir.path() + QStringLiteral("/homes");
    m_context.spoolDir = m_dir.path() + QStringLiteral("/spool");
    wipe();
}

FuzzMenuHub::~FuzzMenuHub() = default;

void FuzzMenuHub::wipe()
{
    for (const QString &folder : { m_context.homesDir, m_context.spoolDir }) {
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
    }
}

void FuzzMenuHub::openFileRequests(MainConnection &session, FuzzFileWorker *worker)
{
    RemoteFiles *files = session.files();
    const auto done = [](const QString &) {};
    files->requestFileInfo(worker, QString(), true, QString(), [](const Menu::FileInfoData *, const QString &) {});
    files->requestFile(worker, QStringLiteral("/README.txt"), [](const QByteArray &, const QString &) {});
    files->uploadFile(worker, QStringLiteral("/upload.txt"), "line one\r\nline two\r\n", true, false, done);
    files->renameFile(worker, QStringLiteral("/upload.txt"), QStringLiteral("/renamed.txt"), done);
    files->copyFile(worker, QStringLiteral("/renamed.txt"), QStringLiteral("/copy.txt"), done);
    files->printFile(worker, QStringLiteral("/copy.txt"), QStringLiteral("office"), QString(), done);
    files->deleteFile(worker, QStringLiteral("/copy.txt"), done);
}

FuzzMenuHub::Exchange FuzzMenuHub::recordExchange()
{
    Exchange exchange;
    MenuServer server(m_context, QStringLiteral("seed"));
    MainConnection client;
    QObject::connect(&client, &MainConnection::messageReady, &server, [&](const QByteArray &bytes) {
        exchange.toServer.append(bytes);
        server.processMessage(bytes);
    }, Qt::QueuedConnection);
    QObject::connect(&server, &MenuServer::messageReady, &client, [&](const QByteArray &bytes) {
        exchange.toClient.append(bytes);
        client.processMessage(bytes.constData(), bytes.size());
    }, Qt::QueuedConnection);
    QObject::connect(&client, &MainConnection::releaseListRcvd, &client,
                     [&](const MainConnection::ReleaseList &releases) {
                         if (!releases.isEmpty())
                             client.setRelease(releases.first().key, releases.first().title);
                     });
    client.setCredentials(QStringLiteral("demo"), QStringLiteral("demo"));
    client.setAddresses(QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.1"));
    client.startMenuConnection();
    client.menuConnected();
    settle();
    if (client.state() != MainConnection::Connected) {
        std::fprintf(stderr, "seed session did not connect: %d\n", int(client.state()));
        std::abort();
    }
    FuzzFileWorker worker;
    openFileRequests(client, &worker);
    client.scheduledProcesses()->requestList();
    client.sendLaunchItem(QStringLiteral("/Students/Reports"));
    settle();
    return exchange;
}
