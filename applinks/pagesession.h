#pragma once

#include "applicationsession.h"

#include "utils/taskpagewidget.h"

#include <QPointer>

class AppTranceiver;
class PageHost;

// An application that is one task page (a terminal, the dictionary editor). The page has taken the
// transport; the session puts the page on the task bar and, when the transport disconnects, takes
// it off and deletes it, unless the page stays as an ended page.
class PageSession : public ApplicationSession
{
    Q_OBJECT

public:
    PageSession(TaskPageWidget *page, AppTranceiver *transport, PageHost *host, QObject *parent = nullptr);

    TaskPageWidget *page() const { return m_page; }
    QList<TaskPageWidget *> pages() const override;

protected:
    void releasePages() override;

private:
    void transportDisconnected();

    QPointer<TaskPageWidget> m_page;
    QPointer<AppTranceiver> m_transport;
    PageHost *m_host;
    QPointer<QObject> m_hostObject;
};
