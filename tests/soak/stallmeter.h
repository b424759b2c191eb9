#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// How long the event loop went without turning: the largest gap between ticks of a timer that
// fires every TickMs, and this thread's CPU time within that gap (on a shared machine the
// wall-clock gap also holds time when the process was not scheduled at all).
class StallMeter : public QObject
{
    Q_OBJECT

public:
    static constexpr int TickMs = 2;

    explicit StallMeter(QObject *parent = nullptr);

    void start();
    void stop();
    // Forgets what was measured so far, as after a warm-up.
    void reset();

    qint64 longestStallMs() const { return m_longestStallMs; }
    double longestBusyMs() const { return m_longestBusyMs; }

private:
    void tick();

    QTimer m_ticker;
    QElapsedTimer m_clock;
    qint64 m_lastTick = 0;
    double m_lastCpuMs = 0;
    qint64 m_longestStallMs = 0;
    double m_longestBusyMs = 0;
};
