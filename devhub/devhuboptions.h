#pragma once

#include "devhubcontext.h"

#include <QHostAddress>
#include <QString>

// Everything the command line sets.
struct DevHubOptions
{
    static constexpr quint16 DefaultPort = 4433;

    QHostAddress address { QHostAddress::LocalHost };
    quint16 port = DefaultPort;
    quint16 webPort = 0; // 0: any free port
    QString dataDir; // empty: the per-user application-data folder of zu-devhub
    QString configPath; // empty: the built-in configuration
    bool console = true;
    bool verbose = false;
    QString recordPath; // empty: no recording of the hub's side
    // How long a client may stay connected without logging in, and without sending anything.
    int loginTimeoutMs = 120000;
    int idleTimeoutMs = 600000;
    // Everything the hub and its applications send is held this long: a slow link.
    int latencyMs = 0;

    // Done to every client as it arrives.
    QString notify;
    QString status;
    QString forceDisconnect;
    UpdateOffer update;

    // Debug-port mode: one application against a client's debug listener.
    QString attachHost;
    quint16 attachPort = 0;
    QString app;
    QString user;
};
