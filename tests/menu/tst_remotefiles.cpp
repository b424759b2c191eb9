#include "menusessionfixture.h"

#include "menu/mainconnection.h"
#include "menu/remotefiles.h"
#include "settings/settingsmanager.h"
#include "utils/busymouse.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include "menu.pb.h"

namespace {

// Records every reply it is given; replies never reach it once it is destroyed.
class Worker : public QObject
{
public:
    QStringList calls;
    QByteArray lastData;
    QString lastListing;

    RemoteFiles::ListingReply listing(const QString &tag)
    {
        return [this, tag](const Menu::FileInfoData *data, const QString &error) {
            calls << QString("info %1 %2 [%3]").arg(tag).arg(data ? "data" : "null", error);
            if (data)
                lastListing = QString::fromStdString(data->pathname());
        };
    }
    RemoteFiles::FileReply file(const QString &tag)
    {
        return [this, tag](const QByteArray &data, const QString &error) {
            calls << QString("file %1 [%2]").arg(tag, error);
            lastData = data;
        };
    }
    RemoteFiles::DoneReply done(const QString &what, const QString &tag)
    {
        return [this, what, tag](const QString &error) { calls << QString("%1 %2 [%3]").arg(what, tag, error); };
    }
};

} // namespace

// The remote-file requests of a menu session, driven through the session as the hub delivers replies.
class tst_RemoteFiles : public MenuSessionFixture
{
    Q_OBJECT

private slots:
    void init() { startSession(); }
    void cleanup() { endSession(); }

    // Files are the server's bytes, both ways: no line-end conversion on this workstation.
    void fileRequestsAreByteExact()
    {
        online();
        Worker worker;
        m_mc->files()->requestFile(&worker, "/home/a.txt", worker.file("ctx-get"));
        m_mc->files()->uploadFile(&worker, "/home/b.txt", QByteArray("x\r\ny"), true, false, worker.done("upload", "ctx-up"));
        m_mc->files()->uploadFile(&worker, "/home/c.bin", QByteArray("x\r\n\xe9", 4), false, true, worker.done("upload", "ctx-bin"));
        QCOMPARE(m_sent->size(), 3);

        const Menu::Envelope get = parse(0);
        const quint32 getId = get.filerequest().request_id();
        QVERIFY(getId > 0);
        QCOMPARE(get.filerequest().filename(), std::string("/home/a.txt"));

        const Menu::Envelope up = parse(1);
        QCOMPARE(up.file().request_id(), getId + 1);
        QCOMPARE(up.file().file(), std::string("x\r\ny"));
        QVERIFY(up.file().allow_overwrite());
        QVERIFY(!up.file().has_allow_hidden());
        const Menu::Envelope bin = parse(2);
        QCOMPARE(bin.file().file(), std::string("x\r\n\xe9", 4));
        QVERIFY(bin.file().has_allow_hidden());
        QVERIFY(!bin.file().has_allow_overwrite());

        Menu::Envelope reply;
        reply.mutable_file()->set_request_id(getId);
        reply.mutable_file()->set_file("a\nb");
        feed(reply);
        QCOMPARE(worker.calls, QStringList { "file ctx-get []" });
        QCOMPARE(worker.lastData, QByteArray("a\nb"));

        // Binary data reaches the requester unchanged.
        m_mc->files()->requestFile(&worker, "/home/c.bin", worker.file("ctx-bin-get"));
        reply.mutable_file()->set_request_id(parse(3).filerequest().request_id());
        reply.mutable_file()->set_file(std::string("a\n\xe9", 3));
        feed(reply);
        QCOMPARE(worker.lastData, QByteArray("a\n\xe9", 3));

        // The same number again is unknown now.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("RemoteFiles - reply to unknown request \\d+ dropped"));
        feed(reply);
        QCOMPARE(worker.calls.size(), 2);
    }

