#include "certificateinfo.h"

#include "certificatepins.h"
#include "utils/windowfit.h"

#include <QComboBox>
#include <QDateTime>
#include <QHostAddress>
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

QString utc(const QDateTime &when)
{
    return when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"));
}

} // namespace

QStringList CertificateInfo::names(const QSslCertificate &certificate)
{
    QStringList result;
    const auto alternatives = certificate.subjectAlternativeNames();
    for (auto it = alternatives.cbegin(); it != alternatives.cend(); ++it) {
        if ((it.key() == QSsl::DnsEntry || it.key() == QSsl::IpAddressEntry) && !result.contains(it.value()))
            result << it.value();
    }
    return result.isEmpty() ? certificate.subjectInfo(QSslCertificate::CommonName) : result;
}

bool CertificateInfo::namesHost(const QSslCertificate &certificate, const QString &host)
{
    const QHostAddress address(host);
    for (const QString &name : names(certificate)) {
        if (!address.isNull()) {
            if (QHostAddress(name) == address)
                return true;
            continue;
        }
        if (name.compare(host, Qt::CaseInsensitive) == 0)
            return true;
        // "*.example.org" stands for one label, not for the domain itself.
        if (name.startsWith(QLatin1String("*.")) && host.count(QLatin1Char('.')) == name.count(QLatin1Char('.'))
            && host.endsWith(name.mid(1), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

CertificateInfo::CertificateInfo(QWidget *parent)
    : QDialog(parent)
    , m_certificationPath(new QComboBox(this))
    , m_certificateInfo(new QListWidget(this))
    , m_summary(new QLabel(this))
{
    setWindowTitle(tr("Display Certificate Information"));
    setModal(true);
    m_certificationPath->setObjectName(QStringLiteral("certificationPath"));
    m_certificateInfo->setObjectName(QStringLiteral("certificateInfo"));
    m_summary->setObjectName(QStringLiteral("certificateSummary"));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_certificationPath, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CertificateInfo::updateCertificateInfo);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Certification Path"), this));
    layout->addWidget(m_certificationPath);
    layout->addWidget(new QLabel(tr("Certificate Information"), this));
    layout->addWidget(m_summary);
    layout->addWidget(m_certificateInfo);
    layout->addWidget(buttons);
    resize(510, 500);
    fitWindowOntoDesktop(this);
}

void CertificateInfo::setCertificateChain(const QList<QSslCertificate> &chain, const QString &host)
{
    m_chain = chain;
    m_host = host;
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
    m_summary->clear();
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

    QStringList summary;
    summary << tr("For: %1").arg(names(certificate).join(QStringLiteral(", ")));
    if (index == 0 && !m_host.isEmpty())
        summary << (namesHost(certificate, m_host) ? tr("Host asked for: %1 (named above)").arg(m_host)
                                                    : tr("Host asked for: %1 (NOT named above)").arg(m_host));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QString validity = tr("Valid from %1 until %2").arg(utc(certificate.effectiveDate()), utc(certificate.expiryDate()));
    if (certificate.expiryDate() < now)
        validity += tr(" (EXPIRED)");
    else if (certificate.effectiveDate() > now)
        validity += tr(" (NOT YET VALID)");
    summary << validity;
    summary << tr("SHA-256 fingerprint: %1").arg(CertificatePins::fingerprint(certificate));
    m_summary->setText(summary.join(QLatin1Char('\n')));
}

QString CertificateInfo::summary() const
{
    return m_summary->text();
}
