#pragma once

#include "apptranceiver.h"

#include <QAbstractSocket>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <functional>

class ApplicationConnection;
class ChannelTranceiver;
class PageHost;
class QTcpServer;
class TaskPageWidget;

// Where server applications arrive: the table of open hub channels, the debug listener's
// connections, and the switch from an application's kind (learnt from its handshake) to what
// serves it. Classic applications become ApplicationConnections here; the other kinds become the
// pages their factories make, which the desktop registers, since those page kinds sit above this
// folder. Every page reaches the task bar through the PageHost.
class SessionRouter : public QObject
{
    Q_OBJECT

public:
    // Makes the page of one application; it takes over the transport.
    using PageFactory = std::function<TaskPageWidget *(AppTranceiver *transport)>;

    SessionRouter(PageHost *host, QTcpServer *listener, QObject *parent = nullptr);
    ~SessionRouter() override;

    void setPageFactory(AppTranceiver::AppType type, PageFactory factory);

    int openChannelCount() const { return m_channels.size(); }
    int classicSessionCount() const { return m_classicSessions.size(); }
    QList<ApplicationConnection *> classicSessions() const { return m_classicSessions.values(); }

public slots:
    void hubChannelState(ushort channelId, bool isConnected);
    void hubChannelMessageRcvd(ushort channelId, const char *data, int dataLength);
    // The hub link is gone: every channel closes.
    void destroyHubConnections();

signals:
    void hubChannelMessageSend(ushort channelId, QByteArray data);
    // Applications that were running were closed by a lost hub link.
    void applicationsLost();
    void printDocument(QString text);
    void viewData(QString title, QByteArray data);

private:
    void socketNewConnection();
    void socketAcceptError(QAbstractSocket::SocketError socketError);
    void transportAppTypeChanged(AppTranceiver::AppType type);
    void classicSessionDisconnected();

    PageHost *m_host;
    QPointer<QObject> m_hostObject;
    QPointer<QTcpServer> m_listener;
    QHash<int, PageFactory> m_pageFactories;
    QSet<ApplicationConnection *> m_classicSessions;
    QMap<ushort, QPointer<ChannelTranceiver>> m_channels;
};
