#include "floodwriter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

FloodWriter::FloodWriter(Producer producer)
    : m_producer(std::move(producer))
{ }

FloodWriter::~FloodWriter()
{
    stop();
}

void FloodWriter::stop()
{
    m_stop = true;
    if (m_socket >= 0)
        ::shutdown(m_socket, SHUT_RDWR); // wakes a blocked write
    if (m_thread.joinable())
        m_thread.join();
    if (m_socket >= 0)
        ::close(m_socket);
    m_socket = -1;
}

bool FloodWriter::start(quint16 port)
{
    m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0)
        return false;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return false;
    m_thread = std::thread(&FloodWriter::run, this);
    return true;
}

void FloodWriter::run()
{
    QByteArray chunk;
    while (!m_stop && m_producer(&chunk)) {
        const char *data = chunk.constData();
        qint64 left = chunk.size();
        while (left > 0 && !m_stop) {
            const ssize_t sent = ::send(m_socket, data, size_t(left), MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR)
                continue;
            if (sent <= 0) {
                m_failed = !m_stop;
                m_done = true;
                return;
            }
            data += sent;
            left -= sent;
            m_written += sent;
        }
    }
    m_done = true;
}
