#include "applinks/applicationsession.h"
#include "applinks/channeltranceiver.h"
#include "applinks/pagesession.h"
#include "applinks/sessionrouter.h"
#include "utils/taskpagewidget.h"

#include "fakepagehost.h"

#include "uidlg.pb.h"
#include "dictedit.pb.h"

#include <QHostAddress>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

namespace {

// A kind of application the router knows nothing of: what it was given, and its end.
class FakeSession : public ApplicationSession
{
    Q_OBJECT

public:
    FakeSession(AppTranceiver *transport, bool holdsQuit)
        : m_holdsQuit(holdsQuit)
    {
        transport->setParent(this);
        connect(transport, &AppTranceiver::rawMessageRcvd, this,
                [this](const char *data, int length) { received << QByteArray(data, length); });
        connect(transport, &AppTranceiver::disconnected, this, &ApplicationSession::ended);
    }
    bool holdsQuit() const override { return m_holdsQuit; }

    QList<QByteArray> received;

private:
    bool m_holdsQuit;
};

// Terminal and dictionary handshakes share one shape; the dictionary schema names both kinds.
QByteArray handshake(dictedit::Handshake::Type type)
{
    dictedit::Envelope hello;
    hello.mutable_handshake()->set_type(type);
    return QByteArray::fromStdString(hello.SerializeAsString());
}

QByteArray classicHandshake()
{
    Pb::UIEnvelope hello;
    hello.mutable_handshake()->set_ui_version("server 2");
    return QByteArray::fromStdString(hello.SerializeAsString());
}

} // namespace

