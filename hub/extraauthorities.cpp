#include "extraauthorities.h"

#include <QDebug>
#include <QFile>
#include <QSettings>
#include <QSslConfiguration>

#include <algorithm>

namespace {

const QString FilesKey = QStringLiteral("settings/extraCaFiles");

} // namespace

QStringList ExtraAuthorities::files()
{
    return QSettings().value(FilesKey).toStringList();
}

void ExtraAuthorities::setFiles(const QStringList &paths)
{
    QSettings settings;
    if (paths.isEmpty())
        settings.remove(FilesKey);
    else
        settings.setValue(FilesKey, paths);
}

QList<QSslCertificate> ExtraAuthorities::load(const QString &path, QString *problem)
{
    const auto fail = [problem](const QString &text) {
        if (problem)
            *problem = text;
        return QList<QSslCertificate>();
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    if (file.size() > MaxFileBytes)
        return fail(QStringLiteral("larger than %1 KiB").arg(MaxFileBytes / 1024));
    const QByteArray data = file.read(MaxFileBytes);
    QList<QSslCertificate> certificates = QSslCertificate::fromData(data, QSsl::Pem);
    if (certificates.isEmpty())
        certificates = QSslCertificate::fromData(data, QSsl::Der);
    certificates.erase(std::remove_if(certificates.begin(), certificates.end(),
                                      [](const QSslCertificate &c) { return c.isNull(); }),
                       certificates.end());
    if (certificates.isEmpty())
        return fail(QStringLiteral("no certificate in it"));
    if (certificates.size() > MaxCertificatesPerFile)
        return fail(QStringLiteral("more than %1 certificates in it").arg(MaxCertificatesPerFile));
    return certificates;
}

QList<QSslCertificate> ExtraAuthorities::certificates()
{
    QList<QSslCertificate> all;
    const QStringList paths = files();
    for (const QString &path : paths) {
        QString problem;
        const QList<QSslCertificate> loaded = load(path, &problem);
        if (loaded.isEmpty())
            qWarning() << "ExtraAuthorities - certificate authority file" << path << "not used:" << problem;
        all += loaded;
    }
    return all;
}

void ExtraAuthorities::apply(QSslConfiguration *configuration)
{
    // TLS 1.0 and 1.1 are deprecated (RFC 8996); the library's "secure" set still allows them.
    configuration->setProtocol(QSsl::TlsV1_2OrLater);
    const QList<QSslCertificate> extra = certificates();
    if (!extra.isEmpty())
        configuration->addCaCertificates(extra);
}
