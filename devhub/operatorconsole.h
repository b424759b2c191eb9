#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class DevHubServer;
class QSocketNotifier;

// The operator's commands, one per line on standard input: list the clients, send them a
// notification, a status message, a forced disconnect or an update offer, or stop the hub.
// End of input only stops the console, not the hub, so the hub also runs with no terminal.
class OperatorConsole : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxLineLength = 4096;

    explicit OperatorConsole(DevHubServer *server, QObject *parent = nullptr);

    // Reads commands from the file descriptor (standard input by default) and prints replies.
    void listen(int fd);
    // Runs one command and returns the reply for the operator.
    QString execute(const QString &line);

    static QString helpText();

signals:
    void quitRequested();

private:
    void readInput();

    DevHubServer *m_server;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_buffer;
    int m_fd = -1;
    bool m_interactive = false;
};
