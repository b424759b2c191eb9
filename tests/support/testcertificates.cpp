#include "testcertificates.h"

#include <QFile>
#include <QProcess>
#include <QSslConfiguration>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Elliptic-curve keys: generated in milliseconds, unlike RSA.
QStringList ecKeyArguments()
{
    return { QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
             QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes") };
}

} // namespace

const TestCertificates &TestCertificates::instance()
{
    static const TestCertificates certificates;
    return certificates;
}

TestCertificates::TestCertificates()
{
    if (!m_dir.isValid()) {
        m_errorText = QStringLiteral("no temporary directory");
        return;
    }
    const QString dir = m_dir.path() + QLatin1Char('/');
    QFile extensions(dir + QStringLiteral("hub.ext"));
    if (!extensions.open(QIODevice::WriteOnly)
        || extensions.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                            "basicConstraints=CA:FALSE\n"
                            "extendedKeyUsage=serverAuth\n")
            < 0) {
        m_errorText = QStringLiteral("cannot write %1").arg(extensions.fileName());
        return;
    }
    extensions.close();

    const bool made
        = openssl(QStringList { QStringLiteral("req"), QStringLiteral("-x509") } + ecKeyArguments()
                  + QStringList { QStringLiteral("-keyout"), dir + QStringLiteral("ca.key"),
                                  QStringLiteral("-out"), dir + QStringLiteral("ca.pem"),
                                  QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                                  QStringLiteral("/C=NZ/ST=Test Province/L=Test Town/O=ZU Test "
                                                 "Authority/OU=Test Unit/CN=ZU Test Root") })
        && makeHubCertificate(QStringLiteral("hub"), extensions.fileName())
        && makeHubCertificate(QStringLiteral("replacement"), extensions.fileName())
        && makeHubCertificate(QStringLiteral("expired"), extensions.fileName(), -1)
        && makeHubCertificate(QStringLiteral("rsa"), extensions.fileName(), 2,
                              { QStringLiteral("-newkey"), QStringLiteral("rsa:2048"), QStringLiteral("-nodes") });
    if (!made)
        return;

    m_authority = QSslCertificate(readFile(dir + QStringLiteral("ca.pem")), QSsl::Pem);
    m_hub = QSslCertificate(readFile(dir + QStringLiteral("hub.pem")), QSsl::Pem);
    m_hubKey = QSslKey(readFile(dir + QStringLiteral("hub.key")), QSsl::Ec, QSsl::Pem);
    m_replacement = QSslCertificate(readFile(dir + QStringLiteral("replacement.pem")), QSsl::Pem);
    m_replacementKey = QSslKey(readFile(dir + QStringLiteral("replacement.key")), QSsl::Ec, QSsl::Pem);
    m_expired = QSslCertificate(readFile(dir + QStringLiteral("expired.pem")), QSsl::Pem);
    m_expiredKey = QSslKey(readFile(dir + QStringLiteral("expired.key")), QSsl::Ec, QSsl::Pem);
    if (m_authority.isNull() || m_hub.isNull() || m_hubKey.isNull() || m_replacement.isNull()
        || m_replacementKey.isNull() || m_expired.isNull() || m_expiredKey.isNull())
        m_errorText = QStringLiteral("generated certificates or keys do not load");
}

bool TestCertificates::makeHubCertificate(const QString &name, const QString &extensions, int days,
                                          const QStringList &keyArguments)
{
    const QString base = m_dir.path() + QLatin1Char('/') + name;
    return openssl(QStringList { QStringLiteral("req") } + (keyArguments.isEmpty() ? ecKeyArguments() : keyArguments)
                   + QStringList { QStringLiteral("-keyout"), base + QStringLiteral(".key"), QStringLiteral("-out"),
                                   base + QStringLiteral(".csr"), QStringLiteral("-subj"),
                                   QStringLiteral("/C=NZ/L=Hub Town/O=ZU Test Hub/OU=Hub Unit/CN=127.0.0.1") })
        && openssl({ QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), base + QStringLiteral(".csr"),
                     QStringLiteral("-CA"), m_dir.path() + QStringLiteral("/ca.pem"), QStringLiteral("-CAkey"),
                     m_dir.path() + QStringLiteral("/ca.key"), QStringLiteral("-CAcreateserial"),
                     QStringLiteral("-out"), base + QStringLiteral(".pem"), QStringLiteral("-days"),
                     QString::number(days), QStringLiteral("-extfile"), extensions });
}

bool TestCertificates::openssl(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        m_errorText = QStringLiteral("openssl %1 failed: %2 %3")
                          .arg(arguments.join(QLatin1Char(' ')), process.errorString(),
                               QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

void TestCertificates::trustAuthority(bool trust)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> authorities = configuration.caCertificates();
    const QSslCertificate authority = instance().authority();
    authorities.removeAll(authority);
    if (trust)
        authorities << authority;
    configuration.setCaCertificates(authorities);
    QSslConfiguration::setDefaultConfiguration(configuration);
}
