#include "fuzzsupport.h"
#include "fuzzmenuhub.h"

#include "menu/mainconnection.h"
#include "menu/menuitem.h"

#include <memory>

// Menu envelopes from the server to a client that has just sent its login. The client chooses a
// release when asked and, once connected, has one file request of each kind open, as a desktop
// would.

QList<QByteArray> fuzzSeeds()
{
    FuzzMenuHub hub;
    return exchangeSeeds(hub.recordExchange().toClient);
}

void fuzzOne(const QByteArray &input)
{
    MainConnection session;
    FuzzFileWorker worker;
    QObject::connect(&session, &MainConnection::menuReceived, &session,
                     [](MenuItem *root) { std::unique_ptr<MenuItem> owned(root); });
    session.setCredentials(QStringLiteral("demo"), QStringLiteral("demo"));
    session.startMenuConnection();
    session.menuConnected();
    bool requestsOpen = false;
    for (const QByteArray &message : splitMessages(input)) {
        session.processMessage(message.constData(), message.size());
        if (session.state() == MainConnection::ChoosingRelease)
            session.setRelease(QStringLiteral("r1"), QStringLiteral("Release"));
        if (session.state() == MainConnection::Connected && !requestsOpen) {
            FuzzMenuHub::openFileRequests(session, &worker);
            requestsOpen = true;
        }
    }
}
