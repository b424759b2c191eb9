#include "ratelimit.h"

RateLimit::RateLimit(int limit, qint64 windowMs)
    : m_limit(qMax(1, limit))
    , m_window(windowMs)
{
    m_clock.start();
    m_times.reserve(m_limit);
}

bool RateLimit::admit()
{
    const qint64 now = m_clock.elapsed();
    if (m_times.size() < m_limit) {
        m_times.append(now);
    } else {
        // The oldest of the last `limit` events must have left the window.
        if (now - m_times.at(m_next) < m_window) {
            ++m_refused;
            return false;
        }
        m_times[m_next] = now;
        m_next = (m_next + 1) % m_limit;
    }
    m_refusedBefore = m_refused;
    m_refused = 0;
    return true;
}
