#include "menu/abstractremotefileworker.h"
#include "menu/mainconnection.h"
#include "settings/settingsmanager.h"
#include "menu/menuitem.h"

#include "utils/busymouse.h"
#include "hub/hostentry.h"

#include "urlcatcher.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

QByteArray wire(const Menu::Envelope &envelope)
{
    return QByteArray::fromStdString(envelope.SerializeAsString());
}

// Records every reply it is given.
class Worker : public QObject, public AbstractRemoteFileWorker
{
public:
    QStringList calls;
    QByteArray lastData;
    QString lastListing;

    void fileRespInfoData(QVariant context, const Menu::FileInfoData *data, QString error) override
    {
        calls << QString("info %1 %2 [%3]").arg(context.toString()).arg(data ? "data" : "null", error);
        if (data)
            lastListing = QString::fromStdString(data->pathname());
    }
    void fileRespFile(QVariant context, QByteArray data, QString error) override
    {
        calls << QString("file %1 [%2]").arg(context.toString(), error);
        lastData = data;
    }
    void fileRespRename(QVariant context, QString error) override { record("rename", context, error); }
    void fileRespCopy(QVariant context, QString error) override { record("copy", context, error); }
    void fileRespDelete(QVariant context, QString error) override { record("delete", context, error); }
    void fileRespPrint(QVariant context, QString error) override { record("print", context, error); }
    void fileRespUpload(QVariant context, QString error) override { record("upload", context, error); }

private:
    void record(const char *what, const QVariant &context, const QString &error)
    {
        calls << QString("%1 %2 [%3]").arg(what, context.toString(), error);
    }
};

} // namespace

