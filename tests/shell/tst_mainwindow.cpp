#include "shell/mainwindow.h"

#include "classic/applicationconnection.h"
#include "applinks/sessionrouter.h"
#include "applinks/channeltranceiver.h"
#include "classic/classicapplicationwidget.h"
#include "hub/hubconnection.h"
#include "menu/mainconnection.h"
#include "menu/menuitem.h"
#include "settings/settingsmanager.h"
#include "shell/elidedlabel.h"
#include "shell/homepagewidget.h"
#include "shell/passwordchange.h"
#include "shell/menuitemmodel.h"
#include "shell/settingsdialog.h"
#include "shell/taskmanager.h"
#include "terminal/terminaltaskwidget.h"

#include "files/fileviewer.h"

#include "fakemenufiles.h"
#include "modaldriver.h"
#include "studentmenu.h"
#include "testdocuments.h"
#include "testenvironment.h"
#include "routedsessions.h"
#include "urlcatcher.h"

#include "menu.pb.h"
#include "uidlg.pb.h"
#include "zuterm.pb.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_env = std::make_unique<TestEnvironment>(); }

    void init()
    {
        SettingsManager::resetInstance();
        m_connection = std::make_unique<MainConnection>();
        SettingsManager::instance()->setMainConnection(m_connection.get());
        m_connection->setCredentials("jdoe", "pw");
        m_connection->setRelease("live", "Live College Records");
        m_window = std::make_unique<MainWindow>(m_connection.get(), nullptr);
    }

    void cleanup()
    {
        m_window.reset();
        m_connection.reset();
    }

    void construction()
    {
        QCOMPARE(m_window->objectName(), QString("MainWindow"));
        QCOMPARE(m_window->windowTitle(), QString("Halvorne ZU"));
        QCOMPARE(m_window->minimumSize(), QSize(750, 550));
        QCOMPARE(m_window->taskManager()->pageStack()->widget(0), m_window->homePage());
        m_window->show();
        auto *release = m_window->findChild<ElidedLabel *>("releaseLabel");
        QCOMPARE(release->text(), QString("Live College Records"));
        QTRY_COMPARE(release->elidedText(), QString("Live College Records"));
    }

    void menuArrivesAndLaunches()
    {
        QSignalSpy launched(m_window.get(), &MainWindow::menuOptionSelected);
        Menu::MenuData root;
        root.set_shortdesc("College Main Menu");
        root.set_menupath("/");
        auto *program = root.add_menudata();
        program->set_shortdesc("Enrol");
        program->set_menupath("/enrol.opt");
        emit m_connection->menuReceived(MenuItem::fromMenuData(root).release());
        QCOMPARE(m_window->menuModel()->rowCount(), 1);
        emit m_window->homePage()->itemActivated(m_window->menuModel()->index(0, 0));
        QCOMPARE(launched.size(), 1);
        QCOMPARE(launched.at(0).at(0).toString(), QString("/enrol.opt"));
    }







    void menuHistoryIsViewedThroughTheBrowser()
    {
        FakeMenuFiles server(m_connection.get());
        server.files.insert("zu-history-jdoe", "2025-03-01 09:00  /students/enrol.opt\n");
        Menu::Envelope history;
        history.mutable_historyfile()->set_name("zu-history-jdoe");
        const QByteArray bytes = QByteArray::fromStdString(history.SerializeAsString());
        m_connection->processMessage(bytes.constData(), bytes.size());

        emit m_window->homePage()->menuHistoryActivated();
        DocumentViewer *opened = nullptr;
        QTRY_VERIFY((opened = openViewer()));
        QCOMPARE(opened->windowTitle(), QString("Menu_History"));
        QVERIFY(server.log.contains("get zu-history-jdoe"));
        auto *text = qobject_cast<FileViewer *>(opened);
        QVERIFY(text);
        QVERIFY(text->textEdit()->toPlainText().startsWith("2025-03-01 09:00  /students/enrol.opt"));
        opened->close();
    }


    // Only web addresses reach the desktop: the others would run something or show local files.
    void helpAddressesAreWebAddresses()
    {
        UrlCatcher desktop;
        const QStringList schemes { "http", "https", "file", "smb", "ms-msdt", "javascript" };
        for (const QString &scheme : schemes)
            QDesktopServices::setUrlHandler(scheme, &desktop, "open");
        for (const char *address :
             { "file:///etc/passwd", "smb://host/setup.exe", "ms-msdt:/id PCWDiagnostic",
               "javascript:alert(1)", "no scheme at all" }) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused to open"));
            m_window->displayHelpTopic(QString(address));
        }
        QVERIFY(m_window->statusBar()->currentMessage().contains("only web addresses are opened"));
        m_window->displayHelpTopic("HTTP://help.example/enrol");
        m_window->displayHelpTopic(QString());
        for (const QString &scheme : schemes)
            QDesktopServices::unsetUrlHandler(scheme);
        QCOMPARE(desktop.opened.size(), 2);
        QCOMPARE(desktop.opened.at(0), QUrl("http://help.example/enrol"));
        QCOMPARE(desktop.opened.at(1).scheme(), QString("https"));
    }



    // One settings dialog at a time; the password result is shown over it, as plain text; a solo application
    // making the desktop modal closes it.
    void settingsDialog()
    {
        const auto dialogs = [] {
            QList<SettingsDialog *> found;
            for (QWidget *widget : QApplication::topLevelWidgets())
                if (auto *dialog = qobject_cast<SettingsDialog *>(widget))
                    found << dialog;
            return found;
        };
        m_window->launchUserSettings();
        m_window->launchUserSettings();
        QCOMPARE(dialogs().size(), 1);
        QPointer<SettingsDialog> dialog = dialogs().first();
        QVERIFY(dialog->isVisible());

        HubConnection hub(nullptr);
        PasswordChange change(&hub, m_connection.get());
        m_window->setPasswordChange(&change);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("changePassword.*invalid state"));
        dialog->findChild<QLineEdit *>("currentPassEdit")->setText("old");
        dialog->findChild<QLineEdit *>("newPassEdit")->setText("new");
        dialog->findChild<QLineEdit *>("confirmPassEdit")->setText("new");
        dialog->findChild<QAbstractButton *>("changePassButton")->click();
        QVERIFY(change.isPending());
        ModalDriver driver;
        QString shown;
        driver.expect<QMessageBox>([&shown, dialog](QMessageBox *box) {
            shown = box->windowTitle() + "|" + box->text() + "|" + (box->parentWidget() == dialog ? "over" : "apart");
            box->accept();
        });
        emit hub.changePasswordResult(false, "<b>too short</b>");
        QTRY_COMPARE(shown, QString("Password Change Failed|<b>too short</b>|over"));

        emit m_window->taskManager()->isModalRequiredChanged(true);
        QTRY_VERIFY(!dialog);
        m_window->launchUserSettings();
        QCOMPARE(dialogs().size(), 1);
    }




    void terminalPageFollowsItsChannel()
    {
        QSignalSpy outgoing(m_window->sessionRouter(), &SessionRouter::hubChannelMessageSend);
        m_window->sessionRouter()->hubChannelState(4, true);
        zuterm::Envelope hello;
        hello.mutable_handshake()->set_type(zuterm::Handshake::TERMINAL);
        const std::string bytes = hello.SerializeAsString();
        m_window->sessionRouter()->hubChannelMessageRcvd(4, bytes.data(), int(bytes.size()));
        QPointer<TerminalTaskWidget> page = m_window->findChild<TerminalTaskWidget *>();
        QVERIFY(page);
        QVERIFY(page->isAttached());
        QCOMPARE(m_window->taskManager()->taskButtons().size(), 2);
        QCOMPARE(outgoing.size(), 1); // the page's handshake, on the page's channel
        QCOMPARE(outgoing.at(0).at(0).value<ushort>(), ushort(4));

        // Only classic sessions hold the window open; closing it is tried in
        // closingWithoutClassicApplications (it quits the application, so it runs last).
        QCOMPARE(m_window->sessionRouter()->sessionsHoldingQuit().size(), 0);

        m_window->sessionRouter()->hubChannelState(4, false);
        QCOMPARE(m_window->taskManager()->taskButtons().size(), 1);
        QTRY_VERIFY(!page);
        QCOMPARE(m_window->sessionRouter()->openChannelCount(), 0);
    }

    void lostHubLinkShowsOneBoxOnlyWithChannels()
    {
        m_window->sessionRouter()->destroyHubConnections();
        QVERIFY(!findConnectionErrorBox());

        m_window->sessionRouter()->hubChannelState(1, true);
        m_window->sessionRouter()->hubChannelState(2, true);
        m_window->sessionRouter()->destroyHubConnections();
        QCOMPARE(m_window->sessionRouter()->openChannelCount(), 0);
        QMessageBox *box = findConnectionErrorBox();
        QVERIFY(box);
        QCOMPARE(box->informativeText(), QString("ZU applications were closed due to lost connection."));
        box->close();
    }

    // A classic application over a hub channel: the reply goes back on its channel, the page is
    // named after the menu item and leaves with the channel.
    void classicSessionOverAChannel()
    {
        m_window->setRootMenuItem(studentMenu());
        QSignalSpy sent(m_window->sessionRouter(), &SessionRouter::hubChannelMessageSend);
        startClassicSession(7, 0);
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.at(0).at(0).value<ushort>(), ushort(7));
        Pb::UIEnvelope reply;
        QVERIFY(reply.ParseFromString(sent.at(0).at(1).toByteArray().toStdString()));
        QCOMPARE(QString::fromStdString(reply.ShortDebugString()),
                 QString(R"(pid: 0 window_id: 0 handshake { ui_version: "1.9.0-143" })"));

        ApplicationConnection *session = routedSessions<ApplicationConnection>(m_window->sessionRouter()).value(0);
        QCOMPARE(session->menuTitle(), QString("Student Records"));
        QPointer<ClassicApplicationWidget> page = session->page(1);
        QVERIFY(page);
        QCOMPARE(page->shortName(), QString("SR"));
        QVERIFY(m_window->taskManager()->buttonFor(page));

        m_window->sessionRouter()->hubChannelState(7, false);
        QTRY_COMPARE(m_window->sessionRouter()->sessions().size(), 0);
        QTRY_VERIFY(!page);
    }

    // A classic application's document: viewed under its name, or printed when named "prn".
    void classicFileMessages()
    {
        startClassicSession(6, 0);
        Pb::UIEnvelope document;
        document.set_window_id(1);
        document.mutable_file_message()->set_name("Fee statement");
        document.mutable_file_message()->set_file("Fees due: 120.00\n");
        deliver(6, document);
        auto *viewer = qobject_cast<FileViewer *>(openViewer());
        QVERIFY(viewer);
        QCOMPARE(viewer->windowTitle(), QString("Fee_statement"));
        QCOMPARE(viewer->textEdit()->toPlainText(), QString("Fees due: 120.00\n"));
        viewer->close();

        ModalDriver driver;
        int printDialogs = 0;
        driver.expect<QPrintDialog>([&printDialogs](QPrintDialog *dialog) {
            ++printDialogs;
            dialog->reject();
        });
        document.mutable_file_message()->set_name("prn");
        deliver(6, document);
        QTRY_COMPARE(printDialogs, 1);
    }

    void quitGuardNamesTheSessions()
    {
        m_window->setRootMenuItem(studentMenu());
        m_window->show();
        startClassicSession(4, 4242);
        ModalDriver driver;
        driver.expect<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::Cancel)->click(); });
        QTest::ignoreMessage(QtInfoMsg, "Received request to close MainWindow");
        QTest::ignoreMessage(QtInfoMsg, "There are application connections still open.");
        QTest::ignoreMessage(
            QtInfoMsg, R"(    connection PID: 4242  app name: "records"  menu title: "Student Records")");
        QTest::ignoreMessage(QtInfoMsg, "Querying user for action.");
        QTest::ignoreMessage(QtInfoMsg, "Shutdown cancelled by user.");
        QVERIFY(!m_window->close());
        QTRY_VERIFY(driver.allHandled());
        QVERIFY(m_window->isVisible());
    }

    // The window goes while a session still runs; the session takes its pages first.
    void windowGoesWithSessionsOpen()
    {
        startClassicSession(2, 0);
        QPointer<ClassicApplicationWidget> page = routedSessions<ApplicationConnection>(m_window->sessionRouter()).value(0)->page(1);
        QVERIFY(page);
        m_window.reset();
        QTRY_VERIFY(!page);
    }

    void closingWithoutClassicApplications()
    {
        ModalDriver driver;
        m_window->show();
        QVERIFY(m_window->close());
        QVERIFY(driver.unexpected().isEmpty());
        QVERIFY(QSettings().contains("MainWindow/geometry"));
    }