    void operationRepliesRouteByKind()
    {
        online();
        Worker worker;
        m_mc->files()->requestFileInfo(&worker, "/home", true, "*.txt", worker.listing("i"));
        m_mc->files()->renameFile(&worker, "a", "b", worker.done("rename", "r"));
        m_mc->files()->copyFile(&worker, "a", "b", worker.done("copy", "c"));
        m_mc->files()->deleteFile(&worker, "a", worker.done("delete", "d"));
        m_mc->files()->printFile(&worker, "a", "lp1", "", worker.done("print", "p"));
        m_mc->files()->printFile(&worker, "a", "lp1", "wide", worker.done("print", "p2"));
        m_mc->files()->requestFile(&worker, "a", worker.file("f"));
        m_mc->files()->uploadFile(&worker, "a", "data", false, false, worker.done("upload", "u"));
        QCOMPARE(m_sent->size(), 8);

        const Menu::Envelope info = parse(0);
        QCOMPARE(info.fileinfodatarequest().directory(), std::string("/home"));
        QVERIFY(info.fileinfodatarequest().include_hidden());
        QCOMPARE(info.fileinfodatarequest().filter(), std::string("*.txt"));
        QVERIFY(!parse(4).printfile().has_formtype());
        QCOMPARE(parse(5).printfile().formtype(), std::string("wide"));

        const quint32 ids[] = { info.fileinfodatarequest().request_id(), parse(1).renamefile().request_id(),
                                parse(2).copyfile().request_id(),        parse(3).deletefile().request_id(),
                                parse(4).printfile().request_id(),       parse(5).printfile().request_id(),
                                parse(6).filerequest().request_id(),     parse(7).file().request_id() };
        for (quint32 id : ids) {
            Menu::Envelope response;
            response.mutable_fileoperationresponse()->set_request_id(id);
            response.mutable_fileoperationresponse()->set_fail_desc("No such file");
            feed(response);
        }
        QCOMPARE(
            worker.calls,
            (QStringList { "info i null [No such file]", "rename r [No such file]", "copy c [No such file]",
                           "delete d [No such file]", "print p [No such file]", "print p2 [No such file]",
                           "file f [No such file]", "upload u [No such file]" }));

        m_mc->files()->requestFileInfo(&worker, "/tmp", false, "", worker.listing("i2"));
        Menu::Envelope listing;
        listing.mutable_fileinfodata()->set_request_id(parse(8).fileinfodatarequest().request_id());
        listing.mutable_fileinfodata()->set_pathname("/tmp");
        feed(listing);
        QCOMPARE(worker.calls.last(), QString("info i2 data []"));
        QCOMPARE(worker.lastListing, QString("/tmp"));

        // A file where a listing was asked for fails the listing; it is not read as one.
        m_mc->files()->requestFileInfo(&worker, "/tmp", false, "", worker.listing("i3"));
        Menu::Envelope wrong;
        wrong.mutable_file()->set_request_id(parse(9).fileinfodatarequest().request_id());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("answered with a reply of another kind"));
        feed(wrong);
        QCOMPARE(worker.calls.last(), QString("info i3 null [The ZU server sent a reply of the wrong kind]"));
    }

    void destroyedRequesterGetsNothing()
    {
        online();
        auto worker = std::make_unique<Worker>();
        m_mc->files()->requestFile(worker.get(), "a", worker->file("x"));
        m_mc->files()->requestFileInfo(worker.get(), "/", false, "", worker->listing("y"));
        m_mc->files()->deleteFile(worker.get(), "a", worker->done("delete", "z"));
        worker.reset();

        Menu::Envelope file;
        file.mutable_file()->set_request_id(parse(0).filerequest().request_id());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("RemoteFiles - reply to request \\d+ dropped: its requester is gone"));
        feed(file);
        Menu::Envelope info;
        info.mutable_fileinfodata()->set_request_id(parse(1).fileinfodatarequest().request_id());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("RemoteFiles - reply to request \\d+ dropped: its requester is gone"));
        feed(info);
        Menu::Envelope op;
        op.mutable_fileoperationresponse()->set_request_id(parse(2).deletefile().request_id());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("RemoteFiles - reply to request \\d+ dropped: its requester is gone"));
        feed(op);
        QVERIFY(!BusyMouse::instance()->pendingReasons().contains("fileRequested"));
    }

    void busyCursorFollowsFileRequests()
    {
        online();
        Worker worker;
        m_mc->files()->requestFile(&worker, "quiet", worker.file("quiet"), RemoteFiles::Cursor::Quiet);
        QVERIFY(!BusyMouse::instance()->pendingReasons().contains("fileRequested"));

        m_mc->files()->requestFile(&worker, "one", worker.file("a"));
        m_mc->files()->requestFile(&worker, "two", worker.file("b"));
        QVERIFY(BusyMouse::instance()->pendingReasons().contains("fileRequested"));

        Menu::Envelope reply;
        reply.mutable_file()->set_request_id(parse(1).filerequest().request_id());
        feed(reply);
        QVERIFY2(BusyMouse::instance()->pendingReasons().contains("fileRequested"),
                 "one reply still pending");
        reply.mutable_file()->set_request_id(parse(2).filerequest().request_id());
        feed(reply);
        QVERIFY(!BusyMouse::instance()->pendingReasons().contains("fileRequested"));
    }

    // A request nobody can answer fails instead of waiting for ever: asked while not connected, or
    // pending when the session goes down.
    void requestsFailWithoutALink()
    {
        Worker worker;
        QTest::ignoreMessage(QtWarningMsg, "RemoteFiles - not connected; request failed");
        m_mc->files()->requestFile(&worker, "/a", worker.file("early"));
        QCOMPARE(m_sent->size(), 0);
        QTRY_COMPARE(worker.calls, QStringList { "file early [Not connected to the ZU server]" });

        online();
        m_mc->files()->uploadFile(&worker, "/b", "data", true, false, worker.done("upload", "up"));
        m_mc->files()->requestFileInfo(&worker, "/", false, QString(), worker.listing("list"));
        QCOMPARE(m_sent->size(), 2);
        m_mc->menuDisconnected("gone");
        QTRY_COMPARE(worker.calls.size(), 3);
        QVERIFY(worker.calls.contains("upload up [The connection to the ZU server was lost]"));
        QVERIFY(worker.calls.contains("info list null [The connection to the ZU server was lost]"));
        QVERIFY(!BusyMouse::instance()->pendingReasons().contains("fileRequested"));
    }

    // Unanswered requests are bounded; those of requesters that are gone make room first.
    void unansweredRequestsAreBounded()
    {
        online();
        QTest::ignoreMessage(QtWarningMsg,
                             "RemoteFiles - too many requests unanswered; request failed");
        {
            Worker gone;
            for (int i = 0; i < 1000; ++i)
                m_mc->files()->requestFile(&gone, "/g", gone.file("quiet"), RemoteFiles::Cursor::Quiet);
        }
        Worker worker;
        int sent = m_sent->size();
        m_mc->files()->requestFile(&worker, "/a", worker.file("room"));
        QCOMPARE(m_sent->size(), sent + 1); // the gone requester's entries made room

        QTest::ignoreMessage(QtWarningMsg,
                             "RemoteFiles - too many requests unanswered; request failed");
        int accepted = 0;
        for (; accepted < 2000; ++accepted) {
            sent = m_sent->size();
            m_mc->files()->requestFile(&worker, "/a", worker.file("more"));
            if (m_sent->size() == sent)
                break;
        }
        QVERIFY(accepted < 1000);
        QTRY_COMPARE(worker.calls, QStringList { "file more [Too many requests are waiting for the ZU server]" });
    }
};

QTEST_MAIN(tst_RemoteFiles)
#include "tst_remotefiles.moc"
