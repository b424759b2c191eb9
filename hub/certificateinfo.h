#pragma once

#include <QDialog>
#include <QList>
#include <QSslCertificate>

class QComboBox;
class QLabel;
class QListWidget;

// Shows a peer's certificate chain: one entry per certificate and, for the chosen one, what a
// person needs to decide (the names it is for beside the host asked for, its validity dates, the
// SHA-256 fingerprint to compare with the administrator's) above its subject and issuer fields.
class CertificateInfo : public QDialog
{
    Q_OBJECT

public:
    explicit CertificateInfo(QWidget *parent = nullptr);

    void setCertificateChain(const QList<QSslCertificate> &chain, const QString &host = QString());
    QString summary() const;

    // The host names and addresses a certificate is for: its alternative names, else its common name.
    static QStringList names(const QSslCertificate &certificate);
    static bool namesHost(const QSslCertificate &certificate, const QString &host);

public slots:
    void updateCertificateInfo(int index);

private:
    QComboBox *m_certificationPath;
    QListWidget *m_certificateInfo;
    QLabel *m_summary;
    QList<QSslCertificate> m_chain;
    QString m_host;
};
