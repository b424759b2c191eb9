#include "devhubserver.h"

#include <algorithm>

#include "devhubcontext.h"
#include "hubclientsession.h"

#include <QDebug>
#include <QSslSocket>

DevHubServer::DevHubServer(const DevHubContext &context, const QSslConfiguration &tls, QObject *parent)
    : QTcpServer(parent)
    , m_context(context)
    , m_tls(tls)
{ }

DevHubServer::~DevHubServer()
{
    // Sessions first: their applications end before the context they use goes away.
    for (const QPointer<HubClientSession> &session : qAsConst(m_sessions))
        delete session.data();
}

void DevHubServer::incomingConnection(qintptr socketDescriptor)
{
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        qWarning().noquote() << QStringLiteral("cannot accept a connection: %1").arg(socket->errorString());
        delete socket;
        return;
    }
    if (m_sessions.size() >= MaxClients) {
        qWarning().noquote() << QStringLiteral("connection from %1 refused: %2 clients are connected already")
                                    .arg(socket->peerAddress().toString())
                                    .arg(MaxClients);
        socket->abort();
        socket->deleteLater();
        return;
    }
    const QHostAddress peer = socket->peerAddress();
    const int fromPeer = int(std::count_if(m_sessions.cbegin(), m_sessions.cend(),
                                           [&peer](const QPointer<HubClientSession> &session) {
                                               return session && session->peerAddress() == peer;
                                           }));
    if (fromPeer >= MaxClientsPerAddress) {
        qWarning().noquote() << QStringLiteral("connection from %1 refused: %2 clients from that address already")
                                    .arg(peer.toString())
                                    .arg(MaxClientsPerAddress);
        socket->abort();
        socket->deleteLater();
        return;
    }
    socket->setSslConfiguration(m_tls);
    const int id = m_nextId++;
    auto *session = new HubClientSession(id, socket, m_context, this);
    connect(session, &HubClientSession::finished, this, [this](int finishedId) {
        const QPointer<HubClientSession> finished = m_sessions.take(finishedId);
        if (finished)
            finished->deleteLater();
    });
    m_sessions.insert(id, session);
    session->startEncryption();
}

QVector<DevHubServer::ClientInfo> DevHubServer::clients() const
{
    QVector<ClientInfo> result;
    for (const QPointer<HubClientSession> &session : m_sessions) {
        if (!session || session->state() == HubClientSession::State::Closed)
            continue;
        result.append({ session->id(), session->peer(), session->userName(), session->clientVersion(),
                        session->channelCount() });
    }
    return result;
}

int DevHubServer::notify(const QString &text)
{
    int reached = 0;
    for (const QPointer<HubClientSession> &session : qAsConst(m_sessions)) {
        if (session && session->state() == HubClientSession::State::Ready) {
            session->notify(text);
            ++reached;
        }
    }
    return reached;
}

int DevHubServer::sendStatus(int type, const QString &text)
{
    int reached = 0;
    for (const QPointer<HubClientSession> &session : qAsConst(m_sessions)) {
        if (session && session->sendStatus(type, text))
            ++reached;
    }
    return reached;
}

int DevHubServer::forceDisconnect(int clientId, const QString &text)
{
    int reached = 0;
    // forceDisconnect() may finish a session, which changes the map: work on a copy.
    const auto sessions = m_sessions;
    for (const QPointer<HubClientSession> &session : sessions) {
        if (session && (clientId == 0 || session->id() == clientId)
            && session->state() == HubClientSession::State::Ready) {
            session->forceDisconnect(text);
            ++reached;
        }
    }
    return reached;
}

int DevHubServer::offerUpdate(const UpdateOffer &offer)
{
    int reached = 0;
    for (const QPointer<HubClientSession> &session : qAsConst(m_sessions)) {
        if (session && session->state() == HubClientSession::State::Ready) {
            session->offerUpdate(offer);
            ++reached;
        }
    }
    return reached;
}
