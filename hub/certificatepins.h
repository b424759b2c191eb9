#pragma once

#include <QList>
#include <QSslError>
#include <QString>

class QSslCertificate;

// Hub certificates the user chose to trust although they could not be validated, one per host and
// port, kept in the user's local settings: the certificate's SHA-256 fingerprint and the errors that
// were accepted with it. A later connection presenting the same certificate with no other error
// goes ahead without asking; any other certificate for a pinned host is a change to warn about.
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
        Changed, // pinned, but another certificate or new errors
    };

    // "AB:8B:…", the form certificate viewers and the stand-in hub's log show.
    static QString fingerprint(const QSslCertificate &certificate);

    static Verdict check(const QString &hostPort, const QSslCertificate &certificate,
                         const QList<QSslError> &errors);
    static void trust(const QString &hostPort, const QSslCertificate &certificate, const QList<QSslError> &errors);
    static void forget(const QString &hostPort);
    static QList<Pin> pins();
    static Pin pin(const QString &hostPort);
};
