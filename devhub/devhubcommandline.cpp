#include "devhubcommandline.h"

#include "accesscode.h"

#include "demoappfactory.h"
#include "devhubconfig.h"
#include "devhubversion.h"
#include "latencyline.h"

#include <QCommandLineParser>

namespace {

bool parsePort(const QString &text, bool allowZero, quint16 *port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > 65535 || (!allowZero && value == 0))
        return false;
    *port = quint16(value);
    return true;
}

DevHubCommandLine::Result error(const QString &text)
{
    return { DevHubCommandLine::Outcome::Error, text };
}

} // namespace

DevHubCommandLine::Result DevHubCommandLine::parse(const QStringList &arguments, DevHubOptions *options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Stand-in hub for ZU Desktop: a TLS hub with a menu server, user home directories and demo "
        "applications. With no options it serves the built-in demo on 127.0.0.1:4433 "
        "(log in as demo / demo).\nOperator commands are read from standard input; type \"help\"."));
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") },
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
    const QCommandLineOption hashCode(QStringLiteral("hash-access-code"),
                                      QStringLiteral("Print the stored form of an access code for a menu item's "
                                                     "\"password\" in the configuration, and exit."),
                                      QStringLiteral("code"));
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("Address to listen on (default 127.0.0.1)."),
                                     QStringLiteral("ADDRESS"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("TLS port of the hub (default 4433; 0: any free port)."),
                                  QStringLiteral("PORT"));
    const QCommandLineOption webPort(QStringLiteral("web-port"),
                                     QStringLiteral("Port of the report pages (default 0: any free port)."),
                                     QStringLiteral("PORT"));
    const QCommandLineOption data(
        QStringLiteral("data"), QStringLiteral("Data directory: certificate, home directories, print spool."),
        QStringLiteral("DIR"));
    const QCommandLineOption config(QStringLiteral("config"),
                                    QStringLiteral("JSON configuration instead of the built-in one."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption dumpConfig(
        QStringLiteral("dump-config"),
        QStringLiteral("Print the built-in configuration (a starting point for --config)."));
    const QCommandLineOption noConsole(QStringLiteral("no-console"),
                                       QStringLiteral("Do not read operator commands."));
    const QCommandLineOption verbose({ QStringLiteral("v"), QStringLiteral("verbose") },
                                     QStringLiteral("Log protocol details."));
    const QCommandLineOption notify(QStringLiteral("notify"),
                                    QStringLiteral("Send this notification to every client as it connects."),
                                    QStringLiteral("TEXT"));
    const QCommandLineOption status(
        QStringLiteral("status"),
        QStringLiteral("Send this status message (a warning) to every user who logs in."),
        QStringLiteral("TEXT"));
    const QCommandLineOption forceDisconnect(
        QStringLiteral("force-disconnect"),
        QStringLiteral("Disconnect every client as it connects, with this reason."), QStringLiteral("TEXT"));
    const QCommandLineOption offerUpdate(
        QStringLiteral("offer-update"),
        QStringLiteral("Offer this client version as an update to every client."), QStringLiteral("VERSION"));
    const QCommandLineOption installerUrl(QStringLiteral("installer-url"),
                                          QStringLiteral("Address of the offered update's installer."),
                                          QStringLiteral("URL"));
    const QCommandLineOption updateRequired(
        QStringLiteral("update-required"),
        QStringLiteral("Clients must update: they are told they are incompatible."));
    const QCommandLineOption attach(
        QStringLiteral("attach"),
        QStringLiteral("Run one demo application against a client's debug port instead of serving."),
        QStringLiteral("HOST:PORT"));
    const QCommandLineOption app(QStringLiteral("app"),
                                 QStringLiteral("Application for --attach: %1 (default terminal).")
                                     .arg(DemoAppFactory::kinds().join(QStringLiteral(", "))),
                                 QStringLiteral("NAME"));
    const QCommandLineOption user(
        QStringLiteral("user"),
        QStringLiteral("User whose home directory --attach uses (default: the first configured user)."),
        QStringLiteral("NAME"));
    const QCommandLineOption latency(
        QStringLiteral("latency"),
        QStringLiteral("Hold everything sent to a client (hub link and applications) for MS milliseconds, "
                       "at most %1: a slow link.")
            .arg(LatencyLine::MaxLatencyMs),
        QStringLiteral("MS"));
    const QCommandLineOption record(QStringLiteral("record"),
                                    QStringLiteral("Record every connection's hub messages into FILE (later "
                                                   "connections: FILE-<number>)."),
                                    QStringLiteral("FILE"));
    parser.addOptions({ help, version, hashCode, address, port, webPort, data, config, dumpConfig, noConsole, verbose,
                        record, latency, notify, status, forceDisconnect, offerUpdate, installerUrl, updateRequired, attach,
                        app, user });

    if (!parser.parse(arguments))
        return error(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return error(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    if (parser.isSet(help))
        return { Outcome::Print, parser.helpText() };
    if (parser.isSet(version))
        return { Outcome::Print, QStringLiteral("zu-devhub %1\n").arg(QLatin1String(DevHubVersion)) };
    if (parser.isSet(hashCode))
        return { Outcome::Print, AccessCode::stored(parser.value(hashCode)) + QLatin1Char('\n') };
    if (parser.isSet(dumpConfig))
        return { Outcome::Print, QString::fromUtf8(DevHubConfig::builtInJson()) };

    if (parser.isSet(address)) {
        const QString text = parser.value(address);
        const QHostAddress parsed
            = text == QLatin1String("localhost") ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(text);
        if (parsed.isNull())
            return error(QStringLiteral("invalid address \"%1\"").arg(text));
        options->address = parsed;
    }
    if (parser.isSet(port) && !parsePort(parser.value(port), true, &options->port))
        return error(QStringLiteral("invalid port \"%1\"").arg(parser.value(port)));
    if (parser.isSet(webPort) && !parsePort(parser.value(webPort), true, &options->webPort))
        return error(QStringLiteral("invalid port \"%1\"").arg(parser.value(webPort)));
    if (parser.isSet(latency)) {
        bool ok = false;
        const int ms = parser.value(latency).toInt(&ok);
        if (!ok || ms < 0 || ms > LatencyLine::MaxLatencyMs)
            return error(QStringLiteral("invalid latency \"%1\" (0 to %2 ms)")
                             .arg(parser.value(latency))
                             .arg(LatencyLine::MaxLatencyMs));
        options->latencyMs = ms;
    }
    options->dataDir = parser.value(data);
    options->configPath = parser.value(config);
    options->console = !parser.isSet(noConsole);
    options->verbose = parser.isSet(verbose);
    options->recordPath = parser.value(record);
    options->notify = parser.value(notify);
    options->status = parser.value(status);
    options->forceDisconnect = parser.value(forceDisconnect);
    options->update.version = parser.value(offerUpdate);
    options->update.installerUrl = parser.value(installerUrl);
    options->update.required = parser.isSet(updateRequired);
    if (!options->update.installerUrl.isEmpty() && options->update.version.isEmpty())
        return error(QStringLiteral("--installer-url needs --offer-update"));

    if (parser.isSet(attach)) {
        const QString target = parser.value(attach);
        const int colon = target.lastIndexOf(QLatin1Char(':'));
        if (colon <= 0 || !parsePort(target.mid(colon + 1), false, &options->attachPort))
            return error(QStringLiteral("--attach needs HOST:PORT, not \"%1\"").arg(target));
        options->attachHost = target.left(colon);
        if (options->attachHost.startsWith(QLatin1Char('['))
            && options->attachHost.endsWith(QLatin1Char(']')))
            options->attachHost = options->attachHost.mid(1, options->attachHost.size() - 2);
        options->app = parser.isSet(app) ? parser.value(app) : QStringLiteral("terminal");
        if (!DemoAppFactory::kinds().contains(options->app))
            return error(QStringLiteral("unknown application \"%1\" (known: %2)")
                             .arg(options->app, DemoAppFactory::kinds().join(QStringLiteral(", "))));
        options->user = parser.value(user);
    } else if (parser.isSet(app) || parser.isSet(user)) {
        return error(QStringLiteral("--app and --user go with --attach"));
    }
    return { Outcome::Run, QString() };
}
