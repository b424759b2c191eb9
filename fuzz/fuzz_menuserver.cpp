#include "fuzzsupport.h"
#include "fuzzmenuhub.h"

#include "menuserver.h"

// Menu envelopes from a client, after the client's own handshake and login (or, when the input's
// first envelope is itself a login, from the start).
namespace {

FuzzMenuHub &hub()
{
    static FuzzMenuHub made;
    return made;
}

} // namespace

QList<QByteArray> fuzzSeeds()
{
    const QList<QByteArray> toServer = hub().recordExchange().toServer;
    QList<QByteArray> seeds { joinMessages(toServer) };
    for (const QByteArray &message : toServer)
        seeds.append(message);
    return seeds;
}

void fuzzOne(const QByteArray &input)
{
    static int inputs = 0;
    if (++inputs % 1000 == 0)
        hub().wipe();
    MenuServer server(hub().context(), QStringLiteral("fuzz"));
    for (const QByteArray &message : splitMessages(input))
        server.processMessage(message);
}
