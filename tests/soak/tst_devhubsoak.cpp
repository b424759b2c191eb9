// The stand-in hub as a separate process under many clients: logins in turn, then a crowd at once
// with menu traffic. Once they have all gone, the hub's open files must be what they were before,
// and its memory back where it started. The "stall" is the slowest answer to a ping from an idle
// client while all this goes on.
#include "hubtestclient.h"
#include "processprobe.h"
#include "soakrun.h"
#include "testpaths.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

constexpr int StartMs = 20000;
constexpr int PingEveryMs = 20;
constexpr int SettleMs = 10000;
// What a crowd may leave behind in the allocator of a process that cannot be asked to trim it.
constexpr double GrowthMb = 4;
constexpr quint32 CrowdAddress = 0x7f000002; // 127.0.0.2
constexpr int CrowdAddresses = 2;

// Answers every ping it gets and measures how long each took.
class PingWatch : public QObject
{
public:
    explicit PingWatch(HubTestClient *client)
        : m_client(client)
    {
        m_clock.start();
        connect(&m_timer, &QTimer::timeout, this, &PingWatch::poll);
        m_timer.start(PingEveryMs);
    }
    qint64 longestMs() const { return m_longestMs; }

private:
    void poll()
    {
        const qint64 now = m_clock.nsecsElapsed() / 1000;
        for (const ZuHubProto::Envelope &envelope : std::as_const(m_client->hubQueue))
            if (envelope.has_ping()) {
                m_longestMs = std::max(m_longestMs, (now - qint64(envelope.ping().timestamp())) / 1000);
                m_waiting = false;
            }
        m_client->hubQueue.clear();
        m_client->frames.clear();
        if (m_waiting)
            return;
        ZuHubProto::Envelope ping;
        ping.mutable_ping()->set_timestamp(quint64(now));
        m_client->sendHub(ping);
        m_waiting = true;
    }

    HubTestClient *m_client;
    QElapsedTimer m_clock;
    QTimer m_timer;
    bool m_waiting = false;
    qint64 m_longestMs = 0;
};

} // namespace

class tst_DevHubSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        m_hub.setProgram(QStringLiteral(ZU_DEVHUB_PATH));
        m_hub.setArguments({ QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--web-port"),
                             QStringLiteral("0"), QStringLiteral("--data"), m_data.path(),
                             QStringLiteral("--no-console") });
        m_hub.setProcessChannelMode(QProcess::MergedChannels);
        m_hub.start();
        const QRegularExpression listening(QStringLiteral("hub listening on [0-9.]+:(\\d+)"));
        QByteArray log;
        QVERIFY(QTest::qWaitFor(
            [&] {
                log += m_hub.readAll();
                const QRegularExpressionMatch match = listening.match(QString::fromLatin1(log));
                m_port = match.hasMatch() ? quint16(match.captured(1).toUInt()) : 0;
                return m_port != 0 || m_hub.state() == QProcess::NotRunning;
            },
            StartMs));
        QVERIFY2(m_port != 0, log.constData());
        // The hub's log is not read from here on: it must not fill a pipe.
        m_hub.setStandardOutputFile(QProcess::nullDevice());
    }

    void cleanupTestCase()
    {
        m_hub.terminate();
        if (!m_hub.waitForFinished(5000))
            m_hub.kill();
    }

    void clientsInTurnThenACrowd()
    {
        const int inTurn = SoakRun::count(20, 200);
        const int crowdMs = SoakRun::count(4000, 60000);
        // The warm-up has a crowd of its own: what the hub first allocates for 20 connections at
        // once is part of where it starts, not growth.
        for (int i = 0; i < WarmUpVisits; ++i)
            QVERIFY(visit(i));
        const int idleFiles = ProcessProbe::openFiles(m_hub.processId());
        QVERIFY(crowdFor(WarmUpCrowdMs) > 0);
        QVERIFY2(waitForHubFiles(idleFiles), "the hub keeps files of clients that left");
        HubTestClient watcher;
        QVERIFY(watcher.connectTo(m_port) && watcher.hello().accepted());
        const qint64 startMemory = settledHubMemory();
        const int startFiles = ProcessProbe::openFiles(m_hub.processId());
        QVERIFY(startFiles > 0);
        PingWatch pings(&watcher);

        for (int i = 0; i < inTurn; ++i)
            QVERIFY2(visit(i), qPrintable(QStringLiteral("client %1 in turn").arg(i)));
        const int rounds = crowdFor(crowdMs);
        QVERIFY(rounds > 0);
        const qint64 longestPing = pings.longestMs();
        QVERIFY2(waitForHubFiles(startFiles), "the hub keeps files of clients that left");

        const qint64 endMemory = settledHubMemory();
        const int endFiles = ProcessProbe::openFiles(m_hub.processId());
        SoakRun run(QStringLiteral("stand-in hub"));
        run.setSize(QStringLiteral("%1 clients in turn, %2 at once for %3 s (%4 rounds)")
                        .arg(inTurn)
                        .arg(CrowdSize)
                        .arg(crowdMs / 1000)
                        .arg(rounds));
        run.setMemory(startMemory, endMemory);
        run.setStall(longestPing);
        run.addNote(QStringLiteral("open files %1 -> %2").arg(startFiles).arg(endFiles));
        run.print();
        QCOMPARE(endFiles, startFiles);
        QVERIFY2(ProcessProbe::megabytes(endMemory - startMemory) < GrowthMb, qPrintable(run.line()));
    }

