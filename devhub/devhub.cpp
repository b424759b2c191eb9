#include "devhub.h"

#include "certificatestore.h"
#include "demoinstaller.h"
#include "devhubconfig.h"
#include "devhuboptions.h"
#include "devhubserver.h"
#include "devhubversion.h"
#include "operatorconsole.h"
#include "userstore.h"
#include "webreportserver.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QStandardPaths>

#include <unistd.h>

namespace {

constexpr char DataDirName[] = "zu-devhub";

std::unique_ptr<DevHubConfig> loadConfig(const QString &path, QString *error)
{
    return path.isEmpty() ? DevHubConfig::builtIn(error) : DevHubConfig::fromFile(path, error);
}

} // namespace

DevHub::DevHub(QObject *parent)
    : QObject(parent)
{ }

DevHub::~DevHub()
{
    // The sessions use the users and the configuration: they go first.
    delete m_server;
    m_server = nullptr;
}

QString DevHub::defaultDataDir()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return (base.isEmpty() ? QDir::homePath() : base) + QLatin1Char('/') + QLatin1String(DataDirName);
}

quint16 DevHub::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

quint16 DevHub::webPort() const
{
    return m_context.webPort;
}

quint16 DevHub::installerPort() const
{
    return m_context.installerPort;
}

bool DevHub::start(const DevHubOptions &options, QString *error)
{
    m_config = loadConfig(options.configPath, error);
    if (!m_config) {
        *error = QStringLiteral("configuration: %1").arg(*error);
        return false;
    }
    m_users = std::make_unique<UserStore>(*m_config);

    m_dataDir = QDir(options.dataDir.isEmpty() ? defaultDataDir() : options.dataDir).absolutePath();
    m_context.config = m_config.get();
    m_context.users = m_users.get();
    m_context.dataDir = m_dataDir;
    m_context.homesDir = m_dataDir + QStringLiteral("/homes");
    m_context.spoolDir = m_dataDir + QStringLiteral("/spool");
    if (!QDir().mkpath(m_context.homesDir) || !QDir().mkpath(m_context.spoolDir)) {
        *error = QStringLiteral("cannot create the data directory %1").arg(m_dataDir);
        return false;
    }
    m_context.update = options.update;
    m_context.notifyOnConnect = options.notify;
    m_context.statusOnLogin = options.status;
    m_context.disconnectOnConnect = options.forceDisconnect;
    m_context.loginTimeoutMs = options.loginTimeoutMs;
    m_context.idleTimeoutMs = options.idleTimeoutMs;
    m_context.latencyMs = options.latencyMs;
    m_context.recordPath = options.recordPath;

    CertificateStore certificates(m_dataDir);
    if (!certificates.load(error))
        return false;

    m_web = new WebReportServer(this);
    if (!m_web->start(options.address, options.webPort, error))
        return false;
    m_context.webPort = m_web->serverPort();

    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(certificates.certificate());
    tls.setPrivateKey(certificates.key());
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    // TLS 1.0 and 1.1 are deprecated (RFC 8996); the library's "secure" set still allows them.
    tls.setProtocol(QSsl::TlsV1_2OrLater);

    // The installer of an update only over HTTPS, on the hub's certificate: a client that trusts
    // the hub's certificate accepts it there too.
    m_installerWeb = new WebReportServer(this);
    m_installerWeb->setTlsConfiguration(tls);
    m_installerWeb->setInstallerRecordPath(m_dataDir + QLatin1Char('/') + QLatin1String(DemoInstaller::RecordFileName));
    if (!m_installerWeb->start(options.address, 0, error))
        return false;
    m_context.installerPort = m_installerWeb->serverPort();
    m_server = new DevHubServer(m_context, tls, this);
    if (!m_server->listen(options.address, options.port)) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(options.address.toString())
                     .arg(options.port)
                     .arg(m_server->errorString());
        return false;
    }

    const QByteArray fingerprint
        = certificates.certificate().digest(QCryptographicHash::Sha256).toHex(':').toUpper();
    qInfo().noquote()
        << QStringLiteral("zu-devhub %1: data in %2").arg(QLatin1String(DevHubVersion), m_dataDir);
    qInfo().noquote() << QStringLiteral("certificate %1 (SHA-256 %2)")
                             .arg(certificates.certificatePath(), QString::fromLatin1(fingerprint));
    qInfo().noquote() << QStringLiteral("report pages on http://%1:%2/report")
                             .arg(options.address.toString())
                             .arg(m_context.webPort);
    qInfo().noquote() << QStringLiteral("update installer on https://%1:%2%3")
                             .arg(options.address.toString())
                             .arg(m_context.installerPort)
                             .arg(QLatin1String(DemoInstaller::UrlPath));
    qInfo().noquote() << QStringLiteral("hub listening on %1:%2 (TLS)%3")
                             .arg(options.address.toString())
                             .arg(m_server->serverPort())
                             .arg(options.configPath.isEmpty() ? QStringLiteral("; log in as demo / demo")
                                                               : QString());

    m_console = new OperatorConsole(m_server, this);
    connect(m_console, &OperatorConsole::quitRequested, this, &DevHub::quitRequested);
    if (options.console)
        m_console->listen(STDIN_FILENO);
    return true;
}
