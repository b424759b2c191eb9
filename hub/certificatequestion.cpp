#include "certificatequestion.h"

#include <QDebug>

CertificateQuestion CertificateQuestion::about(const QString &hostPort, const QString &host,
                                               const QSslCertificate &certificate,
                                               const QList<QSslCertificate> &chain, const QList<QSslError> &errors,
                                               CertificatePins::Verdict verdict)
{
    CertificateQuestion question;
    question.hostPort = hostPort;
    question.host = host;
    question.certificate = certificate;
    question.chain = chain;
    question.verdict = verdict;
    for (const QSslError &error : errors)
        question.errors << error.errorString();
    if (hostPort.isEmpty() || certificate.isNull()) {
        question.hostPort.clear();
        return question;
    }
    switch (verdict) {
    case CertificatePins::Verdict::Changed:
        question.trustedFingerprint = CertificatePins::pin(hostPort).fingerprint;
        question.presentedFingerprint = CertificatePins::fingerprint(certificate);
        qWarning() << "HUB: the certificate of" << hostPort << "differs from the trusted one; trusted"
                   << question.trustedFingerprint << "presented" << question.presentedFingerprint;
        break;
    case CertificatePins::Verdict::NewProblem:
        qWarning() << "HUB: the trusted certificate of" << hostPort << "has a new problem";
        question.newErrors = CertificatePins::newErrors(hostPort, errors);
        break;
    case CertificatePins::Verdict::NotPinned:
    case CertificatePins::Verdict::Trusted:
        break;
    }
    // Expired or for another host, Ignore goes on this once. A changed certificate is never
    // trusted from the question: the old one must be forgotten in the settings first, as a changed
    // host key must be removed by hand before a secure shell trusts the new one.
    question.pinnable = CertificatePins::pinnable(errors) && verdict != CertificatePins::Verdict::Changed;
    return question;
}
