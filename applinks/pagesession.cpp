#include "pagesession.h"

#include "apptranceiver.h"
#include "pagehost.h"

PageSession::PageSession(TaskPageWidget *page, AppTranceiver *transport, PageHost *host, QObject *parent)
    : ApplicationSession(parent)
    , m_page(page)
    , m_transport(transport)
    , m_host(host)
    , m_hostObject(host ? host->hostObject() : nullptr)
{
    followTransport(transport);
    connect(transport, &AppTranceiver::disconnected, this, &PageSession::transportDisconnected);
    page->setAttached(true);
    if (m_hostObject)
        m_host->addTaskPage(page);
}

QList<TaskPageWidget *> PageSession::pages() const
{
    if (!m_page)
        return {};
    return { m_page.data() };
}

// The page owns the transport: it goes, so that the page can never send on a channel number the
// next link gives to another program.
void PageSession::releasePages()
{
    m_page = nullptr;
    if (m_transport) {
        m_transport->disconnect();
        m_transport->deleteLater();
    }
}

void PageSession::transportDisconnected()
{
    // The router asks for the page to stay while this signal is delivered.
    emit ended();
    if (m_page) {
        if (m_hostObject)
            m_host->removeTaskPage(m_page, false);
        m_page->deleteLater();
    }
}
