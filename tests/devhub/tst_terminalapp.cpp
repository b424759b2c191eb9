#include "applink.h"
#include "terminalapp.h"

#include "zuterm.pb.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>

namespace {

// Records what the application sends; congestion is set by the test.
class FakeLink : public AppLink
{
public:
    QList<zuterm::Envelope> sent;
    bool congested = false;
    bool closeCalled = false;

    void sendMessage(const QByteArray &message) override
    {
        zuterm::Envelope envelope;
        QVERIFY(envelope.ParseFromArray(message.constData(), message.size()));
        sent.append(envelope);
    }
    void close() override { closeCalled = true; }
    bool isCongested() const override { return congested; }
    QString description() const override { return QStringLiteral("test link"); }

    void relieve()
    {
        congested = false;
        emit drained();
    }
    void deliver(const zuterm::Envelope &envelope)
    {
        emit messageReceived(QByteArray::fromStdString(envelope.SerializeAsString()));
    }
    QByteArray output() const
    {
        QByteArray all;
        for (const zuterm::Envelope &envelope : sent)
            all += QByteArray::fromStdString(envelope.data_packet().data());
        return all;
    }
    int dataPackets() const
    {
        return int(std::count_if(sent.begin(), sent.end(),
                                 [](const zuterm::Envelope &e) { return e.has_data_packet(); }));
    }
};

zuterm::Envelope keys(const QByteArray &bytes)
{
    zuterm::Envelope envelope;
    envelope.mutable_data_packet()->set_data(bytes.toStdString());
    return envelope;
}

// The page's handshake, which starts the program.
zuterm::Envelope clientHandshake(bool utf8 = false)
{
    zuterm::Envelope envelope;
    envelope.mutable_handshake()->set_ui_version("test");
    envelope.mutable_handshake()->set_type(zuterm::Handshake::TERMINAL);
    if (utf8)
        envelope.mutable_handshake()->set_encoding(zuterm::UTF8);
    return envelope;
}

} // namespace

// The terminal application against a recording link: handshake and echo setting first, the
// program's bytes as data packets, key presses to its input, congestion, and ending the program.
class TestTerminalApp : public QObject
{
    Q_OBJECT

private slots:
    void handshakeConfigAndOutput();
    void encodingFollowsTheClient_data();
    void encodingFollowsTheClient();
    void inputBeforeTheClientsHandshakeIsKept();
    void localEcho_data();
    void localEcho();
    void missingProgram();
    void windowSize_data();
    void windowSize();
    void congestionHoldsOutput();
    void killRequestEndsEvenAStubbornProgram();

private:
    DemoAppContext context(const QString &program, const QStringList &arguments,
                           bool localEcho = false) const;

    QTemporaryDir m_home;
};

DemoAppContext TestTerminalApp::context(const QString &program, const QStringList &arguments,
                                        bool localEcho) const
{
    DemoAppContext context;
    context.userName = QStringLiteral("tester");
    context.homePath = m_home.path();
    context.options.insert(QStringLiteral("program"), program);
    context.options.insert(QStringLiteral("arguments"), QJsonArray::fromStringList(arguments));
    context.options.insert(QStringLiteral("localEcho"), localEcho);
    return context;
}

void TestTerminalApp::handshakeConfigAndOutput()
{
    FakeLink link;
    TerminalApp app(&link,
                    context(QStringLiteral("/bin/sh"),
                            { QStringLiteral("-c"), QStringLiteral("pwd; printf 'a\\000b\\n'") }));
    QSignalSpy finished(&app, &DemoApplication::finished);
    QString error;
    QVERIFY2(app.start(&error), qPrintable(error));
    link.deliver(clientHandshake());
    QVERIFY(finished.wait(10000));

    QVERIFY(link.sent.size() >= 3);
    QVERIFY(link.sent.at(0).has_handshake());
    QCOMPARE(link.sent.at(0).handshake().type(), zuterm::Handshake::TERMINAL);
    QVERIFY(!link.sent.at(0).handshake().ui_version().empty());
    QVERIFY(link.sent.at(1).has_config());
    QCOMPARE(link.sent.at(1).config().echo(), false);
    // The program runs in the home; the client cuts packets at a zero byte, so none are sent.
    const QByteArray output = link.output();
    QVERIFY2(output.contains(m_home.path().toLocal8Bit() + "\r\n"), output.constData());
    QVERIFY2(output.contains("ab\r\n"), output.constData());
    QVERIFY(!output.contains('\0'));
    QCOMPARE(app.state(), TerminalApp::State::Finished);
}

