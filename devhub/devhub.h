#pragma once

#include "devhubcontext.h"

#include <QObject>
#include <QString>

#include <memory>

class DevHubConfig;
class DevHubServer;
class OperatorConsole;
class UserStore;
class WebReportServer;
struct DevHubOptions;

// One running stand-in hub: configuration, users, certificate, the TLS listener, the report pages
// and the operator console, started together from the command-line options.
class DevHub : public QObject
{
    Q_OBJECT

public:
    explicit DevHub(QObject *parent = nullptr);
    ~DevHub() override;

    bool start(const DevHubOptions &options, QString *error);

    static QString defaultDataDir();

    quint16 port() const;
    quint16 webPort() const;
    quint16 installerPort() const;
    QString dataDir() const { return m_dataDir; }
    DevHubServer *server() const { return m_server; }
    OperatorConsole *console() const { return m_console; }
    const DevHubConfig *config() const { return m_config.get(); }

signals:
    void quitRequested();

private:
    std::unique_ptr<DevHubConfig> m_config;
    std::unique_ptr<UserStore> m_users;
    DevHubContext m_context;
    QString m_dataDir;
    WebReportServer *m_web = nullptr;
    WebReportServer *m_installerWeb = nullptr;
    DevHubServer *m_server = nullptr;
    OperatorConsole *m_console = nullptr;
};
