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
    // Only a certificate whose one fault is an issuer that cannot be checked is worth keeping.
    bool pinnable = false;
    QList<QSslCertificate> chain;
};
