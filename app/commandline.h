#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The client's command line: host, port, debugport and loglevel, plus the standard help.
class CommandLine
{
public:
    enum class Outcome { Run, ShowHelp, Error };

    Outcome parse(const QStringList &arguments);

    QString host() const { return m_host; }
    // 0 when absent or not a number, which the login flow rejects for an explicit host.
    quint16 port() const { return m_port; }
    // 0: no debug listener.
    quint16 debugPort() const { return m_debugPort; }
    std::optional<int> logLevel() const { return m_logLevel; }

    QString helpText() const { return m_helpText; }
    QString errorText() const { return m_errorText; }

private:
    QString m_host;
    quint16 m_port = 0;
    quint16 m_debugPort = 0;
    std::optional<int> m_logLevel;
    QString m_helpText;
    QString m_errorText;
};
