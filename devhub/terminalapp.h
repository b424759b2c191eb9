#pragma once

#include "demoapplication.h"

#include "envelopedispatcher.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTimer>

#include <sys/types.h>

class QSocketNotifier;

// Runs a real program in a pseudo-terminal and relays its bytes as zuterm data packets; key
// presses from the client go to the program's input. The program is a shell in the user's home
// unless the options say otherwise:
//   "program" (path or name; empty: $SHELL, else /bin/sh), "arguments" (array of strings),
//   "workingDirectory" (relative to the home), "environment" (object), "term" (TERM value),
//   "localEcho" (true: the pseudo-terminal stops echoing and the client echoes typed keys).
// A window size from the client is applied to the pseudo-terminal (the program gets SIGWINCH) and
// confirmed with a config carrying the size taken. The program's locale follows what the client's
// handshake says it can show: C.UTF-8 for a client that takes UTF-8 (told so in a config before
// any output), C for others; COLUMNS and LINES are not set, the pseudo-terminal's size is the truth.
//
// Idle -> WaitingForClient (start: handshake and echo config sent) -> Running (the client's
// handshake, or none within ClientHandshakeMs: the program starts) -> Stopping (kill request or
// client gone: SIGHUP to the program's process group, SIGKILL after KillGraceMs) -> Finished (the
// program has been reaped and its last output sent). The program also ends the application by
// exiting on its own. Keys and a window size that arrive while waiting are kept for the program.
class TerminalApp : public DemoApplication
{
    Q_OBJECT

public:
    static constexpr char Kind[] = "terminal";
    // The size a terminal starts with, until the client asks for another (within the bounds).
    static constexpr int Columns = 80;
    static constexpr int Rows = 24;
    static constexpr int MinSize = 2;
    static constexpr int MaxRows = 300;
    static constexpr int MaxColumns = 500;
    static constexpr int ReadChunk = 16 * 1024;
    static constexpr int MaxPendingInput = 1024 * 1024;
    static constexpr int ReapIntervalMs = 100;
    static constexpr int KillGraceMs = 2000;
    // Clients that follow the original protocol send their handshake at once too.
    static constexpr int ClientHandshakeMs = 5000;

    enum class State { Idle, WaitingForClient, Running, Stopping, Finished };

    TerminalApp(AppLink *link, const DemoAppContext &context, QObject *parent = nullptr);
    ~TerminalApp() override;

    QString kind() const override;
    bool start(QString *error) override;
    void stop() override;

    State state() const { return m_state; }
    qint64 processId() const { return m_pid; }
    bool isUtf8() const { return m_utf8; }

private slots:
    void mh_handshake(const google::protobuf::Message &msg);
    void mh_data_packet(const google::protobuf::Message &msg);
    void mh_kill_process(const google::protobuf::Message &msg);
    void mh_window_size(const google::protobuf::Message &msg);

private:
    void processMessage(const QByteArray &message) override;
    void setState(State state);
    // Forks the program in a pseudo-terminal of the wanted size; false (logged) if that fails.
    bool launch();
    void confirmWindowSize();
    void readOutput();
    // Reads whatever the program left behind, regardless of congestion; false once at the end.
    bool readOnce();
    void writeInput();
    void checkChild();
    void signalProgram(int signal);
    void closeMaster();
    QString where() const;

    State m_state = State::Idle;
    EnvelopeDispatcher m_dispatcher;
    // What start() worked out, for launch().
    QString m_program;
    QString m_programPath;
    QStringList m_arguments;
    QString m_workingDirectory;
    QProcessEnvironment m_environment;
    bool m_localEcho = false;
    bool m_utf8 = false;
    int m_rows = Rows;
    int m_columns = Columns;
    QTimer m_handshakeTimer;
    pid_t m_pid = -1;
    int m_master = -1;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QByteArray m_pendingInput;
    QTimer m_reaper;
    QTimer m_killTimer;
    bool m_outputClosed = false;
};
