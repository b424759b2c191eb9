#include "fuzzsupport.h"
#include "fuzzmenuhub.h"

#include "menu/abstractremotefileworker.h"
#include "menu/mainconnection.h"
#include "menu/menuitem.h"

#include <memory>

// Menu envelopes from the server to a client that has just sent its login. The client chooses the
// first release offered and, once connected, has one file request of each kind open, as a
// desktop would.
namespace {

class Worker : public QObject, public AbstractRemoteFileWorker
{
public:
    void fileRespInfoData(QVariant, const Menu::FileInfoData *, QString) override { }
    void fileRespFile(QVariant, QByteArray, QString) override { }
    void fileRespUpload(QVariant, QString) override { }
    void fileRespRename(QVariant, QString) override { }
    void fileRespCopy(QVariant, QString) override { }
    void fileRespDelete(QVariant, QString) override { }
    void fileRespPrint(QVariant, QString) override { }
};

void openRequests(MainConnection &session, Worker *worker)
{
    session.requestFileInfo(worker, QString(), QString(), true, QString());
    session.requestFile(worker, QString(), QStringLiteral("/README.txt"));
    session.uploadFile(worker, QString(), QStringLiteral("/upload.txt"), "text\n", true, false);
    session.renameFile(worker, QString(), QStringLiteral("/a"), QStringLiteral("/b"));
    session.copyFile(worker, QString(), QStringLiteral("/b"), QStringLiteral("/c"));
    session.printFile(worker, QString(), QStringLiteral("/c"), QStringLiteral("office"), QString());
    session.deleteFile(worker, QString(), QStringLiteral("/c"));
}

} // namespace

QList<QByteArray> fuzzSeeds()
{
    FuzzMenuHub hub;
    const QList<QByteArray> toClient = hub.recordExchange().toClient;
    QList<QByteArray> seeds { joinMessages(toClient) };
    for (const QByteArray &message : toClient)
        seeds.append(message);
    return seeds;
}

void fuzzOne(const QByteArray &input)
{
    MainConnection session;
    Worker worker;
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
            openRequests(session, &worker);
            requestsOpen = true;
        }
    }
}
