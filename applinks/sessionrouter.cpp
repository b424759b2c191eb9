#include "sessionrouter.h"

#include "applicationsession.h"
#include "channeltranceiver.h"
#include "pagehost.h"
#include "sockettranceiver.h"

#include <QDebug>
#include <QTcpServer>
#include <QTime>

#include <algorithm>

SessionRouter::SessionRouter(PageHost *host, QTcpServer *listener, SessionFactories factories, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_hostObject(host ? host->hostObject() : nullptr)
    , m_listener(listener)
    , m_factories(std::move(factories))
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
    const QList<ApplicationSession *> running = sessions();
    m_sessions.clear();
    qDeleteAll(running);
    for (const QPointer<ChannelTranceiver> &transport : qAsConst(m_channels))
        if (transport)
            transport->disconnect(this);
    m_channels.clear();
}

QList<ApplicationSession *> SessionRouter::sessions() const
{
    return m_sessions.values();
}

QList<ApplicationSession *> SessionRouter::sessionsHoldingQuit() const
{
    QList<ApplicationSession *> holding = sessions();
    holding.erase(std::remove_if(holding.begin(), holding.end(),
                                 [](const ApplicationSession *session) { return !session->holdsQuit(); }),
                  holding.end());
    return holding;
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
    if (m_channels.isEmpty())
        return;
    m_lostNotice = tr("The connection was lost at %1; this program has ended on the server.")
                       .arg(QTime::currentTime().toString(QStringLiteral("HH:mm")));
    m_keptPrograms = 0;
    while (!m_channels.isEmpty())
        hubChannelState(m_channels.firstKey(), false);
    m_lostNotice.clear();
    qInfo() << "SessionRouter - the hub link was lost; programs whose pages stay:" << m_keptPrograms;
    emit applicationsLost(m_keptPrograms);
}

void SessionRouter::setHubAnswering(bool answering)
{
    if (answering == m_hubAnswering)
        return;
    m_hubAnswering = answering;
    emit hubAnsweringChanged(answering);
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
    if (type != AppTranceiver::Invalid && m_sessions.size() >= MaxSessions) {
        qWarning() << "SessionRouter - an application refused:" << MaxSessions << "applications are open";
        emit notice(QStringLiteral("%1 programs are open; close some to start more.").arg(MaxSessions));
        transport->deleteLater();
        return;
    }
    const SessionFactory factory = m_factories.value(type);
    ApplicationSession *session = factory ? factory(transport, m_hostObject ? m_host : nullptr) : nullptr;
    if (!session) {
        qCritical() << "Unknown application type:" << int(type);
        transport->deleteLater();
        return;
    }
    session->setParent(this);
    m_sessions.insert(session);
    connect(session, &ApplicationSession::ended, this, [this, session] {
        if (!m_sessions.remove(session))
            return;
        if (!m_lostNotice.isEmpty() && session->keepPagesEnded(m_lostNotice))
            ++m_keptPrograms;
        session->deleteLater();
    });
    connect(session, &ApplicationSession::printDocument, this, &SessionRouter::printDocument,
            Qt::QueuedConnection);
    connect(session, &ApplicationSession::viewData, this, &SessionRouter::viewData);
    // Only the hub link can be held or fall silent; a debug connection has TCP of its own.
    if (qobject_cast<ChannelTranceiver *>(transport)) {
        connect(session, &ApplicationSession::backlogFull, this,
                [this, session](bool full) { emit hubReadingHeld(session, full); });
        connect(this, &SessionRouter::hubAnsweringChanged, session, &ApplicationSession::setHubAnswering);
        if (!m_hubAnswering)
            session->setHubAnswering(false);
    }
}
