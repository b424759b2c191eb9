#include "runner.h"

#include "commandline.h"
#include "installerdownload.h"
#include "logfile.h"
#include "logindialog.h"
#include "releasechooser.h"
#include "sessioncapture.h"

#include "applinks/sessionrouter.h"
#include "classic/toolbaricon.h"
#include "hub/hubconnection.h"
#include "hub/hubprompter.h"
#include "hub/linkhealth.h"
#include "shell/linkhealthbar.h"
#include "shell/mainwindow.h"
#include "settings/settingsmanager.h"
#include "shell/passchangedialog.h"
#include "shell/passwordchange.h"
#include "shell/settingsbinding.h"
#include "style/stylemanager.h"
#include "utils/noticeboard.h"
#include "utils/openprompt.h"
#include "utils/plaintext.h"

#include <QApplication>
#include <QDebug>
#include <QFontDatabase>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QResource>
#include <QSettings>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <cstdio>

Runner::Runner(const ClientIdentity *identity, QObject *parent)
    : QObject(parent)
    , m_identity(identity)
{
    m_commandLineHost.port = DefaultHubPort;

    qDebug() << "SSL version use for build: " << QSslSocket::sslLibraryBuildVersionString();
    qInfo() << "SSL version use for run-time: " << QSslSocket::sslLibraryVersionString();
    qInfo() << "Library paths:" << QCoreApplication::libraryPaths();

    // Classic screens read the user's done key and the toolbar colours through these.
    bindUserSettings();
    StyleManager::loadTheme();
    setToolbarThemeLookup(&StyleManager::themeVar);
    registerFonts(LoginFonts);

    // The login dialog comes and goes before any main window exists.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    QTimer::singleShot(0, this, &Runner::run);

    m_hubConnection = new HubConnection(m_identity, this);
    auto *prompter = new HubPrompter(m_hubConnection, this);
    connect(prompter, &HubPrompter::quitRequested, this, &Runner::quitAsking);
    connect(m_hubConnection, &HubConnection::disconnected, this, &Runner::promptForCredentials);
    connect(m_hubConnection, &HubConnection::downloadUpdate, this, &Runner::downloadUpdate);
    m_capture = new SessionCapture(m_hubConnection, this);
    MainConnection *menu = menuSession();
    m_passwordChange = new PasswordChange(m_hubConnection, menu, this);
    SettingsManager::instance()->setMainConnection(menu);
    connect(menu, &MainConnection::connected, this, &Runner::connectionConnected);
    connect(menu, &MainConnection::releaseListRcvd, this, &Runner::releaseList);
    connect(menu, &MainConnection::releaseChoiceOffered, this, &Runner::releaseChoiceOffered);
    connect(menu, &MainConnection::authenticationFailed, this, &Runner::authenticationFailed);
    connect(menu, &MainConnection::statusMessage, this, &Runner::receivedStatusMessage);
    connect(menu, &MainConnection::connecting, this, &Runner::connectionConnecting);
    connect(menu, &MainConnection::passwordNeedsChanged, this, &Runner::connectionPasswordNeedsChanged);
}

Runner::~Runner()
{
    delete m_loginDialog;
    delete m_mainWindow;
}

LoginDialog *Runner::loginDialog() const
{
    return m_loginDialog;
}

MainWindow *Runner::mainWindow() const
{
    return m_mainWindow;
}

MainConnection *Runner::menuSession() const
{
    return m_hubConnection->mainConnection();
}

