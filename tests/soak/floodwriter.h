#pragma once

#include <QByteArray>

#include <atomic>
#include <functional>
#include <thread>

// Plays an application that writes as fast as the client reads: a thread of its own with a
// blocking loopback socket, so that the writing costs the client's event loop nothing and TCP's
// flow control is all that holds it back. The producer hands out the next bytes (already framed)
// until it returns false.
class FloodWriter
{
public:
    using Producer = std::function<bool(QByteArray *next)>;

    explicit FloodWriter(Producer producer);
    ~FloodWriter();

    // Connects to 127.0.0.1:port and starts writing; false when no connection could be made.
    bool start(quint16 port);
    // Stops writing and closes the connection, as an application that ends.
    void stop();
    qint64 bytesWritten() const { return m_written; }
    bool isDone() const { return m_done; }
    bool failed() const { return m_failed; }

private:
    void run();

    Producer m_producer;
    int m_socket = -1;
    std::thread m_thread;
    std::atomic<qint64> m_written { 0 };
    std::atomic<bool> m_done { false };
    std::atomic<bool> m_failed { false };
    std::atomic<bool> m_stop { false };
};
