#include "terminalapp.h"

#include "applink.h"
#include "devhubversion.h"

#include "zuterm.pb.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcessEnvironment>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QVector>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

namespace {

// The client's emulator follows xterm: its keys (F1 as ESC O P, Home as ESC O H), the alternate
// screen with ?1049, the mouse, 256 colours.
constexpr char DefaultTerm[] = "xterm";
constexpr char Utf8Locale[] = "C.UTF-8";
constexpr char PlainLocale[] = "C";
constexpr char FallbackShell[] = "/bin/sh";
constexpr int MaxDrainReads = 64;

// Everything the child needs, built before fork(): afterwards only async-signal-safe calls.
struct ExecPlan
{
    QByteArray path;
    QByteArray workingDirectory;
    QVector<QByteArray> argumentStore;
    QVector<QByteArray> environmentStore;
    QVector<char *> argv;
    QVector<char *> envp;
    bool localEcho = false;

    void seal()
    {
        for (QByteArray &argument : argumentStore)
            argv.append(argument.data());
        argv.append(nullptr);
        for (QByteArray &entry : environmentStore)
            envp.append(entry.data());
        envp.append(nullptr);
    }
};

void writeStderr(const char *text)
{
    const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    Q_UNUSED(ignored)
}

[[noreturn]] void runChild(const ExecPlan &plan, int master, int slave)
{
    ::close(master);
    if (login_tty(slave) != 0) {
        writeStderr("zu-devhub: cannot take the terminal\r\n");
        _exit(127);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard;
    std::memset(&standard, 0, sizeof standard);
    standard.sa_handler = SIG_DFL;
    for (const int sig : { SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGTERM, SIGCHLD })
        sigaction(sig, &standard, nullptr);

    if (::chdir(plan.workingDirectory.constData()) != 0) {
        writeStderr("zu-devhub: cannot enter the working directory\r\n");
        _exit(127);
    }
    // The hub's sockets and files are none of the program's business.
    if (close_range(3, ~0U, 0) != 0) {
        const long last = qMin(sysconf(_SC_OPEN_MAX), 65536L);
        for (int fd = 3; fd < last; ++fd)
            ::close(fd);
    }
    ::execve(plan.path.constData(), plan.argv.constData(), plan.envp.constData());
    writeStderr("zu-devhub: cannot run the program: ");
    writeStderr(std::strerror(errno));
    writeStderr("\r\n");
    _exit(127);
}

} // namespace

TerminalApp::TerminalApp(AppLink *link, const DemoAppContext &context, QObject *parent)
    : DemoApplication(link, context, parent)
    , m_dispatcher(this, QtDebugMsg, "No 'zuterm' message handler found for")
{
    m_reaper.setInterval(ReapIntervalMs);
    connect(&m_reaper, &QTimer::timeout, this, &TerminalApp::checkChild);
    m_killTimer.setSingleShot(true);
    connect(&m_killTimer, &QTimer::timeout, this, [this] {
        qInfo().noquote()
            << QStringLiteral("terminal (%1): the program ignored the hang-up; killing it").arg(where());
        signalProgram(SIGKILL);
    });
    m_handshakeTimer.setSingleShot(true);
    connect(&m_handshakeTimer, &QTimer::timeout, this, [this] {
        qInfo().noquote() << QStringLiteral("terminal (%1): no handshake from the client; starting in Latin-1").arg(where());
        if (m_state == State::WaitingForClient && !launch())
            setState(State::Finished);
    });
    connect(link, &AppLink::drained, this, [this] {
        if (m_readNotifier && !m_outputClosed && m_state != State::Finished)
            m_readNotifier->setEnabled(true);
    });
}

TerminalApp::~TerminalApp()
{
    if (m_pid > 0) {
        signalProgram(SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    closeMaster();
}

QString TerminalApp::kind() const
{
    return QLatin1String(Kind);
}

bool TerminalApp::start(QString *error)
{
    if (m_state != State::Idle) {
        *error = QStringLiteral("the terminal application was already started");
        return false;
    }
    const QJsonObject &options = context().options;

    QString program = options.value(QLatin1String("program")).toString();
    if (program.isEmpty()) {
        program = qEnvironmentVariable("SHELL");
        if (program.isEmpty() || !QFileInfo(program).isExecutable())
            program = QLatin1String(FallbackShell);
    }
    const QString path
        = program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    const QFileInfo programInfo(path);
    if (path.isEmpty() || !programInfo.isFile() || !programInfo.isExecutable()) {
        *error = QStringLiteral("the program \"%1\" was not found or cannot be run").arg(program);
        return false;
    }
    m_program = program;
    m_programPath = programInfo.absoluteFilePath();
    m_arguments.clear();
    for (const QJsonValue &argument : options.value(QLatin1String("arguments")).toArray()) {
        if (!argument.isString()) {
            *error = QStringLiteral("the terminal's \"arguments\" must all be strings");
            return false;
        }
        m_arguments.append(argument.toString());
    }

    m_workingDirectory = context().homePath;
    const QString subdirectory = options.value(QLatin1String("workingDirectory")).toString();
    if (!subdirectory.isEmpty())
        m_workingDirectory = QDir(context().homePath).absoluteFilePath(subdirectory);
    if (!QFileInfo(m_workingDirectory).isDir()) {
        *error = QStringLiteral("the working directory \"%1\" does not exist").arg(m_workingDirectory);
        return false;
    }
    m_localEcho = options.value(QLatin1String("localEcho")).toBool(false);

    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("HOME"), context().homePath);
    m_environment.insert(QStringLiteral("TERM"),
                         options.value(QLatin1String("term")).toString(QLatin1String(DefaultTerm)));
    // Programs that find these believe them over the pseudo-terminal's size, which follows the page.
    m_environment.remove(QStringLiteral("COLUMNS"));
    m_environment.remove(QStringLiteral("LINES"));
    m_environment.insert(QStringLiteral("ZU_USER"), context().userName);
    const QJsonObject extra = options.value(QLatin1String("environment")).toObject();
    for (auto it = extra.begin(); it != extra.end(); ++it)
        m_environment.insert(it.key(), it.value().toString());

    zuterm::Envelope hello;
    hello.mutable_handshake()->set_ui_version(DevHubVersion);
    hello.mutable_handshake()->set_type(zuterm::Handshake::TERMINAL);
    send(hello);
    zuterm::Envelope config;
    config.mutable_config()->set_echo(m_localEcho);
    send(config);
    // The program starts once the client has said which encoding it takes.
    setState(State::WaitingForClient);
    m_handshakeTimer.start(ClientHandshakeMs);
    return true;
}

bool TerminalApp::launch()
{
    m_handshakeTimer.stop();
    QProcessEnvironment environment = m_environment;
    // Unless the client shows UTF-8, keep programs from writing it.
    environment.insert(QStringLiteral("LC_ALL"), QLatin1String(m_utf8 ? Utf8Locale : PlainLocale));
    if (m_utf8) {
        zuterm::Envelope config;
        config.mutable_config()->set_encoding(zuterm::UTF8);
        send(config);
    }

    ExecPlan plan;
    plan.path = QFile::encodeName(m_programPath);
    plan.argumentStore.append(QFile::encodeName(m_program));
    for (const QString &argument : m_arguments)
        plan.argumentStore.append(argument.toLocal8Bit());
    plan.workingDirectory = QFile::encodeName(m_workingDirectory);
    plan.localEcho = m_localEcho;
    for (const QString &entry : environment.toStringList())
        plan.environmentStore.append(entry.toLocal8Bit());
    plan.seal();

    winsize size;
    std::memset(&size, 0, sizeof size);
    size.ws_row = ushort(m_rows);
    size.ws_col = ushort(m_columns);
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0) {
        qWarning().noquote() << QStringLiteral("terminal (%1): cannot open a pseudo-terminal: %2")
                                    .arg(where(), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // Set before the program runs, so that not even its first input is echoed twice.
    if (plan.localEcho) {
        termios settings;
        if (tcgetattr(slave, &settings) == 0) {
            settings.c_lflag &= ~tcflag_t(ECHO | ECHONL);
            tcsetattr(slave, TCSANOW, &settings);
        }
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        qWarning().noquote() << QStringLiteral("terminal (%1): cannot start the program: %2")
                                    .arg(where(), QString::fromLocal8Bit(std::strerror(errno)));
        ::close(master);
        ::close(slave);
        return false;
    }
    if (pid == 0)
        runChild(plan, master, slave);
    ::close(slave);

    m_pid = pid;
    m_master = master;
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &TerminalApp::readOutput);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &TerminalApp::writeInput);
    m_reaper.start();
    qInfo().noquote() << QStringLiteral("terminal (%1): started \"%2\" as process %3 in %4%5")
                             .arg(where(), m_program)
                             .arg(pid)
                             .arg(m_workingDirectory, m_utf8 ? QStringLiteral(" (UTF-8)") : QString());
    setState(State::Running);
    if (m_rows != Rows || m_columns != Columns)
        confirmWindowSize();
    writeInput();
    return true;
}

void TerminalApp::stop()
{
    switch (m_state) {
    case State::Idle:
    case State::WaitingForClient:
        setState(State::Finished);
        break;
    case State::Running:
        setState(State::Stopping);
        break;
    case State::Stopping:
    case State::Finished:
        break;
    }
}

void TerminalApp::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    switch (state) {
    case State::Idle:
    case State::WaitingForClient:
    case State::Running:
        break;
    case State::Stopping:
        m_pendingInput.clear();
        signalProgram(SIGHUP);
        m_killTimer.start(KillGraceMs);
        break;
    case State::Finished:
        m_handshakeTimer.stop();
        m_reaper.stop();
        m_killTimer.stop();
        closeMaster();
        finish();
        break;
    }
}

