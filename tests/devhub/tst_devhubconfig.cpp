#include "devhubcommandline.h"
#include "accesscode.h"
#include "devhubconfig.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

// The built-in configuration with one top-level member replaced.
QByteArray builtInWith(const QString &key, const QJsonValue &value)
{
    QJsonObject root = QJsonDocument::fromJson(DevHubConfig::builtInJson()).object();
    root.insert(key, value);
    return QJsonDocument(root).toJson();
}

QJsonValue json(const char *text)
{
    return QJsonDocument::fromJson(QByteArray("{\"v\":") + text + '}').object().value(QStringLiteral("v"));
}

} // namespace

// The configuration the hub serves and the command line that picks it: the built-in demo, the
// errors a hand-written file can contain, and the options.
class TestDevHubConfig : public QObject
{
    Q_OBJECT

private slots:
    void builtInDemo();
    void invalidConfigurations_data();
    void invalidConfigurations();
    void commandLine_data();
    void commandLine();
};

void TestDevHubConfig::builtInDemo()
{
    QString error;
    const std::unique_ptr<DevHubConfig> config = DevHubConfig::builtIn(&error);
    QVERIFY2(config, qPrintable(error));
    QVERIFY(config->user(QStringLiteral("demo")));
    QCOMPARE(config->user(QStringLiteral("demo"))->password, QStringLiteral("demo"));
    QCOMPARE(config->releasesFor(QStringLiteral("demo")).size(), 2);
    QVERIFY(config->user(QStringLiteral("newstaff"))->mustChangePassword);
    QCOMPARE(config->releasesFor(QStringLiteral("leaver")).size(), 2); // no list: every release
    QVERIFY(config->releasesFor(QStringLiteral("nobody")).isEmpty());
    QCOMPARE(config->findMenuItem(QStringLiteral("/system/shell.opt"))->password,
             AccessCode::stored(QStringLiteral("admin"), QStringLiteral("Zu4dm1n8")));
    QCOMPARE(config->findMenuItem(QStringLiteral("/students/reports/enrolment.opt"))->app, QStringLiteral("web"));
    QCOMPARE(config->defaultPrinter(), QStringLiteral("office"));
    QCOMPARE(config->classicListenPort(), quint16(33333));

    // Item options lie over the application's defaults.
    const QJsonObject calendar = config->applicationOptions(
        QStringLiteral("terminal"), config->findMenuItem(QStringLiteral("/tools/calendar.opt"))->options);
    QCOMPARE(calendar.value(QStringLiteral("program")).toString(), QStringLiteral("/bin/sh"));
    QCOMPARE(calendar.value(QStringLiteral("localEcho")).toBool(true), false);
}

void TestDevHubConfig::invalidConfigurations_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("error");
    QTest::newRow("not JSON") << QByteArray("{ users: ") << "invalid JSON at offset";
    QTest::newRow("not an object") << QByteArray("[]") << "must be a JSON object";
    QTest::newRow("no menu") << builtInWith(QStringLiteral("menu"), json("null"))
                             << "\"menu\" must be an object";
    QTest::newRow("user without name") << builtInWith(QStringLiteral("users"), json("[{\"password\":\"x\"}]"))
                                       << "user 1: \"name\" must be a non-empty string";
    QTest::newRow("user twice") << builtInWith(QStringLiteral("users"),
                                               json("[{\"name\":\"a\"},{\"name\":\"a\"}]"))
                                << "user \"a\" is listed twice";
    QTest::newRow("unknown release") << builtInWith(QStringLiteral("users"),
                                                    json("[{\"name\":\"a\",\"releases\":[\"x\"]}]"))
                                     << "user \"a\": unknown release \"x\"";
    QTest::newRow("default printer missing")
        << builtInWith(QStringLiteral("defaultPrinter"), json("\"attic\""))
        << "the default printer \"attic\" is not listed";
    QTest::newRow("process number twice")
        << builtInWith(QStringLiteral("scheduledProcesses"),
                       json("[{\"number\":1,\"title\":\"a\"},{\"number\":1,\"title\":\"b\"}]"))
        << "scheduled process 2";
    QTest::newRow("unknown application") << builtInWith(
        QStringLiteral("menu"),
        json("{\"shortdesc\":\"M\",\"items\":[{\"shortdesc\":\"X\",\"menupath\":\"/x\",\"app\":\"game\"}]}"))
                                         << "unknown application \"game\"";
    QTest::newRow("program with items") << builtInWith(
        QStringLiteral("menu"),
        json("{\"shortdesc\":\"M\",\"app\":\"web\",\"menupath\":\"/\",\"items\":[{\"shortdesc\":\"X\"}]}"))
                                        << "either a menu or a program";
    QTest::newRow("program without path")
        << builtInWith(QStringLiteral("menu"),
                       json("{\"shortdesc\":\"M\",\"items\":[{\"shortdesc\":\"X\",\"app\":\"web\"}]}"))
        << "a program needs a \"menupath\"";
    QTest::newRow("plain access code")
        << builtInWith(QStringLiteral("menu"),
                       json("{\"shortdesc\":\"M\",\"items\":[{\"shortdesc\":\"X\",\"menupath\":\"/x.opt\",\"app\":\"web\","
                            "\"password\":\"admin\"}]}"))
        << "--hash-access-code";
    QTest::newRow("program path without .opt")
        << builtInWith(QStringLiteral("menu"),
                       json("{\"shortdesc\":\"M\",\"items\":[{\"shortdesc\":\"X\",\"menupath\":\"/x\",\"app\":\"web\"}]}"))
        << "must end in \".opt\"";
    QTest::newRow("menu path twice") << builtInWith(
        QStringLiteral("menu"),
        json("{\"shortdesc\":\"M\",\"items\":[{\"shortdesc\":\"X\",\"menupath\":\"/"
             "a\"},{\"shortdesc\":\"Y\",\"menupath\":\"/a\"}]}"))
                                     << "menu path \"/a\" is used twice";
    QTest::newRow("bad port") << builtInWith(QStringLiteral("classicListenPort"), json("70000"))
                              << "\"classicListenPort\" must be a port number";
}

