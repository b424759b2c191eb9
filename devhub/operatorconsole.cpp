#include "operatorconsole.h"

#include "devhubcontext.h"
#include "devhubserver.h"

#include "menu.pb.h"

#include <QSocketNotifier>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int ReadChunk = 4096;

QString reached(int count)
{
    return count == 1 ? QStringLiteral("sent to 1 client") : QStringLiteral("sent to %1 clients").arg(count);
}

// The rest of the line after the first n words, spacing kept.
QString restAfter(const QString &line, int words)
{
    int pos = 0;
    for (int i = 0; i < words; ++i) {
        while (pos < line.size() && line.at(pos).isSpace())
            ++pos;
        while (pos < line.size() && !line.at(pos).isSpace())
            ++pos;
    }
    return line.mid(pos).trimmed();
}

} // namespace

OperatorConsole::OperatorConsole(DevHubServer *server, QObject *parent)
    : QObject(parent)
    , m_server(server)
{ }

QString OperatorConsole::helpText()
{
    return QStringLiteral("Commands:\n"
                          "  clients                          list the connected clients\n"
                          "  notify TEXT                      show a notification on every client\n"
                          "  status [warning|fatal|debug] TEXT  send a status message to logged-in clients\n"
                          "  disconnect [all|ID] [TEXT]       force clients off, with an optional reason\n"
                          "  update VERSION [URL] [required]  offer a client update (required: must update)\n"
                          "  quit                             stop the hub\n");
}

void OperatorConsole::listen(int fd)
{
    m_fd = fd;
    m_interactive = ::isatty(fd);
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &OperatorConsole::readInput);
    if (m_interactive) {
        std::fputs("Operator console: type \"help\" for the commands.\n", stdout);
        std::fflush(stdout);
    }
}

void OperatorConsole::readInput()
{
    char chunk[ReadChunk];
    const ssize_t count = ::read(m_fd, chunk, sizeof chunk);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (count <= 0) {
        m_notifier->setEnabled(false);
        if (!m_buffer.trimmed().isEmpty()) {
            const QString reply = execute(QString::fromLocal8Bit(m_buffer));
            std::fputs(qPrintable(reply + QLatin1Char('\n')), stdout);
        }
        m_buffer.clear();
        if (m_interactive)
            std::fputs("Operator console closed; the hub keeps running (stop it with Ctrl+C).\n", stdout);
        std::fflush(stdout);
        return;
    }
    m_buffer.append(chunk, int(count));
    int newline;
    while ((newline = m_buffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(m_buffer.left(newline));
        m_buffer.remove(0, newline + 1);
        const QString reply = execute(line);
        if (!reply.isEmpty())
            std::fputs(qPrintable(reply + QLatin1Char('\n')), stdout);
    }
    if (m_buffer.size() > MaxLineLength) {
        m_buffer.clear();
        std::fputs("Line too long; ignored.\n", stdout);
    }
    std::fflush(stdout);
}

QString OperatorConsole::execute(const QString &line)
{
    const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return QString();
    const QString command = words.first().toLower();

    if (command == QLatin1String("help") || command == QLatin1String("?"))
        return helpText().trimmed();

    if (command == QLatin1String("clients") || command == QLatin1String("list")) {
        const auto clients = m_server->clients();
        if (clients.isEmpty())
            return QStringLiteral("No clients are connected.");
        QStringList lines;
        for (const DevHubServer::ClientInfo &client : clients) {
            lines << QStringLiteral("%1  %2  user \"%3\"  version %4  %5 application(s)")
                         .arg(client.id)
                         .arg(client.peer, client.userName,
                              client.version.isEmpty() ? QStringLiteral("-") : client.version)
                         .arg(client.channels);
        }
        return lines.join(QLatin1Char('\n'));
    }

    if (command == QLatin1String("notify")) {
        const QString text = restAfter(line, 1);
        if (text.isEmpty())
            return QStringLiteral("Usage: notify TEXT");
        return QStringLiteral("Notification %1.").arg(reached(m_server->notify(text)));
    }

    if (command == QLatin1String("status")) {
        int type = Menu::StatusMessage::WARNING;
        int skip = 1;
        const QString kind = words.value(1).toLower();
        if (kind == QLatin1String("fatal") || kind == QLatin1String("warning")
            || kind == QLatin1String("debug")) {
            type = kind == QLatin1String("fatal") ? Menu::StatusMessage::FATAL
                : kind == QLatin1String("debug")  ? Menu::StatusMessage::DEBUG
                                                  : Menu::StatusMessage::WARNING;
            skip = 2;
        }
        const QString text = restAfter(line, skip);
        if (text.isEmpty())
            return QStringLiteral("Usage: status [warning|fatal|debug] TEXT");
        return QStringLiteral("Status message %1.").arg(reached(m_server->sendStatus(type, text)));
    }

    if (command == QLatin1String("disconnect")) {
        int clientId = 0;
        int skip = 1;
        const QString target = words.value(1);
        bool numeric = false;
        const int id = target.toInt(&numeric);
        if (numeric && id > 0) {
            clientId = id;
            skip = 2;
        } else if (target.toLower() == QLatin1String("all")) {
            skip = 2;
        }
        const int count = m_server->forceDisconnect(clientId, restAfter(line, skip));
        if (clientId != 0 && count == 0)
            return QStringLiteral("There is no connected client %1.").arg(clientId);
        return QStringLiteral("Disconnect %1.").arg(reached(count));
    }

    if (command == QLatin1String("update")) {
        UpdateOffer offer;
        for (const QString &word : words.mid(1)) {
            if (word.toLower() == QLatin1String("required"))
                offer.required = true;
            else if (word.contains(QLatin1String("://")))
                offer.installerUrl = word;
            else if (offer.version.isEmpty())
                offer.version = word;
            else
                return QStringLiteral("Usage: update VERSION [URL] [required]");
        }
        if (offer.version.isEmpty())
            return QStringLiteral("Usage: update VERSION [URL] [required]");
        return QStringLiteral("Update offer %1.").arg(reached(m_server->offerUpdate(offer)));
    }

    if (command == QLatin1String("quit") || command == QLatin1String("exit")) {
        emit quitRequested();
        return QStringLiteral("Stopping.");
    }

    return QStringLiteral("Unknown command \"%1\"; type \"help\" for the list.").arg(words.first());
}
