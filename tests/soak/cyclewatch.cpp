#include "cyclewatch.h"

#include "processprobe.h"
#include "soakrun.h"

#include <QPixmapCache>

namespace {

// A cycle that leaks one small object adds nothing measurable in a short run; the object counts
// catch that. The short run's memory bound only catches gross growth (a window or a socket's
// buffers kept per cycle) and stays clear of the noise of a loaded 2-core machine, where the short
// runs grew by well under 1 MB.
constexpr double ShortGrowthMb = 8;
constexpr double FullGrowthMb = 5;

// Qt's cache of drawn pixmaps is left out: it keeps what each cycle's new dialogs drew (keyed by
// their palettes and icons, never hit again) up to its own limit, 10 MB by default.
qint64 heldMemory()
{
    QPixmapCache::clear();
    ProcessProbe::releaseFreeMemory();
    return ProcessProbe::residentBytes();
}

} // namespace

CycleWatch::CycleWatch(int warmUp)
    : m_warmUp(warmUp)
{
    m_stalls.start();
}

QString CycleWatch::endCycle(int cycle)
{
    const int live = LiveObjects::settledCount();
    if (cycle + 1 == m_warmUp) {
        m_steadyCount = live;
        m_steadyCensus = LiveObjects::census();
        m_startMemory = heldMemory();
        m_stalls.reset();
    } else if (cycle >= m_warmUp && live != m_steadyCount) {
        return QStringLiteral("cycle %1 ends with %2 live objects instead of %3: %4")
            .arg(cycle)
            .arg(live)
            .arg(m_steadyCount)
            .arg(LiveObjects::difference(m_steadyCensus, LiveObjects::census()));
    }
    return QString();
}

bool CycleWatch::finish(int cycles, SoakRun *run)
{
    const qint64 endMemory = heldMemory();
    m_stalls.stop();
    run->setCycles(cycles);
    run->setMemory(m_startMemory, endMemory);
    run->setStall(m_stalls.longestStallMs(), m_stalls.longestBusyMs());
    run->addNote(QStringLiteral("%1 live objects after each cycle").arg(m_steadyCount));
    const double bound = SoakRun::isFull() ? FullGrowthMb : ShortGrowthMb;
    return !ProcessProbe::memoryIsJudged() || ProcessProbe::megabytes(endMemory - m_startMemory) < bound;
}