void Runner::registerFonts(FontSet set)
{
    // The login dialog's style sheets use Open Sans in these weights; the others wait for
    // registerRemainingFonts(), so that the dialog shows sooner and the process starts smaller.
    static const struct
    {
        const char *path;
        FontSet set;
    } fonts[] = {
        { ":/fonts/MaterialIcons-Regular.ttf", LaterFonts },    { ":/fonts/OpenSans-Bold.ttf", LoginFonts },
        { ":/fonts/OpenSans-BoldItalic.ttf", LaterFonts },      { ":/fonts/OpenSans-ExtraBold.ttf", LaterFonts },
        { ":/fonts/OpenSans-ExtraBoldItalic.ttf", LaterFonts }, { ":/fonts/OpenSans-Italic.ttf", LaterFonts },
        { ":/fonts/OpenSans-Light.ttf", LaterFonts },           { ":/fonts/OpenSans-LightItalic.ttf", LaterFonts },
        { ":/fonts/OpenSans-Regular.ttf", LoginFonts },         { ":/fonts/OpenSans-Semibold.ttf", LoginFonts },
        { ":/fonts/OpenSans-SemiboldItalic.ttf", LaterFonts },  { ":/fonts/SourceCodePro-Black.ttf", LaterFonts },
        { ":/fonts/SourceCodePro-Bold.ttf", LaterFonts },       { ":/fonts/SourceCodePro-ExtraLight.ttf", LaterFonts },
        { ":/fonts/SourceCodePro-Light.ttf", LaterFonts },      { ":/fonts/SourceCodePro-Medium.ttf", LaterFonts },
        { ":/fonts/SourceCodePro-Regular.ttf", LaterFonts },    { ":/fonts/SourceCodePro-Semibold.ttf", LaterFonts },
    };
    for (const auto &font : fonts) {
        if (font.set != set)
            continue;
        const QString path = QString::fromLatin1(font.path);
        // Stored uncompressed, they are read where they lie instead of unpacked into copies.
        const QResource resource(path);
        if (resource.isValid() && resource.compressionAlgorithm() == QResource::NoCompression)
            QFontDatabase::addApplicationFontFromData(
                QByteArray::fromRawData(reinterpret_cast<const char *>(resource.data()), int(resource.size())));
        else
            QFontDatabase::addApplicationFont(path);
    }
}

// Registered when the user first logs in, and before any desktop.
void Runner::registerRemainingFonts()
{
    if (m_allFontsRegistered)
        return;
    m_allFontsRegistered = true;
    registerFonts(LaterFonts);
}

void Runner::run()
{
    CommandLine commandLine;
    // The entry point answers help, version and errors before any window; this is the safety net.
    const CommandLine::Outcome outcome = commandLine.parse(QCoreApplication::arguments());
    if (outcome != CommandLine::Outcome::Run) {
        if (outcome == CommandLine::Outcome::Error)
            qWarning() << "Runner::run() - bad command line:" << commandLine.errorText();
        QCoreApplication::exit(commandLine.answer(outcome));
        return;
    }

    if (const auto level = commandLine.logLevel())
        LogFile::applyLogLevel(*level);
    m_commandLineHost.host = commandLine.host();
    m_commandLineHost.port = commandLine.port();
    if (!m_capture->setUp(commandLine)) {
        std::fprintf(stderr, "%s\n", qPrintable(m_capture->errorText()));
        qCritical().noquote() << m_capture->errorText();
        QCoreApplication::exit(1);
        return;
    }
    if (m_capture->isReplaying()) {
        m_commandLineHost.host = m_capture->replayHost();
        m_commandLineHost.port = m_capture->replayPort();
    }
    if (commandLine.debugPort() != 0)
        openDebugListener(commandLine.debugPort());

    promptForCredentials();
}

void Runner::openDebugListener(quint16 port)
{
    m_debugServer = new QTcpServer(this);
    // Only programs on this workstation may drive sessions through it.
    m_debugServer->listen(QHostAddress::LocalHost, port);
    qDebug() << "Listening on port" << m_debugServer->serverPort();
}

