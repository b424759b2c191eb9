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

class ApplicationSession;
class ChannelTranceiver;
class PageHost;
class QTcpServer;

// Makes what serves an application of one kind; it takes over the transport. The host may be
// null (the desktop is gone); a kind that needs one returns null then.
using SessionFactory = std::function<ApplicationSession *(AppTranceiver *transport, PageHost *host)>;
// One factory per application kind (AppTranceiver::AppType).
using SessionFactories = QHash<int, SessionFactory>;

// Where server applications arrive: the table of open hub channels, the debug listener's
// connections, and the switch from an application's kind (learnt from its handshake) to the
// session its factory makes. It knows no kind itself: the factories are registered above.
//
// A hub link that is lost ends every application on it, but not their pages: each session leaves
// them as ended pages. An application that ends while the link is up takes its pages with it.
class SessionRouter : public QObject
{
    Q_OBJECT

public:
    // Each application is a page or more and a task button: a server starting ever more is stopped here.
    static constexpr int MaxSessions = 64;

    SessionRouter(PageHost *host, QTcpServer *listener, SessionFactories factories, QObject *parent = nullptr);
    ~SessionRouter() override;

    int openChannelCount() const { return m_channels.size(); }
    QList<ApplicationSession *> sessions() const;
    // Sessions whose programs make quitting a forced quit.
    QList<ApplicationSession *> sessionsHoldingQuit() const;

public slots:
    void hubChannelState(ushort channelId, bool isConnected);
    void hubChannelMessageRcvd(ushort channelId, const char *data, int dataLength);
    // The hub link is gone: every channel closes, and the pages of their programs stay as ended pages.
    void destroyHubConnections();
    // Whether the hub answers; sessions on hub channels say so on their pages while it does not.
    void setHubAnswering(bool answering);

signals:
    // redacted: the sender's blanked form of data for a recording, or null (see AppTranceiver).
    void hubChannelMessageSend(ushort channelId, QByteArray data, QByteArray redacted);
    // Applications that were running were ended by a lost hub link; `keptPrograms` of them left
    // their pages as ended pages.
    void applicationsLost(int keptPrograms);
    void hubAnsweringChanged(bool answering);
    void printDocument(QString text);
    void viewData(QString title, QByteArray data);
    // A session on a hub channel cannot keep up: the hub link should stop reading while held.
    void hubReadingHeld(QObject *holder, bool held);
    // Something for the user's status line: an application that was not opened.
    void notice(QString text);

private:
    void socketNewConnection();
    void socketAcceptError(QAbstractSocket::SocketError socketError);
    void transportAppTypeChanged(AppTranceiver::AppType type);

    PageHost *m_host;
    QPointer<QObject> m_hostObject;
    QPointer<QTcpServer> m_listener;
    const SessionFactories m_factories;
    QSet<ApplicationSession *> m_sessions;
    QMap<ushort, QPointer<ChannelTranceiver>> m_channels;
    // While the lost link's channels close: the ended pages' notice, and how many programs left pages.
    QString m_lostNotice;
    int m_keptPrograms = 0;
    bool m_hubAnswering = true;
};
