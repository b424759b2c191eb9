#pragma once

#include "hub/hostentry.h"
#include "menu/mainconnection.h"

#include <QObject>
#include <QPointer>
#include <QVector>

class ClientIdentity;
class HubConnection;
class InstallerDownload;
class LoginDialog;
class MainWindow;
class PasswordChange;
class QNetworkAccessManager;
class QTcpServer;
class SessionCapture;

// Drives the client from the command line to the main window: shows the login dialog, starts the
// hub link for the chosen host, follows the menu session through authentication, a forced password
// change and the release choice, and brings the login dialog back whenever the hub link drops (the
// desktop stays in view with its ended pages) or the user logs out (the desktop goes). It owns the
// hub link (and through it the menu session) for the life of the process.
class Runner : public QObject
{
    Q_OBJECT

public:
    // What the login dialog says when the server refuses a login.
    static QString loginFailureText(int errorNumber, const QString &errorMessage);

    explicit Runner(const ClientIdentity *identity, QObject *parent = nullptr);
    ~Runner() override;

    static constexpr quint16 DefaultHubPort = 4433;

    const HostEntry &commandLineHost() const { return m_commandLineHost; }
    const HostEntry &selectedHost() const { return m_selectedHost; }
    QTcpServer *debugServer() const { return m_debugServer; }
    HubConnection *hubConnection() const { return m_hubConnection; }
    LoginDialog *loginDialog() const;
    MainWindow *mainWindow() const;

    // The configured hosts: the command-line host alone, or the "zu_config" file's entries.
    // Returns false when the configuration names no host.
    bool readHosts(QVector<HostEntry> *hosts) const;
    // Hosts besides the hub's own that installers may come from: the "zu_config" file's
    // "installerHosts" list.
    QStringList installerHosts() const;

    // The host configuration file (INI, user scope, with the machine-wide one behind it).
    static constexpr char HostConfigName[] = "zu_config";
    static constexpr char InstallerHostsKey[] = "installerHosts";

public slots:
    void run();
    void promptForCredentials();
    void loginDialogAccepted();
    void loginDialogRejected();
    void authenticationFailed(int errorNumber, const QString &errorMessage);
    void connectionFailed(const QString &errorMessage);
    void connectionConnected();
    void connectionConnecting();
    void connectionPasswordNeedsChanged();
    void connectionDisconnected();
    void releaseList(const MainConnection::ReleaseList &list);
    void receivedStatusMessage(Menu::StatusMessage_Type type, const QString &text);
    void downloadUpdate(const QString &installerUrl);
    // Stops the login under way (Cancel on the login dialog).
    void cancelLogin();
    // The client cannot go on: quit, after the desktop's own questions (unsaved work, programs).
    void quitAsking();
    void logOut();
    void changeRelease();

private:
    enum FontSet { LoginFonts, LaterFonts };
    void registerFonts(FontSet set);
    void registerRemainingFonts();
    void openDebugListener(quint16 port);
    void ensureLoginDialog();
    void disableMainWindow();
    void invalidConfiguration();
    void connectToRelease(const MainConnection::Release &chosen);
    MainConnection *menuSession() const;
    void watchLinkHealth();
    QString recentsKey() const;
    void programsEnded(int programs);
    void releaseChoiceOffered(const MainConnection::ReleaseList &list);

    const ClientIdentity *m_identity;
    QNetworkAccessManager *m_network = nullptr;
    HubConnection *m_hubConnection = nullptr;
    PasswordChange *m_passwordChange = nullptr;
    QPointer<MainWindow> m_mainWindow;
    QTcpServer *m_debugServer = nullptr;
    QPointer<LoginDialog> m_loginDialog;
    QPointer<InstallerDownload> m_update;
    SessionCapture *m_capture = nullptr;
    HostEntry m_commandLineHost;
    HostEntry m_selectedHost;
    bool m_allFontsRegistered = false;
};
