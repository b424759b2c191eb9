#include "app/runner.h"

#include "app/installerdownload.h"
#include "app/logindialog.h"
#include "app/releasechooser.h"
#include "classic/classicapplicationwidget.h"
#include "devhub/demoinstaller.h"
#include "devhub/webreportserver.h"
#include "hub/hubconnection.h"
#include "hub/linkhealth.h"
#include "hub/updateprompt.h"
#include "settings/settingsmanager.h"
#include "shell/homepagewidget.h"
#include "shell/linkhealthbar.h"
#include "shell/mainwindow.h"
#include "shell/passchangedialog.h"
#include "shell/taskmanager.h"
#include "utils/clientidentity.h"

#include "modaldriver.h"
#include "silentpeer.h"
#include "testcertificates.h"
#include "testenvironment.h"
#include "testhub.h"
#include "testmenupeer.h"

#include "uidlg.pb.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

constexpr int WaitMs = 15000;

// Runs the event loop until the code under test asks to quit (0) or the time runs out (1).
int runUntilQuit(int timeoutMs)
{
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &timeout, [] { QCoreApplication::exit(1); });
    timeout.start(timeoutMs);
    return QCoreApplication::exec();
}

// Counts progress dialogs that were ever shown.
class ProgressWatch : public QObject
{
public:
    ProgressWatch() { qApp->installEventFilter(this); }
    int shown = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QProgressDialog *>(watched))
            ++shown;
        return false;
    }
};

// Answers a window's close as a user who cancels the quit question would.
class CloseRefuser : public QObject
{
public:
    int asked = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Close)
            return false;
        ++asked;
        event->ignore();
        return true;
    }
};

} // namespace

