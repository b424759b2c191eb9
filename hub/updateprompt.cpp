#include "updateprompt.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

UpdatePrompt::UpdatePrompt(const QString &version, bool required, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("ZU Desktop Update"));
    setModal(true);

    auto *header = new QLabel(required ? tr("An update is required.") : tr("An update is available."), this);
    header->setObjectName(QStringLiteral("headerLabel"));
    QFont headerFont = header->font();
    headerFont.setBold(true);
    header->setFont(headerFont);
    auto *body = new QLabel(tr("Do you want to install client version %1 now?").arg(version), this);
    body->setTextFormat(Qt::PlainText); // the version is the hub's text
    body->setObjectName(QStringLiteral("bodyLabel"));

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *download = buttons->addButton(tr("Download"), QDialogButtonBox::AcceptRole);
    download->setObjectName(QStringLiteral("downloadButton"));
    download->setDefault(true);
    QPushButton *other
        = buttons->addButton(required ? tr("Quit") : tr("Later"), QDialogButtonBox::RejectRole);
    other->setObjectName(QStringLiteral("declineButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(header);
    layout->addWidget(body);
    layout->addWidget(buttons);
}