bool Runner::readHosts(QVector<HostEntry> *hosts) const
{
    hosts->clear();
    if (!m_commandLineHost.host.isEmpty()) {
        HostEntry entry = m_commandLineHost;
        entry.name = QStringLiteral("host");
        hosts->append(entry);
        return true;
    }
    QSettings config(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                     QLatin1String(HostConfigName));
    const QStringList groups = config.childGroups();
    if (!groups.isEmpty()) {
        for (const QString &group : groups) {
            config.beginGroup(group);
            HostEntry entry;
            entry.name = group;
            entry.host = config.value(QStringLiteral("host")).toString();
            entry.port = quint16(config.value(QStringLiteral("port"), DefaultHubPort).toUInt());
            config.endGroup();
            hosts->append(entry);
        }
        return true;
    }
    if (config.contains(QStringLiteral("host"))) {
        HostEntry entry;
        entry.name = QStringLiteral("host");
        entry.host = config.value(QStringLiteral("host")).toString();
        entry.port = quint16(config.value(QStringLiteral("port"), DefaultHubPort).toUInt());
        hosts->append(entry);
        return true;
    }
    return false;
}

QStringList Runner::installerHosts() const
{
    QSettings config(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                     QLatin1String(HostConfigName));
    QStringList hosts = config.value(QLatin1String(InstallerHostsKey)).toStringList();
    for (QString &host : hosts)
        host = host.trimmed();
    hosts.removeAll(QString());
    return hosts;
}

void Runner::invalidConfiguration()
{
    auto *box = new QMessageBox(QMessageBox::Critical, QString(), QStringLiteral("Invalid Configuration"),
                                QMessageBox::Ok);
    box->setInformativeText(QStringLiteral("Please contact your system administrator"));
    box->setStyleSheet(StyleManager::unthemedStyleSheet());
    openPrompt(box, this, [](QMessageBox *, int) { QCoreApplication::quit(); });
}

void Runner::ensureLoginDialog()
{
    if (m_loginDialog) {
        m_loginDialog->enableInputs(true);
        return;
    }
    m_loginDialog = new LoginDialog;
    m_loginDialog->setError(QString());
    connect(m_loginDialog, &LoginDialog::connectClicked, this, &Runner::loginDialogAccepted);
    connect(m_loginDialog, &LoginDialog::cancelClicked, this, &Runner::cancelLogin);
    connect(m_loginDialog, &QDialog::rejected, this, &Runner::loginDialogRejected);
    connect(m_hubConnection, &HubConnection::errorTextChanged, m_loginDialog, &LoginDialog::setError);
    m_loginDialog->setError(m_hubConnection->errorText());
}

void Runner::loginDialogRejected()
{
    if (!m_mainWindow) {
        QCoreApplication::quit();
        return;
    }
    // Ended pages may hold unsent text: the desktop's quit asks, and if the user stays, so does the login.
    m_loginDialog->show();
    m_mainWindow->close();
}

void Runner::promptForCredentials()
{
    // The desktop stays in view with its ended pages, to be read and closed while logged out.
    if (m_mainWindow) {
        m_mainWindow->setEnabled(true);
        m_mainWindow->setLinkUp(false);
    }
    ensureLoginDialog();

    QVector<HostEntry> hosts;
    if (!readHosts(&hosts)) {
        invalidConfiguration();
        return;
    }
    QSettings settings;
    for (HostEntry &host : hosts)
        host.defaultRelease
            = settings.value(QStringLiteral("defaultReleases/") + host.settingsKey()).toString();
    const QString selected
        = hosts.size() == 1 ? hosts.first().name : settings.value(QStringLiteral("lastHostGroup")).toString();
    m_loginDialog->setHosts(hosts, selected);
    const QString username = settings.value(QStringLiteral("username")).toString();
    if (!username.isEmpty()) {
        m_loginDialog->setRememberUsername(true);
        m_loginDialog->setUsername(username);
    }
    if (m_capture->isReplaying())
        m_loginDialog->setUsername(m_capture->recordedUsername());
    m_loginDialog->enableInputs(true);
    m_loginDialog->show();
    // In front of the desktop it stands before, without belonging to it.
    if (m_mainWindow && m_mainWindow->windowHandle() && m_loginDialog->windowHandle())
        m_loginDialog->windowHandle()->setTransientParent(m_mainWindow->windowHandle());
    m_loginDialog->raise();
    m_loginDialog->activateWindow();
}