class tst_SessionRouter : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_host = std::make_unique<FakePageHost>();
        SessionFactories kinds;
        // Terminal handshakes make sessions that hold quitting, dictionary ones pages that do not.
        kinds.insert(AppTranceiver::Terminal, [](AppTranceiver *transport, PageHost *) {
            return new FakeSession(transport, true);
        });
        kinds.insert(AppTranceiver::DictEdit, [](AppTranceiver *transport, PageHost *host) -> ApplicationSession * {
            if (!host)
                return nullptr;
            auto *page = new TaskPageWidget(host->pageParent());
            transport->setParent(page);
            return new PageSession(page, transport, host);
        });
        m_router = std::make_unique<SessionRouter>(m_host.get(), nullptr, kinds);
    }

    void cleanup()
    {
        m_router.reset();
        m_host.reset();
    }

    void channelTable()
    {
        QSignalSpy outgoing(m_router.get(), &SessionRouter::hubChannelMessageSend);
        m_router->hubChannelState(5, true);
        m_router->hubChannelState(5, true);
        QCOMPARE(m_router->openChannelCount(), 1);
        m_router->hubChannelState(9, false); // never opened: nothing
        QCOMPARE(m_router->openChannelCount(), 1);

        auto *transport = m_router->findChild<ChannelTranceiver *>();
        QVERIFY(transport);
        QSignalSpy gone(transport, &AppTranceiver::disconnected);
        transport->rawMessageSend("to server");
        QCOMPARE(outgoing.size(), 1);
        QCOMPARE(outgoing.at(0).at(0).value<ushort>(), ushort(5));

        m_router->hubChannelState(5, false);
        QCOMPARE(gone.size(), 1);
        QCOMPARE(m_router->openChannelCount(), 0);
    }

    void destroyedTransportIsForgotten()
    {
        m_router->hubChannelState(7, true);
        delete m_router->findChild<ChannelTranceiver *>();
        QCOMPARE(m_router->openChannelCount(), 0);
        // Later data and a close notice for the number are dropped.
        m_router->hubChannelMessageRcvd(7, "abc", 3);
        m_router->hubChannelState(7, false);
        QCOMPARE(m_router->openChannelCount(), 0);
    }

    // A transport that is no application, or of a kind nobody registered, goes with its channel.
    void unservedApplicationsAreDiscarded_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QString>("logged");
        QTest::newRow("no handshake") << QByteArray("\xff\xff", 2) << "Unknown application type: 1";
        QTest::newRow("no factory for the kind") << QByteArray() << "Unknown application type: 2";
    }

    void unservedApplicationsAreDiscarded()
    {
        QFETCH(QByteArray, first);
        QFETCH(QString, logged);
        m_router->hubChannelState(3, true);
        QPointer<ChannelTranceiver> transport = m_router->findChild<ChannelTranceiver *>();
        if (!first.isEmpty())
            QTest::ignoreMessage(QtCriticalMsg,
                                 "AppTranceiver::processIncomingMessage() - Unable to parse first message.");
        else
            first = classicHandshake();
        QTest::ignoreMessage(QtCriticalMsg, qPrintable(logged));
        m_router->hubChannelMessageRcvd(3, first.constData(), first.size());
        QTRY_VERIFY(!transport);
        QCOMPARE(m_router->openChannelCount(), 0);
        QVERIFY(m_router->sessions().isEmpty());
    }

    // Each kind's session gets every later message of its channel, and goes once it has ended.
    void sessionsFollowTheirChannels()
    {
        m_router->hubChannelState(4, true);
        m_router->hubChannelState(6, true);
        const QByteArray terminal = handshake(dictedit::Handshake::TERMINAL);
        const QByteArray dictionary = handshake(dictedit::Handshake::DICTEDIT);
        m_router->hubChannelMessageRcvd(4, terminal.constData(), terminal.size());
        m_router->hubChannelMessageRcvd(6, dictionary.constData(), dictionary.size());
        m_router->hubChannelMessageRcvd(4, "data", 4);
        QCOMPARE(m_router->sessions().size(), 2);
        const QList<ApplicationSession *> holding = m_router->sessionsHoldingQuit();
        QCOMPARE(holding.size(), 1);
        QPointer<FakeSession> session = qobject_cast<FakeSession *>(holding.first());
        QCOMPARE(session->received, QList<QByteArray> { "data" });

        auto *pageSession = qobject_cast<PageSession *>(m_router->sessions().value(0) == session
                                                            ? m_router->sessions().value(1)
                                                            : m_router->sessions().value(0));
        QPointer<TaskPageWidget> page = pageSession->page();
        QVERIFY(m_host->isOnTaskBar(page));

        m_router->hubChannelState(4, false);
        // Ended, it no longer counts, though it is deleted only later.
        QCOMPARE(m_router->sessionsHoldingQuit().size(), 0);
        QTRY_VERIFY(!session);
        m_router->hubChannelState(6, false);
        QVERIFY(!m_host->isOnTaskBar(page));
        QTRY_VERIFY(!page);
        QVERIFY(m_router->sessions().isEmpty());
    }

    // Only the hub link can be held back; a debug connection has TCP flow control of its own.
    void backlogHoldsOnlyTheHubLink()
    {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        SessionRouter router(m_host.get(), &listener, { { AppTranceiver::Terminal, [](AppTranceiver *transport, PageHost *) {
                                                              return new FakeSession(transport, false);
                                                          } } });
        QSignalSpy held(&router, &SessionRouter::hubReadingHeld);
        const QByteArray terminal = handshake(dictedit::Handshake::TERMINAL);
        router.hubChannelState(2, true);
        router.hubChannelMessageRcvd(2, terminal.constData(), terminal.size());
        QTcpSocket debug;
        debug.connectToHost(QHostAddress::LocalHost, listener.serverPort());
        QVERIFY(debug.waitForConnected(2000));
        debug.write(QByteArray(3, '\0') + char(terminal.size()) + terminal);
        QTRY_COMPARE(router.sessions().size(), 2);

        for (ApplicationSession *session : router.sessions())
            emit session->backlogFull(true);
        QCOMPARE(held.size(), 1);
        QCOMPARE(held.at(0).at(1).toBool(), true);
    }

    // Applications past the bound are refused, with a log line and a word for the user; one that
    // ends makes room again.
    void openApplicationsAreBounded()
    {
        QSignalSpy notices(m_router.get(), &SessionRouter::notice);
        const QByteArray terminal = handshake(dictedit::Handshake::TERMINAL);
        for (ushort channel = 1; channel <= SessionRouter::MaxSessions + 1; ++channel) {
            m_router->hubChannelState(channel, true);
            if (channel == SessionRouter::MaxSessions + 1)
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression("an application refused"));
            m_router->hubChannelMessageRcvd(channel, terminal.constData(), terminal.size());
        }
        QCOMPARE(m_router->sessions().size(), SessionRouter::MaxSessions);
        QCOMPARE(notices.size(), 1);
        QVERIFY(notices.at(0).at(0).toString().contains("close some"));
        m_router->hubChannelState(1, false);
        const ushort next = SessionRouter::MaxSessions + 2;
        m_router->hubChannelState(next, true);
        m_router->hubChannelMessageRcvd(next, terminal.constData(), terminal.size());
        QCOMPARE(m_router->sessions().size(), SessionRouter::MaxSessions);
        QCOMPARE(notices.size(), 1);
    }

    void lostHubLinkIsToldOnlyWithChannels()
    {
        QSignalSpy lost(m_router.get(), &SessionRouter::applicationsLost);
        m_router->destroyHubConnections();
        QCOMPARE(lost.size(), 0);
        m_router->hubChannelState(1, true);
        m_router->hubChannelState(2, true);
        m_router->destroyHubConnections();
        QCOMPARE(m_router->openChannelCount(), 0);
        QCOMPARE(lost.size(), 1);
    }

private:
    std::unique_ptr<FakePageHost> m_host;
    std::unique_ptr<SessionRouter> m_router;
};

QTEST_MAIN(tst_SessionRouter)
#include "tst_sessionrouter.moc"
