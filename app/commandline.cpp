#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

CommandLine::Outcome CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::applicationName());
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption hostOption(QStringLiteral("host"), QStringLiteral("ZU host to connect to."),
                                        QStringLiteral("host"));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("ZU host port. (Required if host is specified.)"),
                                        QStringLiteral("port"));
    const QCommandLineOption debugPortOption(QStringLiteral("debugport"),
                                             QStringLiteral("Client listening port for ZU debug sessions."),
                                             QStringLiteral("debugport"));
    const QCommandLineOption logLevelOption(
        QStringLiteral("loglevel"), QStringLiteral("Log level 0=debug; 1=info"), QStringLiteral("loglevel"));
    parser.addOptions({ hostOption, portOption, debugPortOption, logLevelOption });

    m_helpText = parser.helpText();
    if (!parser.parse(arguments)) {
        m_errorText = parser.errorText();
        return Outcome::Error;
    }
    if (parser.isSet(helpOption))
        return Outcome::ShowHelp;

    m_host = parser.value(hostOption);
    m_port = parser.value(portOption).toUShort();
    m_debugPort = parser.value(debugPortOption).toUShort();
    if (parser.isSet(logLevelOption))
        m_logLevel = parser.value(logLevelOption).toInt();
    return Outcome::Run;
}
