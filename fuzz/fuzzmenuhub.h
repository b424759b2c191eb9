#pragma once

#include "devhubconfig.h"
#include "devhubcontext.h"
#include "userstore.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTemporaryDir>

#include <memory>

class MainConnection;
class MenuServer;

// Stands for the desktop's file browser: the context of file requests whose replies are dropped.
class FuzzFileWorker : public QObject
{
};

// The stand-in hub's shared state for menu servers on a private data folder: the built-in
// configuration and its users, homes and print spool.
class FuzzMenuHub
{
public:
    FuzzMenuHub();
    ~FuzzMenuHub();

    const DevHubContext &context() const { return m_context; }
    // Homes and spool emptied, so that what earlier inputs uploaded does not pile up.
    void wipe();

    // The client's own menu session played against a menu server: a login, the release choice,
    // the menu, listings, a download, an upload, a rename, a copy, a delete and a print. What each
    // side received, one envelope per entry.
    struct Exchange
    {
        QList<QByteArray> toServer;
        QList<QByteArray> toClient;
    };
    Exchange recordExchange();

    // One file request of each kind, in a fixed order, so that request ids 1 to 7 are open.
    static void openFileRequests(MainConnection &session, FuzzFileWorker *worker);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<DevHubConfig> m_config;
    std::unique_ptr<UserStore> m_users;
    DevHubContext m_context;
};
