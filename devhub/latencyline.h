#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>

class QIODevice;

// What the stand-in hub writes to one connection, held for a fixed time before it is written, in
// order: a slow link to try the client on (--latency). With no latency it writes at once.
class LatencyLine : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxLatencyMs = 10000;

    explicit LatencyLine(QIODevice *device, int latencyMs = 0, QObject *parent = nullptr);

    int latencyMs() const { return m_latencyMs; }
    // Applies to what is written from now on.
    void setLatency(int ms) { m_latencyMs = qBound(0, ms, MaxLatencyMs); }
    void write(const QByteArray &bytes);
    // Writes everything held now: a connection being closed sends its last words first.
    void flush();
    qint64 heldBytes() const { return m_heldBytes; }

private:
    struct Held
    {
        qint64 due;
        QByteArray bytes;
    };

    void writeDue();

    QPointer<QIODevice> m_device;
    int m_latencyMs;
    QElapsedTimer m_clock;
    std::deque<Held> m_held;
    qint64 m_heldBytes = 0;
    QTimer m_timer;
};
