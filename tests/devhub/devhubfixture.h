#pragma once

#include "devhub.h"
#include "devhuboptions.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <memory>

// A stand-in hub running in the test process on free ports, with its data in a temporary folder.
// The certificate is made once per folder, so restarting on the same folder is cheap.
class DevHubFixture
{
public:
    // configJson empty: the built-in configuration.
    explicit DevHubFixture(const QByteArray &configJson = QByteArray());

    bool start(DevHubOptions options = DevHubOptions());
    void stop();

    DevHub &hub() { return *m_hub; }
    quint16 port() const { return m_hub->port(); }
    QString dataDir() const { return m_dir.path(); }
    QString homeOf(const QString &user) const { return m_dir.path() + QStringLiteral("/homes/") + user; }

    // The built-in configuration with the terminal application running this shell command.
    static QByteArray configWithTerminalCommand(const QString &command);

private:
    QTemporaryDir m_dir;
    QByteArray m_config;
    std::unique_ptr<DevHub> m_hub;
};