void TestTerminalApp::encodingFollowsTheClient_data()
{
    QTest::addColumn<bool>("utf8");
    QTest::newRow("a client that takes UTF-8") << true;
    QTest::newRow("a client that says nothing") << false;
}

void TestTerminalApp::encodingFollowsTheClient()
{
    QFETCH(bool, utf8);
    FakeLink link;
    qputenv("COLUMNS", "99");
    TerminalApp app(&link, context(QStringLiteral("/bin/sh"),
                                   { QStringLiteral("-c"), QStringLiteral("echo \"[$LC_ALL|${COLUMNS-none}|${LINES-none}]\"") }));
    QSignalSpy finished(&app, &DemoApplication::finished);
    QString error;
    QVERIFY2(app.start(&error), qPrintable(error));
    qunsetenv("COLUMNS");
    // Nothing runs before the client has said what it takes.
    QCOMPARE(app.state(), TerminalApp::State::WaitingForClient);
    QCOMPARE(link.sent.size(), 2);
    link.deliver(clientHandshake(utf8));
    QVERIFY(finished.wait(10000));
    QCOMPARE(app.isUtf8(), utf8);
    QVERIFY2(link.output().contains(utf8 ? "[C.UTF-8|none|none]" : "[C|none|none]"), link.output().constData());
    // A server that sends UTF-8 says so before the first output.
    const auto named = std::find_if(link.sent.begin(), link.sent.end(),
                                    [](const zuterm::Envelope &e) { return e.has_config() && e.config().has_encoding(); });
    const auto output = std::find_if(link.sent.begin(), link.sent.end(),
                                     [](const zuterm::Envelope &e) { return e.has_data_packet(); });
    QCOMPARE(named != link.sent.end(), utf8);
    if (utf8) {
        QCOMPARE(named->config().encoding(), zuterm::UTF8);
        QVERIFY(named < output);
    }
}

void TestTerminalApp::inputBeforeTheClientsHandshakeIsKept()
{
    FakeLink link;
    TerminalApp app(&link, context(QStringLiteral("/bin/sh"),
                                   { QStringLiteral("-c"), QStringLiteral("read line; echo \"got $line\"; stty size") }));
    QSignalSpy finished(&app, &DemoApplication::finished);
    QString error;
    QVERIFY2(app.start(&error), qPrintable(error));
    link.deliver(keys("early\n"));
    zuterm::Envelope size;
    size.mutable_window_size()->set_rows(30);
    size.mutable_window_size()->set_columns(100);
    link.deliver(size);
    link.deliver(clientHandshake());
    QVERIFY(finished.wait(10000));
    QVERIFY2(link.output().contains("got early\r\n30 100\r\n"), link.output().constData());
}

void TestTerminalApp::localEcho_data()
{
    QTest::addColumn<bool>("localEcho");
    QTest::addColumn<int>("copies");
    QTest::newRow("terminal echoes") << false << 2;
    QTest::newRow("client echoes") << true << 1;
}

void TestTerminalApp::localEcho()
{
    QFETCH(bool, localEcho);
    QFETCH(int, copies);
    FakeLink link;
    TerminalApp app(&link,
                    context(QStringLiteral("/bin/sh"),
                            { QStringLiteral("-c"), QStringLiteral("read line; echo $line") }, localEcho));
    QSignalSpy finished(&app, &DemoApplication::finished);
    QString error;
    QVERIFY2(app.start(&error), qPrintable(error));
    link.deliver(clientHandshake());
    QCOMPARE(link.sent.at(1).config().echo(), localEcho);
    link.deliver(keys("xyz\n"));
    QVERIFY(finished.wait(10000));
    QCOMPARE(link.output().count("xyz"), copies);
}

