#include "app/commandline.h"

#include <QCoreApplication>
#include <QTest>

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void values_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("debugPort");
        QTest::addColumn<int>("logLevel"); // -1: not given

        QTest::newRow("nothing") << QStringList() << "" << 0 << 0 << -1;
        QTest::newRow("host and port")
            << QStringList { "--host", "zu.example", "--port", "4433" } << "zu.example" << 4433 << 0 << -1;
        QTest::newRow("host without port")
            << QStringList { "--host", "zu.example" } << "zu.example" << 0 << 0 << -1;
        QTest::newRow("port out of range") << QStringList { "--port", "70000" } << "" << 0 << 0 << -1;
        QTest::newRow("debug port") << QStringList { "--debugport", "9001" } << "" << 0 << 9001 << -1;
        QTest::newRow("debug port zero") << QStringList { "--debugport", "0" } << "" << 0 << 0 << -1;
        QTest::newRow("debug port not a number")
            << QStringList { "--debugport", "abc" } << "" << 0 << 0 << -1;
        QTest::newRow("loglevel 0") << QStringList { "--loglevel", "0" } << "" << 0 << 0 << 0;
        QTest::newRow("loglevel 2") << QStringList { "--loglevel=2" } << "" << 0 << 0 << 2;
        QTest::newRow("loglevel not a number")
            << QStringList { "--loglevel", "verbose" } << "" << 0 << 0 << 0;
    }

    void values()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(int, debugPort);
        QFETCH(int, logLevel);

        CommandLine commandLine;
        QCOMPARE(commandLine.parse(QStringList { "zu-desktop" } + arguments), CommandLine::Outcome::Run);
        QCOMPARE(commandLine.host(), host);
        QCOMPARE(int(commandLine.port()), port);
        QCOMPARE(int(commandLine.debugPort()), debugPort);
        QCOMPARE(commandLine.logLevel().value_or(-1), logLevel);
    }

    void help()
    {
        CommandLine commandLine;
        QCOMPARE(commandLine.parse({ "zu-desktop", "--help" }), CommandLine::Outcome::ShowHelp);
        const QString help = commandLine.helpText();
        QVERIFY(help.contains("--host <host>"));
        QVERIFY(help.contains("ZU host to connect to."));
        QVERIFY(help.contains("--port <port>"));
        QVERIFY(help.contains("ZU host port. (Required if host is specified.)"));
        QVERIFY(help.contains("--debugport <debugport>"));
        QVERIFY(help.contains("Client listening port for ZU debug sessions."));
        QVERIFY(help.contains("--loglevel <loglevel>"));
        QVERIFY(help.contains("Log level 0=debug; 1=info"));
        QVERIFY(help.contains("--help"));
    }

    void replayOptions()
    {
        CommandLine commandLine;
        QCOMPARE(commandLine.parse({ "zu-desktop", "--replay", "s.zurec", "--replay-speed", "0", "--replay-step" }),
                 CommandLine::Outcome::Run);
        QCOMPARE(commandLine.replayFile(), QString("s.zurec"));
        QCOMPARE(commandLine.replaySpeed(), 0.0);
        QVERIFY(commandLine.replayStep());
        QVERIFY(commandLine.recordFile().isEmpty());
        // Relative names are the user's: from where the client was started, not its own folder.
        CommandLine::setStartDirectory("/home/someone/work");
        QCOMPARE(commandLine.parse({ "zu-desktop", "--record", "out.zurec" }), CommandLine::Outcome::Run);
        QCOMPARE(commandLine.recordFile(), QString("/home/someone/work/out.zurec"));
        CommandLine::setStartDirectory(QString());
        QCOMPARE(commandLine.replaySpeed(), 1.0);
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList { "--hots", "x" };
        QTest::newRow("missing value") << QStringList { "--port" };
        QTest::newRow("negative replay speed") << QStringList { "--replay", "f", "--replay-speed", "-1" };
        QTest::newRow("replay speed not a number") << QStringList { "--replay", "f", "--replay-speed", "x" };
        QTest::newRow("record and replay") << QStringList { "--record", "a", "--replay", "b" };
    }

    void errors()
    {
        QFETCH(QStringList, arguments);
        CommandLine commandLine;
        QCOMPARE(commandLine.parse(QStringList { "zu-desktop" } + arguments), CommandLine::Outcome::Error);
        QVERIFY(!commandLine.errorText().isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
