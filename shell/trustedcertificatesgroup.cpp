#include "trustedcertificatesgroup.h"

#include "hub/certificatepins.h"
#include "hub/extraauthorities.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int HostPortRole = Qt::UserRole;
constexpr int PathRole = Qt::UserRole + 1;
} // namespace

TrustedCertificatesGroup::TrustedCertificatesGroup(QWidget *parent)
    : QGroupBox(QStringLiteral("Trusted Hub Certificates"), parent)
    , m_list(new QListWidget(this))
    , m_forgetButton(new QPushButton(QStringLiteral("Forget"), this))
    , m_authorityList(new QListWidget(this))
    , m_addAuthorityButton(new QPushButton(QStringLiteral("Add..."), this))
    , m_removeAuthorityButton(new QPushButton(QStringLiteral("Remove"), this))
    , m_authorityProblem(new QLabel(this))
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

    m_authorityList->setObjectName(QStringLiteral("extraAuthorityList"));
    m_addAuthorityButton->setObjectName(QStringLiteral("addAuthorityButton"));
    m_removeAuthorityButton->setObjectName(QStringLiteral("removeAuthorityButton"));
    m_authorityProblem->setObjectName(QStringLiteral("authorityProblemLabel"));
    m_authorityProblem->setTextFormat(Qt::PlainText);
    m_authorityProblem->setWordWrap(true);
    m_authorityProblem->hide();
    m_addAuthorityButton->setToolTip(
        QStringLiteral("A file of your site's own certificate authority: hub certificates it issued are then valid."));
    layout->addWidget(new QLabel(QStringLiteral("Extra certificate authority files:"), this));
    layout->addWidget(m_authorityList);
    layout->addWidget(m_authorityProblem);
    auto *authorityRow = new QHBoxLayout;
    authorityRow->addStretch(1);
    authorityRow->addWidget(m_addAuthorityButton);
    authorityRow->addWidget(m_removeAuthorityButton);
    layout->addLayout(authorityRow);
    connect(m_addAuthorityButton, &QPushButton::clicked, this, &TrustedCertificatesGroup::chooseAuthorityFile);
    connect(m_removeAuthorityButton, &QPushButton::clicked, this,
            &TrustedCertificatesGroup::removeSelectedAuthorities);
    connect(m_authorityList, &QListWidget::itemSelectionChanged, this,
            [this] { m_removeAuthorityButton->setEnabled(!m_authorityList->selectedItems().isEmpty()); });
    reload();
    m_authorityFiles = ExtraAuthorities::files();
    reloadAuthorities();
}

void TrustedCertificatesGroup::applyAuthorities()
{
    if (m_authorityFiles != ExtraAuthorities::files())
        ExtraAuthorities::setFiles(m_authorityFiles);
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

void TrustedCertificatesGroup::reloadAuthorities()
{
    m_authorityList->clear();
    for (const QString &path : qAsConst(m_authorityFiles)) {
        QString problem;
        const QList<QSslCertificate> certificates = ExtraAuthorities::load(path, &problem);
        QString text = QDir::toNativeSeparators(path);
        if (certificates.isEmpty()) {
            text += QStringLiteral("\n        not used: %1").arg(problem);
        } else {
            const QSslCertificate &first = certificates.first();
            text += QStringLiteral("\n        %1, valid until %2")
                        .arg(first.subjectInfo(QSslCertificate::CommonName).join(QLatin1Char(' ')),
                             first.expiryDate().toUTC().toString(QStringLiteral("yyyy-MM-dd")));
            if (certificates.size() > 1)
                text += QStringLiteral(" (and %1 more)").arg(certificates.size() - 1);
        }
        auto *item = new QListWidgetItem(text, m_authorityList);
        item->setData(PathRole, path);
    }
    m_removeAuthorityButton->setEnabled(false);
}

void TrustedCertificatesGroup::chooseAuthorityFile()
{
    // Not exec(): the dialog holding this group may be closed under it.
    auto *chooser = new QFileDialog(this, QStringLiteral("Select a certificate authority file"), QString(),
                                    QStringLiteral("Certificates (*.pem *.crt *.cer *.der);;All files (*)"));
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setFileMode(QFileDialog::ExistingFile);
    connect(chooser, &QFileDialog::fileSelected, this, &TrustedCertificatesGroup::addAuthorityFile);
    chooser->open();
}

void TrustedCertificatesGroup::addAuthorityFile(const QString &path)
{
    QString problem;
    if (ExtraAuthorities::load(path, &problem).isEmpty()) {
        m_authorityProblem->setText(
            QStringLiteral("%1 was not added: %2").arg(QDir::toNativeSeparators(path), problem));
        m_authorityProblem->show();
        return;
    }
    m_authorityProblem->hide();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!m_authorityFiles.contains(absolute))
        m_authorityFiles << absolute;
    reloadAuthorities();
}

void TrustedCertificatesGroup::removeSelectedAuthorities()
{
    for (const QListWidgetItem *item : m_authorityList->selectedItems())
        m_authorityFiles.removeAll(item->data(PathRole).toString());
    reloadAuthorities();
}
