#pragma once

#include <QHostAddress>
#include <QMap>
#include <QPointer>
#include <QSslConfiguration>
#include <QTcpServer>

class HubClientSession;
struct DevHubContext;
struct UpdateOffer;

// The TLS listener: every accepted connection becomes a HubClientSession with the hub's
// certificate. Also the operator's handle on the connected clients.
class DevHubServer : public QTcpServer
{
    Q_OBJECT

public:
    static constexpr int MaxClients = 64;
    // One address cannot take every slot.
    static constexpr int MaxClientsPerAddress = 16;

    struct ClientInfo
    {
        int id = 0;
        QString peer;
        QString userName;
        QString version;
        int channels = 0;
    };

    DevHubServer(const DevHubContext &context, const QSslConfiguration &tls, QObject *parent = nullptr);
    ~DevHubServer() override;

    QVector<ClientInfo> clients() const;
    int clientCount() const { return m_sessions.size(); }

    // Each returns how many clients it reached; clientId 0 means all of them.
    int notify(const QString &text);
    int sendStatus(int type, const QString &text);
    int forceDisconnect(int clientId, const QString &text);
    int offerUpdate(const UpdateOffer &offer);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    const DevHubContext &m_context;
    QSslConfiguration m_tls;
    QMap<int, QPointer<HubClientSession>> m_sessions;
    int m_nextId = 1;
};
