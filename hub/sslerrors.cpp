#include "sslerrors.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

SslErrors::SslErrors(QWidget *parent)
    : QDialog(parent)
    , m_errorList(new QListWidget(this))
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
    connect(view, &QPushButton::clicked, this, &SslErrors::viewCertificateChainClicked);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(message);
    layout->addWidget(m_errorList);
    layout->addWidget(buttons);
    resize(500, 300);
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
