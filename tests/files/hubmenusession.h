#pragma once

#include "devhubfixture.h"
#include "hubtestclient.h"

#include "menu/mainconnection.h"

// The client's own menu session (MainConnection) logged in as demo/demo with the first release to a
// stand-in hub running in this process: what the desktop's file features talk to in real use.
class HubMenuSession
{
public:
    HubMenuSession();

    // Starts the hub and logs in; false, with a warning, when any step fails.
    bool start();

    MainConnection &connection() { return m_session; }
    DevHubFixture &hub() { return m_hub; }
    // The demo user's home directory on disk.
    QString home() const { return m_hub.homeOf(QStringLiteral("demo")); }

private:
    DevHubFixture m_hub;
    HubTestClient m_link;
    MainConnection m_session;
};
