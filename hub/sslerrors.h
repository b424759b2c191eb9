#pragma once

#include <QDialog>

class QListWidget;

class QCheckBox;
class QLabel;
class QSslCertificate;
class QSslError;

// Asks the user whether to go on with a connection whose certificate could not be validated.
// Accepted means Ignore (with alwaysTrust(), also trust this certificate from now on), rejected
// means Cancel. For a host whose trusted certificate was replaced it warns more strongly and shows
// both fingerprints; for a trusted certificate with a new problem (it expired) it names the problem.
class SslErrors : public QDialog
{
    Q_OBJECT

public:
    explicit SslErrors(QWidget *parent = nullptr);

    void addError(const QString &text);
    QStringList errors() const;
    // Offers "Always trust this certificate for HOST:PORT" beside Ignore.
    void offerTrust(const QString &hostPort);
    void warnOfChange(const QString &hostPort, const QString &trustedFingerprint,
                      const QString &presentedFingerprint);
    // The certificate is the trusted one, but now has these errors too.
    void warnOfNewProblem(const QString &hostPort, const QSslCertificate &certificate,
                          const QList<QSslError> &newErrors);
    bool alwaysTrust() const;

signals:
    void viewCertificateChainClicked();

private:
    QListWidget *m_errorList;
    QLabel *m_changeWarning;
    QCheckBox *m_trustBox;
};
