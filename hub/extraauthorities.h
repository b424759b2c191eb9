#pragma once

#include <QList>
#include <QSslCertificate>
#include <QStringList>

class QSslConfiguration;

// Certificate authority files of the site's own, named in the user's local settings and added to
// the authorities the system trusts for the hub link and the update download: certificates they
// validate are valid, with no question asked and nothing pinned. The library reads no certificate
// environment variables, so this is the only way to name a private authority.
class ExtraAuthorities
{
public:
    static constexpr qint64 MaxFileBytes = 1024 * 1024;
    static constexpr int MaxCertificatesPerFile = 200;

    static QStringList files();
    static void setFiles(const QStringList &paths);

    // The authorities one file holds (PEM, or a single DER certificate); empty with the reason when
    // the file cannot be read, is too large or holds none.
    static QList<QSslCertificate> load(const QString &path, QString *problem = nullptr);
    // Those of every named file; a file that fails is logged and skipped.
    static QList<QSslCertificate> certificates();
    // The configuration with the extra authorities added and TLS 1.2 as the least version.
    static void apply(QSslConfiguration *configuration);
};
