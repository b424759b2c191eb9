#pragma once

#include "liveobjects.h"
#include "stallmeter.h"

#include <QString>

class SoakRun;

// What a cyclic soak run must come back to: after the warm-up, the same live objects at the end of
// every cycle, and resident memory that grows by less than a bound over the rest of the run. Also
// keeps the event loop's largest stall after the warm-up.
class CycleWatch
{
public:
    explicit CycleWatch(int warmUp);

    // After cycle `cycle` (from 0): lets the event loop settle and compares the live objects with
    // those at the end of the warm-up. Empty, or what differs.
    QString endCycle(int cycle);
    // Reads the memory at the end and writes what was measured into the run's line; false when
    // memory grew past the bound.
    bool finish(int cycles, SoakRun *run);

private:
    int m_warmUp;
    int m_steadyCount = -1;
    LiveObjects::Census m_steadyCensus;
    qint64 m_startMemory = 0;
    StallMeter m_stalls;
};
