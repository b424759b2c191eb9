#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTemporaryDir>

// A throw-away certificate authority and a hub certificate for 127.0.0.1 and localhost, made with
// the openssl command once per test process. Nothing here belongs to a real host.
class TestCertificates
{
public:
    static const TestCertificates &instance();

    bool isValid() const { return m_errorText.isEmpty(); }
    QString errorText() const { return m_errorText; }

    QSslCertificate authority() const { return m_authority; }
    QSslCertificate hubCertificate() const { return m_hub; }
    QSslKey hubKey() const { return m_hubKey; }
    // What the hub presents: its own certificate, then the authority's.
    QList<QSslCertificate> hubChain() const { return { m_hub, m_authority }; }
    // A second hub certificate for the same host and authority, with a key of its own: the hub's
    // certificate as it would look after being replaced.
    QSslCertificate replacementCertificate() const { return m_replacement; }
    QSslKey replacementKey() const { return m_replacementKey; }
    QList<QSslCertificate> replacementChain() const { return { m_replacement, m_authority }; }
    // A hub certificate of the same authority whose validity ended before it began.
    QSslCertificate expiredCertificate() const { return m_expired; }
    QSslKey expiredKey() const { return m_expiredKey; }
    QList<QSslCertificate> expiredChain() const { return { m_expired, m_authority }; }
    // The authority's certificate as a PEM file.
    QString authorityPath() const { return m_dir.path() + QStringLiteral("/ca.pem"); }
    // A hub certificate with an RSA key as PEM files, for peers outside the process that use the
    // old cipher suites without forward secrecy.
    QString rsaCertificatePath() const { return m_dir.path() + QStringLiteral("/rsa.pem"); }
    QString rsaKeyPath() const { return m_dir.path() + QStringLiteral("/rsa.key"); }

    // Makes sockets created from now on trust (or stop trusting) the test authority.
    static void trustAuthority(bool trust);

private:
    TestCertificates();
    bool openssl(const QStringList &arguments);
    // A hub key and certificate signed by the authority, as <dir>/<name>.key and <name>.pem.
    bool makeHubCertificate(const QString &name, const QString &extensions, int days = 2,
                            const QStringList &keyArguments = {});

    QTemporaryDir m_dir;
    QString m_errorText;
    QSslCertificate m_authority;
    QSslCertificate m_hub;
    QSslKey m_hubKey;
    QSslCertificate m_replacement;
    QSslKey m_replacementKey;
    QSslCertificate m_expired;
    QSslKey m_expiredKey;
};