void Runner::loginDialogAccepted()
{
    registerRemainingFonts();
    ensureLoginDialog();
    m_loginDialog->setError(QString());
    m_loginDialog->enableInputs(false);

    QSettings settings;
    if (m_loginDialog->rememberUsername())
        settings.setValue(QStringLiteral("username"), m_loginDialog->username());
    else
        settings.remove(QStringLiteral("username"));

    m_selectedHost = m_loginDialog->selectedHost();
    if (m_selectedHost.host.isEmpty() || m_selectedHost.port == 0) {
        invalidConfiguration();
        return;
    }
    settings.setValue(QStringLiteral("lastHostGroup"), m_selectedHost.name);
    m_hubConnection->setHostEntry(&m_selectedHost);
    qInfo() << "Connecting to host:" << m_selectedHost.host << ":" << m_selectedHost.port;

    menuSession()->setCredentials(m_loginDialog->username(), m_loginDialog->password());
    InstallerDownload::removeFolder();
    // Before starting: an attempt that ends at once leaves its own words, not this.
    m_loginDialog->setStatus(QStringLiteral("Connecting to %1...").arg(m_selectedHost.settingsKey()));
    m_hubConnection->startConnection(true);
}

void Runner::cancelLogin()
{
    qInfo() << "Login cancelled by the user";
    // An update being fetched is part of the attempt: it would otherwise quit the client later.
    delete m_update.data();
    m_hubConnection->closeLink(QStringLiteral("Connecting to %1 was cancelled.").arg(m_selectedHost.settingsKey()));
}

void Runner::quitAsking()
{
    // The desktop's close asks about what quitting would end; without one there is nothing to lose.
    if (m_mainWindow)
        m_mainWindow->close();
    else
        QCoreApplication::quit();
}

// The server's authentication module answers with its own numbers (PAM's); the user reads a
// sentence, with the server's words after it for whoever helps them (and in the log).
QString Runner::loginFailureText(int errorNumber, const QString &errorMessage)
{
    QString sentence;
    switch (errorNumber) {
    case 7: // authentication failed
    case 10: // unknown user
        sentence = QStringLiteral("The user name or the password is not right. Check both (is Caps Lock on?) "
                                  "and try again.");
        break;
    case 13: // account expired
        sentence = QStringLiteral("Your account has expired. Ask your administrator to renew it.");
        break;
    case 6: // permission denied
        sentence = QStringLiteral("This account may not log in here. Ask your administrator.");
        break;
    case 11: // too many tries
        sentence = QStringLiteral("Too many failed logins. Wait a while before trying again, or ask your "
                                  "administrator.");
        break;
    case 4: // system error
    case 9: // authentication service unavailable
        sentence = QStringLiteral("The server could not check your password just now. Try again in a "
                                  "moment.");
        break;
    default:
        sentence = QStringLiteral("The server refused the login.");
        break;
    }
    const QString details = errorMessage.trimmed().isEmpty()
        ? QStringLiteral("error %1").arg(errorNumber)
        : QStringLiteral("%1, error %2").arg(errorMessage.trimmed()).arg(errorNumber);
    return QStringLiteral("%1\n(The server said: %2.)").arg(sentence, details);
}

void Runner::authenticationFailed(int errorNumber, const QString &errorMessage)
{
    ensureLoginDialog();
    m_loginDialog->setError(loginFailureText(errorNumber, errorMessage));
    promptForCredentials();
}

void Runner::connectionPasswordNeedsChanged()
{
    auto *dialog = new PassChangeDialog(m_loginDialog);
    // A dropped link brings the login dialog back: the change it asked for is moot.
    connect(menuSession(), &MainConnection::disconnected, dialog, &QDialog::reject);
    openPrompt(dialog, this, [this](PassChangeDialog *answered, int result) {
        if (menuSession()->state() != MainConnection::PasswordChangeRequired) {
            qWarning() << "Runner::connectionPasswordNeedsChanged() - the link went down while the password was being changed";
            return;
        }
        if (result != QDialog::Accepted) {
            menuSession()->stopMenuConnection();
            promptForCredentials();
            return;
        }
        // No parent on success: the login dialog goes as soon as the main window comes, and the box with it.
        m_passwordChange->request(answered->currentPassword(), answered->newPassword(),
                                  [this](bool success) -> QWidget * { return success ? nullptr : m_loginDialog; });
        auto handler = std::make_shared<QMetaObject::Connection>();
        *handler = connect(m_passwordChange, &PasswordChange::finished, this, [this, handler](bool success) {
            QObject::disconnect(*handler);
            if (success)
                return;
            menuSession()->stopMenuConnection();
            promptForCredentials();
        });
    });
}

