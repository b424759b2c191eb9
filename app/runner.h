#pragma once

#include "hub/hostentry.h"

#include <QObject>
#include <QPointer>

#include <memory>

class ClientIdentity;
class HubConnection;
class QNetworkAccessManager;
class QTcpServer;
class QWidget;

// Drives the client from start-up to login: parses the command line once the event loop runs,
// opens the debug listener, and owns the hub link (and through it the menu session) for the life of the
// process.
class Runner : public QObject
{
    Q_OBJECT

public:
    explicit Runner(const ClientIdentity *identity, QObject *parent = nullptr);
    ~Runner() override;

    static constexpr quint16 DefaultHubPort = 4433;

    const HostEntry &commandLineHost() const { return m_commandLineHost; }
    QTcpServer *debugServer() const { return m_debugServer; }
    HubConnection *hubConnection() const { return m_hubConnection; }

public slots:
    void run();

private:
    void registerFonts();
    void openDebugListener(quint16 port);
    void showStartWindow();

    const ClientIdentity *m_identity;
    QNetworkAccessManager *m_network = nullptr;
    QTcpServer *m_debugServer = nullptr;
    HubConnection *m_hubConnection = nullptr;
    HostEntry m_commandLineHost;
    std::unique_ptr<QWidget> m_startWindow;
};
