#pragma once

#include "flyout.h"

#include "menu/mainconnection.h"

#include <QPointer>

// The user's scheduled processes, each with a button to remove it.
class ScheduledProcessFlyout : public Flyout
{
    Q_OBJECT

public:
    static ScheduledProcessFlyout *showFlyout(const MainConnection::SchedProcList &list, const QRect &anchor,
                                              ScheduledProcesses *processes);
    static ScheduledProcessFlyout *current() { return s_current; }
    ~ScheduledProcessFlyout() override;

signals:
    void removeProcessRequested(int procId);

private slots:
    void removeButtonClicked();

private:
    explicit ScheduledProcessFlyout(const MainConnection::SchedProcList &list);

    static QPointer<ScheduledProcessFlyout> s_current;
};
