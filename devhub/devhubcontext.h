#pragma once

#include <QString>

class DevHubConfig;
class UserStore;

// A client update offered in HelloAck.
struct UpdateOffer
{
    QString version;
    QString installerUrl;
    bool required = false;

    bool isSet() const { return !version.isEmpty() || required; }
};

// What every session of one hub shares: the configuration, the users' state, where files live,
// and what the operator asked to be done to each client as it arrives.
struct DevHubContext
{
    const DevHubConfig *config = nullptr;
    UserStore *users = nullptr;
    QString dataDir; // the hub's data directory
    QString homesDir; // one directory per user below it
    QString spoolDir; // one directory per printer below it
    quint16 webPort = 0; // the report server's port; 0 when it is not running
    quint16 installerPort = 0; // the HTTPS server of the demo installer; 0 when it is not running

    UpdateOffer update;
    QString notifyOnConnect; // Notify after HelloAck
    QString disconnectOnConnect; // ForceDisconnect after HelloAck
    QString statusOnLogin; // menu StatusMessage (warning) after a successful login

    // How long a connection may stay without logging in, and without sending anything at all.
    int loginTimeoutMs = 120000;
    int idleTimeoutMs = 600000;
    // How long everything sent to a client is held first (--latency).
    int latencyMs = 0;

    // Each connection's frames go into a session recording: the first into this file, later ones
    // into "<name>-<connection>.<suffix>" beside it. Empty: none.
    QString recordPath;
};
