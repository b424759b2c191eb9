#include "fuzzsupport.h"
#include "fuzzmenuhub.h"

#include "menuserver.h"

// Menu envelopes from a client, from the start of its menu connection; the seeds are the client's
// own session, which logs in as the demo user first. Uploads land in a private data folder.
namespace {

FuzzMenuHub &hub()
{
    static FuzzMenuHub made;
    return made;
}

} // namespace

QList<QByteArray> fuzzSeeds()
{
    return exchangeSeeds(hub().recordExchange().toServer);
}

void fuzzOne(const QByteArray &input)
{
    static int inputs = 0;
    if (++inputs % 1000 == 0)
        hub().wipe(); // what uploads and logins wrote would slow every later input
    MenuServer server(hub().context(), QStringLiteral("fuzz"));
    for (const QByteArray &message : splitMessages(input))
        server.processMessage(message);
}
