// Runs the real zu-desktop executable in a private home and reads what it leaves behind.
#include "testpaths.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -2;
    QString out;
    QStringList logLines;
};

QProcessEnvironment isolatedEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "/data");
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_CONFIG_DIRS", home + "/system");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

QString logDir(const QString &home)
{
    return home + "/data/Halvorne/logs";
}

QStringList readLog(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

QString newestLog(const QString &home)
{
    const QStringList logs = QDir(logDir(home)).entryList({ "zulog_*.txt" }, QDir::Files, QDir::Name);
    return logs.isEmpty() ? QString() : logDir(home) + '/' + logs.last();
}

// Without a display: no X server, no Wayland, no platform named.
QProcessEnvironment displaylessEnvironment(const QString &home)
{
    QProcessEnvironment env = isolatedEnvironment(home);
    for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        env.remove(name);
    return env;
}

Run runClient(const QString &home, const QStringList &arguments, bool display = true)
{
    QProcess process;
    process.setProcessEnvironment(display ? isolatedEnvironment(home) : displaylessEnvironment(home));
    process.start(ZU_DESKTOP_PATH, arguments);
    Run run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.logLines = readLog(newestLog(home));
    return run;
}

} // namespace

class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    // Help and version are answered without a display: no window is needed for them.
    void helpListsOptionsAndLogsTheRun()
    {
        QTemporaryDir home;
        const Run run = runClient(home.path(), { "--help" }, false);
        QCOMPARE(run.exitCode, 0);
        for (const char *option : { "--host <host>", "--port <port>", "--debugport <debugport>",
                                    "--loglevel <loglevel>", "--help" })
            QVERIFY2(run.out.contains(option), option);

        QVERIFY(run.logLines.size() >= 6);
        const QString stamp = R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )";
        QVERIFY2(
            QRegularExpression(
                stamp + R"(I Halvorne ZU client v1\.9\.0-143  starting log file "zulog_\d{8}_\d{6}\.txt"$)")
                .match(run.logLines.at(0))
                .hasMatch(),
            qPrintable(run.logLines.at(0)));
        QVERIFY2(QRegularExpression(stamp + R"(I Host CPU: ".+"  kernelType: ".+"  kernelVersion: ".+"$)")
                     .match(run.logLines.at(1))
                     .hasMatch(),
                 qPrintable(run.logLines.at(1)));
        const QString all = run.logLines.join('\n');
        QVERIFY(all.contains(" I systemUUID: \"{"));
        QVERIFY(all.contains(" I   userUUID: \"{"));
        QVERIFY2(!all.contains(" D "), "debug lines are below the default threshold");
        QVERIFY(run.logLines.last().endsWith(" I Closing log file"));

        const Run version = runClient(home.path(), { "--version" }, false);
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QString("Halvorne ZU 1.9.0-143\n"));
        const Run wrong = runClient(home.path(), { "--no-such-option" }, false);
        QCOMPARE(wrong.exitCode, 1);
    }

    void identityStableAcrossRuns()
    {
        QTemporaryDir home;
        const auto uuids = [](const Run &run) {
            QStringList found;
            const QRegularExpression re(R"(UUID: "(\{[0-9a-f-]+\})\")");
            for (const QString &line : run.logLines) {
                const auto match = re.match(line);
                if (match.hasMatch())
                    found << match.captured(1);
            }
            return found;
        };
        const Run first = runClient(home.path(), { "--help" });
        QTest::qWait(1100); // a new log name
        const Run second = runClient(home.path(), { "--help" });
        QCOMPARE(uuids(first).size(), 2);
        QCOMPARE(uuids(second), uuids(first));
        QVERIFY(first.logLines.join('\n').contains("Generating user UUID"));
        QVERIFY(!second.logLines.join('\n').contains("Generating user UUID"));
    }

    void badOptionExitsWithError()
    {
        QTemporaryDir home;
        const Run run = runClient(home.path(), { "--no-such-option" });
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.logLines.last().endsWith(" I Closing log file"));
    }

    void unusableLogDirectory()
    {
        QTemporaryDir home;
        QDir(home.path()).mkpath("data");
        QFile blocker(home.path() + "/data/Halvorne");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        const Run run = runClient(home.path(), { "--help" });
        QCOMPARE(run.exitCode, 255);
        QVERIFY2(run.out.startsWith("Unable to create log directory " + home.path() + "/data/Halvorne/logs"),
                 qPrintable(run.out));
    }

    void debugListenerAndLogLevel()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();

        QTemporaryDir home;
        QProcess process;
        process.setProcessEnvironment(isolatedEnvironment(home.path()));
        process.start(ZU_DESKTOP_PATH, { "--debugport", QString::number(port), "--loglevel", "0" });
        QVERIFY(process.waitForStarted());
        const QString expected = QString(" D Listening on port %1").arg(port);
        QTRY_VERIFY_WITH_TIMEOUT(readLog(newestLog(home.path())).join('\n').contains(expected), 20000);

        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(socket.waitForConnected(5000));
        // Other hosts cannot reach it: it listens on the loopback address only.
        const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
        const auto outside = std::find_if(addresses.begin(), addresses.end(), [](const QHostAddress &address) {
            return !address.isLoopback() && address.protocol() == QAbstractSocket::IPv4Protocol;
        });
        if (outside != addresses.end()) {
            QTcpSocket remote;
            remote.connectToHost(*outside, port);
            QVERIFY2(!remote.waitForConnected(2000), qPrintable(outside->toString()));
        } else {
            qInfo() << "No address besides loopback here; the outside connection is not tried";
        }
        const QString all = readLog(newestLog(home.path())).join('\n');
        QVERIFY(all.contains(" I Log level set to 0"));
        QVERIFY(all.contains(" I SSL version use for run-time: "));
        // Logged by the Runner before the command line lowers the threshold.
        QVERIFY(!all.contains(" D SSL version use for build: "));

        process.terminate();
        process.waitForFinished(5000);
        if (process.state() != QProcess::NotRunning)
            process.kill();
    }
};

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
