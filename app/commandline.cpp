#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QtNumeric>

#include <cstdio>

namespace {

QString &startDirectory()
{
    static QString path;
    return path;
}

QString userFile(const QString &name)
{
    return name.isEmpty() || startDirectory().isEmpty() ? name
                                                        : QDir(startDirectory()).absoluteFilePath(name);
}

} // namespace

void CommandLine::setStartDirectory(const QString &path)
{
    startDirectory() = path;
}

CommandLine::Outcome CommandLine::parse(const QStringList &arguments)
{
    return parseArguments(arguments, true);
}

CommandLine::Outcome CommandLine::outcomeWithoutWindows(const QStringList &arguments)
{
    return CommandLine().parseArguments(arguments, false);
}

CommandLine::Outcome CommandLine::parseArguments(const QStringList &arguments, bool withHelpText)
{
    *this = CommandLine(); // a second parse starts from nothing
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::applicationName());
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
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
    const QCommandLineOption recordOption(QStringLiteral("record"),
                                          QStringLiteral("Record every hub message into this file."),
                                          QStringLiteral("file"));
    const QCommandLineOption replayOption(QStringLiteral("replay"),
                                          QStringLiteral("Replay a recorded session, with no network."),
                                          QStringLiteral("file"));
    const QCommandLineOption replaySpeedOption(
        QStringLiteral("replay-speed"),
        QStringLiteral("Replay pace: 1 as recorded, 2 twice as fast, 0 as fast as possible."),
        QStringLiteral("factor"));
    const QCommandLineOption replayStepOption(QStringLiteral("replay-step"),
                                              QStringLiteral("Start the replay paused: one hub message per Next."));
    parser.addOptions({ hostOption, portOption, debugPortOption, logLevelOption, recordOption, replayOption,
                        replaySpeedOption, replayStepOption });

    // The help text names the executable, which only an application object knows.
    if (withHelpText)
        m_helpText = parser.helpText();
    if (!parser.parse(arguments)) {
        m_errorText = parser.errorText();
        return Outcome::Error;
    }
    if (parser.isSet(helpOption))
        return Outcome::ShowHelp;
    if (parser.isSet(versionOption))
        return Outcome::ShowVersion;

    m_host = parser.value(hostOption);
    m_port = parser.value(portOption).toUShort();
    m_debugPort = parser.value(debugPortOption).toUShort();
    if (parser.isSet(logLevelOption))
        m_logLevel = parser.value(logLevelOption).toInt();
    m_recordFile = userFile(parser.value(recordOption));
    m_replayFile = userFile(parser.value(replayOption));
    m_replayStep = parser.isSet(replayStepOption);
    if (parser.isSet(replaySpeedOption)) {
        bool ok = false;
        m_replaySpeed = parser.value(replaySpeedOption).toDouble(&ok);
        if (!ok || m_replaySpeed < 0 || !qIsFinite(m_replaySpeed)) {
            m_errorText = QStringLiteral("The replay speed must be a number of at least 0.");
            return Outcome::Error;
        }
    }
    if (!m_recordFile.isEmpty() && !m_replayFile.isEmpty()) {
        m_errorText = QStringLiteral("Record or replay, not both.");
        return Outcome::Error;
    }
    return Outcome::Run;
}

int CommandLine::answer(Outcome outcome) const
{
    switch (outcome) {
    case Outcome::ShowHelp:
        std::fputs(qPrintable(m_helpText), stdout);
        std::fflush(stdout);
        return 0;
    case Outcome::ShowVersion:
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        std::fflush(stdout);
        return 0;
    case Outcome::Error:
        std::fprintf(stderr, "%s\n\n%s", qPrintable(m_errorText), qPrintable(m_helpText));
        std::fflush(stderr);
        return 1;
    case Outcome::Run:
        break;
    }
    return 0;
}
