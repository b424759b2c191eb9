#pragma once

#include <QString>

class QObject;
class QWidget;
class TaskPageWidget;

// What an application session needs of the desktop: a parent for new pages, pages put on and taken
// off the task bar, menu titles and help. The main window implements it; tests use a small fake.
// Sessions hold the host beside a QPointer to hostObject(), so a host that is gone is never called.
class PageHost
{
public:
    virtual ~PageHost() = default;

    // The object whose destruction ends the host.
    virtual QObject *hostObject() = 0;

    // Where an attached page lives until the task bar takes it.
    virtual QWidget *pageParent() = 0;
    virtual void addTaskPage(TaskPageWidget *page) = 0;
    // A delayed removal lets the task manager dispose of the page when it is done with it.
    virtual void removeTaskPage(TaskPageWidget *page, bool delayed) = 0;
    virtual void reattachTaskPage(TaskPageWidget *page) = 0;
    // The title of the menu item with that path; empty when the menu has none.
    virtual QString menuTitleForPath(const QString &menuPath) const = 0;
    virtual void showHelpTopic(const QString &topic) = 0;
};
