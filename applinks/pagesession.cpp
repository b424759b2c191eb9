#include "pagesession.h"

#include "apptranceiver.h"
#include "pagehost.h"

PageSession::PageSession(TaskPageWidget *page, AppTranceiver *transport, PageHost *host, QObject *parent)
    : ApplicationSession(parent)
    , m_page(page)
    , m_host(host)
    , m_hostObject(host ? host->hostObject() : nullptr)
{
    connect(transport, &AppTranceiver::disconnected, this, &PageSession::transportDisconnected);
    page->setAttached(true);
    if (m_hostObject)
        m_host->addTaskPage(page);
}

void PageSession::transportDisconnected()
{
    if (m_page) {
        if (m_hostObject)
            m_host->removeTaskPage(m_page, false);
        m_page->deleteLater();
    }
    emit ended();
}
