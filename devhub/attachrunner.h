#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class DemoApplication;
class DevHubConfig;
class SocketAppLink;
struct DevHubOptions;

// --attach: runs one demo application against a client's debug listener, the way a developer
// points a server program at a workstation. done() carries the exit code: 0 when the application
// or the client ended the session, 1 when it could not start.
class AttachRunner : public QObject
{
    Q_OBJECT

public:
    static constexpr int CloseTimeoutMs = 5000;

    AttachRunner(const DevHubConfig &config, const DevHubOptions &options, const QString &dataDir,
                 QObject *parent = nullptr);

    void start();

signals:
    void done(int exitCode);

private:
    void linkUp();
    void finish(int exitCode);

    const DevHubConfig &m_config;
    QString m_host;
    quint16 m_port;
    QString m_app;
    QString m_user;
    QString m_home;
    QString m_dataDir;
    int m_latencyMs;
    SocketAppLink *m_link = nullptr;
    QPointer<DemoApplication> m_application;
    bool m_linkClosed = false;
    bool m_done = false;
};
