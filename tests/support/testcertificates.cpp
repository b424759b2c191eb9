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

    // Elliptic-curve keys: generated in milliseconds, unlike RSA.
    const QStringList ecKey = { QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                                QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes") };
    const bool made
        = openssl(QStringList { QStringLiteral("req"), QStringLiteral("-x509") } + ecKey
                  + QStringList { QStringLiteral("-keyout"), dir + QStringLiteral("ca.key"),
                                  QStringLiteral("-out"), dir + QStringLiteral("ca.pem"),
                                  QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                                  QStringLiteral("/C=NZ/ST=Test Province/L=Test Town/O=ZU Test "
                                                 "Authority/OU=Test Unit/CN=ZU Test Root") })
        && openssl(
              QStringList { QStringLiteral("req") } + ecKey
              + QStringList { QStringLiteral("-keyout"), dir + QStringLiteral("hub.key"),
                              QStringLiteral("-out"), dir + QStringLiteral("hub.csr"),
                              QStringLiteral("-subj"),
                              QStringLiteral("/C=NZ/L=Hub Town/O=ZU Test Hub/OU=Hub Unit/CN=127.0.0.1") })
        && openssl({ QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                     dir + QStringLiteral("hub.csr"), QStringLiteral("-CA"), dir + QStringLiteral("ca.pem"),
                     QStringLiteral("-CAkey"), dir + QStringLiteral("ca.key"),
                     QStringLiteral("-CAcreateserial"), QStringLiteral("-out"),
                     dir + QStringLiteral("hub.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                     QStringLiteral("-extfile"), extensions.fileName() });
    if (!made)
        return;

    m_authority = QSslCertificate(readFile(dir + QStringLiteral("ca.pem")), QSsl::Pem);
    m_hub = QSslCertificate(readFile(dir + QStringLiteral("hub.pem")), QSsl::Pem);
    m_hubKey = QSslKey(readFile(dir + QStringLiteral("hub.key")), QSsl::Ec, QSsl::Pem);
    if (m_authority.isNull() || m_hub.isNull() || m_hubKey.isNull())
        m_errorText = QStringLiteral("generated certificates or key do not load");
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