void Runner::releaseList(const MainConnection::ReleaseList &list)
{
    qInfo() << "Release list received...";
    for (const auto &release : list)
        qInfo() << "  " << release.key << ":" << release.title;

    const QString hostKey
        = QStringLiteral("defaultReleases/%1:%2").arg(m_selectedHost.host).arg(m_selectedHost.port);
    QSettings settings;
    MainConnection::Release chosen;
    bool taken = false;

    if (list.isEmpty()) {
        settings.remove(hostKey);
        auto *box = new QMessageBox(QMessageBox::Critical, QString(), QStringLiteral("No Environments"),
                                    QMessageBox::Ok, m_loginDialog);
        box->setInformativeText(QStringLiteral("You do not have access to any environments (releases).\n"
                                               "Please contact your system administrator"));
        openPrompt(box, this, [](QMessageBox *, int) { QCoreApplication::quit(); });
        return;
    }
    if (list.size() == 1) {
        settings.remove(hostKey);
        chosen = list.first();
        taken = true;
    } else if (!m_selectedHost.defaultRelease.isEmpty()) {
        if (m_loginDialog && m_loginDialog->connectToDefault()) {
            for (const auto &release : list) {
                if (release.key == m_selectedHost.defaultRelease) {
                    chosen = release;
                    taken = true;
                    break;
                }
            }
        } else {
            settings.remove(hostKey);
        }
    }

    for (const auto &release : list) {
        if (!taken && m_capture->isReplaying() && release.key == m_capture->recordedRelease()) {
            chosen = release;
            taken = true;
        }
    }
    if (!taken) {
        auto *chooser = new ReleaseChooser(m_loginDialog);
        chooser->setReleases(list);
        chooser->setDefault(m_selectedHost.defaultRelease);
        // A choice made after the link went would open the desktop on a dead link.
        connect(menuSession(), &MainConnection::disconnected, chooser, &QDialog::reject);
        openPrompt(chooser, this, [this, hostKey](ReleaseChooser *answered, int result) {
            if (menuSession()->state() != MainConnection::ChoosingRelease) {
                qWarning() << "Runner::releaseList() - the link went down while a release was being chosen";
                return; // the disconnection has brought the login dialog back
            }
            if (result != QDialog::Accepted) {
                menuSession()->stopMenuConnection();
                ensureLoginDialog();
                m_loginDialog->setError(QStringLiteral("User Cancelled"));
                promptForCredentials();
                return;
            }
            if (answered->makeDefault())
                QSettings().setValue(hostKey, answered->selectedRelease().key);
            connectToRelease(answered->selectedRelease());
        });
        return;
    }
    connectToRelease(chosen);
}

void Runner::connectToRelease(const MainConnection::Release &chosen)
{
    qInfo() << "Connecting to release" << chosen.title;
    m_selectedHost.defaultRelease = chosen.key;
    menuSession()->setRelease(chosen.key, chosen.title);
}

QString Runner::recentsKey() const
{
    return QStringLiteral("%1:%2:%3")
        .arg(m_selectedHost.host)
        .arg(m_selectedHost.port)
        .arg(m_selectedHost.defaultRelease);
}

