#include "certificateinfo.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

// Certificate fields may hold several values; they are shown on one line.
QString field(const QSslCertificate &certificate, QSslCertificate::SubjectInfo info, bool issuer)
{
    return (issuer ? certificate.issuerInfo(info) : certificate.subjectInfo(info)).join(QLatin1Char(' '));
}

} // namespace

CertificateInfo::CertificateInfo(QWidget *parent)
    : QDialog(parent)
    , m_certificationPath(new QComboBox(this))
    , m_certificateInfo(new QListWidget(this))
{
    setWindowTitle(tr("Display Certificate Information"));
    setModal(true);
    m_certificationPath->setObjectName(QStringLiteral("certificationPath"));
    m_certificateInfo->setObjectName(QStringLiteral("certificateInfo"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_certificationPath, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CertificateInfo::updateCertificateInfo);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Certification Path"), this));
    layout->addWidget(m_certificationPath);
    layout->addWidget(new QLabel(tr("Certificate Information"), this));
    layout->addWidget(m_certificateInfo);
    layout->addWidget(buttons);
    resize(510, 500);
}

void CertificateInfo::setCertificateChain(const QList<QSslCertificate> &chain)
{
    m_chain = chain;
    const QSignalBlocker blocker(m_certificationPath);
    m_certificationPath->clear();
    for (int i = 0; i < m_chain.size(); ++i) {
        const QSslCertificate &certificate = m_chain.at(i);
        m_certificationPath->addItem(QStringLiteral("%1%2 (%3)")
                                         .arg(i == 0 ? QString() : tr("Issued by: "))
                                         .arg(field(certificate, QSslCertificate::Organization, false))
                                         .arg(field(certificate, QSslCertificate::CommonName, false)));
    }
    m_certificationPath->setCurrentIndex(m_chain.isEmpty() ? -1 : 0);
    updateCertificateInfo(m_certificationPath->currentIndex());
}

void CertificateInfo::updateCertificateInfo(int index)
{
    m_certificateInfo->clear();
    if (index < 0 || index >= m_chain.size())
        return;

    static const struct
    {
        QSslCertificate::SubjectInfo info;
        const char *subjectLine;
        const char *issuerLine;
    } fields[] = {
        { QSslCertificate::Organization, "Organization: %1", "Issuer Organization: %1" },
        { QSslCertificate::OrganizationalUnitName, "Subunit: %1", "Issuer Unit Name: %1" },
        { QSslCertificate::CountryName, "Country: %1", "Issuer Country: %1" },
        { QSslCertificate::LocalityName, "Locality: %1", "Issuer Locality: %1" },
        { QSslCertificate::StateOrProvinceName, "State/Province: %1", "Issuer State/Province: %1" },
        { QSslCertificate::CommonName, "Common Name: %1", "Issuer Common Name: %1" },
    };
    const QSslCertificate &certificate = m_chain.at(index);
    QStringList lines;
    for (const auto &f : fields)
        lines << tr(f.subjectLine).arg(field(certificate, f.info, false));
    for (const auto &f : fields)
        lines << tr(f.issuerLine).arg(field(certificate, f.info, true));
    m_certificateInfo->addItems(lines);
}