private:
    static constexpr int RepliesPerRound = 5;
    static constexpr int CrowdSize = 20;
    static constexpr int WarmUpVisits = 5;
    static constexpr int WarmUpCrowdMs = 1000;

    // CrowdSize clients at once, all logged in and asking for their menus round after round for
    // the time given; then every other one closes its connection properly and the rest just go.
    // The rounds done, or 0 when the hub fell silent.
    int crowdFor(int ms)
    {
        std::vector<std::unique_ptr<HubTestClient>> clients;
        for (int i = 0; i < CrowdSize; ++i) {
            clients.push_back(std::make_unique<HubTestClient>());
            // The hub takes at most 16 clients from one address: the crowd comes from two others.
            const QHostAddress from(quint32(CrowdAddress + i % CrowdAddresses));
            if (!clients.back()->bindTo(from) || !clients.back()->connectAndLogin(m_port)) {
                qWarning() << "client" << i << "of the crowd could not log in from" << from;
                return 0;
            }
        }
        QElapsedTimer clock;
        clock.start();
        int rounds = 0;
        while (clock.elapsed() < ms) {
            for (const auto &client : clients)
                sendMenuRequests(client.get(), rounds);
            const bool answered = QTest::qWaitFor(
                [&] {
                    return std::all_of(clients.begin(), clients.end(), [](const auto &client) {
                        return client->menuQueue.size() >= RepliesPerRound;
                    });
                },
                HubTestClient::WaitMs);
            if (!answered) {
                qWarning() << "the hub did not answer the crowd in round" << rounds;
                return 0;
            }
            for (const auto &client : clients) {
                client->menuQueue.clear();
                client->frames.clear();
            }
            ++rounds;
        }
        for (std::size_t i = 0; i < clients.size(); i += 2)
            clients.at(i)->disconnectFromHub();
        return rounds;
    }

    // Releases, menu, printers, scheduled processes and the home folder: five answers.
    static void sendMenuRequests(HubTestClient *client, int round)
    {
        Menu::Envelope releases;
        releases.mutable_releasedatarequest();
        client->sendMenu(releases);
        Menu::Envelope release;
        release.mutable_setrelease()->set_release(round % 2 ? "live" : "train");
        client->sendMenu(release);
        Menu::Envelope menu;
        menu.mutable_menudatarequest();
        client->sendMenu(menu);
        Menu::Envelope printers;
        printers.mutable_printerdatarequest();
        client->sendMenu(printers);
        Menu::Envelope processes;
        processes.mutable_schedprocdatarequest();
        client->sendMenu(processes);
        Menu::Envelope listing;
        listing.mutable_fileinfodatarequest()->set_request_id(quint32(round + 1));
        client->sendMenu(listing);
    }

    // One person: connects, logs in, looks at the menu and the home folder, and leaves, every
    // other one by closing the connection properly and the rest by just going.
    bool visit(int number)
    {
        HubTestClient client;
        if (!client.connectAndLogin(m_port))
            return false;
        sendMenuRequests(&client, number);
        if (!QTest::qWaitFor([&client] { return client.menuQueue.size() >= RepliesPerRound; }, HubTestClient::WaitMs))
            return false;
        if (number % 2 == 0) {
            client.disconnectFromHub();
            return client.waitForDisconnected();
        }
        return true;
    }

    bool waitForHubFiles(int count)
    {
        return QTest::qWaitFor([this, count] { return ProcessProbe::openFiles(m_hub.processId()) <= count; },
                               SettleMs);
    }

    // The hub's memory once it has had a moment with nothing to do.
    qint64 settledHubMemory()
    {
        QTest::qWait(500);
        return ProcessProbe::residentBytes(m_hub.processId());
    }

    QTemporaryDir m_data;
    QProcess m_hub;
    quint16 m_port = 0;
};

QTEST_MAIN(tst_DevHubSoak)
#include "tst_devhubsoak.moc"