void Runner::connectionConnected()
{
    if (m_mainWindow) {
        m_mainWindow->setEnabled(true);
        m_mainWindow->setLinkUp(true);
    } else {
        registerRemainingFonts();
        SettingsManager::instance()->setRecentsKey(recentsKey());
        m_mainWindow = new MainWindow(menuSession(), m_debugServer);
        MainWindow *window = m_mainWindow;
        window->setPasswordChange(m_passwordChange);
        connect(window, &MainWindow::menuOptionSelected, menuSession(), &MainConnection::sendLaunchItem);
        connect(window, &MainWindow::logOutAgreed, this, &Runner::logOut);
        connect(window, &MainWindow::changeReleaseRequested, this, &Runner::changeRelease);
        SessionRouter *router = window->sessionRouter();
        connect(router, &SessionRouter::applicationsLost, this, &Runner::programsEnded);
        connect(m_hubConnection, &HubConnection::channelState, router, &SessionRouter::hubChannelState);
        connect(m_hubConnection, &HubConnection::channelMessageRcvd, router,
                &SessionRouter::hubChannelMessageRcvd);
        connect(m_hubConnection, &HubConnection::channelCloseAll, router, &SessionRouter::destroyHubConnections);
        connect(router, &SessionRouter::hubChannelMessageSend, m_hubConnection,
                &HubConnection::channelMessageSend);
        connect(router, &SessionRouter::hubReadingHeld, m_hubConnection, &HubConnection::holdReading);
        watchLinkHealth();
    }
    if (m_loginDialog) {
        m_loginDialog->hide();
        m_loginDialog->deleteLater();
        m_loginDialog = nullptr;
    }
    m_mainWindow->setHubName(m_selectedHost.name.isEmpty()
                                 ? QStringLiteral("%1:%2").arg(m_selectedHost.host).arg(m_selectedHost.port)
                                 : QStringLiteral("%1 (%2:%3)")
                                       .arg(m_selectedHost.name, m_selectedHost.host)
                                       .arg(m_selectedHost.port));
    m_mainWindow->show();
    QGuiApplication::setQuitOnLastWindowClosed(true);
}

// The bar across the desktop while the hub does not answer.
void Runner::watchLinkHealth()
{
    auto *bar = new LinkHealthBar(m_mainWindow);
    m_mainWindow->addToolBar(Qt::TopToolBarArea, bar);
    bar->hide();
    connect(m_hubConnection, &HubConnection::hubSilent, bar, [this, bar] {
        const LinkHealth *health = m_hubConnection->linkHealth();
        bar->showSilence(health->lastHeard(), health->isBacklogged());
    });
    connect(m_hubConnection, &HubConnection::hubAnswering, bar, &LinkHealthBar::hideSilence);
    connect(m_hubConnection, &HubConnection::disconnected, bar, &LinkHealthBar::hideSilence);
    MainWindow *window = m_mainWindow;
    connect(m_hubConnection, &HubConnection::hubSilent, window, [window] { window->setHubAnswering(false); });
    connect(m_hubConnection, &HubConnection::hubAnswering, window,
            [window] { window->setHubAnswering(true); });
    connect(bar, &LinkHealthBar::keepWaitingClicked, m_hubConnection, &HubConnection::keepWaiting);
    connect(bar, &LinkHealthBar::disconnectClicked, this, [this] {
        m_hubConnection->closeLink(QStringLiteral("The hub at %1 stopped answering; the link was closed.")
                                       .arg(m_selectedHost.settingsKey()));
    });
}

// The link drop has been told on the login dialog; what it ended is added.
void Runner::programsEnded(int programs)
{
    if (programs == 0 || !m_loginDialog)
        return;
    const QString ended = programs == 1
        ? QStringLiteral(
            "1 program ended on the server; its pages stay open, read-only, until you close them.")
        : QStringLiteral(
              "%1 programs ended on the server; their pages stay open, read-only, until you close them.")
              .arg(programs);
    m_loginDialog->setError(m_hubConnection->errorText() + QLatin1Char('\n') + ended);
}

