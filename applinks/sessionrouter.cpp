#include "sessionrouter.h"

#include "applicationconnection.h"
#include "channeltranceiver.h"
#include "pagehost.h"
#include "sockettranceiver.h"

#include "utils/taskpagewidget.h"

#include <QDebug>
#include <QTcpServer>

SessionRouter::SessionRouter(PageHost *host, QTcpServer *listener, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_hostObject(host ? host->hostObject() : nullptr)
    , m_listener(listener)
{
    if (listener) {
        connect(listener, &QTcpServer::newConnection, this, &SessionRouter::socketNewConnection);
        connect(listener, &QTcpServer::acceptError, this, &SessionRouter::socketAcceptError);
    }
}

// Sessions take their pages off the task bar as they go, so they go while the host still exists.
// The transports are our children and die after this body: their destroyed() must not reach the
// channel table any more.
SessionRouter::~SessionRouter()
{
    const QList<ApplicationConnection *> sessions
        = findChildren<ApplicationConnection *>(QString(), Qt::FindDirectChildrenOnly);
    m_classicSessions.clear();
    qDeleteAll(sessions);
    for (const QPointer<ChannelTranceiver> &transport : qAsConst(m_channels))
        if (transport)
            transport->disconnect(this);
    m_channels.clear();
}

void SessionRouter::setPageFactory(AppTranceiver::AppType type, PageFactory factory)
{
    m_pageFactories.insert(type, std::move(factory));
}

void SessionRouter::hubChannelState(ushort channelId, bool isConnected)
{
    qInfo() << "Channel" << channelId << " isConnected:" << isConnected;
    if (isConnected) {
        if (m_channels.contains(channelId))
            return;
        auto *transport = new ChannelTranceiver(channelId, this);
        connect(transport, &AppTranceiver::appTypeChanged, this, &SessionRouter::transportAppTypeChanged);
        connect(transport, &ChannelTranceiver::channelDataSend, this, &SessionRouter::hubChannelMessageSend);
        // The table must never point at a transport that is gone.
        connect(transport, &QObject::destroyed, this, [this, channelId, transport] {
            if (m_channels.value(channelId) == nullptr || m_channels.value(channelId) == transport)
                m_channels.remove(channelId);
        });
        m_channels.insert(channelId, transport);
        return;
    }
    const auto it = m_channels.find(channelId);
    if (it == m_channels.end())
        return;
    QPointer<ChannelTranceiver> transport = it.value();
    m_channels.erase(it);
    if (transport)
        transport->channelDisconnected();
}

void SessionRouter::hubChannelMessageRcvd(ushort channelId, const char *data, int dataLength)
{
    if (ChannelTranceiver *transport = m_channels.value(channelId))
        transport->channelDataRcvd(data, dataLength);
}

void SessionRouter::destroyHubConnections()
{
    const bool hadChannels = !m_channels.isEmpty();
    while (!m_channels.isEmpty())
        hubChannelState(m_channels.firstKey(), false);
    if (hadChannels)
        emit applicationsLost();
}

void SessionRouter::socketNewConnection()
{
    qDebug() << "INCOMING!";
    while (m_listener && m_listener->hasPendingConnections()) {
        auto *transport = new SocketTranceiver(m_listener->nextPendingConnection(), this);
        connect(transport, &AppTranceiver::appTypeChanged, this, &SessionRouter::transportAppTypeChanged);
    }
}

void SessionRouter::socketAcceptError(QAbstractSocket::SocketError socketError)
{
    qWarning() << "Socket Accept Error:" << socketError;
}

void SessionRouter::transportAppTypeChanged(AppTranceiver::AppType type)
{
    auto *transport = qobject_cast<AppTranceiver *>(sender());
    if (!transport)
        return;
    PageHost *host = m_hostObject ? m_host : nullptr;
    if (type == AppTranceiver::Classic) {
        auto *session = new ApplicationConnection(transport, host, this);
        m_classicSessions.insert(session);
        connect(session, &ApplicationConnection::disconnected, this, &SessionRouter::classicSessionDisconnected);
        connect(session, &ApplicationConnection::printDocument, this, &SessionRouter::printDocument,
                Qt::QueuedConnection);
        connect(session, &ApplicationConnection::viewData, this, &SessionRouter::viewData);
        return;
    }
    const PageFactory factory = m_pageFactories.value(type);
    TaskPageWidget *page = factory && host ? factory(transport) : nullptr;
    if (!page) {
        qCritical() << "Unknown application type:" << int(type);
        transport->deleteLater();
        return;
    }
    // On the task bar until its transport (the page's own) disconnects.
    QPointer<TaskPageWidget> guard(page);
    connect(transport, &AppTranceiver::disconnected, this, [this, guard] {
        if (!guard)
            return;
        if (m_hostObject)
            m_host->removeTaskPage(guard, false);
        guard->deleteLater();
    });
    page->setAttached(true);
    host->addTaskPage(page);
}

void SessionRouter::classicSessionDisconnected()
{
    auto *session = qobject_cast<ApplicationConnection *>(sender());
    if (!session || !m_classicSessions.remove(session))
        return;
    session->deleteLater();
}
