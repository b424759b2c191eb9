#pragma once

#include <QDialog>
#include <QList>
#include <QSslCertificate>

class QComboBox;
class QListWidget;

// Shows a peer's certificate chain: one entry per certificate, and the subject and issuer fields
// of the chosen one.
class CertificateInfo : public QDialog
{
    Q_OBJECT

public:
    explicit CertificateInfo(QWidget *parent = nullptr);

    void setCertificateChain(const QList<QSslCertificate> &chain);

public slots:
    void updateCertificateInfo(int index);

private:
    QComboBox *m_certificationPath;
    QListWidget *m_certificateInfo;
    QList<QSslCertificate> m_chain;
};