void TestDevHubConfig::invalidConfigurations()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, error);
    QString message;
    QVERIFY(!DevHubConfig::fromJson(json, &message));
    QVERIFY2(message.contains(error), qPrintable(message));
}

void TestDevHubConfig::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("check");

    const int run = int(DevHubCommandLine::Outcome::Run);
    const int error = int(DevHubCommandLine::Outcome::Error);
    const int print = int(DevHubCommandLine::Outcome::Print);
    QTest::newRow("defaults") << QStringList() << run << "127.0.0.1:4433 console";
    QTest::newRow("address and port")
        << QStringList { "--address", "0.0.0.0", "--port", "5000", "--no-console" } << run << "0.0.0.0:5000";
    QTest::newRow("attach") << QStringList { "--attach", "[::1]:9000" } << run << "attach ::1:9000 terminal";
    QTest::newRow("update offer") << QStringList { "--offer-update", "2.0", "--installer-url",
                                                   "http://x/i.exe", "--update-required" }
                                  << run << "update 2.0 http://x/i.exe required";
    QTest::newRow("port too large") << QStringList { "--port", "65536" } << error << "invalid port \"65536\"";
    QTest::newRow("bad address") << QStringList { "--address", "over.there" } << error << "invalid address";
    QTest::newRow("app without attach") << QStringList { "--app", "terminal" } << error << "go with --attach";
    QTest::newRow("url without version")
        << QStringList { "--installer-url", "http://x" } << error << "needs --offer-update";
    QTest::newRow("stray argument") << QStringList { "extra" } << error << "unexpected argument \"extra\"";
    QTest::newRow("help") << QStringList { "--help" } << print << "--attach <HOST:PORT>";
    QTest::newRow("built-in configuration")
        << QStringList { "--dump-config" } << print << "\"menupath\": \"/tools/terminal.opt\"";
}

void TestDevHubConfig::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, outcome);
    QFETCH(QString, check);
    DevHubOptions options;
    const DevHubCommandLine::Result result
        = DevHubCommandLine::parse(QStringList { QStringLiteral("zu-devhub") } + arguments, &options);
    QCOMPARE(int(result.outcome), outcome);
    if (result.outcome != DevHubCommandLine::Outcome::Run) {
        QVERIFY2(result.text.contains(check), qPrintable(result.text));
        return;
    }
    QString summary = QStringLiteral("%1:%2").arg(options.address.toString()).arg(options.port);
    if (options.console)
        summary += QStringLiteral(" console");
    if (!options.attachHost.isEmpty())
        summary = QStringLiteral("attach %1:%2 %3")
                      .arg(options.attachHost)
                      .arg(options.attachPort)
                      .arg(options.app);
    if (!options.update.version.isEmpty())
        summary = QStringLiteral("update %1 %2%3")
                      .arg(options.update.version, options.update.installerUrl,
                           options.update.required ? QStringLiteral(" required") : QString());
    QCOMPARE(summary, check);
}

QTEST_GUILESS_MAIN(TestDevHubConfig)
#include "tst_devhubconfig.moc"
