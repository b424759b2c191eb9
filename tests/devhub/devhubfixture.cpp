#include "devhubfixture.h"

#include "devhubconfig.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

DevHubFixture::DevHubFixture(const QByteArray &configJson)
    : m_config(configJson)
{ }

bool DevHubFixture::start(DevHubOptions options)
{
    options.port = 0;
    options.webPort = 0;
    options.console = false;
    options.dataDir = m_dir.path();
    if (!m_config.isEmpty()) {
        QFile file(m_dir.path() + QStringLiteral("/config.json"));
        if (!file.open(QIODevice::WriteOnly) || file.write(m_config) != m_config.size())
            return false;
        options.configPath = file.fileName();
    }
    m_hub = std::make_unique<DevHub>();
    QString error;
    if (!m_hub->start(options, &error)) {
        qWarning() << "test hub did not start:" << error;
        return false;
    }
    return true;
}

void DevHubFixture::stop()
{
    m_hub.reset();
}

QByteArray DevHubFixture::configWithTerminalCommand(const QString &command)
{
    QJsonObject root = QJsonDocument::fromJson(DevHubConfig::builtInJson()).object();
    QJsonObject applications = root.value(QStringLiteral("applications")).toObject();
    QJsonObject terminal;
    terminal.insert(QStringLiteral("program"), QStringLiteral("/bin/sh"));
    terminal.insert(QStringLiteral("arguments"), QJsonArray { QStringLiteral("-c"), command });
    applications.insert(QStringLiteral("terminal"), terminal);
    root.insert(QStringLiteral("applications"), applications);
    return QJsonDocument(root).toJson();
}
