#include "quitsignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

int QuitSignals::s_pipe[2] = { -1, -1 };

QuitSignals::QuitSignals(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char number = 0;
        if (::read(s_pipe[0], &number, 1) == 1)
            emit quitRequested(number);
    });
    struct sigaction action = {};
    action.sa_handler = &QuitSignals::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : { SIGINT, SIGTERM, SIGHUP })
        sigaction(sig, &action, nullptr);
}

QuitSignals::~QuitSignals()
{
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    for (const int sig : { SIGINT, SIGTERM, SIGHUP })
        sigaction(sig, &standard, nullptr);
    for (int &fd : s_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void QuitSignals::handle(int signal)
{
    // Only async-signal-safe work here: one byte into the pipe.
    const unsigned char number = static_cast<unsigned char>(signal);
    const ssize_t ignored = ::write(s_pipe[1], &number, 1);
    (void)ignored;
}