class tst_MainConnection : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_mc = std::make_unique<MainConnection>();
        // As in the client: the settings manager follows the session and asks for its file.
        SettingsManager::instance()->setMainConnection(m_mc.get());
        m_sent = std::make_unique<QSignalSpy>(m_mc.get(), &MainConnection::messageReady);
        m_mc->setCredentials("jdoe", "pw");
    }

    void cleanup()
    {
        m_sent.reset();
        m_mc.reset();
        for (const QString &reason : BusyMouse::instance()->pendingReasons())
            BusyMouse::instance()->stop(reason);
    }

    void handshakeAndAuthenticate()
    {
        QSignalSpy wantMenu(m_mc.get(), &MainConnection::requestConnectionState);
        QSignalSpy authenticating(m_mc.get(), &MainConnection::authenticating);
        m_mc->setClassicListenPort(33333);
        m_mc->setAddresses("10.1.2.3", "203.0.113.9");
        m_mc->startMenuConnection();
        QCOMPARE(wantMenu.size(), 1);
        QCOMPARE(wantMenu.at(0).at(0).toBool(), true);
        QCOMPARE(m_mc->state(), MainConnection::Connecting);
        QVERIFY(BusyMouse::instance()->pendingReasons().contains("mainConnection"));

        m_mc->menuConnected();
        QCOMPARE(m_sent->size(), 2);

        Menu::Envelope handshake;
        auto *hs = handshake.mutable_handshake();
        hs->set_version("1.9.0-143");
        hs->set_port(33333);
        hs->set_local_address("10.1.2.3");
        hs->set_public_address("203.0.113.9");
        QCOMPARE(sent(0), wire(handshake));
        // The port equals the schema default, yet is on the wire.
        QVERIFY(sent(0).contains(QByteArray("\x18\xb5\x84\x02", 4)));

        Menu::Envelope auth;
        auth.mutable_authenticate()->set_username("jdoe");
        auth.mutable_authenticate()->set_password("pw");
        QCOMPARE(sent(1), wire(auth));
        QCOMPARE(m_mc->state(), MainConnection::Authenticating);
        QCOMPARE(authenticating.size(), 1);
    }

    void historyFileSentOnNextLogin()
    {
        Menu::Envelope history;
        history.mutable_historyfile()->set_name("hist.42");
        QTest::ignoreMessage(QtInfoMsg, "History file: \"hist.42\"");
        feed(history);
        m_mc->menuConnected();
        Menu::Envelope auth = parse(m_sent->size() - 1);
        QCOMPARE(auth.authenticate().history_file(), std::string("hist.42"));

        // An empty HistoryFile keeps the stored name.
        Menu::Envelope empty;
        empty.mutable_historyfile();
        QTest::ignoreMessage(QtInfoMsg, "History file: \"hist.42\"");
        feed(empty);
        QCOMPARE(m_mc->historyFile(), QString("hist.42"));
    }

    void authenticationSuccess()
    {
        QSignalSpy confirmed(m_mc.get(), &MainConnection::usernameConfirmed);
        m_mc->menuConnected();
        m_sent->clear();
        feed(authStatus(Menu::AuthStatus::SUCCESS));
        QCOMPARE(confirmed.size(), 1);
        QCOMPARE(confirmed.at(0).at(0).toString(), QString("jdoe"));
        QCOMPARE(m_sent->size(), 1);
        QVERIFY(parse(0).has_releasedatarequest());
        QCOMPARE(m_mc->state(), MainConnection::RequestingReleases);
    }

    void authenticationFailure()
    {
        QSignalSpy failed(m_mc.get(), &MainConnection::authenticationFailed);
        QSignalSpy wantMenu(m_mc.get(), &MainConnection::requestConnectionState);
        m_mc->menuConnected();
        Menu::Envelope envelope = authStatus(Menu::AuthStatus::FAILED);
        envelope.mutable_authstatus()->set_pam_error_number(7);
        envelope.mutable_authstatus()->set_pam_error_message("Authentication failure");
        QTest::ignoreMessage(QtWarningMsg, "MC: Auth failed. PAM error: 7 \"Authentication failure\"");
        feed(envelope);
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.at(0).at(0).toInt(), 7);
        QCOMPARE(failed.at(0).at(1).toString(), QString("Authentication failure"));
        QCOMPARE(wantMenu.size(), 1);
        QCOMPARE(wantMenu.at(0).at(0).toBool(), false);

        // The hub then drops the menu link: the failure stays as it is.
        QSignalSpy anything(m_mc.get(), &MainConnection::stateChanged);
        QSignalSpy connectionFailed(m_mc.get(), &MainConnection::connectionFailed);
        QSignalSpy errorText(m_mc.get(), &MainConnection::errorTextChanged);
        m_mc->menuDisconnected("menu link closed");
        QCOMPARE(m_mc->state(), MainConnection::AuthenticationFailed);
        QCOMPARE(anything.size(), 0);
        QCOMPARE(connectionFailed.size(), 0);
        QCOMPARE(errorText.size(), 0);
        QCOMPARE(m_mc->errorNumber(), 7);
    }

    void passwordChangeRequired()
    {
        QSignalSpy needsChange(m_mc.get(), &MainConnection::passwordNeedsChanged);
        QSignalSpy confirmed(m_mc.get(), &MainConnection::usernameConfirmed);
        m_mc->menuConnected();
        m_sent->clear();
        feed(authStatus(Menu::AuthStatus::NEED_PASSWORD_CHANGE));
        QCOMPARE(needsChange.size(), 1);
        QCOMPARE(confirmed.size(), 1);
        QCOMPARE(m_sent->size(), 0);

        m_mc->passwordChanged("newpw");
        QCOMPARE(m_sent->size(), 1);
        QVERIFY(parse(0).has_releasedatarequest());
        QCOMPARE(m_mc->state(), MainConnection::RequestingReleases);

        // Outside that state only the password is kept.
        m_mc->passwordChanged("newer");
        QCOMPARE(m_sent->size(), 1);
        m_mc->menuConnected();
        QCOMPARE(parse(m_sent->size() - 1).authenticate().password(), std::string("newer"));
    }

    void releaseChoiceAndReconnect()
    {
        QSignalSpy releases(m_mc.get(), &MainConnection::releaseListRcvd);
        QSignalSpy connectedSpy(m_mc.get(), &MainConnection::connected);
        Menu::Envelope list;
        auto *r1 = list.mutable_releaselist()->add_release();
        r1->set_key("live");
        r1->set_title("Live system");
        auto *r2 = list.mutable_releaselist()->add_release();
        r2->set_key("test");
        r2->set_title("Test system");
        feed(list);
        QCOMPARE(m_mc->state(), MainConnection::ChoosingRelease);
        QCOMPARE(releases.size(), 1);
        const auto received = releases.at(0).at(0).value<MainConnection::ReleaseList>();
        QCOMPARE(received.size(), 2);
        QCOMPARE(received.at(1).key, QString("test"));
        QCOMPARE(received.at(1).title, QString("Test system"));

        m_sent->clear();
        m_mc->setRelease("test", "Test system");
        // Entering Connected starts the settings sync, between the release and the menu request.
        QCOMPARE(m_sent->size(), 4);
        QCOMPARE(parse(0).setrelease().release(), std::string("test"));
        QCOMPARE(parse(1).fileinfodatarequest().filter(), std::string(".zudesktop_*"));
        QCOMPARE(parse(2).menudatarequest().menupath(), std::string("/"));
        QVERIFY(parse(3).has_printerdatarequest());
        QCOMPARE(connectedSpy.size(), 1);
        QVERIFY(BusyMouse::instance()->pendingReasons().contains("mainConnection"));

        // A menu reconnection within the same login does not ask again.
        m_mc->menuDisconnected("lost");
        m_sent->clear();
        feed(list);
        QCOMPARE(releases.size(), 1);
        QCOMPARE(parse(0).setrelease().release(), std::string("test"));
        QCOMPARE(parse(m_sent->size() - 2).menudatarequest().menupath(), std::string("/"));
        QCOMPARE(m_mc->state(), MainConnection::Connected);

        // A new login after the link went asks again.
        m_mc->menuDisconnected("lost");
        m_mc->setCredentials("asmith", "pw");
        m_sent->clear();
        feed(list);
        QCOMPARE(releases.size(), 2);
        QCOMPARE(m_sent->size(), 0);
        QCOMPARE(m_mc->state(), MainConnection::ChoosingRelease);
    }

    void menuTreeAndPortFile()
    {
        m_mc->setClassicListenPort(40123);
        QSignalSpy menu(m_mc.get(), &MainConnection::menuReceived);
        BusyMouse::instance()->start("mainConnection", 8000);
        Menu::Envelope envelope;
        envelope.mutable_menudata()->set_shortdesc("Main Menu");
        envelope.mutable_menudata()->set_menupath("/");
        envelope.mutable_menudata()->add_menudata()->set_shortdesc("Misc");
        feed(envelope);
        QCOMPARE(menu.size(), 1);
        std::unique_ptr<MenuItem> root(menu.at(0).at(0).value<MenuItem *>());
        QCOMPARE(root->children.at(0)->key(), QString("/|Misc"));
        QVERIFY(!BusyMouse::instance()->pendingReasons().contains("mainConnection"));

        QCOMPARE(m_sent->size(), 1);
        Menu::Envelope port;
        auto *file = port.mutable_file();
        file->set_filename("/.clientport");
        file->set_file("40123");
        file->set_allow_hidden(true);
        file->set_allow_overwrite(true);
        QCOMPARE(sent(0), wire(port));
        QVERIFY(!parse(0).file().has_request_id());
    }

    void fileRequestsAndTextConversion()
    {
        online();
        Worker worker;
        m_mc->requestFile(&worker, "ctx-get", "/home/a.txt");
        m_mc->uploadFile(&worker, "ctx-up", "/home/b.txt", QByteArray("x\r\ny"), true, false);
        m_mc->uploadFile(&worker, "ctx-bin", "/home/c.bin", QByteArray("x\r\n\xe9", 4), false, true);
        QCOMPARE(m_sent->size(), 3);

        const Menu::Envelope get = parse(0);
        const quint32 getId = get.filerequest().request_id();
        QVERIFY(getId > 0);
        QCOMPARE(get.filerequest().filename(), std::string("/home/a.txt"));

        const Menu::Envelope up = parse(1);
        QCOMPARE(up.file().request_id(), getId + 1);
        QCOMPARE(up.file().file(), std::string("x\ny"));
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
        QCOMPARE(worker.lastData, QByteArray("a\r\nb"));

        // Binary data reaches the requester unchanged.
        m_mc->requestFile(&worker, "ctx-bin-get", "/home/c.bin");
        reply.mutable_file()->set_request_id(parse(3).filerequest().request_id());
        reply.mutable_file()->set_file(std::string("a\n\xe9", 3));
        feed(reply);
        QCOMPARE(worker.lastData, QByteArray("a\n\xe9", 3));

        // The same number again is unknown now.
        QTest::ignoreMessage(QtWarningMsg, "MainConnection::mh_file() - unknown request ID. dropping");
        feed(reply);
        QCOMPARE(worker.calls.size(), 2);
    }

    void operationRepliesRouteByKind()
    {
        online();
        Worker worker;
        m_mc->requestFileInfo(&worker, "i", "/home", true, "*.txt");
        m_mc->renameFile(&worker, "r", "a", "b");
        m_mc->copyFile(&worker, "c", "a", "b");
        m_mc->deleteFile(&worker, "d", "a");
        m_mc->printFile(&worker, "p", "a", "lp1", "");
        m_mc->printFile(&worker, "p2", "a", "lp1", "wide");
        m_mc->requestFile(&worker, "f", "a");
        m_mc->uploadFile(&worker, "u", "a", "data", false, false);
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

        m_mc->requestFileInfo(&worker, "i2", "/tmp", false, "");
        Menu::Envelope listing;
        listing.mutable_fileinfodata()->set_request_id(parse(8).fileinfodatarequest().request_id());
        listing.mutable_fileinfodata()->set_pathname("/tmp");
        feed(listing);
        QCOMPARE(worker.calls.last(), QString("info i2 data []"));
        QCOMPARE(worker.lastListing, QString("/tmp"));
    }

    void destroyedRequesterGetsNothing()
    {
        online();
        auto worker = std::make_unique<Worker>();
        m_mc->requestFile(worker.get(), "x", "a");
        m_mc->requestFileInfo(worker.get(), "y", "/", false, "");
        m_mc->deleteFile(worker.get(), "z", "a");
        worker.reset();

        Menu::Envelope file;
        file.mutable_file()->set_request_id(parse(0).filerequest().request_id());
        QTest::ignoreMessage(QtWarningMsg, "MainConnection::mh_file() - Requestor has been destroyed");
        feed(file);
        Menu::Envelope info;
        info.mutable_fileinfodata()->set_request_id(parse(1).fileinfodatarequest().request_id());
        QTest::ignoreMessage(QtWarningMsg,
                             "MainConnection::mh_fileinfodata() - Requestor has been destroyed");
        feed(info);
        Menu::Envelope op;
        op.mutable_fileoperationresponse()->set_request_id(parse(2).deletefile().request_id());
        feed(op); // dropped quietly
        QVERIFY(!BusyMouse::instance()->pendingReasons().contains("fileRequested"));
    }

    void busyCursorFollowsFileRequests()
    {
        online();
        Worker worker;
        m_mc->requestFile(&worker, QVariantMap { { "busyMouse", false } }, "quiet");
        QVERIFY(!BusyMouse::instance()->pendingReasons().contains("fileRequested"));

        m_mc->requestFile(&worker, "a", "one");
        m_mc->requestFile(&worker, "b", "two");
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

    void scheduledProcesses()
    {
        QSignalSpy count(m_mc.get(), &MainConnection::scheduledProcessCountChanged);
        QSignalSpy list(m_mc.get(), &MainConnection::schedProcListReceived);

        Menu::Envelope countMsg;
        countMsg.mutable_schedproccount()->set_proc_count(2);
        feed(countMsg);
        feed(countMsg);
        QCOMPARE(count.size(), 1);
        QCOMPARE(count.at(0).at(0).toInt(), 2);

        Menu::Envelope data;
        auto *proc = data.mutable_schedprocdata()->add_schedproc();
        proc->set_proc_number(12);
        proc->set_title("Nightly fees");
        proc->set_datetime("2026-12-10 02:00");
        proc->set_exec_line("fees --run");
        feed(data); // not asked for: count only
        QCOMPARE(list.size(), 0);
        QCOMPARE(count.size(), 2);
        QCOMPARE(count.at(1).at(0).toInt(), 1);

        m_sent->clear();
        m_mc->requestSchedProcData();
        QVERIFY(parse(0).has_schedprocdatarequest());
        QVERIFY(BusyMouse::instance()->pendingReasons().contains("fetchScheduledProcesses"));
        feed(data);
        QCOMPARE(list.size(), 1);
        const auto procs = list.at(0).at(0).value<MainConnection::SchedProcList>();
        QCOMPARE(procs.size(), 1);
        QCOMPARE(procs.at(0).processNumber, 12);
        QCOMPARE(procs.at(0).commandLine, QString("fees --run"));
        QVERIFY(!BusyMouse::instance()->pendingReasons().contains("fetchScheduledProcesses"));

        m_mc->removeScheduledProcess(12);
        QCOMPARE(parse(m_sent->size() - 1).removeschedprocrequest().proc_number(), 12);
        QVERIFY(m_mc->pollInterval() >= 54000 && m_mc->pollInterval() < 66000);
    }

    void statusMessagesAndPrinters()
    {
        QSignalSpy status(m_mc.get(), &MainConnection::statusMessage);
        QSignalSpy wantMenu(m_mc.get(), &MainConnection::requestConnectionState);
        Menu::Envelope warning;
        warning.mutable_statusmessage()->set_type(Menu::StatusMessage::WARNING);
        warning.mutable_statusmessage()->set_message("Backup at 6pm");
        feed(warning);
        QCOMPARE(status.size(), 1);
        QCOMPARE(status.at(0).at(1).toString(), QString("Backup at 6pm"));
        QCOMPARE(wantMenu.size(), 0);

        Menu::Envelope fatal;
        fatal.mutable_statusmessage()->set_type(Menu::StatusMessage::FATAL);
        QTest::ignoreMessage(QtWarningMsg, "Status message indicates FATAL. Destroying the connection");
        feed(fatal);
        QCOMPARE(wantMenu.size(), 1);
        QCOMPARE(wantMenu.at(0).at(0).toBool(), false);

        Menu::Envelope printers;
        auto *p = printers.mutable_printerdata()->add_printer();
        p->set_name("lp1");
        p->set_description("Office");
        printers.mutable_printerdata()->set_def_printer("lp1");
        feed(printers);
        QCOMPARE(m_mc->printers(), (QVector<QStringList> { { "lp1", "Office" } }));
        QCOMPARE(m_mc->defaultPrinter(), QString("lp1"));
    }

    void badInputIsLoggedAndSkipped()
    {
        QTest::ignoreMessage(QtWarningMsg, "MainConnection::processMessage() - Unable to parse envelope");
        const QByteArray garbage("\xff\xff\xff\xff", 4);
        m_mc->processMessage(garbage.constData(), garbage.size());

        Menu::Envelope shutdown;
        shutdown.mutable_shutdown();
        QTest::ignoreMessage(QtWarningMsg, "MC: No message handler found for \"shutdown\"");
        feed(shutdown);
        QCOMPARE(m_mc->state(), MainConnection::Disconnected);
    }

    // A request nobody can answer fails instead of waiting for ever: asked while not connected, or
    // pending when the session goes down.
    void requestsFailWithoutALink()
    {
        Worker worker;
        QTest::ignoreMessage(QtWarningMsg, "MainConnection::registerRequest() - not connected; request failed");
        m_mc->requestFile(&worker, "early", "/a");
        QCOMPARE(m_sent->size(), 0);
        QTRY_COMPARE(worker.calls, QStringList { "file early [Not connected to the ZU server]" });

        online();
        m_mc->uploadFile(&worker, "up", "/b", "data", true, false);
        m_mc->requestFileInfo(&worker, "list", "/", false, QString());
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
        const QVariantMap quiet { { "busyMouse", false } };
        QTest::ignoreMessage(QtWarningMsg,
                             "MainConnection::registerRequest() - too many requests unanswered; request failed");
        {
            Worker gone;
            for (int i = 0; i < 1000; ++i)
                m_mc->requestFile(&gone, quiet, "/g");
        }
        Worker worker;
        int sent = m_sent->size();
        m_mc->requestFile(&worker, "room", "/a");
        QCOMPARE(m_sent->size(), sent + 1); // the gone requester's entries made room

        QTest::ignoreMessage(QtWarningMsg,
                             "MainConnection::registerRequest() - too many requests unanswered; request failed");
        int accepted = 0;
        for (; accepted < 2000; ++accepted) {
            sent = m_sent->size();
            m_mc->requestFile(&worker, "more", "/a");
            if (m_sent->size() == sent)
                break;
        }
        QVERIFY(accepted < 1000);
        QTRY_COMPARE(worker.calls, QStringList { "file more [Too many requests are waiting for the ZU server]" });
    }

    void launchUrls()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("https", &catcher, "open");
        QSignalSpy web(m_mc.get(), &MainConnection::openWebPage);

        Menu::Envelope external;
        external.mutable_launchurl()->set_internal(false);
        external.mutable_launchurl()->set_url("https://reports.example/a");
        feed(external);
        QCOMPARE(catcher.opened, QList<QUrl> { QUrl("https://reports.example/a") });
        QCOMPARE(web.size(), 0);

        // Only web addresses leave the client; the user is told of the others.
        QSignalSpy notices(m_mc.get(), &MainConnection::statusNotice);
        for (const char *address : { "file:///etc/passwd", "smb://host/share", "javascript:alert(1)" }) {
            QDesktopServices::setUrlHandler(QUrl(address).scheme(), &catcher, "open");
            external.mutable_launchurl()->set_url(address);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused to open"));
            feed(external);
            QDesktopServices::unsetUrlHandler(QUrl(address).scheme());
        }
        QCOMPARE(catcher.opened.size(), 1);
        QCOMPARE(notices.size(), 3);
        QVERIFY(notices.at(0).at(0).toString().contains("file:///etc/passwd"));

        Menu::Envelope internal;
        internal.mutable_launchurl()->set_url("https://reports.example/b");
        internal.mutable_launchurl()->set_menupath("/reports/b");
        feed(internal);
        QCOMPARE(web.size(), 1);
        QCOMPARE(web.at(0).at(0).toString(), QString("/reports/b"));
        QCOMPARE(web.at(0).at(1).toString(), QString("Web Browser"));
        QCOMPARE(web.at(0).at(2).toUrl(), QUrl("https://reports.example/b"));

        Menu::Envelope invalid;
        invalid.mutable_launchurl()->set_url("http://exa mple.com:99999/");
        QSignalSpy invalidAddresses(m_mc.get(), &MainConnection::invalidAddress);
        QTest::ignoreMessage(QtCriticalMsg, "Invalid URL: \"http://exa mple.com:99999/\"");
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^\"Invalid"));
        feed(invalid);
        QCOMPARE(invalidAddresses.size(), 1);
        QCOMPARE(invalidAddresses.at(0).at(0).toString(), QString("http://exa mple.com:99999/"));
        QDesktopServices::unsetUrlHandler("https");
    }

private:
    static Menu::Envelope authStatus(Menu::AuthStatus::Status status)
    {
        Menu::Envelope envelope;
        envelope.mutable_authstatus()->set_status(status);
        return envelope;
    }

    // File requests need a connected session; what entering it sends is not of interest here.
    void online()
    {
        m_mc->setRelease("live", "Live system");
        QCOMPARE(m_mc->state(), MainConnection::Connected);
        m_sent->clear();
    }

    void feed(const Menu::Envelope &envelope)
    {
        const QByteArray bytes = wire(envelope);
        m_mc->processMessage(bytes.constData(), bytes.size());
    }

    QByteArray sent(int index) const { return m_sent->at(index).at(0).toByteArray(); }

    Menu::Envelope parse(int index) const
    {
        Menu::Envelope envelope;
        const QByteArray bytes = sent(index);
        envelope.ParseFromArray(bytes.constData(), bytes.size());
        return envelope;
    }

    std::unique_ptr<MainConnection> m_mc;
    std::unique_ptr<QSignalSpy> m_sent;
};

QTEST_MAIN(tst_MainConnection)
#include "tst_mainconnection.moc"
