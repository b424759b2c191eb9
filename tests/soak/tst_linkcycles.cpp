// Link cycles of the whole client: log in, choose a release, open the home page, lose the link
// (forced by the hub, or a socket that just closes), over and over. After the warm-up the client
// must hold the same live objects at the end of every cycle, and its memory must stay flat.
#include "cyclewatch.h"
#include "soakdesktop.h"
#include "soakrun.h"

#include <QTest>

class tst_LinkCycles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(LiveObjects::install(), "QtCore offers no object hooks"); }

    void loginAndDropCycles()
    {
        const int cycles = SoakRun::count(25, 200);
        SoakDesktop desktop;
        QVERIFY2(desktop.start(), qPrintable(desktop.failure()));
        CycleWatch watch(SoakRun::count(5, 20));
        for (int cycle = 0; cycle < cycles; ++cycle) {
            const auto drop = cycle % 2 ? SoakDesktop::Drop::Closed : SoakDesktop::Drop::Forced;
            const QString where = QStringLiteral("cycle %1: ").arg(cycle);
            QVERIFY2(desktop.logIn(cycle), qPrintable(where + desktop.failure()));
            QVERIFY2(desktop.openHomePage(), qPrintable(where + desktop.failure()));
            QVERIFY2(desktop.dropLink(drop), qPrintable(where + desktop.failure()));
            desktop.forgetTraffic();
            const QString leftOver = watch.endCycle(cycle);
            QVERIFY2(leftOver.isEmpty(), qPrintable(leftOver));
        }
        SoakRun run(QStringLiteral("link cycles"));
        const bool held = watch.finish(cycles, &run);
        run.print();
        QVERIFY2(held, qPrintable(run.line()));
    }
};

QTEST_MAIN(tst_LinkCycles)
#include "tst_linkcycles.moc"
