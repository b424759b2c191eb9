#pragma once

#include "certificatepins.h"

#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QStringList>

// What the user is asked about a hub certificate that could not be validated: everything a
// prompt shows, taken from the socket when the question arose (the socket may be gone when it
// is read).
struct CertificateQuestion
{
    QString hostPort;
    QString host;
    QStringList errors;
    CertificatePins::Verdict verdict = CertificatePins::Verdict::NotPinned;
    QString trustedFingerprint;
    QString presentedFingerprint;
    QSslCertificate certificate;
    QList<QSslError> newErrors;
    // Only a certificate whose one fault is an issuer that cannot be checked is worth keeping, and
    // never one that replaced a trusted certificate.
    bool pinnable = false;
    QList<QSslCertificate> chain;

    // The question about this peer's certificate, with what the pins say of it (logged where it
    // differs from the trusted one or has a new problem).
    static CertificateQuestion about(const QString &hostPort, const QString &host, const QSslCertificate &certificate,
                                     const QList<QSslCertificate> &chain, const QList<QSslError> &errors,
                                     CertificatePins::Verdict verdict);
};
