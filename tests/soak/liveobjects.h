#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// Every QObject alive in the process, followed through QtCore's object hooks (the ones debugging
// tools use), so that a soak run can tell whether a cycle left objects behind and of which class.
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
    // Live objects by class name. Only meaningful while no other thread makes or deletes objects.
    static Census census();
    // "+2 QTimer, -1 QLabel": what differs between two censuses.
    static QString difference(const Census &before, const Census &after);
};
