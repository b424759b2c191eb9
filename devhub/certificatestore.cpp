#include "certificatestore.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {
constexpr int RsaExponentDerSize = 5; // 02 03 01 00 01: the usual exponent 65537
constexpr int ModulusSample = 64;
} // namespace

CertificateStore::CertificateStore(const QString &dataDir)
    : m_dataDir(dataDir)
{ }

QString CertificateStore::certificatePath() const
{
    return m_dataDir + QLatin1Char('/') + QLatin1String(CertificateFile);
}

QString CertificateStore::keyPath() const
{
    return m_dataDir + QLatin1Char('/') + QLatin1String(KeyFile);
}

bool CertificateStore::load(QString *error)
{
    m_created = false;
    QString readError;
    if (QFile::exists(certificatePath()) || QFile::exists(keyPath())) {
        if (readPair(&readError))
            return true;
        qWarning().noquote()
            << QStringLiteral("the stored certificate cannot be used (%1); making a new one").arg(readError);
    }
    if (!create(error))
        return false;
    m_created = true;
    return readPair(error);
}

bool CertificateStore::readPair(QString *error)
{
    QFile certificateFile(certificatePath());
    QFile keyFile(keyPath());
    if (!certificateFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1 and %2").arg(certificatePath(), keyPath());
        return false;
    }
    const QSslCertificate certificate(&certificateFile, QSsl::Pem);
    const QSslKey key(&keyFile, QSsl::Rsa, QSsl::Pem, QSsl::PrivateKey);
    if (certificate.isNull() || key.isNull()) {
        *error = QStringLiteral("the certificate or the key is not valid PEM");
        return false;
    }
    if (certificate.expiryDate() < QDateTime::currentDateTimeUtc()) {
        *error = QStringLiteral("the certificate expired on %1")
                     .arg(certificate.expiryDate().toString(Qt::ISODate));
        return false;
    }
    // The private key's encoding holds the public modulus: a pair that does not match would fail
    // every client's handshake, so it is caught here.
    const QByteArray publicDer = certificate.publicKey().toDer();
    const QByteArray modulusTail = publicDer.left(publicDer.size() - RsaExponentDerSize).right(ModulusSample);
    if (modulusTail.size() < ModulusSample || !key.toDer().contains(modulusTail)) {
        *error = QStringLiteral("the key does not belong to the certificate");
        return false;
    }
    m_certificate = certificate;
    m_key = key;
    return true;
}

bool CertificateStore::create(QString *error)
{
    if (!QDir().mkpath(m_dataDir)) {
        *error = QStringLiteral("cannot create the data directory %1").arg(m_dataDir);
        return false;
    }
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty()) {
        *error = QStringLiteral("the openssl command is needed to make the hub's certificate (install the "
                                "\"openssl\" package)");
        return false;
    }
    const QString newKey = keyPath() + QStringLiteral(".new");
    const QString newCertificate = certificatePath() + QStringLiteral(".new");
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(openssl,
                  { QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                    QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                    QString::number(ValidDays), QStringLiteral("-subj"),
                    QStringLiteral("/O=ZU Desktop Demo/OU=zu-devhub/CN=zu-devhub"), QStringLiteral("-addext"),
                    QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1"), QStringLiteral("-keyout"),
                    newKey, QStringLiteral("-out"), newCertificate });
    if (!process.waitForFinished(OpensslTimeoutMs) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        *error = QStringLiteral("openssl could not make a certificate: %1")
                     .arg(QString::fromLocal8Bit(process.readAll()).trimmed());
        QFile::remove(newKey);
        QFile::remove(newCertificate);
        return false;
    }
    QFile::setPermissions(newKey, QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(keyPath());
    QFile::remove(certificatePath());
    if (!QFile::rename(newKey, keyPath()) || !QFile::rename(newCertificate, certificatePath())) {
        *error = QStringLiteral("cannot store the certificate in %1").arg(m_dataDir);
        return false;
    }
    qInfo().noquote() << QStringLiteral("made a self-signed certificate: %1").arg(certificatePath());
    return true;
}
