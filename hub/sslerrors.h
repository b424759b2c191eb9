#pragma once

#include <QDialog>

class QListWidget;

class QLabel;
class QPushButton;

// Asks the user whether to go on with a connection whose certificate could not be validated.
// Accepted means Ignore (or, with alwaysTrust(), trust this certificate from now on), rejected
// means Cancel. For a host whose trusted certificate was replaced it warns more strongly and shows
// both fingerprints.
class SslErrors : public QDialog
{
    Q_OBJECT

public:
    explicit SslErrors(QWidget *parent = nullptr);

    void addError(const QString &text);
    QStringList errors() const;
    // Offers "Always trust this certificate for HOST:PORT".
    void offerTrust(const QString &hostPort);
    void warnOfChange(const QString &hostPort, const QString &trustedFingerprint,
                      const QString &presentedFingerprint);
    bool alwaysTrust() const { return m_alwaysTrust; }

signals:
    void viewCertificateChainClicked();

private:
    QListWidget *m_errorList;
    QLabel *m_changeWarning;
    QPushButton *m_trustButton;
    bool m_alwaysTrust = false;
};
