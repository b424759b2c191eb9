#include "shell/mainwindow.h"

#include "classic/applicationconnection.h"
#include "applinks/sessionrouter.h"
#include "applinks/channeltranceiver.h"
#include "classic/classicapplicationwidget.h"
#include "hub/hostentry.h"
#include "menu/menuitem.h"
#include "settings/settingsmanager.h"
#include "shell/elidedlabel.h"
#include "shell/homepagewidget.h"
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
        m_host.host = "zu.example";
        m_host.port = 4433;
        m_host.defaultRelease = "live";
        m_connection->setHostEntry(&m_host);
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
        QCOMPARE(SettingsManager::instance()->recentsKey(), QString("zu.example:4433:live"));
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
        m_window->menuItemSelected(m_window->menuModel()->index(0, 0));
        QCOMPARE(launched.size(), 1);
        QCOMPARE(launched.at(0).at(0).toString(), QString("/enrol.opt"));
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("name");
        QTest::newRow("unsafe characters") << "Fees/2026: term? report  "
                                           << "Fees_2026__term__report";
        QTest::newRow("all of them") << "a b%c\\d/e:f*g?h\"i<j>k|l"
                                     << "a_b_c_d_e_f_g_h_i_j_k_l";
        QTest::newRow("plain") << "transcript.pdf"
                               << "transcript.pdf";
    }

    void fileNames()
    {
        QFETCH(QString, title);
        QFETCH(QString, name);
        QCOMPARE(MainWindow::fileNameForTitle(title), name);
    }

    void emptyDocument()
    {
        ModalDriver driver;
        QString text;
        driver.expect<QMessageBox>([&text](QMessageBox *box) {
            text = box->windowTitle() + "|" + box->text();
            box->accept();
        });
        m_window->viewData("Report", QByteArray());
        QTRY_COMPARE(text, QString("Unable to view|This file is empty."));
    }

    void viewerChosenByContent_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("viewer");
        QTest::newRow("pdf") << "report.pdf" << TestDocuments::pdf(1) << "PdfFileViewer";
        QTest::newRow("picture named as text") << "scan.txt" << TestDocuments::png(QSize(20, 10))
                                               << "ImageFileViewer";
        QTest::newRow("text named as picture") << "photo.png" << QByteArray("not a picture") << "FileViewer";
        QTest::newRow("broken picture") << "broken.png" << TestDocuments::png(QSize(20, 10)).left(40)
                                        << "FileViewer";
    }

    void viewerChosenByContent()
    {
        QFETCH(QString, title);
        QFETCH(QByteArray, data);
        QFETCH(QString, viewer);
        m_window->viewData(title, data);
        DocumentViewer *opened = openViewer();
        QVERIFY(opened);
        QCOMPARE(QString(opened->metaObject()->className()), viewer);
        QVERIFY(opened->windowTitle().contains(title));
        opened->close();
    }

    // The arguments are split as a command line would be, and the document is one argument of its
    // own, however its name reads; no shell sees it. It goes when the window goes.
    void externalViewerGetsTheFileAsOneArgument()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath("arguments.txt");
        QFile script(dir.filePath("viewer.sh"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("out=\"$(dirname \"$0\")/arguments.txt\"\n"
                     "for a in \"$@\"; do echo \"[$a]\"; done > \"$out.part\"\n"
                     "cat \"$2\" >> \"$out.part\" && mv \"$out.part\" \"$out\"\n");
        script.close();
        QSettings settings;
        settings.setValue("settings/useExternalTextViewer", true);
        settings.setValue("settings/extTextViewerPath", "/bin/sh");
        settings.setValue("settings/extTextViewerArgs", QStringLiteral("\"%1\" \"two words\"").arg(script.fileName()));
        m_window->viewData("fees; rm -rf $HOME.txt", "Fees due\n");
        settings.setValue("settings/useExternalTextViewer", false);

        QFile written(out);
        QTRY_VERIFY(written.size() > 0);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(written.readAll()).split('\n');
        QCOMPARE(lines.value(0), QString("[two words]"));
        QVERIFY(lines.value(1).endsWith("-fees;_rm_-rf_$HOME.txt]"));
        QCOMPARE(lines.value(2), QString("Fees due"));
        const QString document = lines.value(1).mid(1).chopped(1);
        QVERIFY(QFile::exists(document));
        m_window.reset();
        QVERIFY(!QFile::exists(document));
    }

    void menuHistoryIsViewedThroughTheBrowser()
    {
        FakeMenuFiles server(m_connection.get());
        server.files.insert("zu-history-jdoe", "2025-03-01 09:00  /students/enrol.opt\n");
        Menu::Envelope history;
        history.mutable_historyfile()->set_name("zu-history-jdoe");
        const QByteArray bytes = QByteArray::fromStdString(history.SerializeAsString());
        m_connection->processMessage(bytes.constData(), bytes.size());

        m_window->menuHistoryRequested();
        DocumentViewer *opened = nullptr;
        QTRY_VERIFY((opened = openViewer()));
        QCOMPARE(opened->windowTitle(), QString("Menu_History"));
        QVERIFY(server.log.contains("get zu-history-jdoe"));
        auto *text = qobject_cast<FileViewer *>(opened);
        QVERIFY(text);
        QVERIFY(text->textEdit()->toPlainText().startsWith("2025-03-01 09:00  /students/enrol.opt"));
        opened->close();
    }

    // Documents sent unasked open at most MaxViewers windows; closing one makes room again.
    void viewersAreCapped()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("too many viewers open"));
        for (int i = 0; i <= MainWindow::MaxViewers; ++i)
            m_window->viewData(QString("doc %1").arg(i), "text\n");
        QList<DocumentViewer *> viewers = openViewers();
        QCOMPARE(viewers.size(), MainWindow::MaxViewers);
        QVERIFY(m_window->statusBar()->currentMessage().contains("Too many documents are open"));
        viewers.first()->close();
        QTRY_COMPARE(openViewers().size(), MainWindow::MaxViewers - 1);
        m_window->viewData("one more", "text\n");
        QCOMPARE(openViewers().size(), MainWindow::MaxViewers);
        for (DocumentViewer *viewer : openViewers())
            viewer->close();
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

    void printQueueCancelledDiscardsEverything()
    {
        ModalDriver driver;
        int dialogs = 0;
        driver.expect<QPrintDialog>([this, &dialogs](QPrintDialog *dialog) {
            ++dialogs;
            // Two more documents arrive while the dialog is open.
            m_window->printDocument("second");
            m_window->printDocument("third");
            dialog->reject();
        });
        m_window->printDocument("first");
        QCOMPARE(dialogs, 1);
        // A later document gets a dialog of its own: the queue was emptied.
        driver.expect<QPrintDialog>([&dialogs](QPrintDialog *dialog) {
            ++dialogs;
            dialog->reject();
        });
        m_window->printDocument("fourth");
        QCOMPARE(dialogs, 2);
        QVERIFY(driver.unexpected().isEmpty());

        // A flood while the dialog is open is bounded, and the user is told.
        driver.expect<QPrintDialog>([this](QPrintDialog *dialog) {
            QTest::ignoreMessage(QtWarningMsg, "MainWindow::printDocument() - print queue full; document dropped");
            for (int i = 0; i < 100; ++i)
                m_window->printDocument("flood");
            QVERIFY(m_window->statusBar()->currentMessage().contains("dropped"));
            dialog->reject();
        });
        m_window->printDocument("fifth");
        QTRY_VERIFY(driver.allHandled());
    }

    void passwordResultWithoutPendingChangeIsIgnored()
    {
        ModalDriver driver;
        m_window->changePasswordResult(true, "done");
        QTest::qWait(100);
        QVERIFY(driver.unexpected().isEmpty());

        QSignalSpy request(m_window.get(), &MainWindow::requestChangePassword);
        m_window->passwordChangeRequested("old", "new");
        QCOMPARE(request.at(0), (QList<QVariant> { "jdoe", "old", "new" }));
        QString title;
        driver.expect<QMessageBox>([&title](QMessageBox *box) {
            title = box->windowTitle() + "|" + box->text();
            box->accept();
        });
        m_window->changePasswordResult(true, QString());
        QTRY_COMPARE(title, QString("Password Change Successful|Password changed as requested"));
    }

    // One settings dialog at a time; the password result is shown over it; a solo application
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

        QSignalSpy request(m_window.get(), &MainWindow::requestChangePassword);
        dialog->findChild<QLineEdit *>("currentPassEdit")->setText("old");
        dialog->findChild<QLineEdit *>("newPassEdit")->setText("new");
        dialog->findChild<QLineEdit *>("confirmPassEdit")->setText("new");
        dialog->findChild<QAbstractButton *>("changePassButton")->click();
        QCOMPARE(request.at(0), (QList<QVariant> { "jdoe", "old", "new" }));
        ModalDriver driver;
        QString shown;
        driver.expect<QMessageBox>([&shown, dialog](QMessageBox *box) {
            shown = box->windowTitle() + "|" + box->text() + "|" + (box->parentWidget() == dialog ? "over" : "apart");
            box->accept();
        });
        m_window->changePasswordResult(false, "<b>too short</b>");
        QTRY_COMPARE(shown, QString("Password Change Failed|<b>too short</b>|over"));

        m_window->taskmanagerModal(true);
        QTRY_VERIFY(!dialog);
        m_window->launchUserSettings();
        QCOMPARE(dialogs().size(), 1);
    }

    void channelTable()
    {
        QSignalSpy outgoing(m_window->sessionRouter(), &SessionRouter::hubChannelMessageSend);
        m_window->sessionRouter()->hubChannelState(5, true);
        m_window->sessionRouter()->hubChannelState(5, true);
        QCOMPARE(m_window->sessionRouter()->openChannelCount(), 1);
        m_window->sessionRouter()->hubChannelState(9, false); // never opened: nothing
        QCOMPARE(m_window->sessionRouter()->openChannelCount(), 1);

        auto *transport = m_window->findChild<ChannelTranceiver *>();
        QVERIFY(transport);
        QSignalSpy gone(transport, &AppTranceiver::disconnected);
        transport->rawMessageSend("to server");
        QCOMPARE(outgoing.size(), 1);
        QCOMPARE(outgoing.at(0).at(0).value<ushort>(), ushort(5));

        m_window->sessionRouter()->hubChannelState(5, false);
        QCOMPARE(gone.size(), 1);
        QCOMPARE(m_window->sessionRouter()->openChannelCount(), 0);
    }

    void destroyedTransportIsForgotten()
    {
        m_window->sessionRouter()->hubChannelState(7, true);
        delete m_window->findChild<ChannelTranceiver *>();
        QCOMPARE(m_window->sessionRouter()->openChannelCount(), 0);
        // Later data and a close notice for the number are dropped.
        m_window->sessionRouter()->hubChannelMessageRcvd(7, "abc", 3);
        m_window->sessionRouter()->hubChannelState(7, false);
        QCOMPARE(m_window->sessionRouter()->openChannelCount(), 0);
    }

    void invalidApplicationIsDiscarded()
    {
        m_window->sessionRouter()->hubChannelState(3, true);
        QPointer<ChannelTranceiver> transport = m_window->findChild<ChannelTranceiver *>();
        QTest::ignoreMessage(QtCriticalMsg,
                             "AppTranceiver::processIncomingMessage() - Unable to parse first message.");
        QTest::ignoreMessage(QtCriticalMsg, "Unknown application type: 1");
        m_window->sessionRouter()->hubChannelMessageRcvd(3, "\xff\xff", 2);
        QTRY_VERIFY(!transport);
        QCOMPARE(m_window->sessionRouter()->openChannelCount(), 0);
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
    static QList<DocumentViewer *> openViewers()
    {
        QList<DocumentViewer *> viewers;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *viewer = qobject_cast<DocumentViewer *>(widget);
            if (viewer && viewer->isVisible())
                viewers << viewer;
        }
        return viewers;
    }

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
    HostEntry m_host;
    std::unique_ptr<MainConnection> m_connection;
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
