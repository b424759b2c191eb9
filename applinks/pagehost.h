#pragma once

#include <QString>

class ClassicApplicationWidget;
class QObject;
class TaskPageWidget;

// What an application session needs of the desktop: pages made, put on and taken off the task bar,
// menu titles and help. The main window implements it; tests use a small fake. Sessions hold the
// host beside a QPointer to hostObject(), so a host that is gone is never called.
class PageHost
{
public:
    virtual ~PageHost() = default;

    // The object whose destruction ends the host.
    virtual QObject *hostObject() = 0;

    // A page for a classic application's window, attached but not yet on the task bar.
    virtual ClassicApplicationWidget *createClassicPage(uint windowId, const QString &menuTitle,
                                                        bool solo) = 0;
    virtual void addTaskPage(TaskPageWidget *page) = 0;
    // A delayed removal lets the task manager dispose of the page when it is done with it.
    virtual void removeTaskPage(TaskPageWidget *page, bool delayed) = 0;
    virtual void reattachTaskPage(TaskPageWidget *page) = 0;
    // The title of the menu item with that path; empty when the menu has none.
    virtual QString menuTitleForPath(const QString &menuPath) const = 0;
    virtual void showHelpTopic(const QString &topic) = 0;
};
