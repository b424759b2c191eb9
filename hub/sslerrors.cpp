#include "sslerrors.h"

#include "certificatepins.h"
#include "utils/windowfit.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QDateTime>
#include <QSslCertificate>
#include <QSslError>
#include <QVBoxLayout>

SslErrors::SslErrors(QWidget *parent)
    : QDialog(parent)
    , m_errorList(new QListWidget(this))
    , m_changeWarning(new QLabel(this))
    , m_trustBox(new QCheckBox(this))
{
    setObjectName(QStringLiteral("SslErrors"));
    setWindowTitle(tr("Unable To Validate The Connection"));
    m_errorList->setObjectName(QStringLiteral("errorList"));

    auto *message = new QLabel(this);
    message->setObjectName(QStringLiteral("messageLabel"));
    message->setTextFormat(Qt::RichText);
    message->setWordWrap(true);
    message->setText(QStringLiteral("<b><font color=\"red\">%1</font></b><font color=\"red\">:</font>"
                                    "<font color=\"black\">%2<b>%3</b>%4<b>%5</b>%6</font>")
                         .arg(tr("Warning"),
                              tr(" One or more errors with this connection prevent validating the "
                                 "authenticity of the host you are connecting to. Please review the "
                                 "following list of errors, and click "),
                              tr("Ignore"), tr(" to continue, or "), tr("Cancel"),
                              tr(" to abort the connection.")));

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *view = buttons->addButton(tr("View Certificate Chain"), QDialogButtonBox::ActionRole);
    view->setObjectName(QStringLiteral("viewCertificateChainButton"));
    QPushButton *ignore = buttons->addButton(tr("Ignore"), QDialogButtonBox::AcceptRole);
    ignore->setObjectName(QStringLiteral("ignoreButton"));
    QPushButton *cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setDefault(true);
    m_trustBox->setObjectName(QStringLiteral("alwaysTrustCheckBox"));
    m_trustBox->hide();
    connect(view, &QPushButton::clicked, this, &SslErrors::viewCertificateChainClicked);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    m_changeWarning->setObjectName(QStringLiteral("changeWarningLabel"));
    m_changeWarning->setTextFormat(Qt::PlainText);
    m_changeWarning->setWordWrap(true);
    m_changeWarning->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_changeWarning->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold;"));
    m_changeWarning->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_changeWarning);
    layout->addWidget(message);
    layout->addWidget(m_errorList);
    layout->addWidget(m_trustBox);
    layout->addWidget(buttons);
    resize(500, 300);
    fitWindowOntoDesktop(this);
}

void SslErrors::offerTrust(const QString &hostPort)
{
    m_trustBox->setText(tr("Always trust this certificate for %1").arg(hostPort));
    m_trustBox->show();
}

bool SslErrors::alwaysTrust() const
{
    // isHidden, not isVisible: asked after the dialog has closed.
    return result() == QDialog::Accepted && !m_trustBox->isHidden() && m_trustBox->isChecked();
}

void SslErrors::warnOfChange(const QString &hostPort, const QString &trustedFingerprint,
                             const QString &presentedFingerprint)
{
    setWindowTitle(tr("The Hub's Certificate Has Changed"));
    m_changeWarning->setText(
        tr("The certificate of %1 is not the one you chose to trust. Someone may be posing as the hub. "
           "Go on only if your administrator told you that the hub's certificate was replaced: Ignore goes "
           "on this once. To trust the new certificate for good, first forget the old one in Settings > "
           "General.\n\n"
           "Trusted certificate (SHA-256):\n%2\n\nPresented certificate (SHA-256):\n%3")
            .arg(hostPort, trustedFingerprint, presentedFingerprint));
    m_changeWarning->show();
    resize(640, 420);
    fitWindowOntoDesktop(this);
}

void SslErrors::warnOfNewProblem(const QString &hostPort, const QSslCertificate &certificate,
                                 const QList<QSslError> &newErrors)
{
    const auto date = [](const QDateTime &when) {
        return when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"));
    };
    QStringList problems;
    for (const QSslError &error : newErrors) {
        switch (error.error()) {
        case QSslError::CertificateExpired:
            problems << tr("The certificate you chose to trust for %1 has expired: it was valid until %2.")
                            .arg(hostPort, date(certificate.expiryDate()));
            break;
        case QSslError::CertificateNotYetValid:
            problems << tr("The certificate you chose to trust for %1 is not valid before %2.")
                            .arg(hostPort, date(certificate.effectiveDate()));
            break;
        default:
            problems << tr("The certificate you chose to trust for %1 now has a problem it did not have "
                           "when you trusted it: %2")
                            .arg(hostPort, error.errorString());
            break;
        }
    }
    setWindowTitle(tr("The Trusted Certificate Has a New Problem"));
    m_changeWarning->setText(
        tr("%1\n\nIt is the same certificate as before (SHA-256 %2). Ignore goes on this once; ask your "
           "administrator to renew the hub's certificate.")
            .arg(problems.join(QLatin1Char('\n')), CertificatePins::fingerprint(certificate)));
    m_changeWarning->show();
    resize(640, 420);
    fitWindowOntoDesktop(this);
}

void SslErrors::addError(const QString &text)
{
    m_errorList->addItem(text);
}

QStringList SslErrors::errors() const
{
    QStringList texts;
    for (int i = 0; i < m_errorList->count(); ++i)
        texts << m_errorList->item(i)->text();
    return texts;
}