void TestTerminalApp::missingProgram()
{
    FakeLink link;
    TerminalApp app(&link, context(QStringLiteral("/no/such/program"), {}));
    QString error;
    QVERIFY(!app.start(&error));
    QVERIFY2(error.contains(QStringLiteral("\"/no/such/program\" was not found")), qPrintable(error));
    QVERIFY(link.sent.isEmpty());
}

void TestTerminalApp::windowSize_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QByteArray>("taken");
    QTest::newRow("as asked") << 30 << 100 << QByteArray("30 100");
    QTest::newRow("bounded") << 99999 << 0 << QByteArray("300 2");
}

void TestTerminalApp::windowSize()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(QByteArray, taken);
    FakeLink link;
    TerminalApp app(&link, context(QStringLiteral("/bin/sh"),
                                   { QStringLiteral("-c"), QStringLiteral("read line; stty size") }));
    QSignalSpy finished(&app, &DemoApplication::finished);
    QString error;
    QVERIFY2(app.start(&error), qPrintable(error));
    link.deliver(clientHandshake());
    zuterm::Envelope size;
    size.mutable_window_size()->set_rows(uint32_t(rows));
    size.mutable_window_size()->set_columns(uint32_t(columns));
    link.deliver(size);
    link.deliver(keys("\n"));
    QVERIFY(finished.wait(10000));
    // The program sees the size, and the client is told which one was taken.
    QVERIFY2(link.output().contains(taken + "\r\n"), link.output().constData());
    const auto confirmation = std::find_if(link.sent.begin(), link.sent.end(), [](const zuterm::Envelope &e) {
        return e.has_config() && e.config().has_rows();
    });
    QVERIFY(confirmation != link.sent.end());
    QCOMPARE(QByteArray::number(confirmation->config().rows()) + ' '
                 + QByteArray::number(confirmation->config().columns()),
             taken);
}

void TestTerminalApp::congestionHoldsOutput()
{
    FakeLink link;
    link.congested = true;
    TerminalApp app(
        &link,
        context(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), QStringLiteral("echo one; read x") }));
    QSignalSpy finished(&app, &DemoApplication::finished);
    QString error;
    QVERIFY2(app.start(&error), qPrintable(error));
    link.deliver(clientHandshake());
    QTest::qWait(500);
    QCOMPARE(link.dataPackets(), 0);

    link.relieve();
    QTRY_VERIFY(link.output().contains("one"));
    link.deliver(keys("\n"));
    QVERIFY(finished.wait(10000));
}

void TestTerminalApp::killRequestEndsEvenAStubbornProgram()
{
    FakeLink link;
    TerminalApp app(&link,
                    context(QStringLiteral("/bin/sh"),
                            { QStringLiteral("-c"),
                              QStringLiteral("trap '' HUP; echo ready; while :; do sleep 1; done") }));
    QSignalSpy finished(&app, &DemoApplication::finished);
    QString error;
    QVERIFY2(app.start(&error), qPrintable(error));
    link.deliver(clientHandshake());
    QTRY_VERIFY(link.output().contains("ready"));
    const pid_t pid = pid_t(app.processId());

    zuterm::Envelope kill;
    kill.mutable_kill_process();
    link.deliver(kill);
    QCOMPARE(app.state(), TerminalApp::State::Stopping);
    QVERIFY(finished.wait(TerminalApp::KillGraceMs + 8000));
    QCOMPARE(::kill(pid, 0), -1);
    QCOMPARE(finished.size(), 1);
}

QTEST_GUILESS_MAIN(TestTerminalApp)
#include "tst_terminalapp.moc"
