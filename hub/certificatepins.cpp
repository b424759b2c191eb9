#include "certificatepins.h"

#include <QSettings>
#include <QSslCertificate>

#include <algorithm>

namespace {

const QString Group = QStringLiteral("TrustedCertificates");
const QString FingerprintKey = QStringLiteral("sha256");
const QString ErrorsKey = QStringLiteral("acceptedErrors");

// Settings keys may not hold '/' or '\'; host names and addresses never do, but the text is the
// user's configuration.
QString groupOf(const QString &hostPort)
{
    QString key = hostPort;
    key.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return Group + QLatin1Char('/') + key;
}

bool onlyAccepted(const CertificatePins::Pin &pin, const QList<QSslError> &errors)
{
    return std::all_of(errors.begin(), errors.end(), [&pin](const QSslError &error) {
        return pin.acceptedErrors.contains(int(error.error()));
    });
}

} // namespace

QString CertificatePins::fingerprint(const QSslCertificate &certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

CertificatePins::Pin CertificatePins::pin(const QString &hostPort)
{
    QSettings settings;
    settings.beginGroup(groupOf(hostPort));
    Pin pin;
    pin.hostPort = hostPort;
    pin.fingerprint = settings.value(FingerprintKey).toString();
    const QStringList errors = settings.value(ErrorsKey).toStringList();
    for (const QString &error : errors)
        pin.acceptedErrors << error.toInt();
    return pin;
}

QList<CertificatePins::Pin> CertificatePins::pins()
{
    QSettings settings;
    settings.beginGroup(Group);
    const QStringList hosts = settings.childGroups();
    settings.endGroup();
    QList<Pin> result;
    for (const QString &host : hosts) {
        Pin entry = pin(host);
        if (!entry.fingerprint.isEmpty())
            result << entry;
    }
    return result;
}

CertificatePins::Verdict CertificatePins::check(const QString &hostPort, const QSslCertificate &certificate,
                                                const QList<QSslError> &errors)
{
    const Pin stored = pin(hostPort);
    if (stored.fingerprint.isEmpty())
        return Verdict::NotPinned;
    if (certificate.isNull() || stored.fingerprint != fingerprint(certificate))
        return Verdict::Changed;
    return onlyAccepted(stored, errors) ? Verdict::Trusted : Verdict::NewProblem;
}

QList<QSslError> CertificatePins::newErrors(const QString &hostPort, const QList<QSslError> &errors)
{
    const Pin stored = pin(hostPort);
    QList<QSslError> result;
    for (const QSslError &error : errors) {
        if (!stored.acceptedErrors.contains(int(error.error())))
            result << error;
    }
    return result;
}

bool CertificatePins::pinnable(const QList<QSslError> &errors)
{
    static const QList<QSslError::SslError> issuerUnchecked {
        QSslError::SelfSignedCertificate,        QSslError::SelfSignedCertificateInChain,
        QSslError::UnableToGetIssuerCertificate, QSslError::UnableToGetLocalIssuerCertificate,
        QSslError::UnableToVerifyFirstCertificate,
    };
    return !errors.isEmpty() && std::all_of(errors.begin(), errors.end(), [](const QSslError &error) {
        return issuerUnchecked.contains(error.error());
    });
}

QString CertificatePins::hostOf(const QString &hostPort)
{
    const int colon = hostPort.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? hostPort : hostPort.left(colon);
}

bool CertificatePins::trustedOnHost(const QString &host, const QSslCertificate &certificate,
                                    const QList<QSslError> &errors)
{
    if (host.isEmpty() || certificate.isNull())
        return false;
    const QString presented = fingerprint(certificate);
    const QList<Pin> stored = pins();
    return std::any_of(stored.begin(), stored.end(), [&](const Pin &pin) {
        return hostOf(pin.hostPort).compare(host, Qt::CaseInsensitive) == 0 && pin.fingerprint == presented
            && onlyAccepted(pin, errors);
    });
}

void CertificatePins::trust(const QString &hostPort, const QSslCertificate &certificate,
                            const QList<QSslError> &errors)
{
    QStringList accepted;
    for (const QSslError &error : errors) {
        const QString code = QString::number(int(error.error()));
        if (!accepted.contains(code))
            accepted << code;
    }
    QSettings settings;
    settings.remove(groupOf(hostPort));
    settings.beginGroup(groupOf(hostPort));
    settings.setValue(FingerprintKey, fingerprint(certificate));
    settings.setValue(ErrorsKey, accepted);
}

void CertificatePins::forget(const QString &hostPort)
{
    QSettings().remove(groupOf(hostPort));
}
