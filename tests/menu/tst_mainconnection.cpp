#include "menusessionfixture.h"

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


} // namespace

class tst_MainConnection : public MenuSessionFixture
{
    Q_OBJECT

private slots:
    void init() { startSession(); }
    void cleanup() { endSession(); }

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

    // A server cannot make the desktop open addresses without end: past the bound of a kind the
    // rest is refused, told once; the other kind still has its own.
    void launchesAreBounded()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("https", &catcher, "open");
        QSignalSpy web(m_mc.get(), &MainConnection::openWebPage);
        QSignalSpy notices(m_mc.get(), &MainConnection::statusNotice);
        Menu::Envelope external;
        external.mutable_launchurl()->set_internal(false);
        external.mutable_launchurl()->set_url("https://reports.example/a");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("more than 10 addresses in a minute"));
        for (int i = 0; i < 3 * MainConnection::MaxLaunchesPerMinute; ++i)
            feed(external);
        QCOMPARE(catcher.opened.size(), MainConnection::MaxLaunchesPerMinute);
        QCOMPARE(notices.size(), 1);

        Menu::Envelope internal;
        internal.mutable_launchurl()->set_url("https://reports.example/b");
        internal.mutable_launchurl()->set_internal(true);
        feed(internal);
        QCOMPARE(web.size(), 1);
        QDesktopServices::unsetUrlHandler("https");
    }

private:
    static Menu::Envelope authStatus(Menu::AuthStatus::Status status)
    {
        Menu::Envelope envelope;
        envelope.mutable_authstatus()->set_status(status);
        return envelope;
    }

};

QTEST_MAIN(tst_MainConnection)
#include "tst_mainconnection.moc"
