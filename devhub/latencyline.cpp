#include "latencyline.h"

#include <QIODevice>

LatencyLine::LatencyLine(QIODevice *device, int latencyMs, QObject *parent)
    : QObject(parent)
    , m_device(device)
    , m_latencyMs(qBound(0, latencyMs, MaxLatencyMs))
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &LatencyLine::writeDue);
}

void LatencyLine::write(const QByteArray &bytes)
{
    if (!m_device)
        return;
    if (m_latencyMs == 0 && m_held.empty()) {
        m_device->write(bytes);
        return;
    }
    m_held.push_back({ m_clock.elapsed() + m_latencyMs, bytes });
    m_heldBytes += bytes.size();
    if (!m_timer.isActive())
        m_timer.start(m_latencyMs);
}

void LatencyLine::writeDue()
{
    const qint64 now = m_clock.elapsed();
    while (!m_held.empty() && m_held.front().due <= now) {
        const QByteArray bytes = std::move(m_held.front().bytes);
        m_held.pop_front();
        m_heldBytes -= bytes.size();
        if (m_device)
            m_device->write(bytes);
    }
    if (!m_held.empty())
        m_timer.start(int(m_held.front().due - now));
}

void LatencyLine::flush()
{
    m_timer.stop();
    while (!m_held.empty()) {
        if (m_device)
            m_device->write(m_held.front().bytes);
        m_held.pop_front();
    }
    m_heldBytes = 0;
}
