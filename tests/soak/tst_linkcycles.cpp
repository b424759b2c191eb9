// Link cycles of the whole client: log in, choose a release, open the home page, lose the link
// (forced by the hub, or a socket that just closes), over and over. After the warm-up the client
// must hold the same live objects at the end of every cycle, and its memory must stay flat.
#include "liveobjects.h"
#include "processprobe.h"
#include "soakdesktop.h"
#include "soakrun.h"
#include "stallmeter.h"

#include <QTest>

namespace {

// A cycle that leaks one small object still adds nothing measurable in 20 cycles; the object
// counts catch that. The memory bound of the short run only catches gross growth (a cycle holding
// on to a window, a socket's buffers), and stays clear of the noise of a loaded machine.
constexpr double CiGrowthMb = 8;
constexpr double FullGrowthMb = 5;

qint64 residentNow()
{
    ProcessProbe::releaseFreeMemory();
    return ProcessProbe::residentBytes();
}

} // namespace

class tst_LinkCycles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(LiveObjects::install(), "QtCore offers no object hooks"); }

    void loginAndDropCycles()
    {
        const int warmUp = SoakRun::count(5, 20);
        const int cycles = SoakRun::count(25, 200);
        SoakDesktop desktop;
        QVERIFY2(desktop.start(), qPrintable(desktop.failure()));
        StallMeter stalls;
        stalls.start();

        int steadyCount = -1;
        LiveObjects::Census steadyCensus;
        qint64 startMemory = 0;
        for (int cycle = 0; cycle < cycles; ++cycle) {
            const auto drop = cycle % 2 ? SoakDesktop::Drop::Closed : SoakDesktop::Drop::Forced;
            QVERIFY2(desktop.logIn(cycle), qPrintable(QStringLiteral("cycle %1: %2").arg(cycle).arg(desktop.failure())));
            QVERIFY2(desktop.openHomePage(), qPrintable(desktop.failure()));
            QVERIFY2(desktop.dropLink(drop), qPrintable(QStringLiteral("cycle %1: %2").arg(cycle).arg(desktop.failure())));
            desktop.forgetTraffic();

            const int live = LiveObjects::settledCount();
            if (cycle + 1 == warmUp) {
                steadyCount = live;
                steadyCensus = LiveObjects::census();
                startMemory = residentNow();
                stalls.reset();
            } else if (cycle >= warmUp && live != steadyCount) {
                QFAIL(qPrintable(QStringLiteral("cycle %1 ends with %2 live objects instead of %3: %4")
                                     .arg(cycle)
                                     .arg(live)
                                     .arg(steadyCount)
                                     .arg(LiveObjects::difference(steadyCensus, LiveObjects::census()))));
            }
        }
        const qint64 endMemory = residentNow();

        SoakRun run(QStringLiteral("link cycles"));
        run.setCycles(cycles);
        run.setMemory(startMemory, endMemory);
        run.setStall(stalls.longestStallMs(), stalls.longestBusyMs());
        run.addNote(QStringLiteral("%1 live objects after each cycle").arg(steadyCount));
        run.print();
        const double growthMb = ProcessProbe::megabytes(endMemory - startMemory);
        QVERIFY2(growthMb < (SoakRun::isFull() ? FullGrowthMb : CiGrowthMb), qPrintable(run.line()));
    }
};

QTEST_MAIN(tst_LinkCycles)
#include "tst_linkcycles.moc"
