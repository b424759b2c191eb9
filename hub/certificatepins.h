#pragma once

#include <QList>
#include <QSslError>
#include <QString>

class QSslCertificate;

// Hub certificates the user chose to trust although they could not be validated, one per host and
// port, kept in the user's local settings: the certificate's SHA-256 fingerprint and the errors that
// were accepted with it. A later connection presenting the same certificate with no other error
// goes ahead without asking; the same certificate with a new error (it expired, say) is a new
// problem to name; any other certificate for a pinned host is a change to warn about.
class CertificatePins
{
public:
    struct Pin
    {
        QString hostPort;
        QString fingerprint;
        QList<int> acceptedErrors; // QSslError::SslError values
    };

    enum class Verdict {
        NotPinned,
        Trusted, // the pinned certificate, with only errors that were accepted
        NewProblem, // the pinned certificate, with an error not accepted with it
        Changed, // pinned, but another certificate
    };

    // "AB:8B:…", the form certificate viewers and the stand-in hub's log show.
    static QString fingerprint(const QSslCertificate &certificate);

    static Verdict check(const QString &hostPort, const QSslCertificate &certificate,
                         const QList<QSslError> &errors);
    // Whether these errors may be trusted for good: only an issuer that cannot be checked
    // (self-signed, unknown authority). An expired certificate or one for another host never is.
    static bool pinnable(const QList<QSslError> &errors);
    // The errors that were not accepted with the host's pin.
    static QList<QSslError> newErrors(const QString &hostPort, const QList<QSslError> &errors);
    // Whether a certificate pinned for any port of this host, presented with only the errors
    // accepted with it, vouches for another service of the same host (the update download).
    static bool trustedOnHost(const QString &host, const QSslCertificate &certificate,
                              const QList<QSslError> &errors);
    // "host" of a "host:port" key.
    static QString hostOf(const QString &hostPort);

    static void trust(const QString &hostPort, const QSslCertificate &certificate, const QList<QSslError> &errors);
    static void forget(const QString &hostPort);
    static QList<Pin> pins();
    static Pin pin(const QString &hostPort);
};
