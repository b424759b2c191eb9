#include "attachrunner.h"
#include "devhub.h"
#include "devhubcommandline.h"
#include "devhubconfig.h"
#include "devhuboptions.h"
#include "devhubversion.h"
#include "quitsignals.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLoggingCategory>

#include <csignal>
#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zu-devhub"));
    QCoreApplication::setApplicationVersion(QLatin1String(DevHubVersion));
    qSetMessagePattern(QStringLiteral("%{time hh:mm:ss.zzz} %{if-warning}warning: %{endif}"
                                      "%{if-critical}error: %{endif}%{message}"));
    std::signal(SIGPIPE, SIG_IGN);

    DevHubOptions options;
    const DevHubCommandLine::Result parsed
        = DevHubCommandLine::parse(QCoreApplication::arguments(), &options);
    if (parsed.outcome == DevHubCommandLine::Outcome::Print) {
        std::fputs(qPrintable(parsed.text), stdout);
        return 0;
    }
    if (parsed.outcome == DevHubCommandLine::Outcome::Error) {
        std::fprintf(stderr, "zu-devhub: %s\nTry \"zu-devhub --help\".\n", qPrintable(parsed.text));
        return 2;
    }
    if (!options.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &application, [](int signal) {
        qInfo().noquote() << QStringLiteral("signal %1: stopping").arg(signal);
        QCoreApplication::exit(0);
    });

    QString error;
    if (!options.attachHost.isEmpty()) {
        const std::unique_ptr<DevHubConfig> config = options.configPath.isEmpty()
            ? DevHubConfig::builtIn(&error)
            : DevHubConfig::fromFile(options.configPath, &error);
        if (!config) {
            qCritical().noquote() << QStringLiteral("configuration: %1").arg(error);
            return 1;
        }
        AttachRunner runner(*config, options,
                            options.dataDir.isEmpty() ? DevHub::defaultDataDir() : options.dataDir);
        QObject::connect(&runner, &AttachRunner::done, &application,
                         [](int code) { QCoreApplication::exit(code); });
        // Started from the loop: a failure at once must still reach a running exec().
        QMetaObject::invokeMethod(&runner, &AttachRunner::start, Qt::QueuedConnection);
        return application.exec();
    }

    DevHub hub;
    if (!hub.start(options, &error)) {
        qCritical().noquote() << error;
        return 1;
    }
    QObject::connect(&hub, &DevHub::quitRequested, &application, [] { QCoreApplication::exit(0); });
    return application.exec();
}
