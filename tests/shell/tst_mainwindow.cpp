#include "shell/mainwindow.h"

#include "applinks/channeltranceiver.h"
#include "applinks/sessionrouter.h"
#include "classic/applicationconnection.h"
#include "classic/classicapplicationwidget.h"
#include "classic/zufieldwidget.h"
#include "dictedit/dictedittaskwidget.h"
#include "hub/hubconnection.h"
#include "menu/mainconnection.h"
#include "menu/menuitem.h"
#include "settings/settingsmanager.h"
#include "shell/elidedlabel.h"
#include "shell/homepagewidget.h"
#include "shell/menuitemmodel.h"
#include "shell/passwordchange.h"
#include "shell/settingsdialog.h"
#include "shell/taskmanager.h"
#include "terminal/terminaltaskwidget.h"

#include "files/fileviewer.h"

#include "fakemenufiles.h"
#include "modaldriver.h"
#include "routedsessions.h"
#include "studentmenu.h"
#include "testdocuments.h"
#include "testenvironment.h"
#include "testpaths.h"
#include "urlcatcher.h"

#include "dictedit.pb.h"
#include "menu.pb.h"
#include "uidlg.pb.h"
#include "zuterm.pb.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QRegularExpression>
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

    // The link goes while text is typed into a classic page and a dictionary: both pages stay,
    // read-only, with their text, nothing more is sent, and quitting or closing a page asks first.
    void lostLinkKeepsTypedText()
    {
        m_window->setRootMenuItem(studentMenu());
        m_window->show();
        QSignalSpy sent(m_window->sessionRouter(), &SessionRouter::hubChannelMessageSend);
        QSignalSpy lost(m_window->sessionRouter(), &SessionRouter::applicationsLost);
        startClassicSession(3, 77);
        Pb::UIEnvelope screen;
        screen.set_window_id(1);
        screen.mutable_load_screen()->set_screen(studentDocument().toStdString());
        screen.mutable_load_screen()->set_screen_id(5);
        deliver(3, screen);
        Pb::UIEnvelope update;
        update.set_window_id(1);
        update.mutable_put_field()->mutable_field_id()->set_screen_id(5);
        update.mutable_put_field()->mutable_field_id()->set_field_name("student_name");
        update.mutable_put_field()->set_data_type(ZuFieldWidget::ZUGUI_CHAR);
        update.mutable_put_field()->set_data("Ada");
        update.mutable_activate_field()->mutable_field_id()->set_screen_id(5);
        update.mutable_activate_field()->mutable_field_id()->set_field_name("student_name");
        update.mutable_activate_field()->set_activate(true);
        update.mutable_set_focus()->mutable_field_id()->set_screen_id(5);
        update.mutable_set_focus()->mutable_field_id()->set_field_name("student_name");
        update.mutable_keyboard_mode()->set_mode(ClassicApplicationWidget::FieldMode);
        deliver(3, update);
        QPointer<ClassicApplicationWidget> classic
            = routedSessions<ApplicationConnection>(m_window->sessionRouter()).value(0)->page(1);
        QVERIFY(classic);
        ZuFieldWidget *field = classic->getField(5, "student_name");
        QVERIFY(field && !field->lineEdit()->isReadOnly());
        QTest::keyClicks(field->lineEdit(), "Okafor");
        const QString typed = field->data();
        QVERIFY2(typed.endsWith("Okafor") && field->isDataChanged(), qPrintable(typed));

        m_window->sessionRouter()->hubChannelState(8, true);
        dictedit::Envelope hello;
        hello.mutable_handshake()->set_type(dictedit::Handshake::DICTEDIT);
        deliverBytes(8, hello.SerializeAsString());
        dictedit::Envelope begin;
        dictedit::DataSource *source = begin.mutable_begin_edit()->add_dictionary_sources();
        source->set_name("Fees");
        source->set_type(dictedit::DataSource::STRING);
        source->set_is_mutable(true);
        deliverBytes(8, begin.SerializeAsString());
        QPointer<DictEditTaskWidget> dictionary = m_window->findChild<DictEditTaskWidget *>();
        QVERIFY(dictionary);
        auto *definition = dictionary->findChild<QPlainTextEdit *>("dataDefinitionEdit");
        QTest::keyClicks(definition, "@@Rate * 2");
        QVERIFY(!dictionary->unsavedWork().isEmpty());

        m_window->sessionRouter()->destroyHubConnections();
        QCOMPARE(lost.size(), 1);
        QCOMPARE(lost.at(0).at(0).toInt(), 2);
        QTRY_COMPARE(m_window->sessionRouter()->sessions().size(), 0);
        QTest::qWait(50); // what the sessions left to be deleted is gone
        QVERIFY(classic && dictionary);
        for (TaskPageWidget *page :
             { static_cast<TaskPageWidget *>(classic), static_cast<TaskPageWidget *>(dictionary) }) {
            QVERIFY(page->isEnded());
            QVERIFY2(
                QRegularExpression("^The connection was lost at \\d\\d:\\d\\d; this program has ended on the "
                                   "server\\.$")
                    .match(page->endedNotice())
                    .hasMatch(),
                qPrintable(page->endedNotice()));
            QVERIFY(page->findChild<QWidget *>("endedBanner")->isVisibleTo(page));
            QCOMPARE(m_window->taskManager()->buttonFor(page)->property("ended").toBool(), true);
        }
        QCOMPARE(field->data(), typed);
        QVERIFY(field->lineEdit()->isReadOnly());
        field->lineEdit()->selectAll();
        QCOMPARE(field->lineEdit()->selectedText(), typed);
        QCOMPARE(definition->toPlainText(), QString("@@Rate * 2"));
        QVERIFY(definition->isReadOnly() && definition->isEnabled());
        QVERIFY(!dictionary->findChild<QPushButton *>("saveButton")->isEnabled());

        // Keys and the dictionary's own buttons reach no server.
        const int sentBefore = sent.size();
        QTest::keyClick(field->lineEdit(), Qt::Key_Tab);
        QTest::keyClicks(definition, "x");
        QCOMPARE(sent.size(), sentBefore);

        ModalDriver driver;
        QString question;
        driver.expect<QMessageBox>([&question](QMessageBox *box) {
            question = box->text();
            box->button(QMessageBox::Cancel)->click();
        });
        QVERIFY(!m_window->close());
        QTRY_VERIFY(driver.allHandled());
        QCOMPARE(question,
                 QString("Quitting ZU Desktop loses the text typed into \"Student Records\" and never sent "
                         "and unsaved dictionary changes."));
        QVERIFY(m_window->isVisible());

        // Closing an ended page that holds nothing unsent asks nothing; one that does asks first.
        driver.expect<QMessageBox>([](QMessageBox *box) {
            QCOMPARE(box->text(), QString("Closing this page loses unsaved dictionary changes."));
            for (QAbstractButton *button : box->buttons())
                if (button->text() == "Close")
                    button->click();
        });
        dictionary->findChild<QPushButton *>("endedCloseButton")->click();
        QTRY_VERIFY(!dictionary);
        QCOMPARE(m_window->taskManager()->taskButtons().size(), 2);
        QVERIFY(driver.unexpected().isEmpty());
    }

    // While the hub does not answer, a reply still owed an answer is named on its page, and a
    // launch in the window's status bar; an answer takes each away.
    void silentHubIsNamedWhereTheUserWaits()
    {
        m_window->setRootMenuItem(studentMenu());
        startClassicSession(5, 0);
        ClassicApplicationWidget *page
            = routedSessions<ApplicationConnection>(m_window->sessionRouter()).value(0)->page(1);
        auto *status = page->findChild<QLabel *>("statusLabel");
        m_window->setHubAnswering(false);
        QCOMPARE(status->text(), QString("ready")); // nothing was owed

        emit page->keyPressed(nullptr, Pb::Key(13));
        QVERIFY2(status->text().startsWith("The hub is not answering: what was sent at "),
                 qPrintable(status->text()));
        Pb::UIEnvelope answer;
        answer.set_window_id(1);
        answer.mutable_set_status()->set_status_text("saved");
        deliver(5, answer);
        QCOMPARE(status->text(), QString("saved"));

        const QModelIndex records
            = m_window->menuModel()
                  ->match(m_window->menuModel()->index(0, 0), MenuItemModel::MenuPathRole, "/stu/records.opt",
                          1, Qt::MatchRecursive)
                  .value(0);
        QVERIFY(records.isValid());
        emit m_window->homePage()->itemActivated(records);
        QVERIFY2(
            QRegularExpression(
                R"(^The hub is not answering: "Student Records", asked for at [\d:]{8}, has not started\.$)")
                .match(m_window->statusBar()->currentMessage())
                .hasMatch(),
            qPrintable(m_window->statusBar()->currentMessage()));
        m_window->setHubAnswering(true);
        QVERIFY(m_window->statusBar()->currentMessage().isEmpty());
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
        deliverBytes(channel, envelope.SerializeAsString());
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

    void deliverBytes(ushort channel, const std::string &bytes)
    {
        m_window->sessionRouter()->hubChannelMessageRcvd(channel, bytes.data(), int(bytes.size()));
    }

    static QByteArray studentDocument()
    {
        QFile file(QStringLiteral(ZU_CLASSIC_TEST_DATA "/student.ui"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MainConnection> m_connection;
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
