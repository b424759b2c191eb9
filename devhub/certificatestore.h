#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>

// The hub's self-signed certificate and key, kept in its data directory. Created with the openssl
// command on first use, and again when the files are unreadable or the certificate has expired;
// otherwise the same pair is reused, so a client that accepted it once recognises it.
class CertificateStore
{
public:
    static constexpr char CertificateFile[] = "devhub-cert.pem";
    static constexpr char KeyFile[] = "devhub-key.pem";
    static constexpr int ValidDays = 3650;
    static constexpr int OpensslTimeoutMs = 60000;

    explicit CertificateStore(const QString &dataDir);

    // Loads the pair, creating it when needed. False with a reason when there is no usable pair.
    bool load(QString *error);

    QSslCertificate certificate() const { return m_certificate; }
    QSslKey key() const { return m_key; }
    QString certificatePath() const;
    QString keyPath() const;
    bool createdNow() const { return m_created; }

private:
    bool readPair(QString *error);
    bool create(QString *error);

    QString m_dataDir;
    QSslCertificate m_certificate;
    QSslKey m_key;
    bool m_created = false;
};
