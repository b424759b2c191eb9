#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The client's command line: host, port, debugport and loglevel, the session recording and replay
// options, plus the standard help.
class CommandLine
{
public:
    enum class Outcome { Run, ShowHelp, ShowVersion, Error };

    Outcome parse(const QStringList &arguments);
    // The outcome of `arguments` worked out without an application object (nor its help text):
    // the entry point's way to know whether windows are needed at all.
    static Outcome outcomeWithoutWindows(const QStringList &arguments);
    // Where relative file names on the command line start from; the process changes its own
    // working directory before the command line is read.
    static void setStartDirectory(const QString &path);
    // Prints the help, the version or the error of an outcome other than Run; the exit status.
    int answer(Outcome outcome) const;

    QString host() const { return m_host; }
    // 0 when absent or not a number, which the login flow rejects for an explicit host.
    quint16 port() const { return m_port; }
    // 0: no debug listener.
    quint16 debugPort() const { return m_debugPort; }
    std::optional<int> logLevel() const { return m_logLevel; }
    QString recordFile() const { return m_recordFile; }
    QString replayFile() const { return m_replayFile; }
    // Factor on the recorded pace; 0: as fast as possible.
    double replaySpeed() const { return m_replaySpeed; }
    bool replayStep() const { return m_replayStep; }

    QString helpText() const { return m_helpText; }
    QString errorText() const { return m_errorText; }

private:
    Outcome parseArguments(const QStringList &arguments, bool withHelpText);

    QString m_host;
    quint16 m_port = 0;
    quint16 m_debugPort = 0;
    std::optional<int> m_logLevel;
    QString m_recordFile;
    QString m_replayFile;
    double m_replaySpeed = 1.0;
    bool m_replayStep = false;
    QString m_helpText;
    QString m_errorText;
};
