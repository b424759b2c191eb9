#pragma once

#include "demoapplication.h"
#include "fileservice.h"

#include "envelopedispatcher.h"

#include "menu.pb.h"

#include <QObject>
#include <QString>

#include <memory>

struct DevHubContext;

// The menu server of one client connection: authentication, releases, the menu tree, launches,
// printers, scheduled processes and the file operations on the user's home directory. Menu bytes
// arrive through processMessage() and replies leave through messageReady(); launching a channel
// application is left to the session through launchRequested().
//
// AwaitingLogin -> LoggedIn (Authenticate accepted), or -> PasswordChangeRequired -> LoggedIn once
// the hub reports the user's password changed. Everything but the handshake and Authenticate
// needs LoggedIn.
class MenuServer : public QObject
{
    Q_OBJECT

public:
    enum class State { AwaitingLogin, PasswordChangeRequired, LoggedIn };

    // Error numbers and texts of the authentication module the hub stands in for.
    static constexpr int ErrorSystem = 4;
    static constexpr int ErrorAuthentication = 7;
    static constexpr int ErrorNewPasswordRequired = 12;
    static constexpr int ErrorAccountExpired = 13;

    MenuServer(const DevHubContext &context, const QString &label, QObject *parent = nullptr);
    ~MenuServer() override;

    State state() const { return m_state; }
    // The user who logged in or has to change the password; empty before.
    QString userName() const { return m_userName; }
    QString release() const { return m_release; }

    // The address the client reached the hub on, for addresses handed to it.
    void setLocalHost(const QString &host) { m_localHost = host; }

    // Returns false for bytes that are not a menu envelope.
    bool processMessage(const QByteArray &bytes);
    // The hub changed this user's password; a pending forced change completes the login.
    void passwordChanged(const QString &userName);
    void sendStatus(Menu::StatusMessage::Type type, const QString &text);
    void launchFailed(const QString &menuPath, const QString &reason);

signals:
    void messageReady(const QByteArray &bytes);
    void launchRequested(const QString &kind, const DemoAppContext &context);
    void loggedIn(const QString &userName);

private slots:
    void mh_handshake(const google::protobuf::Message &msg);
    void mh_file(const google::protobuf::Message &msg);
    void mh_authenticate(const google::protobuf::Message &msg);
    void mh_releasedatarequest(const google::protobuf::Message &msg);
    void mh_menudatarequest(const google::protobuf::Message &msg);
    void mh_removeschedprocrequest(const google::protobuf::Message &msg);
    void mh_schedprocdatarequest(const google::protobuf::Message &msg);
    void mh_setrelease(const google::protobuf::Message &msg);
    void mh_launchitem(const google::protobuf::Message &msg);
    void mh_fileinfodatarequest(const google::protobuf::Message &msg);
    void mh_filerequest(const google::protobuf::Message &msg);
    void mh_printerdatarequest(const google::protobuf::Message &msg);
    void mh_renamefile(const google::protobuf::Message &msg);
    void mh_copyfile(const google::protobuf::Message &msg);
    void mh_deletefile(const google::protobuf::Message &msg);
    void mh_printfile(const google::protobuf::Message &msg);

private:
    void setState(State state);
    void send(const Menu::Envelope &envelope);
    void sendAuthStatus(Menu::AuthStatus::Status status, int errorNumber, const QString &text);
    void sendSchedProcCount();
    // Logs the request and sends the reply; false (and a refusal) when nobody is logged in.
    bool requireLogin(const char *what, quint32 requestId);
    void reply(const QString &operation, const QString &path, const Menu::Envelope &envelope, bool mutating);
    void launchWeb(const QString &menuPath, const QJsonObject &options);
    // The menu history file of the user's home: every login and launch, one line each.
    QString historyFile() const;
    void recordHistory(const QString &entry);

    const DevHubContext &m_context;
    QString m_label;
    EnvelopeDispatcher m_dispatcher;
    State m_state = State::AwaitingLogin;
    QString m_userName;
    QString m_release;
    QString m_localHost;
    std::unique_ptr<FileService> m_files;
};