// The user agreed to what logging out ends: the desktop goes with its programs (not as ended
// pages), the link closes and the login dialog comes back, for this user or another.
void Runner::logOut()
{
    // A link lost while the questions were open has brought the login dialog already, and the
    // pages it ended were not part of what the user agreed to lose.
    if (!m_mainWindow || m_hubConnection->state() != HubConnection::State::Connected)
        return;
    qInfo() << "Logging out" << menuSession()->username();
    MainWindow *window = m_mainWindow;
    m_mainWindow = nullptr;
    disconnect(m_hubConnection, nullptr, window->sessionRouter(), nullptr);
    QGuiApplication::setQuitOnLastWindowClosed(false);
    window->hide();
    window->deleteLater();
    m_hubConnection->closeLink(QStringLiteral("You have logged out."));
    if (m_loginDialog)
        m_loginDialog->setStatus(m_hubConnection->errorText());
}

void Runner::changeRelease()
{
    if (menuSession()->state() != MainConnection::Connected) {
        qWarning() << "Runner::changeRelease() - the menu session is not connected";
        return;
    }
    qInfo() << "The user asks to change the release";
    menuSession()->requestReleaseChoice();
}

void Runner::releaseChoiceOffered(const MainConnection::ReleaseList &list)
{
    if (!m_mainWindow)
        return;
    if (list.isEmpty()) {
        m_mainWindow->showStatus(QStringLiteral("No release is available to change to."));
        return;
    }
    const QString current = menuSession()->releaseKey();
    const QString hostKey = QStringLiteral("defaultReleases/") + m_selectedHost.settingsKey();
    auto *chooser = new ReleaseChooser(m_mainWindow);
    chooser->setReleases(list);
    chooser->setDefault(current);
    connect(menuSession(), &MainConnection::disconnected, chooser, &QDialog::reject);
    openPrompt(chooser, this, [this, current, hostKey](ReleaseChooser *answered, int result) {
        if (result != QDialog::Accepted || menuSession()->state() != MainConnection::Connected
            || !m_mainWindow)
            return;
        const MainConnection::Release chosen = answered->selectedRelease();
        if (answered->makeDefault())
            QSettings().setValue(hostKey, chosen.key);
        if (chosen.key.isEmpty() || chosen.key == current)
            return;
        connectToRelease(chosen);
        m_mainWindow->showRelease();
        SettingsManager::instance()->setRecentsKey(recentsKey());
    });
}

void Runner::disableMainWindow()
{
    if (!m_mainWindow)
        return;
    qDebug() << "disabling main window.";
    m_mainWindow->setEnabled(false);
}

void Runner::connectionConnecting()
{
    disableMainWindow();
}

void Runner::connectionDisconnected()
{
    disableMainWindow();
}

void Runner::connectionFailed(const QString &errorMessage)
{
    ensureLoginDialog();
    disableMainWindow();
    m_loginDialog->setError(errorMessage);
    promptForCredentials();
}

void Runner::receivedStatusMessage(Menu::StatusMessage_Type type, const QString &text)
{
    if (type != Menu::StatusMessage::FATAL && type != Menu::StatusMessage::WARNING) {
        qWarning() << "Status Message:" << text;
        return;
    }
    // The menu session drops its link after a fatal notice: the session ends with its text, rather
    // than leaving the desktop (or "Connecting...") on a link that carries nothing.
    if (type == Menu::StatusMessage::FATAL)
        m_hubConnection->closeLink(text);
    NoticeBoard::post(type == Menu::StatusMessage::FATAL ? NoticeBoard::Kind::Critical : NoticeBoard::Kind::Warning,
                      QStringLiteral("ZU Status Message"), text);
}

void Runner::downloadUpdate(const QString &installerUrl)
{
    if (m_update)
        m_update->deleteLater();
    // Made on first use: constructing one loads the network bearer plugins.
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    m_update = new InstallerDownload(m_network, this);
    m_update->setAllowedHosts(QStringList { m_selectedHost.host } + installerHosts());
    connect(m_update, &InstallerDownload::failed, this, [this] {
        ensureLoginDialog();
        m_loginDialog->setError(QStringLiteral("Update Failed"));
        menuSession()->stopMenuConnection();
        promptForCredentials();
    });
    m_update->start(QUrl(installerUrl), m_loginDialog);
}
