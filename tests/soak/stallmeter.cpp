#include "stallmeter.h"

#include <algorithm>
#include <ctime>

namespace {

double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000 + double(now.tv_nsec) / 1e6;
}

} // namespace

StallMeter::StallMeter(QObject *parent)
    : QObject(parent)
{
    m_ticker.setTimerType(Qt::PreciseTimer);
    m_ticker.setInterval(TickMs);
    connect(&m_ticker, &QTimer::timeout, this, &StallMeter::tick);
}

void StallMeter::start()
{
    m_clock.start();
    reset();
    m_ticker.start();
}

void StallMeter::stop()
{
    m_ticker.stop();
}

void StallMeter::reset()
{
    m_lastTick = m_clock.isValid() ? m_clock.elapsed() : 0;
    m_lastCpuMs = threadCpuMs();
    m_longestStallMs = 0;
    m_longestBusyMs = 0;
}

void StallMeter::tick()
{
    const qint64 now = m_clock.elapsed();
    const double cpu = threadCpuMs();
    m_longestStallMs = std::max(m_longestStallMs, now - m_lastTick);
    m_longestBusyMs = std::max(m_longestBusyMs, cpu - m_lastCpuMs);
    m_lastTick = now;
    m_lastCpuMs = cpu;
}