void TerminalApp::processMessage(const QByteArray &message)
{
    zuterm::Envelope envelope;
    if (!envelope.ParseFromArray(message.constData(), message.size())) {
        qWarning().noquote() << QStringLiteral(
                                    "terminal (%1): unreadable message from the client (%2 bytes) ignored")
                                    .arg(where())
                                    .arg(message.size());
        return;
    }
    m_dispatcher.dispatch(envelope);
}

void TerminalApp::mh_handshake(const google::protobuf::Message &msg)
{
    const auto &handshake = static_cast<const zuterm::Handshake &>(msg);
    qDebug().noquote() << QStringLiteral("terminal (%1): client page version %2")
                              .arg(where(), QString::fromStdString(handshake.ui_version()));
    if (m_state != State::WaitingForClient)
        return;
    m_utf8 = handshake.has_encoding() && handshake.encoding() == zuterm::UTF8;
    if (!launch())
        setState(State::Finished);
}

void TerminalApp::mh_data_packet(const google::protobuf::Message &msg)
{
    const auto &packet = static_cast<const zuterm::DataPacket &>(msg);
    if ((m_state != State::Running && m_state != State::WaitingForClient) || packet.data().empty())
        return;
    if (m_pendingInput.size() + qint64(packet.data().size()) > MaxPendingInput) {
        qWarning().noquote() << QStringLiteral(
                                    "terminal (%1): the program is not reading; %2 bytes of input dropped")
                                    .arg(where())
                                    .arg(packet.data().size());
        return;
    }
    m_pendingInput.append(packet.data().data(), int(packet.data().size()));
    writeInput();
}

