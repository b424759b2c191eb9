#include "soakdesktop.h"

#include "utils/clientidentity.h"
#include "app/logindialog.h"
#include "app/releasechooser.h"
#include "app/runner.h"
#include "hub/hubconnection.h"
#include "menu/mainconnection.h"
#include "menu/menuitem.h"
#include "settings/settingsmanager.h"
#include "shell/homepagewidget.h"
#include "shell/mainwindow.h"
#include "shell/menuitemmodel.h"
#include "shell/taskmanager.h"

#include "modaldriver.h"
#include "testcertificates.h"
#include "testenvironment.h"
#include "testhub.h"
#include "testmenupeer.h"

#include "zuhub.pb.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTest>

SoakDesktop::SoakDesktop(QObject *parent)
    : QObject(parent)
{ }

SoakDesktop::~SoakDesktop()
{
    m_runner.reset();
    m_modals.reset();
    m_peer.reset();
    m_hub.reset();
    TestCertificates::trustAuthority(false);
}

MainWindow *SoakDesktop::mainWindow() const
{
    return m_runner ? m_runner->mainWindow() : nullptr;
}

bool SoakDesktop::fail(const QString &what)
{
    m_failure = what;
    return false;
}

bool SoakDesktop::start()
{
    m_env = std::make_unique<TestEnvironment>();
    if (!TestCertificates::instance().isValid())
        return fail(TestCertificates::instance().errorText());
    TestCertificates::trustAuthority(true);
    m_identity = std::make_unique<ClientIdentity>();
    SettingsManager::resetInstance();

    m_hub = std::make_unique<TestHub>();
    if (!m_hub->start())
        return fail(QStringLiteral("the test hub did not start"));
    ZuHubProto::HelloAck ack;
    ack.set_accepted(true);
    ack.set_supports_compression(true);
    m_hub->setHelloAck(ack);
    m_peer = std::make_unique<TestMenuPeer>(m_hub.get());
    m_peer->releases = { { QStringLiteral("live"), QStringLiteral("Live system") },
                         { QStringLiteral("test"), QStringLiteral("Test system") } };
    writeHostConfiguration();

    m_modals = std::make_unique<ModalDriver>();
    m_runner = std::make_unique<Runner>(m_identity.get());
    connect(m_runner->hubConnection()->mainConnection(), &MainConnection::menuReceived, this,
            [this] { ++m_menusReceived; });
    if (!QTest::qWaitFor([this] { return m_runner->loginDialog() && m_runner->loginDialog()->isVisible(); }, WaitMs))
        return fail(QStringLiteral("no login dialog"));
    return true;
}

void SoakDesktop::writeHostConfiguration()
{
    QSettings config(m_env->path() + QStringLiteral("/config/Halvorne/zu_config.ini"), QSettings::IniFormat);
    config.clear();
    config.beginGroup(QStringLiteral("campus"));
    config.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
    config.setValue(QStringLiteral("port"), m_hub->serverPort());
    config.endGroup();
    config.sync();
}

bool SoakDesktop::logIn(int release)
{
    LoginDialog *dialog = m_runner->loginDialog();
    if (!dialog || !dialog->isVisible())
        return fail(QStringLiteral("no login dialog to log in with"));
    m_modals->expect<ReleaseChooser>([release](ReleaseChooser *chooser) {
        const QList<QRadioButton *> choices = chooser->findChildren<QRadioButton *>();
        if (!choices.isEmpty())
            choices.at(release % choices.size())->setChecked(true);
        chooser->findChild<QPushButton *>(QStringLiteral("selectButton"))->click();
    });
    // Unchecked, the release last chosen is not taken without asking: the chooser opens every time.
    if (auto *toDefault = dialog->findChild<QCheckBox *>(QStringLiteral("connectToDefault")))
        toDefault->setChecked(false);
    dialog->findChild<QLineEdit *>(QStringLiteral("usernameEdit"))->setText(QStringLiteral("jdoe"));
    dialog->findChild<QLineEdit *>(QStringLiteral("passwordEdit"))->setText(QStringLiteral("secret"));
    const int menusBefore = m_menusReceived;
    dialog->findChild<QPushButton *>(QStringLiteral("connectButton"))->click();

    const bool shown = QTest::qWaitFor(
        [this, menusBefore] {
            MainWindow *window = mainWindow();
            return window && window->isVisible() && window->isEnabled() && !m_runner->loginDialog()
                && m_menusReceived > menusBefore && window->menuModel()->rowCount() > 0;
        },
        WaitMs);
    if (!shown)
        return fail(QStringLiteral("no main window with a menu after logging in"));
    if (!m_modals->allHandled() || !m_modals->unexpected().isEmpty())
        return fail(QStringLiteral("dialogs: %1").arg(m_modals->unexpected().join(QStringLiteral(", "))));
    return true;
}

bool SoakDesktop::openHomePage()
{
    MainWindow *window = mainWindow();
    TaskManager *tasks = window->taskManager();
    tasks->homeButton()->click();
    if (!QTest::qWaitFor([window, tasks] { return tasks->pageStack()->currentWidget() == window->homePage(); },
                         WaitMs))
        return fail(QStringLiteral("the home page did not come to the front"));
    return true;
}

bool SoakDesktop::dropLink(Drop how)
{
    if (how == Drop::Forced) {
        ZuHubProto::Envelope envelope;
        envelope.mutable_force_disconnect()->set_message("Soak test");
        m_hub->sendEnvelope(envelope);
    } else {
        m_hub->closePeer();
    }
    const bool back = QTest::qWaitFor(
        [this] {
            // The desktop stays in view behind the login dialog, with nothing to launch.
            return m_runner->loginDialog() && m_runner->loginDialog()->isVisible()
                && !m_runner->mainWindow()->homePage()->isEnabled();
        },
        WaitMs);
    if (!back)
        return fail(QStringLiteral("the login dialog did not come back"));
    return m_hub->waitForPeerGone() || fail(QStringLiteral("the hub still holds the connection"));
}

void SoakDesktop::forgetTraffic()
{
    m_hub->clearReceived();
    m_peer->received.clear();
    m_peer->menuLinkRequests.clear();
}
