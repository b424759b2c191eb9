#pragma once

#include <QElapsedTimer>
#include <QVector>

// At most `limit` events in any window of `windowMs`: what a server may make the desktop do before
// the rest is refused. The times of the last admitted events are kept, no more.
class RateLimit
{
public:
    RateLimit(int limit, qint64 windowMs);

    // Whether one more event is admitted now; counts it when it is.
    bool admit();
    // Refused since the last admitted event.
    int refusedInARow() const { return m_refused; }
    // How many were refused just before the event admitted last.
    int refusedBefore() const { return m_refusedBefore; }

private:
    QElapsedTimer m_clock;
    QVector<qint64> m_times;
    int m_limit;
    qint64 m_window;
    int m_next = 0;
    int m_refused = 0;
    int m_refusedBefore = 0;
};