void TerminalApp::mh_kill_process(const google::protobuf::Message &)
{
    qInfo().noquote() << QStringLiteral("terminal (%1): the client asked to end the program").arg(where());
    stop();
}

void TerminalApp::mh_window_size(const google::protobuf::Message &msg)
{
    const auto &size = static_cast<const zuterm::WindowSize &>(msg);
    if (!size.has_rows() || !size.has_columns())
        return;
    m_rows = int(qBound<uint32_t>(MinSize, size.rows(), MaxRows));
    m_columns = int(qBound<uint32_t>(MinSize, size.columns(), MaxColumns));
    // Before the program runs, its pseudo-terminal is opened at this size.
    if (m_state == State::Running && m_master >= 0)
        confirmWindowSize();
}

void TerminalApp::confirmWindowSize()
{
    winsize window;
    std::memset(&window, 0, sizeof window);
    window.ws_row = ushort(m_rows);
    window.ws_col = ushort(m_columns);
    if (::ioctl(m_master, TIOCSWINSZ, &window) != 0) {
        qWarning().noquote() << QStringLiteral("terminal (%1): cannot set the window size: %2")
                                    .arg(where(), QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    zuterm::Envelope envelope;
    envelope.mutable_config()->set_rows(window.ws_row);
    envelope.mutable_config()->set_columns(window.ws_col);
    send(envelope);
}

void TerminalApp::readOutput()
{
    if (link() && link()->isCongested()) {
        // Resumed by the link's drained().
        m_readNotifier->setEnabled(false);
        return;
    }
    readOnce();
}

bool TerminalApp::readOnce()
{
    if (m_master < 0 || m_outputClosed)
        return false;
    char buffer[ReadChunk];
    const ssize_t count = ::read(m_master, buffer, sizeof buffer);
    if (count > 0) {
        // Pages that follow the original protocol cut a packet at its first zero byte.
        QByteArray data(buffer, int(count));
        data.replace(QByteArray(1, '\0'), QByteArray());
        if (!data.isEmpty()) {
            zuterm::Envelope envelope;
            envelope.mutable_data_packet()->set_data(data.constData(), size_t(data.size()));
            send(envelope);
        }
        return true;
    }
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return false;
    // EOF, or EIO once the last holder of the terminal's other side has gone.
    m_outputClosed = true;
    if (m_readNotifier)
        m_readNotifier->setEnabled(false);
    checkChild();
    return false;
}

void TerminalApp::writeInput()
{
    while (!m_pendingInput.isEmpty() && m_master >= 0) {
        const ssize_t written = ::write(m_master, m_pendingInput.constData(), size_t(m_pendingInput.size()));
        if (written > 0) {
            m_pendingInput.remove(0, int(written));
            continue;
        }
        if (written < 0 && (errno == EAGAIN || errno == EINTR)) {
            m_writeNotifier->setEnabled(true);
            return;
        }
        m_pendingInput.clear();
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
}

void TerminalApp::checkChild()
{
    if (m_pid <= 0)
        return;
    int status = 0;
    const pid_t result = ::waitpid(m_pid, &status, WNOHANG);
    if (result == 0 || (result < 0 && errno == EINTR))
        return;
    QString how = QStringLiteral("ended");
    if (result == m_pid && WIFEXITED(status))
        how = QStringLiteral("exited with status %1").arg(WEXITSTATUS(status));
    else if (result == m_pid && WIFSIGNALED(status))
        how = QStringLiteral("was ended by signal %1").arg(WTERMSIG(status));
    qInfo().noquote() << QStringLiteral("terminal (%1): process %2 %3").arg(where()).arg(m_pid).arg(how);
    m_pid = -1;
    // Its last words are still in the terminal's buffer.
    for (int i = 0; i < MaxDrainReads && readOnce(); ++i) { }
    setState(State::Finished);
}

void TerminalApp::signalProgram(int signal)
{
    if (m_pid <= 0)
        return;
    // login_tty() made the program a session leader: its process group holds what it started.
    ::kill(-m_pid, signal);
    ::kill(m_pid, signal);
}

QString TerminalApp::where() const
{
    return link() ? link()->description() : QStringLiteral("closed link");
}

void TerminalApp::closeMaster()
{
    // This may run inside a notifier's own signal: disable now, delete later, then close the fd.
    for (QSocketNotifier *notifier : { m_readNotifier, m_writeNotifier }) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}
