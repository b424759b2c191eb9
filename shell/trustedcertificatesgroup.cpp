#include "trustedcertificatesgroup.h"

#include "hub/certificatepins.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int HostPortRole = Qt::UserRole;
}

TrustedCertificatesGroup::TrustedCertificatesGroup(QWidget *parent)
    : QGroupBox(QStringLiteral("Trusted Hub Certificates"), parent)
    , m_list(new QListWidget(this))
    , m_forgetButton(new QPushButton(QStringLiteral("Forget"), this))
{
    setObjectName(QStringLiteral("trustedCertificatesGroup"));
    m_list->setObjectName(QStringLiteral("trustedCertificateList"));
    m_forgetButton->setObjectName(QStringLiteral("forgetCertificateButton"));
    m_forgetButton->setToolTip(QStringLiteral("The next connection to this hub asks about its certificate again."));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(m_forgetButton);
    layout->addLayout(row);
    connect(m_forgetButton, &QPushButton::clicked, this, &TrustedCertificatesGroup::forgetSelected);
    connect(m_list, &QListWidget::itemSelectionChanged, this,
            [this] { m_forgetButton->setEnabled(!m_list->selectedItems().isEmpty()); });
    reload();
}

void TrustedCertificatesGroup::reload()
{
    m_list->clear();
    const QList<CertificatePins::Pin> pins = CertificatePins::pins();
    for (const CertificatePins::Pin &pin : pins) {
        // A SHA-256 fingerprint is 95 characters: two lines of 16 bytes fit the dialog's width.
        const int half = pin.fingerprint.size() / 2 + 1;
        const QString fingerprint = pin.fingerprint.size() > 60
            ? pin.fingerprint.left(half) + QStringLiteral("\n        ") + pin.fingerprint.mid(half)
            : pin.fingerprint;
        auto *item = new QListWidgetItem(QStringLiteral("%1\nSHA-256 %2").arg(pin.hostPort, fingerprint), m_list);
        item->setToolTip(pin.fingerprint);
        item->setData(HostPortRole, pin.hostPort);
    }
    if (pins.isEmpty())
        m_list->addItem(QStringLiteral("No hub certificates are trusted beyond the system's."));
    m_list->setEnabled(!pins.isEmpty());
    m_forgetButton->setEnabled(false);
}

void TrustedCertificatesGroup::forgetSelected()
{
    for (const QListWidgetItem *item : m_list->selectedItems())
        CertificatePins::forget(item->data(HostPortRole).toString());
    reload();
}