// Login flows of the real Runner against an in-process TLS hub that plays the menu server.
class tst_Runner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_env = std::make_unique<TestEnvironment>();
        QVERIFY2(TestCertificates::instance().isValid(),
                 qPrintable(TestCertificates::instance().errorText()));
        TestCertificates::trustAuthority(true);
        m_identity = std::make_unique<ClientIdentity>();
    }

    void cleanupTestCase()
    {
        TestCertificates::trustAuthority(false);
        m_identity.reset();
        m_env.reset();
    }

    void init()
    {
        QSettings().clear();
        QFile::remove(configPath());
        SettingsManager::resetInstance();
        m_hub = std::make_unique<TestHub>();
        QVERIFY(m_hub->start());
        m_hub->setHelloAck(plainAck());
        m_peer = std::make_unique<TestMenuPeer>(m_hub.get());
        writeConfig({ { "campus", m_hub->serverPort() } });
    }

    void cleanup()
    {
        m_runner.reset();
        if (m_installation) {
            QDir::setCurrent(m_startFolder);
            m_installation.reset();
        }
        m_peer.reset();
        m_hub.reset();
        QGuiApplication::setQuitOnLastWindowClosed(false);
    }

    void oneReleaseGoesStraightToTheMainWindow()
    {
        startRunner();
        QVERIFY(!dialog()->findChild<QWidget *>("hostWidget")->isVisible());
        login("jdoe", "secret", /*remember=*/true);
        QTRY_VERIFY_WITH_TIMEOUT(m_runner->mainWindow() && m_runner->mainWindow()->isVisible(), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_peer->lastRelease, QString("live"), WaitMs);
        QTRY_VERIFY(!m_runner->loginDialog());
        QVERIFY(QGuiApplication::quitOnLastWindowClosed());
        QCOMPARE(m_runner->selectedHost().defaultRelease, QString("live"));
        QCOMPARE(QSettings().value("username").toString(), QString("jdoe"));
        QCOMPARE(QSettings().value("lastHostGroup").toString(), QString("campus"));
        // Only one release on offer: nothing is remembered as default.
        QVERIFY(!QSettings().contains(QString("defaultReleases/127.0.0.1:%1").arg(m_hub->serverPort())));
        QVERIFY(m_peer->received.contains("authenticate"));
        QTRY_VERIFY_WITH_TIMEOUT(m_peer->received.contains("menudatarequest"), WaitMs);
    }

    void authenticationFailureShowsTheError()
    {
        m_peer->authStatus.set_status(Menu::AuthStatus::FAILED);
        m_peer->authStatus.set_pam_error_number(7);
        m_peer->authStatus.set_pam_error_message("Authentication failure");
        startRunner();
        login("jdoe", "wrong");
        QTRY_COMPARE_WITH_TIMEOUT(
            dialog()->errorText(),
            QString(
                "The user name or the password is not right. Check both (is Caps Lock on?) and try again.\n"
                "(The server said: Authentication failure, error 7.)"),
            WaitMs);
        QCOMPARE(Runner::loginFailureText(13, "Account expired"),
                 QString("Your account has expired. Ask your administrator to renew it.\n"
                         "(The server said: Account expired, error 13.)"));
        QTRY_VERIFY(dialog()->findChild<QPushButton *>("connectButton")->isEnabled());
        QVERIFY(!m_runner->mainWindow());
        QTRY_VERIFY(m_peer->menuLinkRequests.contains("off"));
        QVERIFY(!QSettings().contains("username"));
    }

    void passwordChange_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("changed") << true << true;
        QTest::newRow("refused") << true << false;
        QTest::newRow("cancelled") << false << false;
    }

    void passwordChange()
    {
        QFETCH(bool, accept);
        QFETCH(bool, succeeds);
        m_peer->authStatus.set_status(Menu::AuthStatus::NEED_PASSWORD_CHANGE);
        m_peer->passwordChangeSucceeds = succeeds;
        m_peer->passwordChangeMessage = succeeds ? QString() : QString("Password too short");

        ModalDriver driver;
        QString boxTitle;
        driver.expect<PassChangeDialog>([accept](PassChangeDialog *change) {
            if (!accept) {
                change->findChild<QPushButton *>("cancelButton")->click();
                return;
            }
            change->findChild<QLineEdit *>("currentPassEdit")->setText("old");
            change->findChild<QLineEdit *>("newPassEdit")->setText("n3w");
            change->findChild<QLineEdit *>("confirmPassEdit")->setText("n3w");
            change->findChild<QPushButton *>("confirmButton")->click();
        });
        if (accept)
            driver.expect<QMessageBox>([&boxTitle](QMessageBox *box) {
                boxTitle = box->windowTitle();
                box->accept();
            });
        startRunner();
        login("jdoe", "old");
        if (succeeds) {
            QTRY_VERIFY_WITH_TIMEOUT(m_runner->mainWindow(), WaitMs);
            QTRY_COMPARE(boxTitle, QString("Password Change Successful"));
            QCOMPARE(m_peer->passwordChanges, QStringList { "jdoe old n3w" });
            QVERIFY(m_peer->received.contains("releasedatarequest"));
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(driver.allHandled(), WaitMs);
            QTRY_VERIFY_WITH_TIMEOUT(m_peer->menuLinkRequests.contains("off"), WaitMs);
            QTRY_VERIFY(dialog() && dialog()->findChild<QPushButton *>("connectButton")->isEnabled());
            QVERIFY(!m_runner->mainWindow());
            if (accept)
                QCOMPARE(boxTitle, QString("Password Change Failed"));
        }
        QVERIFY2(driver.unexpected().isEmpty(), qPrintable(driver.unexpected().join(", ")));
    }

    void noReleasesQuits()
    {
        m_peer->releases.clear();
        ModalDriver driver;
        QString text;
        driver.expect<QMessageBox>([&text](QMessageBox *box) {
            text = box->text();
            box->accept();
        });
        startRunner();
        login("jdoe", "secret");
        QCOMPARE(runUntilQuit(WaitMs), 0);
        QCOMPARE(text, QString("No Environments"));
    }

    void storedDefaultReleaseIsUsed()
    {
        twoReleases();
        QSettings().setValue(QString("defaultReleases/127.0.0.1:%1").arg(m_hub->serverPort()), "test");
        ModalDriver driver; // no chooser expected
        startRunner();
        QVERIFY(dialog()->findChild<QCheckBox *>("connectToDefault")->text().contains("\"test\""));
        login("jdoe", "secret");
        QTRY_VERIFY_WITH_TIMEOUT(m_runner->mainWindow(), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_peer->lastRelease, QString("test"), WaitMs);
        QVERIFY(driver.unexpected().isEmpty());
    }

    void defaultMissingFromTheListShowsTheChooser()
    {
        twoReleases();
        QSettings().setValue(QString("defaultReleases/127.0.0.1:%1").arg(m_hub->serverPort()), "gone");
        ModalDriver driver;
        QString checked;
        driver.expect<ReleaseChooser>([&checked](ReleaseChooser *chooser) {
            checked = chooser->selectedRelease().key;
            chooser->findChild<QPushButton *>("selectButton")->click();
        });
        startRunner();
        login("jdoe", "secret");
        QTRY_VERIFY_WITH_TIMEOUT(m_runner->mainWindow(), WaitMs);
        QCOMPARE(checked, QString("live"));
        QTRY_COMPARE_WITH_TIMEOUT(m_peer->lastRelease, QString("live"), WaitMs);
    }

    void uncheckedDefaultIsForgotten()
    {
        twoReleases();
        const QString key = QString("defaultReleases/127.0.0.1:%1").arg(m_hub->serverPort());
        QSettings().setValue(key, "test");
        ModalDriver driver;
        QString preselected;
        driver.expect<ReleaseChooser>([&preselected](ReleaseChooser *chooser) {
            preselected = chooser->selectedRelease().key;
            chooser->findChildren<QRadioButton *>().at(0)->setChecked(true);
            chooser->findChild<QPushButton *>("selectButton")->click();
        });
        startRunner();
        dialog()->findChild<QCheckBox *>("connectToDefault")->setChecked(false);
        login("jdoe", "secret");
        QTRY_VERIFY_WITH_TIMEOUT(m_runner->mainWindow(), WaitMs);
        QVERIFY(driver.allHandled());
        QCOMPARE(preselected, QString("test")); // the old default is still offered first
        QTRY_COMPARE_WITH_TIMEOUT(m_peer->lastRelease, QString("live"), WaitMs);
        QVERIFY(!QSettings().contains(key));
    }

    void cancelledChooser()
    {
        twoReleases();
        ModalDriver driver;
        driver.expect<ReleaseChooser>(
            [](ReleaseChooser *chooser) { chooser->findChild<QPushButton *>("cancelButton")->click(); });
        startRunner();
        login("jdoe", "secret");
        QTRY_COMPARE_WITH_TIMEOUT(dialog()->errorText(), QString("User Cancelled"), WaitMs);
        QTRY_VERIFY(m_peer->menuLinkRequests.contains("off"));
        QVERIFY(!m_runner->mainWindow());
    }

    // The link drops while the chooser is open: it closes, and no desktop opens on a dead link.
    void linkLostWhileChoosing()
    {
        twoReleases();
        ModalDriver driver;
        driver.expect<ReleaseChooser>([this](ReleaseChooser *chooser) {
            m_hub->closePeer();
            QVERIFY(QTest::qWaitFor([chooser = QPointer<ReleaseChooser>(chooser)] { return !chooser || !chooser->isVisible(); }, WaitMs));
        });
        startRunner();
        login("jdoe", "secret");
        QTRY_VERIFY_WITH_TIMEOUT(driver.allHandled(), WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(dialog() && dialog()->isVisible(), WaitMs);
        QTest::qWait(200);
        QVERIFY(!m_runner->mainWindow());
        QVERIFY(m_peer->lastRelease.isEmpty());
    }

    // A dropped link leaves the desktop in view with the ended program's page; the login dialog
    // says what ended, and the next login goes on with the same desktop and page.
    void droppedLinkKeepsTheDesktop()
    {
        startRunner();
        login("jdoe", "secret");
        QTRY_VERIFY_WITH_TIMEOUT(m_runner->mainWindow() && m_runner->mainWindow()->isVisible(), WaitMs);
        QPointer<MainWindow> first = m_runner->mainWindow();
        startClassicProgram(5);
        QPointer<ClassicApplicationWidget> page;
        QTRY_VERIFY_WITH_TIMEOUT((page = first->findChild<ClassicApplicationWidget *>()), WaitMs);

        m_hub->closePeer();
        QTRY_VERIFY_WITH_TIMEOUT(dialog() && dialog()->isVisible(), WaitMs);
        QVERIFY(first->isVisible());
        QTRY_VERIFY(page && page->isEnded());
        QVERIFY2(
            dialog()->errorText().endsWith(
                "\n1 program ended on the server; its pages stay open, read-only, until you close them."),
            qPrintable(dialog()->errorText()));
        QVERIFY(!first->homePage()->isEnabled());
        QCOMPARE(dialog()->username(), QString()); // not remembered this time

        login("jdoe", "secret");
        QTRY_VERIFY_WITH_TIMEOUT(!m_runner->loginDialog(), WaitMs);
        QCOMPARE(m_runner->mainWindow(), first.data());
        QVERIFY(first->isEnabled() && first->homePage()->isEnabled());
        QVERIFY(page && page->isEnded());
        QVERIFY(first->taskManager()->buttonFor(page)->property("ended").toBool());
    }

    // Change release reloads the menu on the chosen release; Log out ends the desktop and the
    // link, and the next login makes a new desktop.
    void changeReleaseAndLogOut()
    {
        twoReleases();
        ModalDriver driver;
        driver.expect<ReleaseChooser>(
            [](ReleaseChooser *chooser) { chooser->findChild<QPushButton *>("selectButton")->click(); });
        startRunner();
        login("jdoe", "secret");
        QTRY_VERIFY_WITH_TIMEOUT(m_runner->mainWindow() && m_runner->mainWindow()->isVisible(), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_peer->lastRelease, QString("live"), WaitMs);
        QPointer<MainWindow> first = m_runner->mainWindow();
        QTRY_COMPARE_WITH_TIMEOUT(m_peer->received.count("menudatarequest"), 1, WaitMs);

        QString offered;
        driver.expect<ReleaseChooser>([&offered](ReleaseChooser *chooser) {
            offered = chooser->selectedRelease().key;
            chooser->findChildren<QRadioButton *>().at(1)->setChecked(true);
            chooser->findChild<QPushButton *>("selectButton")->click();
        });
        first->homePage()->findChild<QAction *>("changeReleaseAction")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(driver.allHandled(), WaitMs);
        QCOMPARE(offered, QString("live")); // the release in use comes first
        QTRY_COMPARE_WITH_TIMEOUT(m_peer->lastRelease, QString("test"), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_peer->received.count("menudatarequest"), 2, WaitMs);
        QCOMPARE(first->findChild<QLabel *>("releaseLabel")->text(), QString("Test system"));
        QCOMPARE(m_runner->selectedHost().defaultRelease, QString("test"));

        first->homePage()->findChild<QAction *>("logOutAction")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(dialog() && dialog()->isVisible(), WaitMs);
        QCOMPARE(dialog()->statusText(), QString("You have logged out."));
        QVERIFY(m_hub->waitForPeerGone());
        QTRY_VERIFY(!first);
        QVERIFY(!m_runner->mainWindow());

        driver.expect<ReleaseChooser>(
            [](ReleaseChooser *chooser) { chooser->findChild<QPushButton *>("selectButton")->click(); });
        login("jdoe", "secret");
        QTRY_VERIFY_WITH_TIMEOUT(m_runner->mainWindow() && m_runner->mainWindow()->isVisible(), WaitMs);
        QVERIFY(driver.unexpected().isEmpty());
    }

    void hostConfiguration()
    {
        writeConfig({ { "north", 4433 }, { "south", 4434 } });
        QSettings().setValue("lastHostGroup", "south");
        startRunner();
        QVERIFY(dialog()->findChild<QWidget *>("hostWidget")->isVisible());
        QCOMPARE(dialog()->selectedHost().name, QString("south"));
        QCOMPARE(dialog()->selectedHost().port, quint16(4434));
        m_runner.reset();

        QSettings().setValue("lastHostGroup", "gone");
        startRunner();
        QCOMPARE(dialog()->selectedHost().name, QString("north"));
    }

    void hostWithoutPortIsRefusedAtLogin()
    {
        writeConfig({{"broken", 0}});
        ModalDriver driver;
        QString text;
        driver.expect<QMessageBox>([&text](QMessageBox *box) {
            text = box->text();
            box->accept();
        });
        startRunner();
        // Clicked from inside the event loop, as a user would: the quit must reach that loop.
        QTimer::singleShot(0, this, [this] { login("jdoe", "secret"); });
        QCOMPARE(runUntilQuit(WaitMs), 0);
        QCOMPARE(text, QString("Invalid Configuration"));
        QCOMPARE(m_hub->connectionCount(), 0);
    }

    void missingConfigurationQuits()
    {
        QFile::remove(configPath());
        ModalDriver driver;
        QString text;
        driver.expect<QMessageBox>([&text](QMessageBox *box) {
            text = box->text();
            box->accept();
        });
        m_runner = std::make_unique<Runner>(m_identity.get());
        QCOMPARE(runUntilQuit(WaitMs), 0);
        QCOMPARE(text, QString("Invalid Configuration"));
    }

    // The hub offers an update: the download (under 2 s, so without a progress dialog) lands in
    // the private folder, the client quits and starts the installer with the script and the
    // client's own folder. The demo installer writes down how it was started.
    void updateStartsTheInstaller()
    {
        const QString record = m_env->path() + "/" + DemoInstaller::RecordFileName;
        WebReportServer web;
        web.setTlsConfiguration(installerTls());
        web.setInstallerRecordPath(record);
        QString error;
        QVERIFY2(web.start(QHostAddress::LocalHost, 0, &error), qPrintable(error));
        const QString installation = makeInstallation();
        offerUpdate(DemoInstaller::defaultUrl("127.0.0.1", web.serverPort(), "2.0.0"));

        ModalDriver driver;
        driver.expect<UpdatePrompt>([](UpdatePrompt *prompt) { prompt->accept(); });
        ProgressWatch progress;
        startRunner();
        login("jdoe", "secret");
        QCOMPARE(runUntilQuit(WaitMs), 0);
        QVERIFY(driver.allHandled());

        const QString folder = InstallerDownload::folderPath();
        QVERIFY(folder.startsWith(m_env->path() + "/cache/"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), WaitMs);
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts),
                 QStringList({ "argument=--script=" + folder + "/auto_update.qs", "folder=" + folder,
                               "XX_ZU_CLIENT_PATH=" + installation }));
        QVERIFY(QFileInfo(folder + "/zu-desktop-installer.run").isExecutable());
        QCOMPARE(QFile::permissions(folder) & 0x0ff, QFileDevice::Permissions()); // group, others
        QCOMPARE(progress.shown, 0);
    }

    // A failed download: the box with the reason, the login dialog with "Update Failed", nothing
    // left to run; the next login removes what the attempt left.
    void failedUpdateReturnsToLogin()
    {
        WebReportServer web; // no demo installer: the address is not found
        web.setTlsConfiguration(installerTls());
        QString error;
        QVERIFY2(web.start(QHostAddress::LocalHost, 0, &error), qPrintable(error));
        makeInstallation();
        offerUpdate(DemoInstaller::defaultUrl("127.0.0.1", web.serverPort(), "2.0.0"));

        ModalDriver driver;
        driver.expect<UpdatePrompt>([](UpdatePrompt *prompt) { prompt->accept(); });
        QString text;
        QString details;
        driver.expect<QMessageBox>([&](QMessageBox *box) {
            text = box->text();
            details = box->detailedText();
            box->accept();
        });
        startRunner();
        login("jdoe", "secret");
        QTRY_COMPARE_WITH_TIMEOUT(dialog()->errorText(), QString("Update Failed"), WaitMs);
        QCOMPARE(text, QString("Update Download Failed"));
        QVERIFY2(details.contains("Not Found"), qPrintable(details));
        QTRY_VERIFY(dialog()->findChild<QPushButton *>("connectButton")->isEnabled());
        const QString folder = InstallerDownload::folderPath();
        QVERIFY(QDir(folder).isEmpty());

        QFile leftOver(folder + "/partial.run");
        QVERIFY(leftOver.open(QIODevice::WriteOnly));
        leftOver.close();
        m_hub->setHelloAck(plainAck());
        login("jdoe", "secret");
        QTRY_VERIFY_WITH_TIMEOUT(m_runner->mainWindow(), WaitMs);
        QVERIFY(!QFileInfo::exists(folder));
        QVERIFY2(driver.unexpected().isEmpty(), qPrintable(driver.unexpected().join(", ")));
    }

    // A hub that accepts the connection and never answers: the login dialog says which step timed
    // out, and Login works again.
    void silentHubTimesOut()
    {
        SilentPeer silent;
        QVERIFY(silent.isListening());
        writeConfig({ { "campus", silent.serverPort() } });
        startRunner();
        m_runner->hubConnection()->setStepTimeouts({ 5000, 300, 300 });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("HUB: time-out:"));
        login("jdoe", "secret");
        QCOMPARE(dialog()->statusText(), QString("Connecting to 127.0.0.1:%1...").arg(silent.serverPort()));
        QTRY_VERIFY_WITH_TIMEOUT(dialog()->errorText().contains("timed out"), WaitMs);
        QCOMPARE(dialog()->errorText(),
                 QString("The secure handshake with 127.0.0.1:%1 timed out: no answer within 0.3 s.")
                     .arg(silent.serverPort()));
        QCOMPARE(dialog()->statusPage(), int(LoginDialog::ErrorPage));
        QTRY_VERIFY(dialog()->findChild<QPushButton *>("connectButton")->isEnabled());
        QVERIFY(!m_runner->mainWindow());
    }

    // Cancel on the login dialog stops the attempt at once and says so, naming the host.
    void cancelWhileConnecting()
    {
        SilentPeer silent;
        QVERIFY(silent.isListening());
        writeConfig({ { "campus", silent.serverPort() } });
        startRunner();
        auto *cancel = dialog()->findChild<QPushButton *>("cancelButton");
        QVERIFY(cancel && cancel->isHidden());
        login("jdoe", "secret");
        QVERIFY(cancel->isVisible());
        QTRY_COMPARE(silent.held.size(), 1);
        cancel->click();
        QCOMPARE(dialog()->errorText(), QString("Connecting to 127.0.0.1:%1 was cancelled.").arg(silent.serverPort()));
        QCOMPARE(dialog()->statusPage(), int(LoginDialog::ErrorPage));
        QTRY_VERIFY(dialog()->findChild<QPushButton *>("connectButton")->isEnabled());
        QVERIFY(cancel->isHidden());
        QTRY_COMPARE_WITH_TIMEOUT(silent.held.first()->state(), QAbstractSocket::UnconnectedState, WaitMs);
        QCOMPARE(m_runner->hubConnection()->state(), HubConnection::State::Disconnected);
    }

    // With nothing listening any more, the login dialog says so in words, and never shows what the
    // link before ended with.
    void nothingListeningIsSaidInWords()
    {
        startRunner();
        login("jdoe", "secret");
        QTRY_VERIFY_WITH_TIMEOUT(m_runner->mainWindow() && m_runner->mainWindow()->isVisible(), WaitMs);
        const quint16 port = m_hub->serverPort();
        m_hub->close();
        m_hub->closePeer();
        QTRY_VERIFY_WITH_TIMEOUT(dialog() && dialog()->isVisible() && !dialog()->errorText().isEmpty(), WaitMs);
        const QString earlier = dialog()->errorText();

        login("jdoe", "secret");
        QTRY_VERIFY_WITH_TIMEOUT(dialog()->findChild<QPushButton *>("connectButton")->isEnabled(), WaitMs);
        QVERIFY2(dialog()->errorText().startsWith(QString("No hub answers at 127.0.0.1:%1.\nDetails: ").arg(port)),
                 qPrintable(dialog()->errorText()));
        QVERIFY(dialog()->errorText() != earlier);
        QCOMPARE(dialog()->statusPage(), int(LoginDialog::ErrorPage));
    }

    // The menu server's fatal notice ends the session: the login dialog comes back with its text
    // instead of the desktop staying up on a link that carries nothing.
    void fatalStatusMessageEndsTheSession()
    {
        startRunner();
        login("jdoe", "secret");
        QTRY_VERIFY_WITH_TIMEOUT(m_runner->mainWindow() && m_runner->mainWindow()->isVisible(), WaitMs);
        Menu::Envelope notice;
        notice.mutable_statusmessage()->set_type(Menu::StatusMessage::FATAL);
        notice.mutable_statusmessage()->set_message("The student database is offline");
        QTest::ignoreMessage(QtWarningMsg, "Status message indicates FATAL. Destroying the connection");
        m_hub->sendFrame(FrameCodec::MenuFrame, QByteArray::fromStdString(notice.SerializeAsString()));
        QTRY_VERIFY_WITH_TIMEOUT(dialog() && dialog()->isVisible(), WaitMs);
        QCOMPARE(dialog()->errorText(), QString("The student database is offline"));
        // The desktop stays in view, with nothing to launch from.
        QVERIFY(!m_runner->mainWindow()->homePage()->isEnabled());
        QVERIFY(m_hub->waitForPeerGone());
        QTRY_VERIFY(dialog()->findChild<QPushButton *>("connectButton")->isEnabled());
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *box = qobject_cast<QMessageBox *>(window))
                box->close();
        }
    }

    // A hub that calls this client incompatible ends it only through the desktop's own quit
    // question (unsaved work, running programs): a user who declines it keeps the desktop.
    void incompatibleClientAsksTheQuitQuestion()
    {
        startRunner();
        login("jdoe", "secret");
        QTRY_VERIFY_WITH_TIMEOUT(m_runner->mainWindow() && m_runner->mainWindow()->isVisible(), WaitMs);
        CloseRefuser refuser;
        m_runner->mainWindow()->installEventFilter(&refuser);
        m_hub->closePeer();
        QTRY_VERIFY_WITH_TIMEOUT(dialog() && dialog()->isVisible(), WaitMs);

        ZuHubProto::HelloAck ack = plainAck();
        ack.set_client_incompatible(true);
        m_hub->setHelloAck(ack);
        ModalDriver driver;
        driver.expect<QMessageBox>([](QMessageBox *box) {
            QCOMPARE(box->text(), QString("Incompatible Client Version"));
            box->button(QMessageBox::Ok)->click();
        });
        QTimer::singleShot(0, this, [this] { login("jdoe", "secret"); });
        QCOMPARE(runUntilQuit(3000), 1); // not quit: the question was declined
        QVERIFY(driver.allHandled());
        QCOMPARE(refuser.asked, 1);
        QCOMPARE(dialog()->errorText(), QString("Client Incompatible"));
    }

    // A hub that stops answering after login: the bar says so, Keep waiting lets it come back if
    // the silence goes on, an answer takes it away, and Disconnect gives the link up.
    void silentHubShowsTheBar()
    {
        m_hub->setEchoPings(true);
        startRunner();
        HubConnection *link = m_runner->hubConnection();
        link->linkHealth()->setBounds(300, 200);
        login("jdoe", "secret");
        QTRY_VERIFY_WITH_TIMEOUT(m_runner->mainWindow() && m_runner->mainWindow()->isVisible(), WaitMs);
        auto *bar = m_runner->mainWindow()->findChild<LinkHealthBar *>();
        QVERIFY(bar);
        for (int i = 0; i < 4; ++i) {
            QVERIFY(QMetaObject::invokeMethod(link, "sendPing"));
            QTest::qWait(150);
        }
        QVERIFY(bar->isHidden());

        m_hub->setEchoPings(false);
        QVERIFY(QMetaObject::invokeMethod(link, "sendPing"));
        QTRY_VERIFY_WITH_TIMEOUT(bar->isVisible(), WaitMs);
        QVERIFY2(bar->text().startsWith("The hub is not answering: nothing heard from it for "), qPrintable(bar->text()));
        bar->findChild<QPushButton *>("keepWaitingButton")->click();
        QVERIFY(bar->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(bar->isVisible(), WaitMs);
        m_hub->sendFrame(FrameCodec::ChannelFrame, FrameCodec::channelPayload(9, "anything"));
        QTRY_VERIFY(bar->isHidden());

        QVERIFY(QMetaObject::invokeMethod(link, "sendPing"));
        QTRY_VERIFY_WITH_TIMEOUT(bar->isVisible(), WaitMs);
        bar->findChild<QPushButton *>("disconnectButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(dialog() && dialog()->isVisible(), WaitMs);
        QCOMPARE(dialog()->errorText(),
                 QString("The hub at 127.0.0.1:%1 stopped answering; the link was closed.").arg(m_hub->serverPort()));
        QVERIFY(m_hub->waitForPeerGone());
    }

private:
    // The installer's server speaks HTTPS on the test hub's certificate, which the tests trust.
    static QSslConfiguration installerTls()
    {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificateChain(TestCertificates::instance().hubChain());
        tls.setPrivateKey(TestCertificates::instance().hubKey());
        return tls;
    }

    // A client installation that can update itself (a maintenance tool and the update script),
    // made the current folder as the client's start does.
    QString makeInstallation()
    {
        m_installation = std::make_unique<QTemporaryDir>();
        const QString path = m_installation->path();
        QDir(path).mkpath("scripts");
        for (const QString &name : { QString("maintenancetool"), QString("scripts/auto_update.qs") }) {
            QFile file(path + "/" + name);
            file.open(QIODevice::WriteOnly);
            file.write("// test\n");
        }
        m_startFolder = QDir::currentPath();
        QDir::setCurrent(path);
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_env->path() + "/cache"));
        return path;
    }

    static ZuHubProto::HelloAck plainAck()
    {
        ZuHubProto::HelloAck ack;
        ack.set_accepted(true);
        ack.set_supports_compression(true);
        ack.set_classic_listen_port(7000);
        return ack;
    }

    void offerUpdate(const QString &installerUrl)
    {
        ZuHubProto::HelloAck ack = plainAck();
        ack.set_client_version("2.0.0");
        ack.set_installer_url(installerUrl.toStdString());
        m_hub->setHelloAck(ack);
    }

    QString configPath() const { return m_env->path() + "/config/Halvorne/zu_config.ini"; }

    void writeConfig(const QList<QPair<QString, int>> &hosts)
    {
        QSettings config(configPath(), QSettings::IniFormat);
        config.clear();
        for (const auto &host : hosts) {
            config.beginGroup(host.first);
            config.setValue("host", "127.0.0.1");
            config.setValue("port", host.second);
            config.endGroup();
        }
        config.sync();
    }

    void twoReleases() { m_peer->releases = { { "live", "Live system" }, { "test", "Test system" } }; }

    // The hub opens a channel to a classic program that shows one window.
    void startClassicProgram(ushort channel)
    {
        ZuHubProto::Envelope opened;
        opened.mutable_classic_connection_status()->set_channel_id(channel);
        opened.mutable_classic_connection_status()->set_is_connected(true);
        m_hub->sendEnvelope(opened);
        Pb::UIEnvelope handshake;
        handshake.mutable_handshake()->set_ui_version("server 2");
        Pb::UIEnvelope window;
        window.set_window_id(1);
        window.mutable_set_status()->set_status_text("ready");
        for (const Pb::UIEnvelope &message : { handshake, window })
            m_hub->sendFrame(
                FrameCodec::ChannelFrame,
                FrameCodec::channelPayload(channel, QByteArray::fromStdString(message.SerializeAsString())));
    }

    void startRunner()
    {
        m_runner = std::make_unique<Runner>(m_identity.get());
        QTRY_VERIFY(m_runner->loginDialog() && m_runner->loginDialog()->isVisible());
    }

    LoginDialog *dialog() const { return m_runner->loginDialog(); }

    void login(const QString &user, const QString &password, bool remember = false)
    {
        dialog()->findChild<QLineEdit *>("usernameEdit")->setText(user);
        dialog()->findChild<QLineEdit *>("passwordEdit")->setText(password);
        dialog()->setRememberUsername(remember);
        dialog()->findChild<QPushButton *>("connectButton")->click();
    }

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<ClientIdentity> m_identity;
    std::unique_ptr<TestHub> m_hub;
    std::unique_ptr<TestMenuPeer> m_peer;
    std::unique_ptr<Runner> m_runner;
    std::unique_ptr<QTemporaryDir> m_installation;
    QString m_startFolder;
};

QTEST_MAIN(tst_Runner)
#include "tst_runner.moc"
