#pragma once

#include "remotefiles.h"
#include "scheduledprocesses.h"

#include "utils/ratelimit.h"

#include "menu.pb.h"

#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QVector>

#include <memory>

class EnvelopeDispatcher;
class MenuItem;

namespace google::protobuf {
class Message;
}

// The client side of the menu protocol, spoken through the hub link: authentication, release
// choice, the menu tree, launches and printers; the user's remote files and scheduled processes are
// its parts files() and scheduledProcesses(). It never touches the network: envelopes leave through
// messageReady() and arrive through processMessage().
//
// Disconnected -> Connecting (startMenuConnection) -> Authenticating (menuConnected) ->
// RequestingReleases -> ChoosingRelease -> Connected (setRelease). Authentication may end in
// AuthenticationFailed, or in PasswordChangeRequired until passwordChanged(). The chosen release
// survives a menu reconnection, which then skips the choice.
class MainConnection : public QObject
{
    Q_OBJECT

public:
    enum State {
        Disconnected = 0,
        Connecting = 1,
        Authenticating = 2,
        AuthenticationFailed = 3,
        PasswordChangeRequired = 4,
        RequestingReleases = 5,
        ChoosingRelease = 6,
        Connected = 7,
    };
    Q_ENUM(State)

    struct Release
    {
        QString key;
        QString title;
    };
    using ReleaseList = QVector<Release>;

    using SchedProc = ScheduledProcesses::Process;
    using SchedProcList = ScheduledProcesses::List;

    static constexpr int BusyTimeoutMs = 8000;
    // Addresses a server may open in a minute, in the system's browser and in pages of the desktop each.
    static constexpr int MaxLaunchesPerMinute = 10;

    explicit MainConnection(QObject *parent = nullptr);
    ~MainConnection() override;

    State state() const { return m_state; }
    QString username() const { return m_username; }
    QString releaseKey() const { return m_releaseKey; }
    QString releaseTitle() const { return m_releaseTitle; }
    int errorNumber() const { return m_errorNumber; }
    QString errorText() const { return m_errorText; }
    QString historyFile() const { return m_historyFile; }
    QVector<QStringList> printers() const { return m_printers; }
    QString defaultPrinter() const { return m_defaultPrinter; }
    RemoteFiles *files() const { return m_files; }
    ScheduledProcesses *scheduledProcesses() const { return m_scheduled; }

    void setCredentials(const QString &username, const QString &password);
    void setAddresses(const QString &localAddress, const QString &publicAddress);
    void setClassicListenPort(quint16 port) { m_classicListenPort = port; }
    void stopMenuConnection();
    void setRelease(const QString &key, const QString &title);
    // While Connected: asks for the releases again, for the user to change to another; they come
    // with releaseChoiceOffered(), and the session stays on its release until setRelease().
    void requestReleaseChoice();
    void passwordChanged(const QString &newPassword);

public slots:
    void startMenuConnection();
    void sendLaunchItem(const QString &menuPath);
    void menuConnected();
    void menuDisconnected(const QString &errorMessage);
    void processMessage(const char *data, int dataLength);

signals:
    // A short notice for the user about something the server asked for and was refused.
    void statusNotice(QString text);
    // The server asked to open an address that is not one; the desktop tells the user.
    void invalidAddress(QString text, QString error);
    void stateChanged(MainConnection::State state);
    void usernameConfirmed(QString username);
    void errorTextChanged(QString errorText);
    void disconnected();
    void connecting();
    void authenticating();
    void authenticationFailed(int errorNumber, QString errorMessage);
    void connectionFailed(QString errorMessage);
    void passwordNeedsChanged();
    void releaseListRcvd(MainConnection::ReleaseList releases);
    void releaseChoiceOffered(MainConnection::ReleaseList releases);
    void connected();
    void statusMessage(Menu::StatusMessage_Type type, QString text);
    void menuReceived(MenuItem *rootMenuItem);
    // An internal address for a browser page titled `title`; `menuPath` names the menu item.
    void openWebPage(QString menuPath, QString title, QUrl url);
    void requestConnectionState(bool connect);
    void messageReady(QByteArray data);

private slots:
    void mh_statusmessage(const google::protobuf::Message &msg);
    void mh_releaselist(const google::protobuf::Message &msg);
    void mh_authstatus(const google::protobuf::Message &msg);
    void mh_schedproccount(const google::protobuf::Message &msg);
    void mh_schedprocdata(const google::protobuf::Message &msg);
    void mh_menudata(const google::protobuf::Message &msg);
    void mh_fileinfodata(const google::protobuf::Message &msg);
    void mh_printerdata(const google::protobuf::Message &msg);
    void mh_file(const google::protobuf::Message &msg);
    void mh_fileoperationresponse(const google::protobuf::Message &msg);
    void mh_historyfile(const google::protobuf::Message &msg);
    void mh_handshake(const google::protobuf::Message &msg);
    void mh_launchurl(const google::protobuf::Message &msg);

private:
    void setState(State state);
    void send(const Menu::Envelope &envelope);

    State m_state = Disconnected;
    QString m_username;
    QString m_password;
    QString m_releaseKey;
    QString m_releaseTitle;
    int m_errorNumber = 0;
    QString m_errorText;
    QString m_historyFile;
    QVector<QStringList> m_printers;
    QString m_defaultPrinter;
    RateLimit m_browserLaunches { MaxLaunchesPerMinute, 60000 };
    RateLimit m_pageLaunches { MaxLaunchesPerMinute, 60000 };
    RemoteFiles *m_files;
    ScheduledProcesses *m_scheduled;
    bool m_releaseChoiceWanted = false;
    quint16 m_classicListenPort = 0;
    QString m_localAddress;
    QString m_publicAddress;
    std::unique_ptr<EnvelopeDispatcher> m_dispatcher;
};

Q_DECLARE_METATYPE(Menu::StatusMessage_Type)
Q_DECLARE_METATYPE(MainConnection::ReleaseList)
