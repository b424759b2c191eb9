#pragma once

#include "menu.pb.h"

#include <QHash>
#include <QObject>
#include <QUrl>
#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <QVector>

class AbstractRemoteFileWorker;
class EnvelopeDispatcher;
class MenuItem;
class QTimer;
struct HostEntry;

namespace google::protobuf {
class Message;
}

// The client side of the menu protocol, spoken through the hub link: authentication, release
// choice, the menu tree, launches, scheduled processes, printers and remote file requests. It never
// touches the network: envelopes leave through messageReady() and arrive through processMessage().
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

    struct SchedProc
    {
        int processNumber = 0;
        QString title;
        QString dateTime;
        QString commandLine;
    };
    using SchedProcList = QVector<SchedProc>;

    // Kinds of remote file request; the number is what the routing table stores.
    enum class RequestKind {
        FileInfo = 0,
        File = 1,
        Rename = 2,
        Copy = 3,
        Delete = 4,
        Print = 5,
        Upload = 7
    };

    static constexpr int BusyTimeoutMs = 8000;
    static constexpr int PollBaseMs = 54000;
    static constexpr int PollJitterMs = 12000;

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
    HostEntry *hostEntry() const { return m_hostEntry; }
    int scheduledCount() const { return m_scheduledCount; }
    int pollInterval() const;

    void setCredentials(const QString &username, const QString &password);
    void setAddresses(const QString &localAddress, const QString &publicAddress);
    void setHostEntry(HostEntry *entry) { m_hostEntry = entry; }
    void setClassicListenPort(quint16 port) { m_classicListenPort = port; }
    void stopMenuConnection();
    void setRelease(const QString &key, const QString &title);
    void passwordChanged(const QString &newPassword);

    void requestFileInfo(AbstractRemoteFileWorker *requester, const QVariant &context,
                         const QString &directory, bool includeHidden, const QString &filter);
    void requestFile(AbstractRemoteFileWorker *requester, const QVariant &context, const QString &filename);
    void renameFile(AbstractRemoteFileWorker *requester, const QVariant &context, const QString &currentName,
                    const QString &newName);
    void copyFile(AbstractRemoteFileWorker *requester, const QVariant &context, const QString &sourceName,
                  const QString &destName);
    void deleteFile(AbstractRemoteFileWorker *requester, const QVariant &context, const QString &filename);
    void printFile(AbstractRemoteFileWorker *requester, const QVariant &context, const QString &filename,
                   const QString &printer, const QString &formType);
    void uploadFile(AbstractRemoteFileWorker *requester, const QVariant &context, const QString &filename,
                    const QByteArray &data, bool allowOverwrite, bool allowHidden);

    // Text travels with LF line ends; text is data whose every byte lies in 1..127.
    static bool isText(const QByteArray &data);

public slots:
    void startMenuConnection();
    void sendLaunchItem(const QString &menuPath);
    void requestSchedProcData();
    void refreshSchedProcIndicator();
    void removeScheduledProcess(int procId);
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
    void connected();
    void statusMessage(Menu::StatusMessage_Type type, QString text);
    void schedProcListReceived(MainConnection::SchedProcList procList);
    void menuReceived(MenuItem *rootMenuItem);
    // An internal address for a browser page titled `title`; `menuPath` names the menu item.
    void openWebPage(QString menuPath, QString title, QUrl url);
    void scheduledProcessCountChanged(int processCount);
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
    void pollScheduledProcesses();

private:
    struct Request
    {
        QPointer<QObject> requesterObject;
        AbstractRemoteFileWorker *requester = nullptr;
        RequestKind kind = RequestKind::File;
        QVariant context;
        bool busy = true;
    };

    void setState(State state);
    void send(const Menu::Envelope &envelope);
    void sendSchedProcRequest();
    void restartPoll();
    void setScheduledCount(int count);
    // Returns the new request number, or 0 when the requester cannot be tracked.
    quint32 registerRequest(AbstractRemoteFileWorker *requester, RequestKind kind, const QVariant &context);
    // Removes and returns the entry; false when the number is unknown.
    bool takeRequest(quint32 id, Request *request);
    // A reply without data to the requester, if it still lives; an empty error is success.
    void deliverResult(const Request &request, const QString &error);
    void failRequests(const QHash<quint32, Request> &requests, const QString &error);

    State m_state = Disconnected;
    QString m_username;
    QString m_password;
    QString m_releaseKey;
    QString m_releaseTitle;
    int m_errorNumber = 0;
    QString m_errorText;
    QString m_historyFile;
    static constexpr int MaxPendingRequests = 1000;
    QHash<quint32, Request> m_requests;
    QVector<QStringList> m_printers;
    QString m_defaultPrinter;
    bool m_listRequested = false;
    int m_scheduledCount = 0;
    QPointer<QTimer> m_pollTimer;
    HostEntry *m_hostEntry = nullptr;
    quint16 m_classicListenPort = 0;
    QString m_localAddress;
    QString m_publicAddress;
    std::unique_ptr<EnvelopeDispatcher> m_dispatcher;
};

Q_DECLARE_METATYPE(Menu::StatusMessage_Type)
Q_DECLARE_METATYPE(MainConnection::ReleaseList)
Q_DECLARE_METATYPE(MainConnection::SchedProcList)
