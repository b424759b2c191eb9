#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// Every QObject alive that the installing thread made, followed through QtCore's object hooks (the
// ones debugging tools use), so that a soak run can tell whether a cycle left objects behind and of
// which class. Objects of other threads are left out: a thread pool's threads come and go on their
// own time.
class LiveObjects
{
public:
    using Census = QMap<QByteArray, int>;

    // Starts following objects made from now on; false when this QtCore offers no hooks.
    static bool install();
    static int count();
    // Runs the event loop, deferred deletions included, until the count has held still for a
    // while (single-shot timers and sockets being closed come and go); returns that count.
    static int settledCount(int timeoutMs = 5000);
    // Live objects by class name.
    static Census census();
    // "+2 QTimer, -1 QLabel": what differs between two censuses.
    static QString difference(const Census &before, const Census &after);
};
