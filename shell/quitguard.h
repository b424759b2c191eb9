#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class SessionRouter;
class TaskManager;
class QWidget;

// The questions before the desktop goes (quitting or logging out): server programs that cannot be
// ended from here make it a forced quit (asked twice), and pages that would lose something (a
// terminal program, dictionary changes, text typed into an ended page) are named. The questions
// open without a nested event loop.
class QuitGuard : public QObject
{
    Q_OBJECT

public:
    // What the user is about to do: both end every program and page of the desktop.
    enum class Leaving { Quit, LogOut };

    QuitGuard(QWidget *window, SessionRouter *router, TaskManager *tasks);

    // True when nothing needs asking. Otherwise the questions open and `agreed` runs once the user
    // agrees to all of them (never if they cancel, or this guard is gone).
    bool mayQuit(std::function<void()> agreed) { return mayLeave(Leaving::Quit, std::move(agreed)); }
    bool mayLeave(Leaving leaving, std::function<void()> agreed);

private:
    bool forcedQuitNeeded() const;
    QStringList losses() const;
    void askForcedQuit(Leaving leaving, std::function<void()> agreed);
    void askLosingWork(Leaving leaving, const QStringList &losses, std::function<void()> agreed);

    QWidget *m_window;
    QPointer<SessionRouter> m_router;
    QPointer<TaskManager> m_tasks;
    bool m_asking = false;
};
