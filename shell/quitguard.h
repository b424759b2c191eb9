#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class SessionRouter;
class TaskManager;
class QWidget;

// The questions before the desktop goes: server programs that cannot be ended from here make it a
// forced quit (asked twice), and pages that would lose something (a terminal program, dictionary
// changes) are named. The questions open without a nested event loop.
class QuitGuard : public QObject
{
    Q_OBJECT

public:
    QuitGuard(QWidget *window, SessionRouter *router, TaskManager *tasks);

    // True when nothing needs asking. Otherwise the questions open and `agreed` runs once the user
    // agrees to all of them (never if they cancel, or this guard is gone).
    bool mayQuit(std::function<void()> agreed);

private:
    bool forcedQuitNeeded() const;
    QStringList losses() const;
    void askForcedQuit(std::function<void()> agreed);
    void askLosingWork(const QStringList &losses, std::function<void()> agreed);

    QWidget *m_window;
    QPointer<SessionRouter> m_router;
    QPointer<TaskManager> m_tasks;
    bool m_asking = false;
};
