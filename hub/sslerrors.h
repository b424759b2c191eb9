#pragma once

#include <QDialog>

class QListWidget;

class QCheckBox;
class QLabel;

// Asks the user whether to go on with a connection whose certificate could not be validated.
// Accepted means Ignore (with alwaysTrust(), also trust this certificate from now on), rejected
// means Cancel. For a host whose trusted certificate was replaced it warns more strongly and shows
// both fingerprints.
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
    bool alwaysTrust() const;

signals:
    void viewCertificateChainClicked();

private:
    QListWidget *m_errorList;
    QLabel *m_changeWarning;
    QCheckBox *m_trustBox;
};