private:
    static DocumentViewer *openViewer()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *viewer = qobject_cast<DocumentViewer *>(widget);
            if (viewer && viewer->isVisible())
                return viewer;
        }
        return nullptr;
    }

    void deliver(ushort channel, const Pb::UIEnvelope &envelope)
    {
        const std::string bytes = envelope.SerializeAsString();
        m_window->sessionRouter()->hubChannelMessageRcvd(channel, bytes.data(), int(bytes.size()));
    }

    // A classic application on a channel, with a session and a page for window 1.
    void startClassicSession(ushort channel, quint32 pid)
    {
        m_window->sessionRouter()->hubChannelState(channel, true);
        Pb::UIEnvelope handshake;
        handshake.mutable_handshake()->set_ui_version("server 2");
        deliver(channel, handshake);
        Pb::UIEnvelope session;
        session.set_pid(pid);
        session.set_window_id(1);
        session.mutable_create_session()->set_app_name("records");
        session.mutable_create_session()->set_menupath("/stu/records.opt");
        session.mutable_set_status()->set_status_text("ready");
        deliver(channel, session);
        QCOMPARE(m_window->sessionRouter()->sessions().size(), 1);
    }

    static QMessageBox *findConnectionErrorBox()
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(widget))
                if (box->text() == "Connection Error" && box->isVisible())
                    return box;
        return nullptr;
    }

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MainConnection> m_connection;
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
